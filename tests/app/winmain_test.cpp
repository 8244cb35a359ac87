// The process entry and its exit codes, each run in a child process of its own: WinMain registers
// the window class once per process, and the key combination ends the process.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "screen/DibSection.h"
#include "screen/Screen.h"
#include "tests/app/demo_assets.h"
#include "tests/child.h"
#ifdef _WIN32
#include <direct.h>
#include <process.h>
#else
#include <unistd.h>

#include "platform/standin/faults.h"
#include "platform/host/headless/headless.h"
#endif

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nShowCmd);

namespace {

int RunWinMain()
{
    static char szNoArguments[] = "";
    return WinMain(GetModuleHandleA(nullptr), nullptr, szNoArguments, SW_SHOWDEFAULT);
}

void DirtyInputState()
{
    g_Keys[7] = 1;
    g_nMouseX = 5;
    g_nMouseY = 6;
    g_bMouseButton = true;
}

bool InputStateIsClear()
{
    for (BYTE b : g_Keys)
        if (b != 0)
            return false;
    return g_nMouseX == 0 && g_nMouseY == 0 && !g_bMouseButton;
}

// The clocks below stand in for a user: they see the script's first frame and act on it.
long g_nCalls = 0;
bool g_bClearAtStart = false;

// Each reading 20 s after the last: every step of the production ends at its first test.
long ClockThatRunsOut()
{
    if (g_nCalls == 0)
        g_bClearAtStart = InputStateIsClear();
    return 20000 * g_nCalls++;
}

long ClockThatPressesKeys()
{
    if (g_nCalls++ == 1) {
        PostMessageA(g_hWnd, WM_KEYDOWN, VK_F5, 0);
        PostMessageA(g_hWnd, WM_KEYDOWN, VK_ESCAPE, 0);
    }
    return g_nCalls;
}

// The production reads its files from the folder it runs in.
bool EnterAssets()
{
#ifdef _WIN32
    return _chdir(demoassets::kAssetDir) == 0;
#else
    return chdir(demoassets::kAssetDir) == 0;
#endif
}

}  // namespace

CHILD_SCENARIO(winmain_no_message)
{
    if (!EnterAssets())
        return 90;
    DirtyInputState();
    ClockSetSource(ClockThatRunsOut);
    int nCode = RunWinMain();
    return g_bClearAtStart ? nCode : 99;
}

CHILD_SCENARIO(winmain_last_message)
{
    if (!EnterAssets())
        return 90;
    ClockSetSource(ClockThatPressesKeys);
    return RunWinMain();
}

namespace {

#ifdef _WIN32
// The screen's window is refused when it is made, as a desktop that makes no more windows would.
LRESULT CALLBACK RefuseScreenWindows(int nCode, WPARAM wParam, LPARAM lParam)
{
    char szClass[16] = "";
    if (nCode == HCBT_CREATEWND && GetClassNameA(reinterpret_cast<HWND>(wParam), szClass, sizeof szClass) > 0 &&
        std::strcmp(szClass, "Screen") == 0)
        return 1;
    return CallNextHookEx(nullptr, nCode, wParam, lParam);
}
#endif

}  // namespace

// No window for the screen: the production cannot start.
CHILD_SCENARIO(winmain_no_window)
{
    if (!EnterAssets())
        return 90;
#ifdef _WIN32
    if (!SetWindowsHookExA(WH_CBT, RefuseScreenWindows, nullptr, GetCurrentThreadId()))
        return 92;
#else
    standin::FailCall("CreateWindowExA");
#endif
    return RunWinMain();
}

#ifndef _WIN32
// Another program holds the display in exclusive mode: a DirectDraw step of the start fails.
CHILD_SCENARIO(winmain_display_taken)
{
    if (!EnterAssets())
        return 90;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "Holder";
    HWND hWnd = RegisterClassA(&wc) ? CreateWindowExA(0, "Holder", "Holder", WS_POPUP, 0, 0, 64, 64, nullptr, nullptr,
                                                      wc.hInstance, nullptr)
                                    : nullptr;
    LPDIRECTDRAW pDD = nullptr;
    if (!hWnd || DirectDrawCreate(nullptr, &pDD, nullptr) != DD_OK ||
        pDD->SetCooperativeLevel(hWnd, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN) != DD_OK)
        return 91;
    int nCode = RunWinMain();
    const auto& boxes = host::Headless()->Boxes();
    return boxes.size() == 1 && boxes[0].text == "SetCooperativeLevel()\n\nOops... Direct Draw ERROR!" ? nCode : 99;
}

