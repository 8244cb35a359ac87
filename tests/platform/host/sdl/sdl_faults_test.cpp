// The SDL host's own answers to the faults people meet, where no display or sound card is needed
// (SDL's dummy drivers): which button each key and a signal choose in a box, the lettering of its
// boxes and notices, the notice drawn over the frame and gone after its time, and the sound kept
// in step with the clock when the device falls behind.
#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "platform/host/sdl/audio.h"
#include "platform/host/sdl/lettering.h"
#include "platform/host/sdl/message_box.h"
#include "platform/host/sdl/notice.h"

namespace {

using host::BoxAnswer;
using host::BoxButtons;

TEST(SdlBoxKeys, ReturnTakesTheFirstButtonEscapeCancelOrStopAndASignalLetsTheQuitPathRun)
{
    struct Want {
        BoxButtons kind;
        std::vector<BoxAnswer> buttons;
        BoxAnswer onReturn, onEscape, onSignal;
    };
    const Want wants[] = {
        {BoxButtons::Ok, {BoxAnswer::Ok}, BoxAnswer::Ok, BoxAnswer::Ok, BoxAnswer::Ok},
        // The pictures' box: go on, or stop; a signal stops.
        {BoxButtons::OkCancel, {BoxAnswer::Ok, BoxAnswer::Cancel}, BoxAnswer::Ok, BoxAnswer::Cancel, BoxAnswer::Cancel},
        // The assertion's box: Escape is the button that stops; a signal goes on after the check,
        // and the run then ends by its quit path rather than by Abort's exit.
        {BoxButtons::AbortRetryIgnore,
         {BoxAnswer::Abort, BoxAnswer::Retry, BoxAnswer::Ignore},
         BoxAnswer::Abort,
         BoxAnswer::Abort,
         BoxAnswer::Ignore},
        {BoxButtons::YesNoCancel,
         {BoxAnswer::Yes, BoxAnswer::No, BoxAnswer::Cancel},
         BoxAnswer::Yes,
         BoxAnswer::Cancel,
         BoxAnswer::Cancel},
        {BoxButtons::YesNo, {BoxAnswer::Yes, BoxAnswer::No}, BoxAnswer::Yes, BoxAnswer::No, BoxAnswer::No},
        {BoxButtons::RetryCancel,
         {BoxAnswer::Retry, BoxAnswer::Cancel},
         BoxAnswer::Retry,
         BoxAnswer::Cancel,
         BoxAnswer::Cancel},
    };
    for (const Want& w : wants) {
        SCOPED_TRACE(static_cast<int>(w.kind));
        host::BoxKeys keys = host::KeysOf(w.kind);
        EXPECT_EQ(keys.buttons, w.buttons);
        EXPECT_EQ(keys.onReturn, w.onReturn);
        EXPECT_EQ(keys.onEscape, w.onEscape);
        EXPECT_EQ(keys.onSignal, w.onSignal);
    }
}

TEST(SdlLettering, LinesBreakBetweenWordsAtTheWidthAndAtTheTextsOwnBreaks)
{
    host::Lettering font;
    ASSERT_TRUE(font.Open(15)) << "DejaVu Sans through FreeType";
    EXPECT_GT(font.LineHeight(), 15);
    EXPECT_GT(font.Width("These pictures"), font.Width("These"));
    EXPECT_EQ(font.Width(""), 0);
    const int nMax = font.Width("These pictures did");
    std::vector<std::string> lines = font.Wrap("These pictures did not load:\n\n\"SS.bmp\": the file", nMax);
    for (const std::string& line : lines)
        EXPECT_LE(font.Width(line), nMax) << line;
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], "These pictures did");
    EXPECT_EQ(lines[1], "not load:");
    EXPECT_EQ(lines[2], "") << "the text's empty line stays";
    // A word wider than a line is cut where it must be, never inside a character.
    lines = font.Wrap("/home/someone/Pictures/vadurer-2024-03-07-210509.png", font.Width("/home/some"));
    ASSERT_GT(lines.size(), 2u);
    std::string joined;
    for (const std::string& line : lines)
        joined += line;
    EXPECT_EQ(joined, "/home/someone/Pictures/vadurer-2024-03-07-210509.png");
    lines = font.Wrap("\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", font.Width("\xC3\xA9\xC3\xA9"));
    for (const std::string& line : lines)
        EXPECT_EQ(line.size() % 2, 0u) << "two bytes a character";

    host::Mask mask = font.Draw({"OK", "Cancel"});
    EXPECT_EQ(mask.nHeight, 2 * font.LineHeight());
    EXPECT_EQ(mask.nWidth, font.Width("Cancel"));
    EXPECT_GT(*std::max_element(mask.coverage.begin(), mask.coverage.end()), 200) << "letters were drawn";
}

