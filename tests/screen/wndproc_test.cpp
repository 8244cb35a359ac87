// The window procedure's table: keys, mouse, cursor, activation and destruction.
#include "tests/screen/screen_fixture.h"

namespace {

class WndProcTest : public WindowedScreenTest {
protected:
    LRESULT Send(UINT nMsg, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        return ScreenWndProc(g_hWnd, nMsg, wParam, lParam);
    }
};

TEST_F(WndProcTest, EscapeMarksTheKeyAndEndsTheRun)
{
    EXPECT_EQ(Send(WM_KEYDOWN, VK_ESCAPE), 0);
    EXPECT_EQ(g_Keys[VK_ESCAPE], 1);
    EXPECT_TRUE(g_bQuit);
    EXPECT_EQ(Send(WM_KEYUP, VK_ESCAPE), 0);
    EXPECT_EQ(g_Keys[VK_ESCAPE], 0);
    EXPECT_TRUE(g_bQuit) << "the quit flag never goes back";
}

TEST_F(WndProcTest, F4AloneOnlyMarksTheKey)
{
    Send(WM_KEYDOWN, VK_F4);
    EXPECT_EQ(g_Keys[VK_F4], 1);
    EXPECT_FALSE(g_bQuit);
}

TEST_F(WndProcTest, AltF4EndsTheRunAndLeavesTheWindow)
{
    Send(WM_SYSKEYDOWN, VK_MENU, 1 << 29);
    EXPECT_FALSE(g_bQuit);
    EXPECT_EQ(Send(WM_SYSKEYDOWN, VK_F4, 1 << 29), 0);
    EXPECT_TRUE(g_bQuit);
    PumpAll();
    EXPECT_TRUE(IsWindow(g_hWnd)) << "Alt+F4 must not reach the default processing that closes the window";
}

TEST_F(WndProcTest, SystemKeyMarkerFollowsTheLastMessage)
{
    Send(WM_SYSKEYDOWN, VK_MENU, 1 << 29);
    EXPECT_EQ(g_Keys[221], 1);
    EXPECT_EQ(g_Keys[VK_MENU], 1);
    Send(WM_MOUSEMOVE, 0, MAKELPARAM(1, 1));
    EXPECT_EQ(g_Keys[221], 0);
    Send(WM_SYSKEYUP, VK_MENU, 1 << 29);
    EXPECT_EQ(g_Keys[221], 1);
    EXPECT_EQ(g_Keys[VK_MENU], 0);
    Send(WM_KEYDOWN, 'A');
    EXPECT_EQ(g_Keys[221], 0);
    Send(WM_NULL);
    EXPECT_EQ(g_Keys[221], 0);
}

TEST_F(WndProcTest, QWithoutEnterAtAltDoesNothingMore)
{
    Send(WM_KEYDOWN, 'Q');
    Send(WM_SYSKEYDOWN, VK_MENU, 1 << 29);
    EXPECT_FALSE(g_bQuit);
    EXPECT_NE(g_pFramebuffer, nullptr);
    EXPECT_EQ(g_Keys['Q'], 1);
    EXPECT_EQ(g_Keys[VK_MENU], 1);
}

TEST_F(WndProcTest, LeftClickEndsTheRunAndCaptures)
{
    EXPECT_EQ(Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 200)), 0);
    EXPECT_TRUE(g_bQuit);
    EXPECT_TRUE(g_bMouseButton);
    EXPECT_EQ(g_nMouseX, 100);
    EXPECT_EQ(g_nMouseY, 200);
    EXPECT_EQ(GetCapture(), g_hWnd);
    Send(WM_LBUTTONUP, 0, MAKELPARAM(100, 200));
    EXPECT_FALSE(g_bMouseButton);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(WndProcTest, RightClickOnlyTakesButtonAndPosition)
{
    Send(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(7, 9));
    EXPECT_FALSE(g_bQuit);
    EXPECT_TRUE(g_bMouseButton);
    EXPECT_EQ(g_nMouseX, 7);
    EXPECT_EQ(g_nMouseY, 9);
    EXPECT_EQ(GetCapture(), g_hWnd);
}

TEST_F(WndProcTest, ReleasingOneButtonClearsTheFlagWhileTheOtherIsDown)
{
    Send(WM_LBUTTONDOWN, MK_LBUTTON, 0);
    Send(WM_RBUTTONDOWN, MK_LBUTTON | MK_RBUTTON, 0);
    Send(WM_RBUTTONUP, MK_LBUTTON, 0);
    EXPECT_FALSE(g_bMouseButton);
}

