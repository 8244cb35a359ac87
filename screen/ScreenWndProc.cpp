// The window procedure: messages become the input state and the quit flag.
#include <cstdlib>

#include "screen/Screen.h"

BYTE g_Keys[256] = {};
int g_nMouseX = 0;
int g_nMouseY = 0;
bool g_bMouseButton = false;
bool g_bActive = true;

namespace {

// Each half of lParam is unsigned, so a captured position left of the window reads near 65535.
void TakeMousePosition(LPARAM lParam)
{
    g_nMouseX = static_cast<int>(LOWORD(lParam));
    g_nMouseY = static_cast<int>(HIWORD(lParam));
}

void SystemKeyDown(WPARAM wParam)
{
    g_Keys[221] = 1;
    g_Keys[wParam & 0xFF] = 1;
    if (g_Keys[81] && g_Keys[VK_RETURN]) {
        // Q and Enter held at a system-key press: leave at once.
        ScreenClose();
        std::exit(0);
    }
    if (wParam == VK_F4)
        g_bQuit = true;
}

}  // namespace

LRESULT CALLBACK ScreenWndProc(HWND hWnd, UINT nMessage, WPARAM wParam, LPARAM lParam)
{
    // Entry 221 marks whether the message being handled is a system-key message.
    g_Keys[221] = 0;
    switch (nMessage) {
    case WM_KEYDOWN:
        g_Keys[wParam & 0xFF] = 1;
        if (wParam == VK_ESCAPE)
            g_bQuit = true;
        return 0;
    case WM_KEYUP: g_Keys[wParam & 0xFF] = 0; return 0;
    case WM_SYSKEYDOWN: SystemKeyDown(wParam); return 0;
    case WM_SYSKEYUP:
        g_Keys[221] = 1;
        g_Keys[wParam & 0xFF] = 0;
        return 0;
    case WM_MOUSEMOVE: TakeMousePosition(lParam); return 0;
    case WM_LBUTTONDOWN:
        g_bMouseButton = true;
        TakeMousePosition(lParam);
        SetCapture(hWnd);
        g_bQuit = true;
        return 0;
    case WM_RBUTTONDOWN:
        g_bMouseButton = true;
        TakeMousePosition(lParam);
        SetCapture(hWnd);
        return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
        g_bMouseButton = false;
        ReleaseCapture();
        return 0;
    case WM_SETCURSOR:
        // No pointer shape is set: in fullscreen that hides it, in a window it keeps its shape.
        if (g_nMode == SCREEN_FULLSCREEN)
            SetCursor(nullptr);
        return 1;
    case WM_ACTIVATEAPP: g_bActive = wParam != 0; return 0;
    case WM_DESTROY:
        g_bQuit = true;
        g_bActive = false;
        return 0;
    default: return DefWindowProcA(hWnd, nMessage, wParam, lParam);
    }
}
