// The SDL host where it has no display to show a box on (SDL's dummy video driver): a program of
// its own, so that the unit tests never link SDL.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/host/sdl/sdl.h"
#include "platform/standin/types.h"

namespace {

// Runs fn with standard error going to a file; returns what was written.
template <typename Fn>
std::string CaptureStderr(Fn fn)
{
    const char* pszFile = "sdl_host_test_stderr.txt";
    std::fflush(stderr);
    int nSaved = dup(2);
    FILE* pFile = std::fopen(pszFile, "w");
    dup2(fileno(pFile), 2);
    fn();
    std::fflush(stderr);
    dup2(nSaved, 2);
    close(nSaved);
    std::fclose(pFile);
    std::ifstream in(pszFile);
    std::stringstream text;
    text << in.rdbuf();
    std::remove(pszFile);
    return text.str();
}

TEST(SdlHost, ABoxThatCannotBeShownIsOneLineOnStderrAndItsFirstButton)
{
    std::string error;
    auto pHost = host::MakeSdlHost(error);
    ASSERT_TRUE(pHost) << error;
    host::BoxAnswer answer = host::BoxAnswer::None;
    std::string text = CaptureStderr([&] {
        answer = pHost->MessageBox("Assertion failed!", "Expression: hr==DS_OK\nFile: StreamSound\nLine: 18",
                                   host::BoxButtons::AbortRetryIgnore, true);
    });
    EXPECT_EQ(answer, host::BoxAnswer::Abort);
    EXPECT_EQ(text, "Assertion failed!: Expression: hr==DS_OK File: StreamSound Line: 18\n");
}

TEST(SdlHost, ItsClockIsTheWallClock)
{
    using Steady = std::chrono::steady_clock;
    std::string error;
    auto pHost = host::MakeSdlHost(error);
    ASSERT_TRUE(pHost) << error;
    // Between two readings it moves as much as the steady clock moved around them, to the
    // millisecond it counts in, however long the sleep took.
    Steady::time_point before = Steady::now();
    long nStart = pHost->NowMs();
    usleep(30000);
    long nElapsed = pHost->NowMs() - nStart;
    long nAround =
        static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - before).count());
    EXPECT_GE(nElapsed, 30);
    EXPECT_LE(nElapsed, nAround + 1);
}

}  // namespace

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <utility>
#include <vector>

#include "platform/host/sdl/display.h"
#include "platform/win32.h"

