// The production end to end on the headless host: a clock that moves 16 ms a frame (and a pump
// while nothing is presented), pictures of one flat colour each so that every step can be told
// from the framebuffer, and sounds of one steady level each so that the audio pulled at every
// frame tells which have started.
#ifndef _WIN32
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <thread>
#include <vector>

#include "app/Demo.h"
#include "app/Timeline.h"
#include "fx/Cube.h"
#include "platform/host/headless/headless.h"
#include "platform/standin/faults.h"
#include "platform/standin/window_internal.h"
#include "screen/Screen.h"
#include "tests/app/demo_assets.h"
#include "tests/child.h"
#include "tests/screen/screen_fixture.h"
#include "tests/sound/wave_files.h"
#include "tests/test_files.h"
#include "tests/threaded.h"

namespace {

using namespace demoassets;

const long kStep = 16;

// What one presented frame showed and sounded like.
struct FrameInfo {
    long nTime = 0;
    BYTE top = 0, bottom = 0;                          // the first pixels of rows 0 and 479
    bool bAllMask = false;                             // colour 63 everywhere
    int nLeft = 0, nTop = 0, nRight = 0, nBottom = 0;  // the box of mask pixels, empty if none
    int nSounds = 0;                                   // the levels sounding at the frame's end, added up
};

FrameInfo Inspect(long nTime, int nAudio)
{
    FrameInfo f;
    f.nTime = nTime;
    f.nSounds = nAudio;
    const BYTE* p = ScreenGetBuffer();
    if (!p)
        return f;
    f.top = p[0];
    f.bottom = p[479 * 640];
    f.bAllMask = std::all_of(p, p + 307200, [](BYTE b) { return b == 63; });
    if (f.bAllMask)
        return f;
    f.nLeft = 640, f.nTop = 480;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            if (p[y * 640 + x] == 63) {
                f.nLeft = std::min(f.nLeft, x), f.nRight = std::max(f.nRight, x + 1);
                f.nTop = std::min(f.nTop, y), f.nBottom = std::max(f.nBottom, y + 1);
            }
    if (f.nRight == 0)
        f.nLeft = f.nTop = 0;
    return f;
}

// The steady level of the audio the host pulls for one frame: its middle sample.
int PullFrameAudio(host::HeadlessHost& h)
{
    std::vector<int16_t> samples = h.PullAudio(static_cast<int>(h.AudioRate() * kStep / 1000));
    return samples.empty() ? 0 : samples[samples.size() / 2];
}

bool Has(int nSounds, int nLevel)
{
    // Levels are powers of two times 500: a sound is on when its bit is set, within rounding.
    int nUnits = (nSounds + 250) / 500;
    return (nUnits & (nLevel / 500)) != 0;
}

class DemoTest : public testing::Test {
protected:
    void SetUp() override
    {
        WriteAssets();
        Enter();
    }

    void Enter()
    {
        ASSERT_EQ(chdir(kAssetDir), 0);
        m_pHost = &host::UseHeadless();
        m_pHost->SetKeptFrames(0);
        m_pHost->SetFrameStep(kStep);
        m_pHost->SetIdlePumpStep(kStep);
        m_pHost->SetFrameHook([this](size_t) {
            int nAudio = m_pHost->AudioOpen() ? PullFrameAudio(*m_pHost) : 0;
            m_frames.push_back(Inspect(m_pHost->Time(), nAudio));
        });
    }

    void TearDown() override
    {
        m_pHost->SetFrameHook(nullptr);
        m_pHost->SetPumpHook(nullptr);
        // The run's window and its messages go, so that nothing of them reaches the next run.
        ReleaseCapture();
        if (IsWindow(g_hWnd))
            DestroyWindow(g_hWnd);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {}
        EXPECT_EQ(chdir(".."), 0);
    }

    // The first frame from nFrom on for which pred holds, or -1.
    template <typename Pred>
    int First(Pred pred, size_t nFrom = 0) const
    {
        for (size_t i = nFrom; i < m_frames.size(); ++i)
            if (pred(m_frames[i]))
                return static_cast<int>(i);
        return -1;
    }