TEST_F(WndProcTest, PositionsLeftOfTheWindowReadNear65535)
{
    Send(WM_MOUSEMOVE, 0, MAKELPARAM(static_cast<WORD>(-3), 12));
    EXPECT_EQ(g_nMouseX, 65533);
    EXPECT_EQ(g_nMouseY, 12);
    Send(WM_MOUSEMOVE, 0, MAKELPARAM(5, static_cast<WORD>(-1)));
    EXPECT_EQ(g_nMouseY, 65535);
}

TEST_F(WndProcTest, SetCursorAnswersOneAndHidesOnlyInFullscreen)
{
    HCURSOR hArrow = LoadCursorA(nullptr, IDC_ARROW);
    SetCursor(hArrow);
    EXPECT_EQ(Send(WM_SETCURSOR, reinterpret_cast<WPARAM>(g_hWnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)), 1);
    EXPECT_EQ(GetCursor(), hArrow) << "a window keeps the pointer's shape";
    g_nMode = SCREEN_FULLSCREEN;
    EXPECT_EQ(Send(WM_SETCURSOR, reinterpret_cast<WPARAM>(g_hWnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)), 1);
    EXPECT_EQ(GetCursor(), nullptr);
    g_nMode = SCREEN_WINDOWED;
    SetCursor(hArrow);
}

TEST_F(WndProcTest, ActivationAndDestruction)
{
    Send(WM_ACTIVATEAPP, FALSE);
    EXPECT_FALSE(g_bActive);
    Send(WM_ACTIVATEAPP, TRUE);
    EXPECT_TRUE(g_bActive);
    EXPECT_TRUE(DestroyWindow(g_hWnd));
    EXPECT_TRUE(g_bQuit);
    EXPECT_FALSE(g_bActive);
}

TEST_F(WndProcTest, CloseGoesToDefaultProcessingWhichDestroys)
{
    ASSERT_TRUE(ScreenPostMessage(WM_CLOSE, 0, 0));
    EXPECT_NE(ScreenPumpMessages(), 0);
    EXPECT_FALSE(IsWindow(g_hWnd));
    EXPECT_TRUE(g_bQuit);
}

#ifndef _WIN32
// Input from the host arrives as the messages Windows would send.
TEST_F(WndProcTest, HostInputBecomesWindowsMessages)
{
    m_pHost->PushKey(VK_MENU, true);
    m_pHost->PushKey(VK_F4, true);
    ScreenPumpMessages();
    EXPECT_EQ(g_Msg.message, static_cast<UINT>(WM_SYSKEYDOWN));
    EXPECT_EQ(g_Msg.wParam, static_cast<WPARAM>(VK_MENU));
    ScreenPumpMessages();
    EXPECT_EQ(g_Msg.message, static_cast<UINT>(WM_SYSKEYDOWN)) << "a key pressed while Alt is held is a system key";
    EXPECT_TRUE(g_bQuit);

    m_pHost->PushKey(VK_F10, true);
    ScreenPumpMessages();
    EXPECT_EQ(g_Msg.message, static_cast<UINT>(WM_SYSKEYDOWN)) << "F10 is a system key";

    m_pHost->PushKey(VK_MENU, false);
    m_pHost->PushKey('A', true);
    PumpAll();
    EXPECT_EQ(g_Keys['A'], 1);
    EXPECT_EQ(g_Keys[VK_MENU], 0);

    m_pHost->PushMouseButton(host::Button::Right, true, 10, 20);
    PumpAll();
    EXPECT_TRUE(g_bMouseButton);
    EXPECT_EQ(m_pHost->CapturedWindow(), standin::WindowId(g_hWnd));
    m_pHost->PushMouseMove(-2, 30);  // captured, left of the window
    PumpAll();
    EXPECT_EQ(g_nMouseX, 65534);
    EXPECT_EQ(g_nMouseY, 30);

    host::Event focus;
    focus.type = host::EventType::Focus;
    focus.down = false;
    m_pHost->Push(focus);
    PumpAll();
    EXPECT_FALSE(g_bActive);
}

TEST_F(WndProcTest, PointerIsHiddenOverTheFullscreenWindowOnly)
{
    m_pHost->PushMouseMove(50, 50);
    PumpAll();
    EXPECT_TRUE(m_pHost->CursorVisible());

    ASSERT_TRUE(Open(SCREEN_FULLSCREEN));
    m_pHost->PushMouseMove(60, 60);
    PumpAll();
    EXPECT_FALSE(m_pHost->CursorVisible());
}

TEST_F(WndProcTest, CloseButtonEndsTheRun)
{
    host::Event close;
    close.type = host::EventType::Close;
    m_pHost->Push(close);
    PumpAll();
    EXPECT_FALSE(IsWindow(g_hWnd));
    EXPECT_TRUE(g_bQuit);
}
#endif

}  // namespace
