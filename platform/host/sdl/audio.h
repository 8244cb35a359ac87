// The SDL host's sound device: one output that pulls the mixed sound on SDL's audio thread, kept
// in step with the production's clock, and outliving its device.
//
// What is heard stays with the clock: a keeper thread compares what the device has taken with what
// the clock has passed, and where the device falls behind (an output slow to start, a callback
// that stopped coming, no device at all) it mixes and throws away the difference, in steps the
// music's refill thread answers as it would behind a device that played on. When SDL says the
// device is gone (removed, or its sound server's connection lost), the production plays on by its
// clock and the host opens the default output again as soon as there is one (at once when SDL says
// an output was added, else every second), so that the sound takes up where the clock is, in step
// with the picture. Loss and return are said once each on standard error. The pull sees none of it
// but the steps.
//
// SDL cannot start or stop its audio on one thread while another looks at its events (it crashes):
// the keeper does so holding SdlAudioRestartLock, and the host's looks at the events take that
// lock, or pass while it is held, never waiting on a sound server that is slow to answer.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/host/host.h"

namespace host {

class SdlAudio {
public:
    // clock: the production's milliseconds (a pause stops it), read on any thread.
    explicit SdlAudio(std::function<long()> clock) : m_clock(std::move(clock)) {}
    ~SdlAudio() { Close(); }
    SdlAudio(const SdlAudio&) = delete;
    SdlAudio& operator=(const SdlAudio&) = delete;

    // Opens the default output at nRate with nChannels of 16-bit samples; false where there is
    // none (and then nothing more is tried). Start starts it and its keeper.
    bool Open(int nRate, int nChannels, AudioPull pull);
    void Start();
    // Returns once the pull has returned for the last time and will not be called again; never
    // waits on a device that has stopped answering.
    void Close();
    // While held the device gets silence and the pull is not called at all, so that the mixer's
    // play cursors, and the music's refill thread that follows them, see no time pass.
    void Hold(bool bHeld);
    // What SDL's events say (main thread): an output was added; the output nDevice was removed.
    void DeviceAdded();
    void DeviceRemoved(uint32_t nDevice);

    // A device's sound counts as lost when its callback, once it came steadily, has not come for
    // kStallMs, or never came steadily within kStartMs of its start (a sound server may take a
    // second or two to ask for its first sound); it is back once the calls come steadily again.
    static constexpr long kStallMs = 500, kStartMs = 4000;
    // How often a lost device is looked for again.
    static constexpr long kRetryMs = 1000;

private:
    struct Gate;
    struct Tap;
    struct Keeper;

    static void Callback(void* pUser, uint8_t* pStream, int nBytes);

    std::function<long()> m_clock;
    std::shared_ptr<Keeper> m_pKeeper;
};

// Held while SDL's audio is started or stopped, or a device opened or closed, off the main thread.
std::mutex& SdlAudioRestartLock();

// Keeps the ALSA library's own error lines (which it writes when there is no sound card) off
// standard error; the program says once itself that it plays without sound. ALSA is reached
// through dlopen, as SDL reaches it, so that the program does not need it to start.
void QuietAlsa();

}  // namespace host