    host::HeadlessHost* m_pHost = nullptr;
    std::vector<FrameInfo> m_frames;
};

// Runs the production once in this process, as WinMain would after registering the window class;
// the script's globals start as at process start.
void RunProduction()
{
    EnsureScreenClass();
    g_hInstance = GetModuleHandleA(nullptr);
    g_bQuit = false;
    g_bZoomDone = false;
    g_fSceneProgress = 0.0f;
    RunDemo();
}

THREADED_SUITE(DemoTest);  // the whole production, with the music's thread

TEST(Timeline, TheStepsBeginWhereTheProductionHasAlwaysHadThemAndAddUpToItsLength)
{
    EXPECT_EQ(timeline::kScene1AtMs, 7000);
    EXPECT_EQ(timeline::kFlashAtMs, 10000);
    EXPECT_EQ(timeline::kZoomEndAtMs, 11000);
    EXPECT_EQ(timeline::kScene2AtMs, 14000);
    EXPECT_EQ(timeline::kScene3AtMs, 16000);
    EXPECT_EQ(timeline::kFadeToBlackAtMs, 26000);
    const long kCreditStarts[timeline::kCredits + 1] = {29000, 35000, 41000, 48000, 55000, 62000, 69000};
    for (int i = 0; i <= timeline::kCredits; ++i)
        EXPECT_EQ(timeline::CreditAtMs(i), kCreditStarts[i]) << i;
    EXPECT_EQ(timeline::kLengthMs, 69000);
    EXPECT_EQ(timeline::kTimedSteps, 23);
    // The report's parts follow each other in the order of the run, from its start.
    EXPECT_EQ(timeline::kParts[0].nFromMs, 0);
    for (size_t i = 1; i < sizeof timeline::kParts / sizeof timeline::kParts[0]; ++i)
        EXPECT_LT(timeline::kParts[i - 1].nFromMs, timeline::kParts[i].nFromMs) << timeline::kParts[i].pszName;
}

TEST_F(DemoTest, EveryStepLastsItsLengthAndTheScenesShowWhatTheyShould)
{
    RunProduction();
    ASSERT_GT(m_frames.size(), 1000u);

    // Each of the timed steps overruns by less than one 16 ms step.
    long nLast = m_frames.back().nTime;
    EXPECT_GE(nLast, timeline::kLengthMs);
    EXPECT_LE(nLast, timeline::kLengthMs + timeline::kTimedSteps * kStep);
    auto startsAt = [&](int nFrame, long nNominal, int nStepsBefore) {
        ASSERT_GE(nFrame, 0);
        long t = m_frames[nFrame].nTime;
        EXPECT_GE(t, nNominal) << "frame " << nFrame;
        EXPECT_LE(t, nNominal + (nStepsBefore + 1) * kStep) << "frame " << nFrame;
    };

    // The flash: the first frame at or past 3 s into scene 1, colour 63 everywhere, no quad before.
    int nFlash = First([](const FrameInfo& f) { return f.bAllMask; });
    startsAt(nFlash, timeline::kFlashAtMs, 2);
    for (int i = 0; i < nFlash; ++i)
        ASSERT_EQ(m_frames[i].nRight, 0) << "a quad before the flash, frame " << i;
    EXPECT_TRUE(m_frames[nFlash + 1].bAllMask) << "the flash is presented twice";

    // The first quad frame spans the depth-100 rectangle, clipped to the screen.
    const FrameInfo& q = m_frames[nFlash + 2];
    EXPECT_EQ(q.nLeft, 0);
    EXPECT_EQ(q.nTop, 0);
    EXPECT_GE(q.nRight, 638);
    EXPECT_GE(q.nBottom, 478);

    // The zoom ends at depth 350 about 1 s later; the rectangle then stays until scene 2.
    int nFrozen = First([](const FrameInfo& f) { return f.nLeft == 228 && f.nTop == 148; }, nFlash);
    startsAt(nFrozen, timeline::kZoomEndAtMs, 2);
    int nScene2 = First([](const FrameInfo& f) { return f.top == kBand; });
    startsAt(nScene2, timeline::kScene2AtMs, 2);
    for (int i = nFrozen; i < nScene2; ++i) {
        ASSERT_EQ(m_frames[i].nLeft, 228) << i;
        ASSERT_EQ(m_frames[i].nTop, 148) << i;
        ASSERT_LE(m_frames[i].nRight, 411) << i;
        ASSERT_LE(m_frames[i].nBottom, 331) << i;
        ASSERT_GE(m_frames[i].nRight, 409) << i;
        ASSERT_GE(m_frames[i].nBottom, 329) << i;
    }

    // "Bang.wav" starts once, on the frame on which the zoom ends; "THX.wav" and the music from the
    // first frame; "Dshoof.wav" after scene 2.
    EXPECT_TRUE(Has(m_frames[0].nSounds, kThxLevel));
    EXPECT_TRUE(Has(m_frames[0].nSounds, kMusicLevel));
    // The frame whose computed depth first passes 350 draws the quad at the depth before, which may
    // already be exactly 350; the frame after it shows the frozen rectangle either way.
    int nBang = First([](const FrameInfo& f) { return Has(f.nSounds, kBangLevel); });
    EXPECT_TRUE(nBang == nFrozen - 1 || nBang == nFrozen) << nBang << " " << nFrozen;
    EXPECT_EQ(m_frames[nBang + 1].nLeft, 228);
    const int kMusicAndBang = kMusicLevel + kBangLevel;
    for (int i = nBang; i < nBang + 150; ++i)
        ASSERT_NEAR(m_frames[i].nSounds, kMusicAndBang, 250) << "one voice of it, frame " << i;

    // Scene 3: the band at the top and black below it, the scroller wholly clipped at first.
    int nScene3 = First([](const FrameInfo& f) { return f.top == kBand && f.bottom == 0; }, nScene2);
    startsAt(nScene3, timeline::kScene3AtMs, 3);
    EXPECT_TRUE(Has(m_frames[nScene3].nSounds, kDshoofLevel));
    EXPECT_FALSE(Has(m_frames[nScene3 - 1].nSounds, kDshoofLevel));
    EXPECT_EQ(m_frames[nScene3].nRight, 0);

    // The credits: one page after another, each after the fade and the pages before it.
    int nFrom = nScene3;
    for (int i = 0; i < timeline::kCredits; ++i) {
        SCOPED_TRACE(i);
        int nPage = First([i](const FrameInfo& f) { return f.top == kCredit0 + i; }, nFrom);
        startsAt(nPage, timeline::CreditAtMs(i), 5 + 3 * i);
        nFrom = nPage;
    }
    EXPECT_EQ(m_frames.back().top, 0) << "the end clears the screen";
}

TEST_F(DemoTest, ACreditHoldPresentsNothingAndAQuitEndsItAtOnce)
{
    // Quit on the first pump that presents nothing: the first credit's hold.
    bool bQuitSent = false;
    size_t nFramesAtQuit = 0;
    m_pHost->SetPumpHook([&] {
        if (!bQuitSent && !m_frames.empty() && m_frames.back().top == kCredit0 &&
            m_pHost->Time() > m_frames.back().nTime) {
            bQuitSent = true;
            nFramesAtQuit = m_frames.size();
            m_pHost->PushKey(VK_ESCAPE, true);
        }
    });
    RunProduction();
    ASSERT_TRUE(bQuitSent);
    EXPECT_EQ(m_frames.size(), nFramesAtQuit + 2) << "only the two cleared frames of the end follow";
}

TEST_F(DemoTest, QuittingDuringTheOpeningFadeSkipsEveryStepButStillStartsTheLastEffect)
{
    m_pHost->SetPumpHook([&] {
        if (m_frames.size() == 10)
            m_pHost->PushMouseButton(host::Button::Left, true, 5, 5);
    });
    RunProduction();
    ASSERT_EQ(m_frames.size(), 12u) << "ten fade frames and the two cleared ones";
    EXPECT_EQ(m_frames[11].top, 0);
    EXPECT_EQ(m_frames[10].top, 0);
    EXPECT_TRUE(Has(m_frames[11].nSounds, kDshoofLevel)) << "the effect after scene 2 still starts";
    EXPECT_FALSE(Has(m_frames[11].nSounds, kBangLevel));
    EXPECT_EQ(g_pFramebuffer, nullptr) << "the screen is closed";
}

TEST_F(DemoTest, QuittingBeforeTheFlashShowsNoQuadAndNoBang)
{
    m_pHost->SetPumpHook([&] {
        if (!m_frames.empty() && m_frames.back().nTime > timeline::kFlashAtMs - 500)
            m_pHost->PushKey(VK_ESCAPE, true);
    });
    RunProduction();
    ASSERT_LT(m_frames.back().nTime, timeline::kFlashAtMs);
    for (const FrameInfo& f : m_frames) {
        ASSERT_FALSE(f.bAllMask) << f.nTime << " of " << m_frames.size();
        ASSERT_EQ(f.nRight, 0);
        ASSERT_FALSE(Has(f.nSounds, kBangLevel));
    }
}

TEST_F(DemoTest, APictureThatDidNotLoadIsNamedAndTheProductionRunsToTheEnd)
{
    EXPECT_EQ(chdir(".."), 0);
    WriteAssets("tolbo.bmp");
    Enter();
    RunProduction();
    auto boxes = m_pHost->Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].text.find("\"tolbo.bmp\": the file cannot be opened"), std::string::npos) << boxes[0].text;
    EXPECT_EQ(boxes[0].text.find("Vorbax"), std::string::npos);
    EXPECT_GE(m_frames.back().nTime, timeline::kLengthMs);
}

