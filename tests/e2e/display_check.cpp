// A program for the end-to-end display checks: opens the screen fullscreen, shows a known frame in
// a known palette, then toggles to windowed and back, showing the same frame each time. Between
// steps it writes "shown-N" into the current directory and waits (pumping, presenting) until a
// file "next-N" appears there, so that a script can take a screenshot of each step.
#include <cstdio>
#include <cstring>

#include "platform/win32.h"
#include "screen/Screen.h"

namespace {

// Four quadrants of values 1 to 4 on a frame of value 0.
void DrawFrame()
{
    BYTE* p = ScreenGetBuffer();
    if (!p)
        return;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            p[y * 640 + x] = static_cast<BYTE>(1 + (x >= 320 ? 1 : 0) + (y >= 240 ? 2 : 0));
}

void SetKnownPalette()
{
    static const BYTE kColours[5][3] = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}};
    BYTE palette[1024] = {};
    for (int n = 0; n < 5; ++n) {
        palette[n * 4 + 2] = kColours[n][0];
        palette[n * 4 + 1] = kColours[n][1];
        palette[n * 4 + 0] = kColours[n][2];
    }
    ScreenSetPalette(palette);
}

bool Exists(const char* pszName)
{
    FILE* f = std::fopen(pszName, "rb");
    if (f)
        std::fclose(f);
    return f != nullptr;
}

// Shows the frame until the script says next; false if the run was ended.
bool HoldStep(int nStep)
{
    char szShown[32], szNext[32];
    std::snprintf(szShown, sizeof szShown, "shown-%d", nStep);
    std::snprintf(szNext, sizeof szNext, "next-%d", nStep);
    for (int n = 0; !g_bQuit; ++n) {
        DrawFrame();
        ScreenUpdate();
        ScreenPumpMessages();
        if (n == 30) {
            FILE* f = std::fopen(szShown, "wb");
            if (f)
                std::fclose(f);
        }
        if (n > 30 && Exists(szNext))
            return true;
        if (g_nMode != SCREEN_FULLSCREEN)
            Sleep(16);  // the windowed present does not wait for the display
    }
    return false;
}

}  // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    g_hInstance = hInstance;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ScreenWndProc;
    wc.hInstance = hInstance;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = "Screen";
    if (!RegisterClassA(&wc))
        return 3;
    if (!ScreenOpen(640, 480, 8, SCREEN_FULLSCREEN))
        return 4;
    ScreenSetTitle("Display Check");
    SetKnownPalette();
    if (!HoldStep(1))
        return 5;
    ScreenToggleMode();
    ScreenSetTitle("Display Check");
    if (!HoldStep(2))
        return 6;
    ScreenToggleMode();
    ScreenSetTitle("Display Check");
    if (!HoldStep(3))
        return 7;
    ScreenClose();
    return 0;
}
