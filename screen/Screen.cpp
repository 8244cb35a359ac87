// Screen state and the operations both backends share: open, close, toggle, present, palette,
// the message pump and the small pass-through calls.
#include "screen/Screen.h"

#include <cstring>
#include <new>

#include "screen/DibSection.h"
#include "screen/ScreenFullscreen.h"

int g_nWidth = 0;
int g_nHeight = 0;
int g_nBits = 0;
int g_nMode = SCREEN_FULLSCREEN;
HWND g_hWnd = nullptr;
HINSTANCE g_hInstance = nullptr;
BYTE* g_pFramebuffer = nullptr;
BYTE g_Palette[256 * 4] = {};
bool g_bPageFlip = true;
bool g_bLocked = false;
bool g_bQuit = false;
MSG g_Msg = {};

namespace {

size_t FramebufferBytes()
{
    if (g_nWidth <= 0 || g_nHeight <= 0 || g_nBits <= 0)
        return 0;
    return static_cast<size_t>(g_nWidth) * static_cast<size_t>(g_nHeight) * static_cast<size_t>(g_nBits / 8);
}

// Centred by the framebuffer's size, not by the window's outer size.
HWND CreateScreenWindow(int nWidth, int nHeight, int nMode)
{
    int x = GetSystemMetrics(SM_CXSCREEN) / 2 - nWidth / 2;
    int y = GetSystemMetrics(SM_CYSCREEN) / 2 - nHeight / 2;
    DWORD dwStyle = WS_POPUP;
    int nOuterW = nWidth, nOuterH = nHeight;
    if (nMode == SCREEN_WINDOWED) {
        dwStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
        nOuterW = nWidth + 6;
        nOuterH = nHeight + 25;
    }
    return CreateWindowExA(0, "Screen", "System Window", dwStyle, x, y, nOuterW, nOuterH, nullptr, nullptr, g_hInstance,
                           nullptr);
}

// A failed start leaves no window: destroying it set the quit flag, which the failure clears.
bool AbandonWindow()
{
    DestroyWindow(g_hWnd);
    ScreenPumpMessages();
    g_bQuit = false;
    return false;
}

bool OpenFullscreen(int nWidth, int nHeight, int nBits)
{
    if (!ScreenInitDirectDraw(nWidth, nHeight, nBits))
        return AbandonWindow();
    size_t nBytes = FramebufferBytes();
    BYTE* pBuffer = new (std::nothrow) BYTE[nBytes ? nBytes : 1];
    if (!pBuffer) {
        ScreenReleaseDirectDraw();
        return AbandonWindow();
    }
    g_pFramebuffer = pBuffer;
    g_nMode = SCREEN_FULLSCREEN;
    return true;
}

bool OpenWindowed(int nWidth, int nHeight, int nBits, const BYTE* pBlack)
{
    ShowWindow(g_hWnd, SW_SHOW);
    g_Dib.Create(g_hWnd, nWidth, nHeight, nBits, pBlack);
    if (!g_Dib.GetBits())
        return false;  // no section, no framebuffer: nothing could be drawn
    g_Dib.Blit(g_hWnd);
    g_nMode = SCREEN_WINDOWED;
    g_pFramebuffer = g_Dib.GetBits();
    return true;
}

}  // namespace

bool ScreenOpen(int nWidth, int nHeight, int nBits, int nMode)
{
    g_nWidth = nWidth;
    g_nHeight = nHeight;
    g_nBits = nBits;
    BYTE black[256 * 4] = {};

    g_hWnd = CreateScreenWindow(nWidth, nHeight, nMode);
    if (!g_hWnd)
        return false;
    if (nMode == SCREEN_FULLSCREEN)
        return OpenFullscreen(nWidth, nHeight, nBits);
    if (nMode == SCREEN_WINDOWED)
        return OpenWindowed(nWidth, nHeight, nBits, black);
    return false;
}

void ScreenClose()
{
    if (g_nMode != SCREEN_FULLSCREEN)
        return;  // the section and the framebuffer stay until the process ends
    ScreenReleaseDirectDraw();
    delete[] g_pFramebuffer;
    g_pFramebuffer = nullptr;
}

// The window of the mode left behind stays (destroying it would end the run) but is hidden, so
// that only the new mode's window is seen.
void ScreenToggleMode()
{
    HWND hLeft = g_hWnd;
    ScreenClose();
    ShowWindow(hLeft, SW_HIDE);
    ScreenOpen(g_nWidth, g_nHeight, g_nBits, g_nMode == SCREEN_FULLSCREEN ? SCREEN_WINDOWED : SCREEN_FULLSCREEN);
    ScreenSetPalette(g_Palette);
}

void ScreenUpdate()
{
    if (g_nMode == SCREEN_FULLSCREEN)
        ScreenFullscreenPresent();
    else
        g_Dib.Blit(g_hWnd);
}

void ScreenClear(int nValue)
{
    if (g_pFramebuffer)
        std::memset(g_pFramebuffer, nValue & 0xFF, FramebufferBytes());
}

void ScreenSetPalette(const BYTE* pPalette)
{
    // The caller's palette may be g_Palette itself (the toggle passes it).
    BYTE copy[256 * 4];
    std::memcpy(copy, pPalette, sizeof copy);
    for (int n = 0; n < 256; ++n) {
        g_Palette[n * 4 + 0] = copy[n * 4 + 0];
        g_Palette[n * 4 + 1] = copy[n * 4 + 1];
        g_Palette[n * 4 + 2] = copy[n * 4 + 2];
        g_Palette[n * 4 + 3] = 0;
    }
    if (g_nMode == SCREEN_FULLSCREEN)
        ScreenFullscreenSetPalette(copy);
    else
        g_Dib.SetPalette(g_hWnd, copy);
}

BYTE* ScreenGetBuffer()
{
    return g_pFramebuffer;
}

int ScreenGetWidth()
{
    return g_nWidth;
}

int ScreenGetHeight()
{
    return g_nHeight;
}

HWND ScreenGetWindow()
{
    return g_hWnd;
}

void ScreenSetTitle(const char* pszTitle)
{
    SetWindowTextA(g_hWnd, pszTitle);
}

bool ScreenPostMessage(UINT nMessage, WPARAM wParam, LPARAM lParam)
{
    return PostMessageA(g_hWnd, nMessage, wParam, lParam) != FALSE;
}

int ScreenMessageBox(const char* pszCaption, const char* pszText)
{
    return MessageBoxA(g_hWnd, pszText, pszCaption, MB_OK);
}

// One message at most per frame, and never a wait on an empty queue.
int ScreenPumpMessages()
{
    MSG peeked;
    if (!PeekMessageA(&peeked, g_hWnd, 0, 0, PM_NOREMOVE))
        return 1;
    int nResult = GetMessageA(&g_Msg, g_hWnd, 0, 0);
    TranslateMessage(&g_Msg);
    DispatchMessageA(&g_Msg);
    return nResult;
}

void ScreenSetPageFlip(bool bPageFlip)
{
    if (!g_bLocked)
        g_bPageFlip = bPageFlip;
}