TEST_F(DemoTest, CancelOnThePicturesBoxEndsTheRunWithNothingShownOrPlayed)
{
    EXPECT_EQ(chdir(".."), 0);
    WriteAssets("tolbo.bmp");
    Enter();
    m_pHost->QueueBoxAnswer(host::BoxAnswer::Cancel);
    RunProduction();
    EXPECT_EQ(m_pHost->Boxes().size(), 1u);
    EXPECT_TRUE(m_frames.empty()) << m_frames.size() << " frames presented";
    ASSERT_TRUE(m_pHost->AudioOpen());
    EXPECT_EQ(PullFrameAudio(*m_pHost), 0) << "a sound started";
    EXPECT_EQ(g_pFramebuffer, nullptr) << "the screen is closed";
}

TEST_F(DemoTest, ASoundThatDidNotLoadIsNamedInItsReportAndTheProductionRunsToTheEnd)
{
    EXPECT_EQ(chdir(".."), 0);
    WriteAssets("Bang.wav");
    Enter();
    RunProduction();
    auto boxes = m_pHost->Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].text.find("It was reading \"Bang.wav\""), std::string::npos) << boxes[0].text;
    EXPECT_NE(boxes[0].text.find("File: StaticSound"), std::string::npos) << boxes[0].text;
    EXPECT_GE(m_frames.back().nTime, timeline::kLengthMs);
    for (const FrameInfo& f : m_frames)
        ASSERT_FALSE(Has(f.nSounds, kBangLevel));
}

}  // namespace
#endif

