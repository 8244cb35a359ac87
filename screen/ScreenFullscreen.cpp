// The fullscreen backend, drawn through GDI: the borderless window of exactly the framebuffer's
// size covers the display, and every present copies the framebuffer through the palette.
#include <cstring>

#include "screen/Screen.h"
#include "screen/ScreenBackend.h"

namespace {

struct Display {
    BITMAPINFOHEADER header;
    RGBQUAD colours[256];
};

Display g_display;
bool g_bStarted = false;

void PresentNow()
{
    if (!g_bStarted || !g_pFramebuffer)
        return;
    HDC hdc = GetDC(g_hWnd);
    SetDIBitsToDevice(hdc, 0, 0, static_cast<DWORD>(g_nWidth), static_cast<DWORD>(g_nHeight), 0, 0, 0,
                      static_cast<UINT>(g_nHeight), g_pFramebuffer, reinterpret_cast<const BITMAPINFO*>(&g_display),
                      DIB_RGB_COLORS);
    ReleaseDC(g_hWnd, hdc);
}

}  // namespace

bool ScreenFullscreenStart(int nWidth, int nHeight, int nBits)
{
    if (nBits != 8) {
        ScreenMessageBox("DirectX Init Failed!", "SetDisplayMode()\n\nOops... Direct Draw ERROR!");
        return false;
    }
    std::memset(&g_display, 0, sizeof g_display);
    g_display.header.biSize = sizeof(BITMAPINFOHEADER);
    g_display.header.biWidth = nWidth;
    g_display.header.biHeight = -nHeight;
    g_display.header.biPlanes = 1;
    g_display.header.biBitCount = 8;
    g_display.header.biCompression = BI_RGB;
    g_display.header.biClrUsed = 256;
    // Until the first palette is set, value 0 shows dark blue and every other value black.
    g_display.colours[0].rgbBlue = 64;
    ShowWindow(g_hWnd, SW_SHOW);
    g_bStarted = true;
    return true;
}

void ScreenFullscreenStop()
{
    g_bStarted = false;
}

void ScreenFullscreenPresent()
{
    g_bLocked = true;
    PresentNow();
    g_bLocked = false;
}

void ScreenFullscreenSetPalette(const BYTE* pPalette)
{
    for (int n = 0; n < 256; ++n) {
        g_display.colours[n].rgbBlue = pPalette[n * 4 + 0];
        g_display.colours[n].rgbGreen = pPalette[n * 4 + 1];
        g_display.colours[n].rgbRed = pPalette[n * 4 + 2];
        g_display.colours[n].rgbReserved = 0;
    }
}

HRESULT ScreenFullscreenRestore()
{
    return 0;
}
