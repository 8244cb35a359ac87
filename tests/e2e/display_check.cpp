// A program for the end-to-end display checks: opens the screen fullscreen, shows a known frame in
// a known palette, then toggles to windowed and back, showing the same frame each time. Between
// steps it writes "shown-N" into the current directory and waits (pumping, presenting) until a
// file "next-N" appears there, so that a script can take a screenshot of each step.
// The frame is four quadrants in four colours, or, with DISPLAY_CHECK_PATTERN=detail, one for the
// scaling checks: lines, checks and dots a pixel wide in many colours inside a white border; its
// pixels are written to "frame.ppm" as well, for the script to scale by a route of its own, and
// the mouse's last place in the frame's pixels to "mouse.txt" whenever it moves.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/win32.h"
#include "screen/Screen.h"

namespace {

bool g_bDetail = false;

// Palette index of the detailed frame's pixel (x, y).
BYTE DetailAt(int x, int y)
{
    if (x == 0 || y == 0 || x == 639 || y == 479)
        return 255;  // the white border
    if (y < 120)
        return static_cast<BYTE>(1 + (x + y) % 2 * 100 + (x / 40) % 8);  // one-pixel checks
    if (y < 240)
        return static_cast<BYTE>(x % 3 == 0 ? 1 + (x / 3) % 250 : 0);  // one-pixel columns of many colours
    if (y < 360) {
        if ((x + 2 * y) % 23 == 0 || (x - y + 480) % 17 == 0)
            return 254;                                                // diagonal lines
        return static_cast<BYTE>(y % 4 == 0 ? 120 + x / 8 % 100 : 0);  // one-pixel rows
    }
    unsigned n = (static_cast<unsigned>(x) * 73856093u) ^ (static_cast<unsigned>(y) * 19349663u);
    n ^= n >> 13;
    n *= 0x5BD1E995u;
    n ^= n >> 15;
    return static_cast<BYTE>(n % 6 == 0 ? 1 + (n >> 8) % 250 : 0);  // scattered dots
}

void DetailColour(int n, BYTE rgb[3])
{
    if (n == 0 || n == 255 || n == 254) {
        const BYTE v = n == 0 ? 0 : n == 255 ? 255 : 200;
        rgb[0] = rgb[1] = rgb[2] = v;
        return;
    }
    rgb[0] = static_cast<BYTE>(40 + n * 37 % 216);
    rgb[1] = static_cast<BYTE>(40 + (n * 91 + 60) % 216);
    rgb[2] = static_cast<BYTE>(40 + (n * 151 + 120) % 216);
}

// The detailed frame's pixels as the script's reference.
void WriteDetailFrame()
{
    FILE* f = std::fopen("frame.ppm", "wb");
    if (!f)
        return;
    std::fprintf(f, "P6\n640 480\n255\n");
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            BYTE rgb[3];
            DetailColour(DetailAt(x, y), rgb);
            std::fwrite(rgb, 1, 3, f);
        }
    std::fclose(f);
}

// Four quadrants of values 1 to 4 on a frame of value 0.
void DrawFrame()
{
    BYTE* p = ScreenGetBuffer();
    if (!p)
        return;
    if (g_bDetail) {
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x)
                p[y * 640 + x] = DetailAt(x, y);
        return;
    }
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            p[y * 640 + x] = static_cast<BYTE>(1 + (x >= 320 ? 1 : 0) + (y >= 240 ? 2 : 0));
}

void SetKnownPalette()
{
    if (g_bDetail) {
        BYTE palette[1024] = {};
        for (int n = 0; n < 256; ++n) {
            BYTE rgb[3];
            DetailColour(n, rgb);
            palette[n * 4 + 2] = rgb[0];
            palette[n * 4 + 1] = rgb[1];
            palette[n * 4 + 0] = rgb[2];
        }
        ScreenSetPalette(palette);
        return;
    }
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
    int nMouseX = -1, nMouseY = -1;
    for (int n = 0; !g_bQuit; ++n) {
        DrawFrame();
        ScreenUpdate();
        ScreenPumpMessages();
        if (g_bDetail && (g_nMouseX != nMouseX || g_nMouseY != nMouseY)) {
            nMouseX = g_nMouseX;
            nMouseY = g_nMouseY;
            if (FILE* f = std::fopen("mouse.tmp", "wb")) {
                std::fprintf(f, "%d %d\n", nMouseX, nMouseY);
                std::fclose(f);
                std::rename("mouse.tmp", "mouse.txt");
            }
        }
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
    const char* pszPattern = std::getenv("DISPLAY_CHECK_PATTERN");
    g_bDetail = pszPattern && std::strcmp(pszPattern, "detail") == 0;
    if (g_bDetail)
        WriteDetailFrame();
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
