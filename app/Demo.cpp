// The frame loop that runs in place of the production until its script exists: a moving test
// pattern of diagonal colour bands and a bouncing bar, timed by the clock, for the production's
// length or until the run is ended.
#include "app/Demo.h"

#include <cstdlib>

#include "screen/Screen.h"

namespace {

const long kRunMs = 69000;

void SetTestPalette()
{
    BYTE palette[256 * 4];
    for (int n = 0; n < 256; ++n) {
        // Four ramps: blue, green, red, grey, each rising over 64 entries.
        int level = (n & 63) * 4;
        int ramp = n >> 6;
        palette[n * 4 + 0] = static_cast<BYTE>(ramp == 0 || ramp == 3 ? level : level / 4);
        palette[n * 4 + 1] = static_cast<BYTE>(ramp == 1 || ramp == 3 ? level : level / 4);
        palette[n * 4 + 2] = static_cast<BYTE>(ramp == 2 || ramp == 3 ? level : level / 4);
        palette[n * 4 + 3] = 0;
    }
    ScreenSetPalette(palette);
}

void DrawTestPattern(BYTE* pFrame, long nTime)
{
    int nShift = static_cast<int>(nTime / 8);
    int nBar = static_cast<int>((nTime / 4) % 880);
    if (nBar > 440)
        nBar = 880 - nBar;
    for (int y = 0; y < 480; ++y) {
        BYTE* pRow = pFrame + y * 640;
        bool bInBar = y >= nBar && y < nBar + 40;
        for (int x = 0; x < 640; ++x)
            pRow[x] = bInBar ? static_cast<BYTE>(192 + (x >> 4) % 64) : static_cast<BYTE>(((x + y + nShift) >> 2) & 191);
    }
}

}  // namespace

void RunDemo()
{
    if (!ScreenOpen(640, 480, 8, SCREEN_FULLSCREEN))
        return;
    ScreenSetTitle("Stop The Vadurer");
    SetTestPalette();
    long nStart = ClockMs();
    for (;;) {
        long nTime = std::labs(ClockMs() - nStart);
        if (nTime >= kRunMs || g_bQuit)
            break;
        DrawTestPattern(ScreenGetBuffer(), nTime);
        ScreenUpdate();
        ScreenPumpMessages();
    }
    ScreenClear(0);
    ScreenUpdate();
    ScreenClose();
}