namespace {

TEST(SdlDisplayFit, TheLargestWholeFactorCentredElseTheLargestFitOfTheSameShape)
{
    host::FitRect r = host::FitImage(640, 480, 1920, 1080);
    EXPECT_EQ(r.nWidth, 1280);
    EXPECT_EQ(r.nHeight, 960);
    EXPECT_EQ(r.x, 320);
    EXPECT_EQ(r.y, 60);
    r = host::FitImage(640, 480, 3840, 2160);  // x4 fits 2560 x 1920
    EXPECT_EQ(r.nWidth, 2560);
    EXPECT_EQ(r.y, 120);
    r = host::FitImage(640, 480, 1279, 1000);  // x2 is one pixel too wide: x1
    EXPECT_EQ(r.nWidth, 640);
    EXPECT_EQ(r.x, 319);
    r = host::FitImage(640, 480, 400, 400);  // nothing whole fits: 400 x 300
    EXPECT_EQ(r.nWidth, 400);
    EXPECT_EQ(r.nHeight, 300);
    EXPECT_EQ(r.y, 50);
    r = host::FitImage(640, 480, 0, 480);
    EXPECT_EQ(r.nWidth, 0);
}

TEST(SdlDisplayFit, TheSharpFillIsTheLargestRectangleOfTheShapeCentred)
{
    struct Case {
        int nOutW, nOutH, x, y, nWidth, nHeight, nPrescale;
    } kCases[] = {
        {1366, 768, 171, 0, 1024, 768, 2},    // x1.6: x2, then shrunk
        {1920, 1080, 240, 0, 1440, 1080, 3},  // x2.25
        {800, 600, 0, 0, 800, 600, 2},        // x1.25
        {320, 240, 0, 0, 320, 240, 1},        // half size: shrunk straight away
        {1280, 1000, 0, 20, 1280, 960, 2},    // x2 exactly: no smooth step at all
        {1000, 700, 33, 0, 933, 700, 2},      // a window: 700 * 4 / 3 is 933 and a third
        {1400, 1000, 33, 0, 1333, 1000, 3},  {500, 400, 0, 12, 500, 375, 1},
        {3840, 2160, 480, 0, 2880, 2160, 5},  // x4.5
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::to_string(c.nOutW) + " x " + std::to_string(c.nOutH));
        host::FitRect r = host::PlaceImage(host::Scaling::Fit, 640, 480, c.nOutW, c.nOutH);
        EXPECT_EQ(r.x, c.x);
        EXPECT_EQ(r.y, c.y);
        EXPECT_EQ(r.nWidth, c.nWidth);
        EXPECT_EQ(r.nHeight, c.nHeight);
        EXPECT_EQ(host::PrescaleFactor(640, 480, r), c.nPrescale);
    }
    // Whole factors where asked for.
    host::FitRect r = host::PlaceImage(host::Scaling::Whole, 640, 480, 1366, 768);
    EXPECT_EQ(r.nWidth, 640);
    EXPECT_EQ(r.x, 363);
    EXPECT_EQ(r.y, 144);
    // A renderer's largest texture caps the step (x5 of 640 is 3200, past 2048).
    r = host::PlaceImage(host::Scaling::Fit, 640, 480, 3840, 2160);
    EXPECT_EQ(host::PrescaleFactor(640, 480, r, 2048, 2048), 3);
    EXPECT_EQ(host::PrescaleFactor(640, 480, r, 600, 600), 1);
    // Nothing to show on.
    r = host::PlaceImage(host::Scaling::Fit, 640, 480, 0, 0);
    EXPECT_EQ(r.nWidth, 0);
    EXPECT_EQ(host::PrescaleFactor(640, 480, r), 1);
}

// The shrinking step of the sharp fill, worked as a renderer's straight-line filter does it (each
// output pixel's centre mapped into the texture, the two texels around it blended): only one
// output pixel at most at each edge between two source pixels is a blend, and from twice the
// image's size up every source pixel also shows in pixels of its own colour alone (below that a
// source pixel is less than two output pixels wide, and one may fall between two blends).
TEST(SdlDisplayFit, EachSourcePixelStaysABlockWithAtMostOnePixelOfSoftEdge)
{
    for (int nOut = 100; nOut <= 4000; nOut += 7) {
        SCOPED_TRACE(nOut);
        const int nSource = 64;  // one row of source pixels, each its own colour (its index)
        host::FitRect r;
        r.nWidth = nOut;
        r.nHeight = nOut * 3 / 4;
        const int k = host::PrescaleFactor(nSource, nSource * 3 / 4, r);
        const int nTexels = nSource * k;
        std::vector<int> pure(size_t(nSource), 0);
        int nBlendsAtOneEdge = 0, nLastEdge = -1;
        for (int x = 0; x < nOut; ++x) {
            const double u = (x + 0.5) * nTexels / nOut - 0.5;
            const int t0 = std::max(0, static_cast<int>(std::floor(u))), t1 = std::min(nTexels - 1, t0 + 1);
            const double f = u - std::floor(u);
            const int a = t0 / k, b = t1 / k;  // the source pixels of the two texels
            if (a == b || f == 0.0) {
                ++pure[size_t(a)];
                continue;
            }
            nBlendsAtOneEdge = nLastEdge == a ? nBlendsAtOneEdge + 1 : 1;
            nLastEdge = a;
            ASSERT_LE(nBlendsAtOneEdge, 1) << "two blended pixels at the edge after source pixel " << a;
        }
        if (nOut >= 2 * nSource) {
            for (int n = 0; n < nSource; ++n)
                ASSERT_GE(pure[size_t(n)], 1) << "source pixel " << n << " shows nowhere in its own colour";
        }
    }
}

// A clock the test steps itself, for the pacer: a wait moves it to the moment waited for (and
// late by as much as a sleep is asked to overshoot), and is counted.
class SteppedClock {
public:
    using TimePoint = host::PacerClock::TimePoint;

