// The sound between the module and the page: a ring in the module's shared memory that a thread of
// the host's own keeps a short stretch ahead of what is heard, mixing through the stand-in's pull,
// and that the page's AudioWorklet (page/audio-worklet.js) plays 128 frames at a time.
//
// What is heard stays with the production's clock. Frames the worklet had to play as silence (the
// feeder was late) are mixed and thrown away; when the output stood still while the clock went on
// (a browser that suspends a hidden tab's sound), what the ring holds is dropped as stale and the
// mix jumps to where the clock is. The music's own thread meanwhile refills as the mix crosses its
// blocks, as it would behind a sound card that kept playing.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

#include "platform/host/host.h"

namespace host::web {

// The page reads and writes these words with Atomics, by their order (word 0 first); indices count
// frames and only grow, wrapping at 2^32.
struct AudioRing {
    static constexpr uint32_t kCapacity = 8192;  // frames; a power of two
    // Written by the feeder.
    std::atomic<uint32_t> nWrite{0};
    std::atomic<uint32_t> nPeak{0};     // the largest sample magnitude queued so far
    std::atomic<uint32_t> nSkipped{0};  // frames mixed past while the output stood still
    std::atomic<uint32_t> nFlushTo{0};  // with nFlush: the worklet drops what is queued before this
    std::atomic<uint32_t> nFlush{0};    // set by the feeder, cleared by the worklet once dropped
    // Written by the worklet.
    std::atomic<uint32_t> nRead{0};
    std::atomic<uint32_t> nMissed{0};   // frames played as silence for want of sound
    std::atomic<uint32_t> nStarved{0};  // render quanta that came short
    // Written by the feeder again.
    std::atomic<uint32_t> nHeld{0};       // frames of silence that stood for the viewer's pause
    int16_t samples[kCapacity * 2] = {};  // interleaved stereo

    void Reset();
};
static_assert(sizeof(std::atomic<uint32_t>) == 4, "the page reads the ring's words as 32-bit");

class AudioFeeder {
public:
    // About 46 ms ahead at 44100 Hz: the music's notifications stay close to what is heard while
    // a busy page still has room before the worklet runs dry.
    static constexpr uint32_t kAhead = 2048;

    // The output's clock is measured against this one (milliseconds): the wall clock, or one a
    // test steps.
    using Clock = std::function<long()>;
    void Start(AudioRing& ring, int nRate, AudioPull pull, Clock clock = WallClockMs);
    void Stop();  // returns once the pull has returned for the last time

    // While held (the viewer's pause) the worklet gets silence and the pull is not called, so that
    // the mixer's play cursors, and the music's refill thread that follows them, see no time pass:
    // the sound takes up again at the sample where it stopped. The output's clock is measured
    // afresh after a hold, the pause's silence being no stall.
    void Hold(bool bHeld) { m_bHeld.store(bHeld, std::memory_order_release); }

private:
    static constexpr int kChunk = 256;

    void Run();
    uint32_t NewlyOwed(long nNowMs);
    void Skip();
    void Queue(bool bSilence);

    AudioRing* m_pRing = nullptr;
    int m_nRate = 0;
    AudioPull m_pull;
    Clock m_clock;
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bHeld{false};
    std::thread m_thread;
    int16_t m_chunk[kChunk * 2] = {};
    // The output's clock against the wall clock: how far it lags (frames), at least.
    long m_nStartMs = 0;
    long m_nBehindSinceMs = 0;  // since when it has lagged by more than a stall's worth
    bool m_bHeard = false;      // the output plays (after a start or a pause)
    bool m_bStarted = false;    // the output has played since the sound opened
    int32_t m_nLagBase = 0;
    uint32_t m_nMissedSeen = 0;
    uint32_t m_nOwed = 0;  // frames to mix and throw away before the next queued ones
};

}  // namespace host::web
