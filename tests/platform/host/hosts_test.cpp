// The host seam: the default host, and the headless host's clock, frames and threads.
#ifndef _WIN32
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/host/headless/headless.h"
#include "platform/win32.h"
#include "tests/threaded.h"

namespace {

class HostTest : public testing::Test {
protected:
    void TearDown() override { host::UseHeadless(); }  // the test program's host again
};

THREADED_SUITE(HostTest);  // the clock and the audio pull read from other threads

TEST_F(HostTest, TheDefaultHostHasNoWindowsNoAudioAndTheWallClock)
{
    host::Install(nullptr);
    host::Host& h = host::Current();
    EXPECT_EQ(host::Headless(), nullptr) << "no headless host stands in";
    EXPECT_FALSE(h.OpenWindow(1, "x", 640, 480));
    EXPECT_FALSE(h.OpenAudio(44100, 2, [](int16_t*, int) {}));
    long nBefore = ClockMs();
    EXPECT_GE(nBefore, 0);
    Sleep(15);
    EXPECT_GE(ClockMs() - nBefore, 10) << "the wall clock moves by itself";
}

TEST_F(HostTest, InstallingAHostInstallsItsClock)
{
    host::HeadlessHost& h = host::UseHeadless();
    EXPECT_EQ(ClockMs(), 0);
    h.SetTime(1234);
    EXPECT_EQ(ClockMs(), 1234);
    ClockSetSource([] { return 77L; });
    EXPECT_EQ(ClockMs(), 77) << "a test's own source comes first";
    ClockSetSource(nullptr);
    EXPECT_EQ(ClockMs(), 1234);
}

TEST_F(HostTest, TheHeadlessClockMovesOnlyAsTheTestChose)
{
    host::HeadlessHost& h = host::UseHeadless();
    const uint32_t id = 5;
    h.OpenWindow(id, "w", 2, 1);
    const uint32_t pixels[2] = {1, 2};
    host::Event e;
    // Not at all: frames, pumps and waits leave it standing.
    h.SetImage(id, pixels, 2, 1);
    h.EndFrame(id);
    h.PollEvent(e);
    h.WaitEvent(100);
    EXPECT_EQ(h.Time(), 0);
    // Per frame.
    h.SetFrameStep(16);
    h.EndFrame(id);
    h.PollEvent(e);
    EXPECT_EQ(h.Time(), 16);
    // Per pump: one look at the input is one step, however many events it hands out.
    h.SetFrameStep(0);
    h.SetPumpStep(5);
    h.PushKey(VK_SPACE, true);
    h.PushKey(VK_SPACE, false);
    while (h.PollEvent(e)) {}
    EXPECT_EQ(h.Time(), 21);
    EXPECT_EQ(h.Frames().back().nTime, 16) << "a frame keeps the time it ended at";
}

TEST_F(HostTest, AnImageReplacedWithoutAFrameShowsAtTheNextPumpAndIsNoFrame)
{
    host::HeadlessHost& h = host::UseHeadless();
    const uint32_t id = 9;
    h.OpenWindow(id, "w", 2, 1);
    const uint32_t first[2] = {1, 2}, second[2] = {3, 4};
    h.SetImage(id, first, 2, 1);
    h.EndFrame(id);
    h.SetImage(id, second, 2, 1);
    EXPECT_EQ(h.Shown(id), (std::vector<uint32_t>{1, 2})) << "nothing shows before the pump";
    host::Event e;
    h.PollEvent(e);
    EXPECT_EQ(h.Shown(id), (std::vector<uint32_t>{3, 4}));
    EXPECT_EQ(h.FrameCount(), 1u);
    EXPECT_EQ(h.Frames().back().pixels, (std::vector<uint32_t>{1, 2}));
}

TEST_F(HostTest, TheClockAndTheAudioPullAreSafeFromOtherThreads)
{
    host::HeadlessHost& h = host::UseHeadless();
    std::atomic<int> nPulled{0};
    h.OpenAudio(44100, 2, [&](int16_t* p, int n) {
        for (int i = 0; i < n * 2; ++i)
            p[i] = 1;
        nPulled += n;
    });
    std::atomic<bool> bStop{false};
    long nLast = 0;
    bool bMonotonic = true;
    std::thread reader([&] {
        do {
            long n = ClockMs();
            bMonotonic = bMonotonic && n >= nLast;
            nLast = n;
            h.PullAudio(64);
        } while (!bStop);
    });
    h.SetFrameStep(1);
    h.OpenWindow(1, "w", 1, 1);
    const uint32_t px = 0;
    for (int i = 0; i < 2000; ++i) {
        h.SetImage(1, &px, 1, 1);
        h.EndFrame(1);
    }
    bStop = true;
    reader.join();
    h.CloseAudio();
    EXPECT_TRUE(bMonotonic);
    EXPECT_EQ(h.Time(), 2000);
    EXPECT_GT(nPulled.load(), 0);
    std::vector<int16_t> silence = h.PullAudio(4);
    EXPECT_EQ(silence, std::vector<int16_t>(8, 0)) << "a closed output pulls silence";
}

}  // namespace
#endif