    host::PacerClock Clock()
    {
        host::PacerClock clock;
        clock.now = [this] { return m_now; };
        clock.sleepUntil = [this](TimePoint until) {
            ++m_nWaits;
            m_now = std::max(m_now, until + m_overshoot);
        };
        return clock;
    }
    TimePoint Now() const { return m_now; }
    void Advance(std::chrono::nanoseconds d) { m_now += d; }
    void Overshoot(std::chrono::nanoseconds d) { m_overshoot = d; }
    // The waits so far, counted again from none.
    int TakeWaits() { return std::exchange(m_nWaits, 0); }

private:
    TimePoint m_now = TimePoint(std::chrono::seconds(1000));  // any moment but the clock's zero
    std::chrono::nanoseconds m_overshoot{0};
    int m_nWaits = 0;
};

using std::chrono::milliseconds;
constexpr std::chrono::nanoseconds kRefresh = host::FramePacer::kInterval;

// One frame through the pacer as the host flips it: drawn at a cost on the clock, then the wait
// and the flip; the moment of the flip.
SteppedClock::TimePoint PacedFlip(host::FramePacer& pacer, SteppedClock& clock, std::chrono::nanoseconds cost,
                                  std::chrono::nanoseconds displayHolds = std::chrono::nanoseconds(0))
{
    clock.Advance(cost);
    pacer.WaitForFlip();
    clock.Advance(displayHolds);  // a vsync that holds the flip back until the display's refresh
    SteppedClock::TimePoint flipped = clock.Now();
    pacer.Flipped();
    return flipped;
}

TEST(FramePacer, OnItsClockEachFlipWaitsForItsRefreshAndTheScheduleNeverDrifts)
{
    SteppedClock clock;
    clock.Overshoot(milliseconds(1));  // each sleep wakes a millisecond late, as real ones do
    host::FramePacer pacer(clock.Clock());
    pacer.Start(false);
    const SteppedClock::TimePoint first = PacedFlip(pacer, clock, milliseconds(3));
    EXPECT_EQ(clock.TakeWaits(), 0) << "the first flip is due at once";
    SteppedClock::TimePoint last = first;
    for (int n = 1; n <= 600; ++n) {
        SCOPED_TRACE(n);
        // Frames that cost from nothing to nearly a whole refresh to draw.
        SteppedClock::TimePoint t = PacedFlip(pacer, clock, std::chrono::microseconds(n * 7919 % 15000));
        ASSERT_EQ(clock.TakeWaits(), 1) << "one wait for each refresh";
        ASSERT_EQ(t, first + n * kRefresh + milliseconds(1)) << "on the schedule, late only by the one sleep";
        last = t;
    }
    // Ten seconds of flips, sixty a second.
    EXPECT_EQ(last - first, 600 * kRefresh + milliseconds(1));
}

TEST(FramePacer, ALateFrameKeepsTheScheduleAndAStallStartsItAgainWithoutABurst)
{
    SteppedClock clock;
    host::FramePacer pacer(clock.Clock());
    pacer.Start(false);
    const SteppedClock::TimePoint first = PacedFlip(pacer, clock, milliseconds(0));
    for (int n = 1; n <= 10; ++n)
        PacedFlip(pacer, clock, milliseconds(4));
    // A frame that takes half a refresh too long shows as soon as it is drawn; the next keeps to
    // the schedule, so the average stays at sixty.
    SteppedClock::TimePoint late = PacedFlip(pacer, clock, milliseconds(25));
    EXPECT_EQ(clock.TakeWaits(), 10);
    EXPECT_EQ(late, first + 10 * kRefresh + milliseconds(25));
    EXPECT_EQ(PacedFlip(pacer, clock, milliseconds(2)), first + 12 * kRefresh);
    // A stall of a tenth of a second: the frame after it shows at once, and those after it a
    // refresh apart from there, none sooner.
    SteppedClock::TimePoint stalled = PacedFlip(pacer, clock, milliseconds(100));
    EXPECT_EQ(clock.TakeWaits(), 1) << "only the frame after the late one waited";
    SteppedClock::TimePoint previous = stalled;
    for (int n = 1; n <= 30; ++n) {
        SteppedClock::TimePoint t = PacedFlip(pacer, clock, milliseconds(3));
        ASSERT_EQ(t - previous, kRefresh) << "flip " << n << " after the stall";
        previous = t;
    }
    EXPECT_EQ(clock.TakeWaits(), 30);
}

