// The SDL host's sound device: one output that pulls the mixed sound on SDL's audio thread.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/host/host.h"

namespace host {

class SdlAudio {
public:
    ~SdlAudio() { Close(); }

    // Opens the default output at nRate with nChannels of 16-bit samples; Start starts it.
    bool Open(int nRate, int nChannels, AudioPull pull);
    void Start();
    // Returns once the pull has returned for the last time.
    void Close();
    // While held the device gets silence and the pull is not called at all, so that the mixer's
    // play cursors, and the music's refill thread that follows them, see no time pass.
    void Hold(bool bHeld) { m_bHeld.store(bHeld, std::memory_order_release); }

private:
    static void Callback(void* pUser, uint8_t* pStream, int nBytes);

    uint32_t m_nDevice = 0;
    AudioPull m_pull;
    int m_nChannels = 2;
    std::atomic<bool> m_bHeld{false};
};

}  // namespace host