#ifndef _WIN32
int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nShowCmd);

namespace {

enum QuitKind { kEscape, kLeftClick, kAltF4, kCloseWindow, kQEnterAlt, kQuitKinds };

// Frames presented after the run was ended (by g_bQuit, or by the process ending).
size_t g_nFramesAfterQuit = 0;
size_t g_nFramesAfterInput = 0;
bool g_bInputSent = false;

void WriteQuitResult()
{
    std::string text = std::to_string(g_nFramesAfterQuit) + " " + std::to_string(g_nFramesAfterInput) + " " +
                       (g_bInputSent ? "1" : "0");
    testfiles::WriteAll(std::string("../") + std::getenv("VADURER_QUIT_RESULT"),
                        testfiles::Bytes(text.begin(), text.end()));
}

void SendQuit(host::HeadlessHost& h, int nKind)
{
    switch (nKind) {
    case kEscape: h.PushKey(VK_ESCAPE, true); break;
    case kLeftClick: h.PushMouseButton(host::Button::Left, true, 320, 240); break;
    case kAltF4:
        h.PushKey(VK_MENU, true);
        h.PushKey(VK_F4, true);
        break;
    case kCloseWindow: {
        host::Event e;
        e.type = host::EventType::Close;
        h.Push(e);
        break;
    }
    default:
        h.PushKey('Q', true);
        h.PushKey(VK_RETURN, true);
        h.PushKey(VK_MENU, true);
        break;
    }
}

}  // namespace