TEST(FramePacer, AVsyncThatHoldsTheFlipsBackPacesThemAndOneThatDoesNotHandsThemToTheClock)
{
    SteppedClock clock;
    host::FramePacer pacer(clock.Clock());
    // The display holds each flip until its refresh: the pacer never waits itself.
    pacer.Start(true);
    for (int n = 0; n < 120; ++n)
        PacedFlip(pacer, clock, milliseconds(5), kRefresh - milliseconds(5));
    EXPECT_TRUE(pacer.DisplayPaces());
    EXPECT_EQ(clock.TakeWaits(), 0);
    // A few fast flips in a row (a refresh missed and caught up) are not enough to distrust it.
    for (int n = 1; n < host::FramePacer::kFastFlipsToDistrust; ++n)
        PacedFlip(pacer, clock, milliseconds(2));
    PacedFlip(pacer, clock, milliseconds(5), kRefresh - milliseconds(5));
    EXPECT_TRUE(pacer.DisplayPaces());
    // A vsync that does not hold them back at all: the clock takes over, a refresh apart.
    for (int n = 0; n < host::FramePacer::kFastFlipsToDistrust; ++n)
        PacedFlip(pacer, clock, milliseconds(1));
    EXPECT_FALSE(pacer.DisplayPaces());
    EXPECT_EQ(clock.TakeWaits(), 0);
    SteppedClock::TimePoint previous = clock.Now();
    for (int n = 1; n <= 60; ++n) {
        SteppedClock::TimePoint t = PacedFlip(pacer, clock, milliseconds(1));
        ASSERT_EQ(t - previous, kRefresh) << "flip " << n << " on the clock";
        previous = t;
    }
    EXPECT_EQ(clock.TakeWaits(), 60);
}

LRESULT CALLBACK PlainProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(hWnd, nMsg, wParam, lParam);
}

