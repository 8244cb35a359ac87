// Opening, closing, toggling, clearing and palettes.
#include "tests/screen/screen_fixture.h"

namespace {

void GreyPalette(BYTE* p, BYTE reserved)
{
    for (int n = 0; n < 256; ++n) {
        p[n * 4 + 0] = static_cast<BYTE>(n);
        p[n * 4 + 1] = static_cast<BYTE>(255 - n);
        p[n * 4 + 2] = static_cast<BYTE>(n / 2);
        p[n * 4 + 3] = reserved;
    }
}

using ScreenOpenTest = ScreenTest;

TEST_F(ScreenOpenTest, UnknownModeFailsAndLeavesAHiddenWindow)
{
    int nModeBefore = g_nMode;
    EXPECT_FALSE(Open(3, 320, 200, 8));
    ASSERT_NE(g_hWnd, nullptr);
    EXPECT_TRUE(IsWindow(g_hWnd));
    EXPECT_FALSE(IsWindowVisible(g_hWnd));
    EXPECT_EQ(g_nMode, nModeBefore);
    EXPECT_EQ(ScreenGetWidth(), 320) << "the size is stored even when the open fails";
    EXPECT_EQ(ScreenGetHeight(), 200);
    EXPECT_FALSE(g_bQuit);
}

TEST_F(ScreenOpenTest, WindowedCloseKeepsTheBufferFullscreenCloseDropsIt)
{
    ASSERT_TRUE(Open(SCREEN_WINDOWED));
    EXPECT_EQ(g_nMode, SCREEN_WINDOWED);
    EXPECT_TRUE(IsWindowVisible(g_hWnd));
    BYTE* pWindowed = ScreenGetBuffer();
    ASSERT_NE(pWindowed, nullptr);
    ScreenClose();
    EXPECT_EQ(ScreenGetBuffer(), pWindowed);

    ASSERT_TRUE(Open(SCREEN_FULLSCREEN));
    EXPECT_EQ(g_nMode, SCREEN_FULLSCREEN);
    ASSERT_NE(ScreenGetBuffer(), nullptr);
    ScreenClose();
    EXPECT_EQ(ScreenGetBuffer(), nullptr);
    EXPECT_TRUE(IsWindow(g_hWnd)) << "closing never destroys the window";
    EXPECT_EQ(g_nMode, SCREEN_FULLSCREEN);
}

TEST_F(ScreenOpenTest, WindowedOpenCentresByTheFramebuffersSize)
{
    ASSERT_TRUE(Open(SCREEN_WINDOWED));
    RECT rc;
    ASSERT_TRUE(GetWindowRect(g_hWnd, &rc));
    EXPECT_EQ(rc.left, GetSystemMetrics(SM_CXSCREEN) / 2 - 320);
    EXPECT_EQ(rc.top, GetSystemMetrics(SM_CYSCREEN) / 2 - 240);
    EXPECT_EQ(rc.right - rc.left, 646);
    EXPECT_EQ(rc.bottom - rc.top, 505);
    char szTitle[64];
    GetWindowTextA(g_hWnd, szTitle, sizeof szTitle);
    EXPECT_STREQ(szTitle, "System Window");
    ScreenSetTitle("Stop The Vadurer");
    GetWindowTextA(g_hWnd, szTitle, sizeof szTitle);
    EXPECT_STREQ(szTitle, "Stop The Vadurer");
}

using ScreenDrawTest = ScreenTest;

TEST_F(ScreenDrawTest, ClearUsesTheLowByte)
{
    for (int nMode : {SCREEN_WINDOWED, SCREEN_FULLSCREEN}) {
        ASSERT_TRUE(Open(nMode));
        ScreenClear(0x1FF);
        BYTE* p = ScreenGetBuffer();
        EXPECT_EQ(p[0], 0xFF);
        EXPECT_EQ(p[307199], 0xFF);
        ScreenClear(0x100);
        EXPECT_EQ(p[12345], 0x00);
        ScreenClose();
    }
}

TEST_F(ScreenDrawTest, SetPaletteKeepsTheBufferAndZeroesReservedBytes)
{
    for (int nMode : {SCREEN_WINDOWED, SCREEN_FULLSCREEN}) {
        ASSERT_TRUE(Open(nMode));
        BYTE* p = ScreenGetBuffer();
        for (int n = 0; n < 307200; ++n)
            p[n] = static_cast<BYTE>(n * 7);
        BYTE palette[1024];
        GreyPalette(palette, 0xAB);
        ScreenSetPalette(palette);
        EXPECT_EQ(ScreenGetBuffer(), p);
        for (int n = 0; n < 307200; n += 997)
            ASSERT_EQ(p[n], static_cast<BYTE>(n * 7));
        for (int n = 0; n < 256; ++n) {
            ASSERT_EQ(g_Palette[n * 4 + 0], palette[n * 4 + 0]);
            ASSERT_EQ(g_Palette[n * 4 + 1], palette[n * 4 + 1]);
            ASSERT_EQ(g_Palette[n * 4 + 2], palette[n * 4 + 2]);
            ASSERT_EQ(g_Palette[n * 4 + 3], 0);
        }
        ScreenClose();
    }
}

TEST_F(ScreenDrawTest, PageFlipCannotChangeWhileLocked)
{
    g_bLocked = true;
    ScreenSetPageFlip(false);
    EXPECT_TRUE(g_bPageFlip);
    g_bLocked = false;
    ScreenSetPageFlip(false);
    EXPECT_FALSE(g_bPageFlip);
    ScreenSetPageFlip(true);
}

#ifndef _WIN32
uint32_t Xrgb(const BYTE* pEntry)
{
    return (uint32_t{pEntry[2]} << 16) | (uint32_t{pEntry[1]} << 8) | pEntry[0];
}

TEST_F(ScreenDrawTest, WindowedOpenShowsBlackAndPresentsThroughThePalette)
{
    ASSERT_TRUE(Open(SCREEN_WINDOWED));
    ASSERT_FALSE(m_pHost->Frames().empty());
    const auto frames = m_pHost->Frames();
    for (uint32_t px : frames.back().pixels)
        ASSERT_EQ(px, 0u);

    BYTE palette[1024];
    GreyPalette(palette, 0);
    BYTE* p = ScreenGetBuffer();
    ScreenClear(0);
    p[0] = 10;                 // top-left
    p[479 * 640 + 639] = 200;  // bottom-right
    ScreenSetPalette(palette);
    ScreenUpdate();
    const auto frame = m_pHost->Frames().back();
    ASSERT_EQ(frame.nWidth, 640);
    ASSERT_EQ(frame.nHeight, 480);
    EXPECT_EQ(frame.pixels[0], Xrgb(palette + 40)) << "row 0 is the top row";
    EXPECT_EQ(frame.pixels[479 * 640 + 639], Xrgb(palette + 800));
    EXPECT_EQ(frame.pixels[1], Xrgb(palette));
}

TEST_F(ScreenDrawTest, FullscreenPaletteChangeIsNoFrame)
{
    ASSERT_TRUE(Open(SCREEN_FULLSCREEN));
    ScreenClear(3);
    ScreenUpdate();
    EXPECT_EQ(m_pHost->Frames().back().pixels[0], 0u);
    size_t nBefore = m_pHost->FrameCount();
    BYTE palette[1024];
    GreyPalette(palette, 0);
    ScreenSetPalette(palette);
    EXPECT_EQ(m_pHost->FrameCount(), nBefore);
    ScreenUpdate();
    EXPECT_EQ(m_pHost->FrameCount(), nBefore + 1);
    EXPECT_EQ(m_pHost->Frames().back().pixels[0], Xrgb(palette + 12));
}

TEST_F(ScreenDrawTest, BeforeThePaletteValueZeroIsDarkBlue)
{
    ASSERT_TRUE(Open(SCREEN_FULLSCREEN));
    BYTE* p = ScreenGetBuffer();
    ScreenClear(0);
    p[1] = 1;
    ScreenUpdate();
    EXPECT_EQ(m_pHost->Frames().back().pixels[0], 0x000040u);
    EXPECT_EQ(m_pHost->Frames().back().pixels[1], 0u);
}

TEST_F(ScreenDrawTest, ToggleBringsBackThePaletteInTheOtherMode)
{
    ASSERT_TRUE(Open(SCREEN_WINDOWED));
    BYTE palette[1024];
    GreyPalette(palette, 0);
    ScreenSetPalette(palette);
    ScreenToggleMode();
    m_windows.push_back(g_hWnd);
    EXPECT_EQ(g_nMode, SCREEN_FULLSCREEN);
    EXPECT_FALSE(g_bQuit);
    EXPECT_EQ(ScreenGetWidth(), 640);
    ScreenClear(77);
    ScreenUpdate();
    EXPECT_EQ(m_pHost->Frames().back().pixels[100], Xrgb(palette + 77 * 4));

    ScreenToggleMode();
    m_windows.push_back(g_hWnd);
    EXPECT_EQ(g_nMode, SCREEN_WINDOWED);
    ScreenClear(5);
    ScreenUpdate();
    EXPECT_EQ(m_pHost->Frames().back().pixels[100], Xrgb(palette + 20));
}

TEST_F(ScreenOpenTest, FailedFullscreenStartTellsTheUserAndClearsTheQuitFlag)
{
    EXPECT_FALSE(Open(SCREEN_FULLSCREEN, 640, 480, 16));
    ASSERT_EQ(m_pHost->Boxes().size(), 1u);
    EXPECT_EQ(m_pHost->Boxes()[0].caption, "DirectX Init Failed!");
    EXPECT_EQ(m_pHost->Boxes()[0].text, "SetDisplayMode()\n\nOops... Direct Draw ERROR!");
    EXPECT_FALSE(IsWindow(g_hWnd));
    EXPECT_FALSE(g_bQuit) << "destroying its own window must not end the run";
    EXPECT_EQ(ScreenGetBuffer(), nullptr);
    EXPECT_EQ(g_nBits, 16);
}

TEST_F(ScreenOpenTest, NoWindowNoScreen)
{
    standin::FailCall("CreateWindowExA");
    EXPECT_FALSE(Open(SCREEN_WINDOWED, 320, 240, 8));
    EXPECT_EQ(g_hWnd, nullptr);
    EXPECT_EQ(ScreenGetWidth(), 320);
}
#endif

}  // namespace

