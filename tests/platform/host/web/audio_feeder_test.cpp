// The page's sound feeder (platform/host/web/audio.h), natively: the test plays the ring as the
// page's worklet does (page/audio-worklet.js), and the pull numbers each frame it mixes (the low
// 15 bits left, the next 15 right), so that what is played says which stretch of the mix it is.
#ifndef _WIN32
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/host/web/audio.h"
#include "tests/threaded.h"

namespace {

using host::web::AudioFeeder;
using host::web::AudioRing;

constexpr int kFeederRate = 44100;
constexpr uint32_t kMask = AudioRing::kCapacity - 1;

class WebAudioFeeder : public testing::Test {
protected:
    void SetUp() override
    {
        m_ring.Reset();
        m_feeder.Start(
            m_ring, kFeederRate,
            [this](int16_t* pSamples, int nFrames) {
                uint32_t n = m_nMixed.fetch_add(uint32_t(nFrames));
                for (int i = 0; i < nFrames; ++i) {
                    pSamples[2 * i] = int16_t((n + uint32_t(i)) & 0x7FFF);
                    pSamples[2 * i + 1] = int16_t(((n + uint32_t(i)) >> 15) & 0x7FFF);
                }
            },
            [this] {
                m_nLooks.fetch_add(1);
                return m_nNowMs.load();
            });
    }
    void TearDown() override { m_feeder.Stop(); }