// The SDL host's own display on a real X display (its own ctest entry, under Xvfb), paced by a
// clock the test steps: every frame flipped is presented, in order, each at the refresh it
// waited for.
TEST(SdlDisplay, PresentsEachFrameAtTheRefreshItWaitedFor)
{
    if (!std::getenv("VADURER_PACING_TEST"))
        GTEST_SKIP() << "needs an X display; run by the sdl_pacing test";
    const std::string log = "sdl_host_test_frames.txt";
    std::remove(log.c_str());
    SteppedClock clock;
    std::string error;
    host::SdlOptions options;
    options.scaling = host::Scaling::Whole;
    options.frameLog = log;
    options.pacerClock = clock.Clock();
    auto pHost = host::MakeSdlHost(error, options);
    ASSERT_TRUE(pHost) << error;
    host::Install(std::move(pHost));
    WNDCLASSA wc = {};
    wc.lpfnWndProc = PlainProc;
    wc.lpszClassName = "Pacing";
    ASSERT_NE(RegisterClassA(&wc), 0);
    HWND hWnd = CreateWindowExA(0, "Pacing", "Pacing", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(hWnd, nullptr);
    LPDIRECTDRAW pDD = nullptr;
    LPDIRECTDRAW4 pDD4 = nullptr;
    ASSERT_EQ(DirectDrawCreate(nullptr, &pDD, nullptr), DD_OK);
    ASSERT_EQ(pDD->QueryInterface(IID_IDirectDraw4, reinterpret_cast<LPVOID*>(&pDD4)), DD_OK);
    ASSERT_EQ(pDD4->SetCooperativeLevel(hWnd, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    ASSERT_EQ(pDD4->SetDisplayMode(640, 480, 8, 0, 0), DD_OK);
    DDSURFACEDESC2 d = {};
    d.dwSize = sizeof d;
    d.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    d.dwBackBufferCount = 1;
    LPDIRECTDRAWSURFACE4 pFront = nullptr, pBack = nullptr;
    ASSERT_EQ(pDD4->CreateSurface(&d, &pFront, nullptr), DD_OK);
    DDSCAPS2 caps = {DDSCAPS_BACKBUFFER, 0, 0, 0};
    ASSERT_EQ(pFront->GetAttachedSurface(&caps, &pBack), DD_OK);

    // Frame n is filled with index n; each costs 5 ms to draw on the test's clock, but frame 200,
    // which stalls for a tenth of a second. Whether the renderer says it waits for the display or
    // not, the stepped clock sees no refresh go by in a flip: the pacer has the flips from the
    // sixth at the latest.
    const int kFrames = 360, kSettled = 2 * host::FramePacer::kFastFlipsToDistrust, kStall = 200;
    std::vector<SteppedClock::TimePoint> flips;
    std::vector<int> waits;
    MSG msg;
    for (int n = 0; n < kFrames; ++n) {
        DDSURFACEDESC2 lock = {};
        lock.dwSize = sizeof lock;
        ASSERT_EQ(pBack->Lock(nullptr, &lock, DDLOCK_WAIT, nullptr), DD_OK);
        std::memset(lock.lpSurface, n & 0xFF, static_cast<size_t>(lock.lPitch) * 480);
        pBack->Unlock(nullptr);
        clock.Advance(n == kStall ? milliseconds(100) : milliseconds(5));
        ASSERT_EQ(pFront->Flip(nullptr, DDFLIP_WAIT), DD_OK);
        flips.push_back(clock.Now());
        waits.push_back(clock.TakeWaits());
        PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
    }
    pBack->Release();
    pFront->Release();
    pDD4->Release();
    pDD->Release();
    host::Install(nullptr);  // the frame log closes with the host

    std::chrono::nanoseconds longest(0), shortest = std::chrono::hours(1);
    for (int n = kSettled; n < kFrames; ++n) {
        SCOPED_TRACE(n);
        const std::chrono::nanoseconds gap = flips[size_t(n)] - flips[size_t(n) - 1];
        if (n == kStall) {
            EXPECT_EQ(waits[size_t(n)], 0) << "the frame after a stall shows at once";
            EXPECT_EQ(gap, milliseconds(100));
            continue;
        }
        EXPECT_EQ(waits[size_t(n)], 1) << "one wait for the refresh";
        EXPECT_EQ(gap, kRefresh) << "a refresh after the frame before";
        longest = std::max(longest, gap);
        shortest = std::min(shortest, gap);
    }
    const double dSeconds = std::chrono::duration<double>(flips.back() - flips[kSettled - 1]).count();
    std::printf(
        "%d flips in %.3f s of the test's clock (a stall of 0.1 s among them); apart from it, from "
        "%.3f to %.3f ms apart\n",
        kFrames - kSettled, dSeconds, std::chrono::duration<double, std::milli>(shortest).count(),
        std::chrono::duration<double, std::milli>(longest).count());

    // Each frame ended on the display once, in order, showing what was drawn into it.
    std::ifstream in(log);
    std::vector<int> shown;
    long nWallMs = 0, nClockMs = 0;
    int nIndex = 0;
    while (in >> nWallMs >> nClockMs >> nIndex)
        shown.push_back(nIndex);
    ASSERT_EQ(shown.size(), size_t(kFrames)) << "frames the display ended";
    for (int n = 0; n < kFrames; ++n)
        ASSERT_EQ(shown[size_t(n)], n & 0xFF) << "frame " << n;
    std::remove(log.c_str());
}

}  // namespace

#include <png.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>

#include "platform/host/sdl/screenshot.h"

namespace {

// A folder of its own under the test's working folder, made empty.
std::string FreshFolder(const std::string& name)
{
    std::string path = "sdl_host_test_" + name;
    std::error_code error;
    std::filesystem::remove_all(path, error);
    mkdir(path.c_str(), 0755);
    char szCwd[4096];
    return std::string(getcwd(szCwd, sizeof szCwd)) + "/" + path;
}

TEST(SdlScreenshot, GoesToTheXdgPicturesFolderElseWhereItWasStarted)
{
    const std::string home = FreshFolder("home");
    mkdir((home + "/.config").c_str(), 0755);
    mkdir((home + "/Bilder").c_str(), 0755);
    std::map<std::string, std::string> env = {{"HOME", home}};
    auto getenv = [&](const char* pszName) -> const char* {
        auto it = env.find(pszName);
        return it == env.end() ? nullptr : it->second.c_str();
    };
    auto userDirs = [&](const std::string& text) { std::ofstream(home + "/.config/user-dirs.dirs") << text; };
    EXPECT_EQ(host::PicturesFolder(getenv), ".") << "no user-dirs file";
    userDirs(
        "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_PICTURES_DIR=\"$HOME/Bilder\"\n");
    EXPECT_EQ(host::PicturesFolder(getenv), home + "/Bilder");
    userDirs("XDG_PICTURES_DIR=\"$HOME/Missing\"\n");
    EXPECT_EQ(host::PicturesFolder(getenv), ".") << "a folder that does not exist";
    userDirs("XDG_PICTURES_DIR=\"$HOME/\"\n");
    EXPECT_EQ(host::PicturesFolder(getenv), ".") << "the home folder itself: switched off";
    userDirs("XDG_PICTURES_DIR=\"" + home + "/Bilder/\"\n");
    EXPECT_EQ(host::PicturesFolder(getenv), home + "/Bilder") << "an absolute path";
    env["XDG_CONFIG_HOME"] = home + "/elsewhere";
    EXPECT_EQ(host::PicturesFolder(getenv), ".") << "the file where XDG_CONFIG_HOME says, not in ~/.config";
    env["XDG_PICTURES_DIR"] = home + "/Bilder";
    EXPECT_EQ(host::PicturesFolder(getenv), home + "/Bilder") << "the environment's own";
    // Without a pictures folder, the installed launcher's word for where the program was started.
    env.erase("XDG_PICTURES_DIR");
    env["VADURER_STARTED_IN"] = home;
    EXPECT_EQ(host::PicturesFolder(getenv), home) << "the folder the launcher was started in";
    env["VADURER_STARTED_IN"] = home + "/Missing";
    EXPECT_EQ(host::PicturesFolder(getenv), ".") << "a started-in folder that does not exist";
}

TEST(SdlScreenshot, NamedByTheTimeNeverOverwritingAndItsPixelsAndPaletteAsShown)
{
    const std::string folder = FreshFolder("shots");
    std::tm when = {};
    when.tm_year = 2024 - 1900, when.tm_mon = 2, when.tm_mday = 7, when.tm_hour = 21, when.tm_min = 5;
    when.tm_sec = 9, when.tm_isdst = -1;
    const std::time_t t = std::mktime(&when);
    std::string error;
    std::string first = host::NewScreenshotFile(folder, t, error);
    std::string second = host::NewScreenshotFile(folder, t, error);
    EXPECT_EQ(first, folder + "/vadurer-2024-03-07-210509.png");
    EXPECT_EQ(second, folder + "/vadurer-2024-03-07-210509-2.png");
    EXPECT_EQ(host::NewScreenshotFile(folder + "/missing", t, error), "");
    EXPECT_NE(error.find("missing"), std::string::npos) << error;

    host::Picture frame;
    frame.nWidth = 7, frame.nHeight = 3;
    for (int i = 0; i < 21; ++i)
        frame.indices.push_back(static_cast<uint8_t>(i * 12));
    for (int i = 0; i < 256; ++i)
        frame.palette[i] = static_cast<uint32_t>(i * 0x010203);
    ASSERT_TRUE(host::WritePng(first, frame, error)) << error;
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, first.c_str()));
    EXPECT_EQ(image.width, 7u);
    EXPECT_TRUE(image.format & PNG_FORMAT_FLAG_COLORMAP) << "a paletted picture, as the frame was";
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr));
    for (int i = 0; i < 21; ++i) {
        uint32_t want = frame.palette[frame.indices[i]];
        uint32_t got = uint32_t(rgb[3 * i]) << 16 | uint32_t(rgb[3 * i + 1]) << 8 | rgb[3 * i + 2];
        EXPECT_EQ(got, want) << "pixel " << i;
    }
    EXPECT_FALSE(host::WritePng(second, host::Picture(), error)) << "nothing shown yet";
    EXPECT_EQ(error, "no frame is being shown");
}

}  // namespace