#ifndef _WIN32
#include "fx/Fade.h"

namespace {

// Every ScreenUpdate is one frame at the host, and nothing else is: in a fade, the palette step
// and its present make one frame, not two.
TEST_F(ScreenOpenTest, OneUpdateIsOneFrameAndAFadeStepIsOneFrame)
{
    for (int nMode : {SCREEN_FULLSCREEN, SCREEN_WINDOWED}) {
        SCOPED_TRACE(nMode);
        ASSERT_TRUE(Open(nMode));
        PumpAll();
        size_t nStart = m_pHost->FrameCount();
        for (int i = 0; i < 7; ++i) {
            ScreenClear(i);
            ScreenUpdate();
            ScreenPumpMessages();
        }
        EXPECT_EQ(m_pHost->FrameCount() - nStart, 7u);

        CImage picture;
        picture.m_nWidth = 640;
        picture.m_nHeight = 480;
        picture.m_pPixels = new BYTE[307200]();
        picture.m_pPalette = new RGBQUAD[256]();
        m_pHost->SetFrameStep(100);  // 1 s in steps of 0.1: f = 0, 0.1, …, 1
        nStart = m_pHost->FrameCount();
        FadeInImage(&picture, 1.0f);
        EXPECT_EQ(m_pHost->FrameCount() - nStart, 11u);
        nStart = m_pHost->FrameCount();
        FadeOutScreen(1.0f);
        EXPECT_EQ(m_pHost->FrameCount() - nStart, 11u);
        m_pHost->SetFrameStep(0);
        ScreenClose();
    }
}

}  // namespace
#endif