// A frame of one colour on a software renderer, as the display's window shows it at twice its size.
struct Canvas {
    SDL_Surface* pSurface = SDL_CreateRGBSurfaceWithFormat(0, 1280, 960, 32, SDL_PIXELFORMAT_ARGB8888);
    SDL_Renderer* pRenderer = SDL_CreateSoftwareRenderer(pSurface);
    ~Canvas()
    {
        SDL_DestroyRenderer(pRenderer);
        SDL_FreeSurface(pSurface);
    }
    void Fill()
    {
        SDL_SetRenderDrawColor(pRenderer, 0, 0, 200, 255);
        SDL_RenderClear(pRenderer);
    }
    uint32_t At(int x, int y) const
    {
        return static_cast<const uint32_t*>(pSurface->pixels)[y * pSurface->pitch / 4 + x] & 0xFFFFFF;
    }
};

TEST(SdlNotice, ShowsOverTheFramesBottomLeftForTwoSecondsThenGoes)
{
    Canvas c;
    ASSERT_TRUE(c.pRenderer);
    host::Notice notice;
    const SDL_Rect frame{0, 0, 1280, 960};
    EXPECT_FALSE(notice.Showing(0));
    notice.Say("No screenshot: /proc/vadurer.png: No such file or directory", 1000);
    EXPECT_TRUE(notice.Showing(1000));
    EXPECT_TRUE(notice.Showing(2999));
    EXPECT_FALSE(notice.Showing(3000));
    EXPECT_FALSE(notice.Stale(3000)) << "never drawn, nothing to take away";

    c.Fill();
    ASSERT_TRUE(notice.Draw(c.pRenderer, frame, 640, 1500));
    SDL_RenderPresent(c.pRenderer);
    int nWhite = 0, nDarkened = 0;
    for (int y = 900; y < 960; ++y)
        for (int x = 0; x < 640; ++x) {
            const uint32_t p = c.At(x, y);
            nWhite += p == 0xFFFFFF;
            nDarkened += p != 0x0000C8 && (p & 0xFF) < 0xC8;
        }
    EXPECT_GT(nWhite, 200) << "the text, in white";
    EXPECT_GT(nDarkened, 2000) << "on a darkened box";
    EXPECT_EQ(c.At(640, 100), 0x0000C8u) << "the rest of the frame is as it was";
    EXPECT_EQ(c.At(1279, 959), 0x0000C8u);

    EXPECT_FALSE(notice.Stale(2000));
    EXPECT_TRUE(notice.Stale(3000)) << "out of time and still on the window";
    c.Fill();
    EXPECT_FALSE(notice.Draw(c.pRenderer, frame, 640, 3000));
    EXPECT_FALSE(notice.Stale(3000)) << "drawn once more without it";
    notice.Forget(c.pRenderer);
}

// The production's clock, which the test moves as a pause or a stall would.
struct TestClock {
    std::atomic<long> nOffset{0};
    std::atomic<long> nFrozenAt{-1};
    long Now() const
    {
        long nFrozen = nFrozenAt.load();
        return nFrozen >= 0 ? nFrozen : host::WallClockMs() + nOffset.load();
    }
};

using Steady = std::chrono::steady_clock;

void Sleep(int nMs)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(nMs));
}

