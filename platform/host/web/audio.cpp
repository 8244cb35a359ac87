#include "platform/host/web/audio.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iterator>

namespace host::web {

namespace {

// A lag this much over the least seen, held this long, means the output stood still: a browser on
// a loaded machine may render its quanta late and catch up, and that is no stall; a suspended
// output stays behind.
constexpr int kStallMs = 80;
constexpr long kStallHeldMs = 250;
// An output that starts this much after the sound opened has let the production's clock go on.
constexpr int kLateStartMs = 10;
// Mixed and thrown away at most this much between two sleeps, so that the music's refill thread
// answers each block the skip crosses before the next.
constexpr uint32_t kSkipStep = 2048;

}  // namespace

void AudioRing::Reset()
{
    for (auto* p : {&nWrite, &nPeak, &nSkipped, &nFlushTo, &nFlush, &nRead, &nMissed, &nStarved, &nHeld})
        p->store(0);
}

void AudioFeeder::Start(AudioRing& ring, int nRate, AudioPull pull, Clock clock)
{
    m_pRing = &ring;
    m_nRate = nRate;
    m_pull = std::move(pull);
    m_clock = std::move(clock);
    m_bStop = false;
    m_bHeard = false;
    m_bStarted = false;
    m_nMissedSeen = 0;
    m_nOwed = 0;
    m_nStartMs = m_clock();
    m_nBehindSinceMs = m_nStartMs;
    m_thread = std::thread([this] { Run(); });
}

void AudioFeeder::Stop()
{
    if (!m_thread.joinable())
        return;
    m_bStop = true;
    m_thread.join();
}

void AudioFeeder::Run()
{
    while (!m_bStop.load()) {
        long nNowMs = m_clock();  // once a round, held or not
        bool bHeld = m_bHeld.load(std::memory_order_acquire);
        if (bHeld) {
            // What the worklet misses while held is not owed, and the output's lag is taken
            // afresh once the hold ends.
            uint32_t nMissed = m_pRing->nMissed.load(std::memory_order_acquire);
            m_pRing->nHeld.fetch_add(nMissed - m_nMissedSeen, std::memory_order_relaxed);
            m_nMissedSeen = nMissed;
            m_bHeard = false;
        } else {
            m_nOwed += NewlyOwed(nNowMs);
            if (m_nOwed > 0) {
                Skip();
                continue;
            }
        }
        uint32_t nQueued =
            m_pRing->nWrite.load(std::memory_order_relaxed) - m_pRing->nRead.load(std::memory_order_acquire);
        if (nQueued + kChunk > kAhead) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        Queue(bHeld);
    }
}

// What the output's clock says must be skipped since the last look: the frames the worklet played
// as silence, and the time the output stood still while the wall clock went on, less what the ring
// held then (dropped, as stale).
uint32_t AudioFeeder::NewlyOwed(long nNowMs)
{
    AudioRing& r = *m_pRing;
    uint32_t nMissed = r.nMissed.load(std::memory_order_acquire);
    uint32_t nOwed = nMissed - m_nMissedSeen;
    m_nMissedSeen = nMissed;
    uint32_t nRead = r.nRead.load(std::memory_order_acquire);
    uint32_t nHeard = nRead + nMissed + r.nSkipped.load(std::memory_order_relaxed);
    uint32_t nWall = uint32_t(int64_t(nNowMs - m_nStartMs) * m_nRate / 1000);
    int32_t nLag = int32_t(nWall - nHeard);
    bool bBehind = m_bHeard && nLag - m_nLagBase > kStallMs * m_nRate / 1000;
    if (!bBehind)
        m_nBehindSinceMs = nNowMs;
    if (!m_bHeard) {
        m_bHeard = nHeard != 0;  // the output has started
        m_nLagBase = nLag;
        // Started late (a browser whose output takes a moment, or a second or two, to start):
        // the production's clock has gone on meanwhile, and what the ring holds up to the clock is
        // overdue. Dropped, and mixed past where the clock is further on, so that the sound
        // starts in step; the lag is taken afresh once the output plays what follows. (After the
        // viewer's pause the lag is only taken afresh: the production's clock stood still too.)
        if (m_bHeard && !m_bStarted && nLag > kLateStartMs * m_nRate / 1000) {
            uint32_t nQueued = r.nWrite.load(std::memory_order_relaxed) - nRead;
            uint32_t nDrop = std::min(nQueued, uint32_t(nLag));
            uint32_t nSkip = uint32_t(nLag) - nDrop;
            r.nFlushTo.store(nRead + nDrop, std::memory_order_relaxed);
            r.nFlush.store(1, std::memory_order_release);
            r.nSkipped.fetch_add(nSkip, std::memory_order_relaxed);
            nOwed += nSkip;
            m_bHeard = false;
        }
        m_bStarted = m_bStarted || m_bHeard;
    } else if (nLag < m_nLagBase) {
        m_nLagBase = nLag;  // the output's clock runs a little fast, or started late
    } else if (bBehind && nNowMs - m_nBehindSinceMs >= kStallHeldMs) {
        m_nBehindSinceMs = nNowMs;
        uint32_t nWrite = r.nWrite.load(std::memory_order_relaxed);
        uint32_t nStale = nWrite - nRead;
        uint32_t nSkip = uint32_t(nLag - m_nLagBase) - std::min(nStale, uint32_t(nLag - m_nLagBase));
        r.nFlushTo.store(nWrite, std::memory_order_relaxed);
        r.nFlush.store(1, std::memory_order_release);
        r.nSkipped.fetch_add(nSkip, std::memory_order_relaxed);
        nOwed += nSkip;
    }
    return nOwed;
}

void AudioFeeder::Skip()
{
    uint32_t nStep = std::min(m_nOwed, kSkipStep);
    m_nOwed -= nStep;
    for (uint32_t nDone = 0; nDone < nStep; nDone += kChunk)
        m_pull(m_chunk, int(std::min<uint32_t>(kChunk, nStep - nDone)));
    if (m_nOwed > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void AudioFeeder::Queue(bool bSilence)
{
    AudioRing& r = *m_pRing;
    uint32_t nWrite = r.nWrite.load(std::memory_order_relaxed);
    if (bSilence) {
        std::fill(std::begin(m_chunk), std::end(m_chunk), int16_t(0));
        r.nHeld.fetch_add(kChunk, std::memory_order_relaxed);
    } else {
        m_pull(m_chunk, kChunk);
    }
    uint32_t nPeak = r.nPeak.load(std::memory_order_relaxed);
    for (int i = 0; i < kChunk; ++i) {
        uint32_t p = (nWrite + uint32_t(i)) & (AudioRing::kCapacity - 1);
        r.samples[2 * p] = m_chunk[2 * i];
        r.samples[2 * p + 1] = m_chunk[2 * i + 1];
        nPeak = std::max<uint32_t>(nPeak, uint32_t(std::abs(int(m_chunk[2 * i]))));
        nPeak = std::max<uint32_t>(nPeak, uint32_t(std::abs(int(m_chunk[2 * i + 1]))));
    }
    r.nPeak.store(nPeak, std::memory_order_relaxed);
    r.nWrite.store(nWrite + kChunk, std::memory_order_release);
}

}  // namespace host::web
