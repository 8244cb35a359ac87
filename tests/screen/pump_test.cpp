// The message pump: one message per call, only the screen's window, never a wait.
#include "tests/screen/screen_fixture.h"

namespace {

using PumpTest = WindowedScreenTest;

TEST_F(PumpTest, EmptyQueueReturnsOneAndChangesNothing)
{
    g_Msg.message = 0x7777;
    g_Msg.wParam = 42;
    EXPECT_EQ(ScreenPumpMessages(), 1);
    EXPECT_EQ(g_Msg.message, 0x7777u);
    EXPECT_EQ(g_Msg.wParam, 42u);
    EXPECT_FALSE(g_bQuit);
}

TEST_F(PumpTest, RetrievesExactlyOneOfSeveral)
{
    ASSERT_TRUE(ScreenPostMessage(WM_USER + 1, 11, 0));
    ASSERT_TRUE(ScreenPostMessage(WM_USER + 2, 22, 0));
    ASSERT_TRUE(ScreenPostMessage(WM_USER + 3, 33, 0));
    EXPECT_NE(ScreenPumpMessages(), 0);
    EXPECT_EQ(g_Msg.message, static_cast<UINT>(WM_USER + 1));
    EXPECT_EQ(g_Msg.hwnd, g_hWnd);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, g_hWnd, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 2));
    ScreenPumpMessages();
    EXPECT_EQ(g_Msg.wParam, 22u);
    ScreenPumpMessages();
    EXPECT_EQ(g_Msg.wParam, 33u);
}

TEST_F(PumpTest, IgnoresOtherWindowsAndThreadMessages)
{
    HWND hOther = CreateWindowExA(0, "Screen", "other", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, g_hInstance, nullptr);
    ASSERT_NE(hOther, nullptr);
    m_windows.push_back(hOther);
    ASSERT_TRUE(PostMessageA(hOther, WM_USER + 5, 5, 0));
    ASSERT_TRUE(PostMessageA(nullptr, WM_USER + 6, 6, 0));
    EXPECT_EQ(ScreenPumpMessages(), 1);
    MSG msg;
    EXPECT_TRUE(PeekMessageA(&msg, hOther, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 5));
    EXPECT_TRUE(PeekMessageA(&msg, reinterpret_cast<HWND>(static_cast<intptr_t>(-1)), 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 6));
}

TEST_F(PumpTest, PostingToAWindowThatIsGoneFails)
{
    HWND hGone = CreateWindowExA(0, "Screen", "gone", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, g_hInstance, nullptr);
    ASSERT_TRUE(DestroyWindow(hGone));
    g_bQuit = false;
    EXPECT_FALSE(PostMessageA(hGone, WM_USER, 0, 0));
}

#ifndef _WIN32
// A flood of input is handled one message per pump, each key in order, none lost.
TEST_F(PumpTest, TenThousandKeyEventsArriveInOrder)
{
    static const int kKeys[] = {VK_F1, VK_F2, VK_F3, VK_F5, VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN};
    const int kEvents = 10000;
    for (int n = 0; n < kEvents; ++n)
        m_pHost->PushKey(kKeys[(n / 2) % 8], n % 2 == 0);
    for (int n = 0; n < kEvents; ++n) {
        ASSERT_NE(ScreenPumpMessages(), 0);
        ASSERT_EQ(g_Msg.wParam, static_cast<WPARAM>(kKeys[(n / 2) % 8])) << "event " << n;
        ASSERT_EQ(g_Msg.message, static_cast<UINT>(n % 2 == 0 ? WM_KEYDOWN : WM_KEYUP)) << "event " << n;
        ASSERT_EQ(g_Keys[kKeys[(n / 2) % 8]], n % 2 == 0 ? 1 : 0);
    }
    EXPECT_EQ(ScreenPumpMessages(), 1);
    EXPECT_EQ(standin::QueuedMessages(), 0u);
}

TEST_F(PumpTest, KeyPressesAlsoGiveCharacters)
{
    m_pHost->PushKey('K', true);
    ScreenPumpMessages();
    EXPECT_EQ(g_Msg.message, static_cast<UINT>(WM_KEYDOWN));
    ScreenPumpMessages();
    EXPECT_EQ(g_Msg.message, static_cast<UINT>(WM_CHAR));
    EXPECT_EQ(g_Msg.wParam, static_cast<WPARAM>('k'));
}
#endif

}  // namespace