// A display whose mode cannot be changed: the box names the step, and the run is a failure.
CHILD_SCENARIO(winmain_mode_refused)
{
    if (!EnterAssets())
        return 90;
    standin::FailCall("IDirectDraw4::SetDisplayMode");
    int nCode = RunWinMain();
    const auto& boxes = host::Headless()->Boxes();
    bool bNamed = boxes.size() == 1 && boxes[0].caption == "DirectX Init Failed!" &&
                  boxes[0].text == "SetDisplayMode()\n\nOops... Direct Draw ERROR!";
    return bNamed ? nCode : 99;
}

CHILD_SCENARIO(winmain_no_class)
{
    DirtyInputState();
    standin::FailCall("RegisterClassA");
    int nCode = RunWinMain();
    bool bUntouched = g_Keys[7] == 1 && g_nMouseX == 5 && host::Headless()->Windows().empty();
    return bUntouched ? nCode : 99;
}
#endif

namespace {

// Destroyed after everything the screen library owns (constructed before it), so it can tell
// whether the windowed backend's section was released on the way out.
HBITMAP g_hSection = nullptr;
struct SectionCheck {
    ~SectionCheck()
    {
        if (g_hSection && GetObjectType(g_hSection) != 0)
            _exit(3);
    }
};
__attribute__((init_priority(101))) SectionCheck g_SectionCheck;

int HoldKeysThenAlt(bool bWithEnter)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ScreenWndProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "Screen";
    if (!RegisterClassA(&wc) || !ScreenOpen(640, 480, 8, SCREEN_WINDOWED))
        return 98;
    g_hSection = g_Dib.GetBitmap();
    ScreenPostMessage(WM_KEYDOWN, 'Q', 0);
    if (bWithEnter)
        ScreenPostMessage(WM_KEYDOWN, VK_RETURN, 0);
    ScreenPostMessage(WM_SYSKEYDOWN, VK_MENU, 1 << 29);
    for (int n = 0; n < 50; ++n)
        ScreenPumpMessages();
    return 7;  // still running: the combination did not end the process
}

}  // namespace

CHILD_SCENARIO(syskey_q_enter_alt)
{
    return HoldKeysThenAlt(true);
}

CHILD_SCENARIO(syskey_q_alt)
{
    return HoldKeysThenAlt(false);
}

TEST(WinMainTest, NoRetrievedMessageGivesZeroAndTheInputStartsClear)
{
    demoassets::WriteAssets();
    EXPECT_EQ(RunChildProcess("winmain_no_message"), 0);
}

TEST(WinMainTest, ExitCodeIsTheLastRetrievedMessagesWParam)
{
    demoassets::WriteAssets();
    EXPECT_EQ(RunChildProcess("winmain_last_message"), VK_ESCAPE);
}

// A run whose screen could not be opened has failed, whatever message came last: it ends with 1.
TEST(WinMainTest, AScreenThatCouldNotBeOpenedEndsTheProcessWithAFailure)
{
    demoassets::WriteAssets();
    EXPECT_EQ(RunChildProcess("winmain_no_window"), 1);
#ifndef _WIN32
    EXPECT_EQ(RunChildProcess("winmain_display_taken"), 1);
    EXPECT_EQ(RunChildProcess("winmain_mode_refused"), 1);
#endif
}

#ifndef _WIN32
TEST(WinMainTest, FailedClassRegistrationGivesZeroAndDoesNothingElse)
{
    EXPECT_EQ(RunChildProcess("winmain_no_class"), 0);
}
#endif

TEST(SystemKeyTest, QEnterAndAltEndTheProcessAndReleaseTheSection)
{
    EXPECT_EQ(RunChildProcess("syskey_q_enter_alt"), 0);
}

TEST(SystemKeyTest, QAndAltAloneDoNotEndTheProcess)
{
    EXPECT_EQ(RunChildProcess("syskey_q_alt"), 7);
}
