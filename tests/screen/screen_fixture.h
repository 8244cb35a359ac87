// Shared set-up for the screen tests: the "Screen" class registered once, the screen and input
// state put back to their start values, and (natively) a fresh headless host.
#pragma once

#include <gtest/gtest.h>

#include <cstring>

#include "screen/Screen.h"
#ifndef _WIN32
#include "platform/standin/faults.h"
#include "platform/host/headless/headless.h"
#include "platform/standin/testing.h"
#include "platform/standin/window_internal.h"
#endif

inline void EnsureScreenClass()
{
    static bool s_bDone = false;
    if (s_bDone)
        return;
    WNDCLASSA wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = ScreenWndProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = "Screen";
    ASSERT_NE(RegisterClassA(&wc), 0);
    s_bDone = true;
}

class ScreenTest : public testing::Test {
protected:
    void SetUp() override
    {
#ifndef _WIN32
        m_pHost = &host::UseHeadless();
        standin::ClearFaults();
        standin::ResetDirectDraw();
#endif
        g_hInstance = GetModuleHandleA(nullptr);
        EnsureScreenClass();
        g_bQuit = false;
        g_bActive = true;
        g_bMouseButton = false;
        g_nMouseX = g_nMouseY = 0;
        std::memset(g_Keys, 0, sizeof g_Keys);
        std::memset(&g_Msg, 0, sizeof g_Msg);
    }

    void TearDown() override
    {
        ScreenClose();
        // Each test's windows go, so that no message of theirs reaches the next test.
        for (HWND hWnd : m_windows)
            if (IsWindow(hWnd))
                DestroyWindow(hWnd);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {}
        // A windowed framebuffer belongs to the section, which stays; only the state goes back.
        g_pFramebuffer = nullptr;
        g_bQuit = false;
        g_nMode = SCREEN_FULLSCREEN;
    }

    bool Open(int nMode, int nWidth = 640, int nHeight = 480, int nBits = 8)
    {
        bool bOk = ScreenOpen(nWidth, nHeight, nBits, nMode);
        if (g_hWnd)
            m_windows.push_back(g_hWnd);
        return bOk;
    }

    // Handles every waiting message of the screen's window.
    void PumpAll()
    {
        for (int n = 0; n < 1000 && PeekMessageA(&m_peek, g_hWnd, 0, 0, PM_NOREMOVE); ++n)
            ScreenPumpMessages();
    }

    std::vector<HWND> m_windows;
    MSG m_peek = {};
#ifndef _WIN32
    host::HeadlessHost* m_pHost = nullptr;
#endif
};

// A windowed screen, open and with its start-up messages handled.
class WindowedScreenTest : public ScreenTest {
protected:
    void SetUp() override
    {
        ScreenTest::SetUp();
        ASSERT_TRUE(Open(SCREEN_WINDOWED));
        PumpAll();
        g_bQuit = false;
    }
};