    // One render quantum as the worklet plays it: a flush asked for first, then what the ring
    // holds, the rest owed as silence. Returns the mix's number of the first frame played (-1: none).
    int PlayQuantum(uint32_t nFrames = 128)
    {
        uint32_t nRead = m_ring.nRead.load();
        if (m_ring.nFlush.exchange(0)) {
            uint32_t nTo = m_ring.nFlushTo.load();
            if (int32_t(nTo - nRead) > 0)
                nRead = nTo;
        }
        uint32_t n = std::min(m_ring.nWrite.load() - nRead, nFrames);
        int nFirst = n > 0 ? NumberAt(nRead) : -1;
        m_ring.nRead.store(nRead + n);
        if (n < nFrames) {
            m_ring.nMissed.fetch_add(nFrames - n);
            m_ring.nStarved.fetch_add(1);
        }
        return nFirst;
    }
    // Returns once the feeder has gone round once with the ring and the clock as they are now: it
    // looks at the clock first in each round.
    void Settle()
    {
        uint32_t n = m_nLooks.load();
        ASSERT_TRUE(WaitFor([&] { return m_nLooks.load() >= n + 2; })) << "the feeder stopped going round";
    }
    // The clock goes on by so much, a few milliseconds at a time, the feeder looking at each step;
    // the output plays its quanta as the clock says (as a sound card asks for them), or stands
    // still.
    void PlayFor(long nMs) { Advance(nMs, true); }
    void StandStillFor(long nMs) { Advance(nMs, false); }
    void Advance(long nMs, bool bPlaying)
    {
        const long nFromMs = m_nNowMs.load();
        int64_t nPlayed = 0;
        while (m_nNowMs.load() - nFromMs < nMs) {
            m_nNowMs.fetch_add(kStepMs);
            int64_t nDue = (m_nNowMs.load() - nFromMs) * kFeederRate / 1000;
            for (; bPlaying && nPlayed + 128 <= nDue; nPlayed += 128)
                PlayQuantum();
            Settle();
        }
    }
    // The mix's number of the frame at this place in the ring.
    int NumberAt(uint32_t nIndex) const
    {
        const int16_t* p = &m_ring.samples[2 * (nIndex & kMask)];
        return p[0] | (p[1] << 15);
    }
    // How far the stretch of the mix played now lies from the clock (frames; the same while the
    // two keep in step).
    int32_t Offset()
    {
        int nPlayed = PlayQuantum();
        return int32_t(nPlayed - (m_nNowMs.load() - m_nStartMs) * kFeederRate / 1000);
    }
    // Whether this comes true while the feeder works (it sleeps a millisecond between rounds when
    // the ring is full; ten seconds is for a machine loaded well past that).
    template <typename Done>
    static bool WaitFor(Done done)
    {
        for (int i = 0; i < 10000 && !done(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return done();
    }

    static constexpr long kStepMs = 3;  // about one render quantum
    AudioRing m_ring;
    AudioFeeder m_feeder;
    std::atomic<uint32_t> m_nMixed{0};
    std::atomic<long> m_nNowMs{1000};  // the clock the feeder measures the output against
    std::atomic<uint32_t> m_nLooks{0};
    long m_nStartMs = 1000;
};

THREADED_SUITE(WebAudioFeeder);  // the feeder mixes on a thread of its own

TEST_F(WebAudioFeeder, KeepsAShortStretchAheadAndNeverOverrunsTheRing)
{
    ASSERT_TRUE(WaitFor([&] { return m_ring.nWrite.load() >= AudioFeeder::kAhead - 256; }));
    EXPECT_EQ(PlayQuantum(), 0) << "the mix from its first frame";
    EXPECT_EQ(PlayQuantum(), 128) << "then on";
    Settle();
    EXPECT_LE(m_ring.nWrite.load() - m_ring.nRead.load(), AudioFeeder::kAhead) << "it waits for the worklet";
}

TEST_F(WebAudioFeeder, MixesPastWhatTheWorkletPlayedAsSilence)
{
    ASSERT_TRUE(WaitFor([&] { return m_ring.nWrite.load() >= AudioFeeder::kAhead - 256; }));
    // The worklet came short by 1000 frames (the feeder was late): what was missed is owed.
    m_ring.nMissed.fetch_add(1000);
    ASSERT_TRUE(WaitFor([&] { return m_nMixed.load() == m_ring.nWrite.load() + 1000; }))
        << m_nMixed.load() << " mixed, " << m_ring.nWrite.load() << " queued";
    // What was queued before plays as it was; what is queued after it is 1000 frames further on.
    uint32_t nBefore = m_ring.nWrite.load();
    for (uint32_t nLeft; (nLeft = nBefore - m_ring.nRead.load()) > 0;)
        PlayQuantum(std::min(nLeft, 128u));
    ASSERT_TRUE(WaitFor([&] { return m_ring.nWrite.load() != m_ring.nRead.load(); }));
    EXPECT_EQ(PlayQuantum(1), int(nBefore + 1000));
    EXPECT_EQ(m_ring.nMissed.load(), 1000u) << "the ring never ran dry";
    EXPECT_EQ(m_ring.nSkipped.load(), 0u) << "no stall";
}

TEST_F(WebAudioFeeder, AnOutputThatStoodStillDropsTheStaleRingAndJumpsToTheClock)
{
    PlayFor(200);
    int32_t nOffsetBefore = Offset();
    ASSERT_NE(m_ring.nWrite.load(), m_ring.nRead.load());
    int nNext = NumberAt(m_ring.nRead.load());
    // The output stands still for 0.6 s (a suspended audio context) while the clock goes on.
    StandStillFor(600);
    EXPECT_EQ(m_ring.nFlush.load(), 1u) << "the worklet is asked to drop what the ring holds";
    EXPECT_GT(m_ring.nSkipped.load(), uint32_t(kFeederRate / 10)) << "and the mix has gone on with the clock";
    // The first quantum after it drops the ring (and comes short); the next plays what the feeder
    // mixed since.
    PlayQuantum();
    ASSERT_TRUE(WaitFor([&] { return m_ring.nWrite.load() != m_ring.nRead.load(); }));
    int nFirst = PlayQuantum();
    EXPECT_GT(nFirst, nNext + kFeederRate / 10) << "the stale stretch is not played; the mix has gone on";
    PlayFor(400);
    int32_t nOffsetAfter = Offset();
    EXPECT_LT(std::abs(nOffsetAfter - nOffsetBefore), kFeederRate / 10)
        << "what is heard is with the clock again: " << nOffsetBefore << " frames from it before, " << nOffsetAfter
        << " after";
}

TEST_F(WebAudioFeeder, AnOutputThatStartsLateJoinsTheClockAndNotTheStartOfTheMix)
{
    // The output starts 0.7 s after the sound opened (a browser's output taking its time); the
    // production's clock has gone on meanwhile.
    ASSERT_TRUE(WaitFor([&] { return m_ring.nWrite.load() >= AudioFeeder::kAhead - 256; }));
    StandStillFor(700);
    EXPECT_EQ(m_nMixed.load(), m_ring.nWrite.load()) << "nothing is mixed before the output runs";
    PlayQuantum();
    ASSERT_TRUE(WaitFor([&] { return m_ring.nFlush.load() == 1; })) << "the first frames queued are stale";
    EXPECT_GT(m_ring.nSkipped.load(), uint32_t(kFeederRate / 2)) << "the mix goes on to the clock";
    PlayFor(300);
    int nPlayed = PlayQuantum();
    long nSinceOpenMs = m_nNowMs.load() - m_nStartMs;
    EXPECT_NEAR(nPlayed, nSinceOpenMs * kFeederRate / 1000, kFeederRate / 10)
        << "what is heard is what the clock says, not the mix's first second";
    PlayFor(300);
    EXPECT_LT(m_ring.nSkipped.load(), uint32_t(kFeederRate)) << "skipped once, not again";
}

TEST_F(WebAudioFeeder, AnOutputThatStartsAtOnceSkipsNothing)
{
    PlayFor(300);
    EXPECT_EQ(m_ring.nSkipped.load(), 0u);
    EXPECT_EQ(m_ring.nFlush.load(), 0u);
}

TEST_F(WebAudioFeeder, APauseWhileTheOutputStoodStillSkipsNothing)
{
    // The viewer pauses while the browser has stopped the output (a hidden tab); both end together.
    PlayFor(200);
    m_feeder.Hold(true);
    StandStillFor(600);
    uint32_t nStopped = m_nMixed.load();
    m_feeder.Hold(false);
    PlayFor(400);
    EXPECT_EQ(m_ring.nSkipped.load(), 0u) << "the production's clock stood still: nothing to catch up";
    EXPECT_LT(m_nMixed.load() - nStopped, uint32_t(kFeederRate / 2)) << "the mix takes up where it stopped";
}

TEST_F(WebAudioFeeder, AHoldPlaysSilenceAndTakesUpAtTheFrameWhereItStopped)
{
    PlayFor(200);
    m_feeder.Hold(true);
    Settle();  // a pull under way returns
    uint32_t nStopped = m_nMixed.load();
    // The output goes on through the pause.
    PlayFor(600);
    EXPECT_EQ(m_nMixed.load(), nStopped) << "nothing is mixed while held";
    EXPECT_GT(m_ring.nHeld.load(), uint32_t(kFeederRate / 2)) << "the pause's silence is counted as such";
    m_feeder.Hold(false);
    // What was queued before the hold has played; the pause's silence, then the mix from where
    // it stopped.
    int nNext = 0;
    for (int i = 0; i < 2 * int(AudioRing::kCapacity) && nNext == 0; ++i) {
        ASSERT_TRUE(WaitFor([&] { return m_ring.nWrite.load() != m_ring.nRead.load(); }));
        nNext = PlayQuantum(1);
    }
    EXPECT_EQ(uint32_t(nNext), nStopped) << "no jump and no repeat";
    PlayFor(400);
    EXPECT_EQ(m_ring.nSkipped.load(), 0u) << "the pause was no stall";
}

}  // namespace
#endif
