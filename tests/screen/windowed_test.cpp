// The windowed backend: its window, its palette and its way to end the run.
#include "tests/screen/screen_fixture.h"

#include "screen/DibSection.h"

namespace {

using WindowedTest = WindowedScreenTest;

TEST_F(WindowedTest, ClosingTheWindowFromItsSystemMenuEndsTheRun)
{
#ifdef _WIN32
    LONG_PTR nStyle = GetWindowLongPtrA(g_hWnd, GWL_STYLE);
    EXPECT_EQ(nStyle & (WS_CAPTION | WS_SYSMENU), WS_CAPTION | WS_SYSMENU);
    EXPECT_EQ(nStyle & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
#endif
    ASSERT_TRUE(PostMessageA(g_hWnd, WM_SYSCOMMAND, SC_CLOSE, 0));
    PumpAll();
    EXPECT_TRUE(g_bQuit);
    EXPECT_FALSE(IsWindow(g_hWnd));
}

TEST_F(WindowedTest, ANullPaletteKeepsTheColoursAndTheBuffer)
{
    BYTE palette[1024] = {};
    palette[7 * 4 + 1] = 0xC0;  // value 7 green
    ScreenSetPalette(palette);
    BYTE* p = ScreenGetBuffer();
    ScreenClear(7);
    g_Dib.SetPalette(g_hWnd, nullptr);
    EXPECT_EQ(ScreenGetBuffer(), p);
    EXPECT_EQ(p[100], 7);
    ScreenUpdate();
#ifndef _WIN32
    EXPECT_EQ(m_pHost->Frames().back().pixels[100], 0x00C000u);
#else
    RGBQUAD colour = {};
    HDC hdc = CreateCompatibleDC(nullptr);
    HGDIOBJ hOld = SelectObject(hdc, g_Dib.GetBitmap());
    ASSERT_EQ(GetDIBColorTable(hdc, 7, 1, &colour), 1u);
    SelectObject(hdc, hOld);
    DeleteDC(hdc);
    EXPECT_EQ(colour.rgbGreen, 0xC0);
#endif
}

#ifndef _WIN32
TEST_F(WindowedTest, TheClientAreaIsTheFramebuffersSize)
{
    RECT rc;
    ASSERT_TRUE(GetClientRect(g_hWnd, &rc));
    EXPECT_EQ(rc.right, 640);
    EXPECT_EQ(rc.bottom, 480);
    auto windows = m_pHost->Windows();
    EXPECT_EQ(windows[standin::WindowId(g_hWnd)].nWidth, 640);
    EXPECT_TRUE(windows[standin::WindowId(g_hWnd)].bVisible);
    EXPECT_EQ(m_pHost->DisplayWindow(), 0u) << "a window does not take the display";
}
#endif

}  // namespace