// An environment variable set for a scope, then as it was.
class ScopedEnv {
public:
    ScopedEnv(const char* pszName, const char* pszValue) : m_name(pszName)
    {
        if (const char* pszOld = std::getenv(pszName))
            m_old = pszOld, m_bHad = true;
        setenv(pszName, pszValue, 1);
    }
    ~ScopedEnv()
    {
        if (m_bHad)
            setenv(m_name.c_str(), m_old.c_str(), 1);
        else
            unsetenv(m_name.c_str());
    }

private:
    std::string m_name, m_old;
    bool m_bHad = false;
};

// The device here has all but stalled: SDL's disk driver writing nowhere, a period of 256 frames
// each 0.4 s. What is pulled beyond that trickle is the keeper's, which follows the clock.
TEST(SdlAudioKeeper, TheSoundFollowsTheClockWhereTheDeviceFallsBehindAndStandsStillWhileHeld)
{
    ScopedEnv driver("SDL_AUDIODRIVER", "disk"), file("SDL_DISKAUDIOFILE", "/dev/null"),
        delay("SDL_DISKAUDIODELAY", "400");
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_AUDIO), 0) << SDL_GetError();
    TestClock clock;
    std::atomic<int64_t> nPulled{0};
    std::atomic<int> nLargest{0};
    host::SdlAudio audio([&] { return clock.Now(); });
    ASSERT_TRUE(audio.Open(44100, 2, [&](int16_t* p, int n) {
        std::memset(p, 0, size_t(n) * 4);
        nPulled += n;
        nLargest = std::max(nLargest.load(), n);
    })) << SDL_GetError();
    audio.Start();
    Sleep(300);

    // The clock jumps a second ahead: the keeper mixes that second past, in pulls no larger than
    // the device's, so that what is pulled runs ahead of the time that went by by most of it. How
    // soon depends on how busy the machine is: the time is said.
    const int64_t nBefore = nPulled;
    const auto start = Steady::now();
    clock.nOffset = 1000;
    int64_t nAhead = 0;
    while (Steady::now() - start < std::chrono::seconds(5)) {
        const int64_t nMixed = nPulled - nBefore;
        nAhead = nMixed - static_cast<int64_t>(std::chrono::duration<double>(Steady::now() - start).count() * 44100);
        if (nAhead >= 44100 / 2)
            break;
        Sleep(5);
    }
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - start);
    std::printf("%lld ms after the clock's jump, what was pulled ran %.3f s ahead of the time that went by\n",
                static_cast<long long>(took.count()), static_cast<double>(nAhead) / 44100);
    EXPECT_GE(nAhead, 44100 / 2) << "the second the clock passed was mixed past";
    EXPECT_LE(nLargest.load(), 256);

    // Held with the clock stopped (a pause of a second): nothing is pulled, and nothing is owed
    // after: from the moment it goes on, what is pulled follows the time since (a busy machine
    // only makes it fall behind), where owing the pause would put it a whole second ahead.
    clock.nFrozenAt = clock.Now();
    audio.Hold(true);
    Sleep(100);
    const int64_t nHeld = nPulled;
    Sleep(900);
    EXPECT_EQ(nPulled.load(), nHeld) << "nothing pulled while held";
    clock.nOffset = clock.nFrozenAt - host::WallClockMs();
    clock.nFrozenAt = -1;
    const auto resumed = Steady::now();
    audio.Hold(false);
    nAhead = 0;
    while (Steady::now() - resumed < std::chrono::seconds(1) || nPulled - nHeld < 44100 * 3 / 10) {
        const int64_t nAfter = nPulled - nHeld;
        const double dSince = std::chrono::duration<double>(Steady::now() - resumed).count();
        nAhead = std::max(nAhead, nAfter - static_cast<int64_t>(dSince * 44100));
        if (Steady::now() - resumed > std::chrono::seconds(5))
            break;
        Sleep(10);
    }
    EXPECT_GE(nPulled - nHeld, 44100 * 3 / 10) << "it plays on";
    EXPECT_LT(nAhead, 44100 / 2) << "and owes nothing for the pause";
    audio.Close();
    const int64_t nClosed = nPulled;
    Sleep(100);
    EXPECT_EQ(nPulled.load(), nClosed) << "nothing pulled once closed";
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

}  // namespace
