// The process entry: priorities, the window class every screen window uses, a clean input state,
// the demo script, and the last retrieved message's wParam as the exit code; a failure's code when
// the screen could not be opened.
#include <cstring>

#include "app/Demo.h"
#include "screen/Screen.h"

namespace {
WNDCLASSA g_WndClass;
const int kScreenFailedExitCode = 1;
}  // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    g_pFramebuffer = nullptr;
    g_hInstance = hInstance;

    SetPriorityClass(GetCurrentProcess(), NORMAL_PRIORITY_CLASS);
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_NORMAL);

    g_WndClass.style = CS_HREDRAW | CS_VREDRAW;
    g_WndClass.lpfnWndProc = ScreenWndProc;
    g_WndClass.cbClsExtra = 0;
    g_WndClass.cbWndExtra = 0;
    g_WndClass.hInstance = hInstance;
    g_WndClass.hIcon = LoadIconA(hInstance, MAKEINTRESOURCEA(32512));
    g_WndClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    g_WndClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    g_WndClass.lpszMenuName = "Screen";
    g_WndClass.lpszClassName = "Screen";
    if (RegisterClassA(&g_WndClass) == 0)
        return 0;

    std::memset(g_Keys, 0, sizeof g_Keys);
    g_nMouseX = 0;
    g_nMouseY = 0;
    g_bMouseButton = false;

    // A screen that could not be opened has been told of in its own box; the run is a failure,
    // and says so, whatever message came last.
    if (!RunDemo())
        return kScreenFailedExitCode;
    return static_cast<int>(g_Msg.wParam);
}