// The whole program, ended by one kind of input at one moment, both given by the parent, which
// also names the file the child leaves its counts in.
CHILD_SCENARIO(demo_quit)
{
    const long nAt = std::atol(std::getenv("VADURER_QUIT_AT"));
    const int nKind = std::atoi(std::getenv("VADURER_QUIT_KIND"));
    if (chdir(kAssetDir) != 0)
        return 90;
    host::HeadlessHost& h = host::UseHeadless();
    h.SetKeptFrames(0);
    h.SetFrameStep(kStep);
    h.SetIdlePumpStep(kStep);
    h.SetFrameHook([](size_t) {
        g_nFramesAfterQuit += g_bQuit ? 1 : 0;
        g_nFramesAfterInput += g_bInputSent ? 1 : 0;
    });
    h.SetPumpHook([&h, nAt, nKind] {
        if (!g_bInputSent && h.Time() >= nAt) {
            g_bInputSent = true;
            SendQuit(h, nKind);
        }
    });
    std::atexit(WriteQuitResult);
    static char szNoArguments[] = "";
    return WinMain(GetModuleHandleA(nullptr), nullptr, szNoArguments, SW_SHOWDEFAULT);
}

namespace {

// One run of the child: what it was given, and where it is.
struct QuitRun {
    int nPid = -1;
    long nAt = 0;
    int nKind = 0;
    std::string result;
};

void CheckQuitRun(const QuitRun& run)
{
    SCOPED_TRACE(testing::Message() << "kind " << run.nKind << " at " << run.nAt << " ms");
    // The wParam of the last message retrieved: the key, the button flags, F4, WM_CLOSE's 0;
    // the key combination ends the process with 0.
    const int kCodes[kQuitKinds] = {VK_ESCAPE, MK_LBUTTON, VK_F4, 0, 0};
    EXPECT_EQ(WaitChildProcess(run.nPid), kCodes[run.nKind]);
    const testfiles::Bytes b = testfiles::ReadAll(run.result);
    std::remove(run.result.c_str());
    unsigned nAfterQuit = 99, nAfterInput = 99, nSent = 0;
    ASSERT_EQ(std::sscanf(std::string(b.begin(), b.end()).c_str(), "%u %u %u", &nAfterQuit, &nAfterInput, &nSent), 3);
    ASSERT_EQ(nSent, 1u);
    if (run.nKind == kQEnterAlt) {
        // Five messages (Q, its character, Enter, its character, Alt), one a pump.
        EXPECT_LE(nAfterInput, 5u);
        EXPECT_EQ(nAfterQuit, 0u);
    } else {
        // Only the two cleared frames of the end follow the quit (none once the window is gone).
        EXPECT_LE(nAfterQuit, 2u);
        EXPECT_LE(nAfterInput, (run.nKind == kAltF4 ? 1u : 0u) + 2u);
    }
}

TEST(DemoQuit, RandomMomentsEachReachTheCleanUpAtOnceWithTheRightExitCode)
{
    WriteAssets();
    // Fewer where every run is slow (the sanitizer build sets the count).
    const char* pszRuns = std::getenv("VADURER_QUIT_RUNS");
    const int nRuns = pszRuns ? std::atoi(pszRuns) : 50;
    // The runs are processes of their own on the stepped clock, which nothing of the machine's
    // timing reaches: a few side by side, one a core.
    const size_t nAtOnce = std::max(1u, std::min(4u, std::thread::hardware_concurrency()));
    std::deque<QuitRun> running;
    uint32_t nSeed = 12345;
    for (int i = 0; i < nRuns; ++i) {
        nSeed = nSeed * 1103515245u + 12345u;
        QuitRun run;
        run.nAt = static_cast<long>((nSeed >> 8) % timeline::kLengthMs);
        run.nKind = i % kQuitKinds;
        run.result = "demo_quit_result_" + std::to_string(i) + ".txt";
        if (running.size() >= nAtOnce) {
            CheckQuitRun(running.front());
            running.pop_front();
        }
        setenv("VADURER_QUIT_AT", std::to_string(run.nAt).c_str(), 1);
        setenv("VADURER_QUIT_KIND", std::to_string(run.nKind).c_str(), 1);
        setenv("VADURER_QUIT_RESULT", run.result.c_str(), 1);
        std::remove(run.result.c_str());
        run.nPid = StartChildProcess("demo_quit");
        running.push_back(run);
    }
    for (const QuitRun& run : running)
        CheckQuitRun(run);
}

}  // namespace
#endif
