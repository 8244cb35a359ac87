// The fullscreen backend: the start and its failures step by step, the present with and without
// flipping, the palette, lost surfaces and the pitch.
#include "tests/screen/screen_fixture.h"

#include "screen/ScreenFullscreen.h"

namespace {

using FullscreenTest = ScreenTest;

void RampPalette(BYTE* p)
{
    for (int n = 0; n < 256; ++n) {
        p[n * 4 + 0] = static_cast<BYTE>(n);
        p[n * 4 + 1] = static_cast<BYTE>(n ^ 0x55);
        p[n * 4 + 2] = static_cast<BYTE>(255 - n);
        p[n * 4 + 3] = 0;
    }
}

// Works on Windows too: COM's Release answers the count left.
ULONG RefCount(IUnknown* p)
{
    p->AddRef();
    return p->Release();
}

TEST_F(FullscreenTest, OpenHoldsTheWholeChainAndCloseReleasesIt)
{
    ASSERT_TRUE(Open(SCREEN_FULLSCREEN));
    ASSERT_NE(g_lpDD, nullptr);
    ASSERT_NE(g_lpDD4, nullptr);
    ASSERT_NE(g_lpDDSPrimary, nullptr);
    ASSERT_NE(g_lpDDSBack, nullptr);
    ASSERT_NE(g_lpDDPalette, nullptr);
    DDSCAPS2 caps = {};
    ASSERT_EQ(g_lpDDSPrimary->GetCaps(&caps), DD_OK);
    EXPECT_TRUE(caps.dwCaps & DDSCAPS_PRIMARYSURFACE);
    EXPECT_TRUE(caps.dwCaps & DDSCAPS_FLIP);
    ASSERT_EQ(g_lpDDSBack->GetCaps(&caps), DD_OK);
    EXPECT_TRUE(caps.dwCaps & DDSCAPS_BACKBUFFER);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 640) << "the screen is the mode that was set";
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 480);
    ScreenClose();
    EXPECT_EQ(g_lpDD4, nullptr);
    EXPECT_EQ(g_lpDDSPrimary, nullptr);
    EXPECT_EQ(g_lpDDSBack, nullptr);
    EXPECT_FALSE(g_bQuit);
    // The display is free again: a second start takes it anew.
    ASSERT_TRUE(Open(SCREEN_FULLSCREEN));
    EXPECT_NE(g_lpDDSPrimary, nullptr);
}

TEST_F(FullscreenTest, SurfacesAreLockedWithTheirFullDescription)
{
    ASSERT_TRUE(Open(SCREEN_FULLSCREEN));
    ASSERT_EQ(ScreenLockSurface(), DD_OK);
    EXPECT_TRUE(g_bLocked);
    EXPECT_EQ(g_ddsdLock.dwSize, sizeof(DDSURFACEDESC2));
    EXPECT_EQ(g_ddsdLock.dwWidth, 640u);
    EXPECT_EQ(g_ddsdLock.dwHeight, 480u);
    EXPECT_GE(g_ddsdLock.lPitch, 640);
    EXPECT_NE(g_ddsdLock.lpSurface, nullptr);
    EXPECT_EQ(g_ddsdLock.ddpfPixelFormat.dwRGBBitCount, 8u);
    EXPECT_TRUE(g_ddsdLock.ddpfPixelFormat.dwFlags & DDPF_PALETTEINDEXED8);
    ScreenSetPageFlip(false);
    EXPECT_TRUE(g_bPageFlip) << "the present's target cannot change under its lock";
    ScreenUnlockSurface();
    EXPECT_FALSE(g_bLocked);
}

TEST_F(FullscreenTest, ADescriptionOfAnotherSizeIsRefused)
{
    ASSERT_TRUE(Open(SCREEN_FULLSCREEN));
    DDSURFACEDESC2 desc = {};
    desc.dwSize = 100;
    EXPECT_EQ(g_lpDDSBack->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(g_lpDDSBack->Unlock(nullptr), DDERR_NOTLOCKED);
}

TEST_F(FullscreenTest, TheHardwarePaletteFollowsEveryChangeAndEveryToggle)
{
    ASSERT_TRUE(Open(SCREEN_FULLSCREEN));
    PALETTEENTRY entries[256];
    ASSERT_EQ(g_lpDDPalette->GetEntries(0, 0, 256, entries), DD_OK);
    EXPECT_EQ(entries[0].peBlue, 64) << "dark blue until the first palette";
    EXPECT_EQ(entries[0].peRed + entries[0].peGreen, 0);
    EXPECT_EQ(entries[1].peRed + entries[1].peGreen + entries[1].peBlue + entries[255].peBlue, 0);
    BYTE palette[1024];
    RampPalette(palette);
    ScreenSetPalette(palette);
    ScreenToggleMode();
    m_windows.push_back(g_hWnd);
    PumpAll();
    EXPECT_EQ(g_nMode, SCREEN_WINDOWED);
    EXPECT_EQ(g_lpDD4, nullptr);
    ScreenToggleMode();
    m_windows.push_back(g_hWnd);
    PumpAll();
    ASSERT_EQ(g_nMode, SCREEN_FULLSCREEN);
    EXPECT_FALSE(g_bQuit);
    ASSERT_NE(g_lpDDPalette, nullptr);
    EXPECT_EQ(RefCount(g_lpDDPalette), 2u) << "held by the screen and by the primary surface";
    ASSERT_EQ(g_lpDDPalette->GetEntries(0, 0, 256, entries), DD_OK);
    for (int n = 0; n < 256; ++n) {
        ASSERT_EQ(entries[n].peRed, palette[n * 4 + 2]) << n;
        ASSERT_EQ(entries[n].peGreen, palette[n * 4 + 1]) << n;
        ASSERT_EQ(entries[n].peBlue, palette[n * 4 + 0]) << n;
    }
}

#ifndef _WIN32
// A start that failed after the first interface keeps it until the process ends; a test that
// starts again lets it go first.
void DropFirstInterface()
{
    if (g_lpDD)
        g_lpDD->Release();
    g_lpDD = nullptr;
}

using Box = host::HeadlessHost::Box;

struct StepFault {
    const char* pszCall;
    const char* pszText;
};

const StepFault kSteps[] = {
    {"DirectDrawCreate", "DirectDrawCreate()"},
    {"IDirectDraw::QueryInterface", "QueryInterface() to DD4"},
    {"IDirectDraw4::SetCooperativeLevel", "SetCooperativeLevel()"},
    {"IDirectDraw4::SetDisplayMode", "SetDisplayMode()"},
    {"IDirectDraw4::CreateSurface", "CreateSurface()"},
    {"IDirectDrawSurface4::GetAttachedSurface", "GetAttachedSurface()"},
    {"IDirectDraw4::CreatePalette", "CreatePalette()"},
};

TEST_F(FullscreenTest, EachFailedStepShowsOneBoxNamingItAndLeavesNothing)
{
    for (const StepFault& step : kSteps) {
        SCOPED_TRACE(step.pszCall);
        m_pHost = &host::UseHeadless();
        standin::ResetDirectDraw();
        standin::FailCall(step.pszCall);
        DropFirstInterface();
        EXPECT_FALSE(Open(SCREEN_FULLSCREEN));
        std::vector<Box> boxes = m_pHost->Boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].caption, "DirectX Init Failed!");
        EXPECT_EQ(boxes[0].text, std::string(step.pszText) + "\n\nOops... Direct Draw ERROR!");
        EXPECT_EQ(boxes[0].buttons, host::BoxButtons::Ok);
        EXPECT_EQ(g_lpDD4, nullptr);
        EXPECT_EQ(g_lpDDSPrimary, nullptr);
        EXPECT_EQ(ScreenGetBuffer(), nullptr);
        EXPECT_FALSE(g_bQuit);
        EXPECT_FALSE(IsWindow(g_hWnd));
        EXPECT_EQ(m_pHost->DisplayWindow(), 0u) << "the display is given back";
        EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
        standin::ClearFaults();
    }
}

TEST_F(FullscreenTest, FailuresBeforeTheSecondInterfaceReleaseNothing)
{
    standin::FailCall("DirectDrawCreate");
    g_lpDD = nullptr;
    EXPECT_FALSE(Open(SCREEN_FULLSCREEN));
    EXPECT_EQ(g_lpDD, nullptr);

    standin::FailCall("IDirectDraw::QueryInterface");
    EXPECT_FALSE(Open(SCREEN_FULLSCREEN));
    ASSERT_NE(g_lpDD, nullptr) << "the first interface stays until the process ends";
    EXPECT_EQ(RefCount(g_lpDD), 1u);
    DropFirstInterface();
}

TEST_F(FullscreenTest, TheDisplayIsTakenByTheModeNotByTheWindow)
{
    HWND hWnd =
        CreateWindowExA(0, "Screen", "pop-up", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr, g_hInstance, nullptr);
    m_windows.push_back(hWnd);
    EXPECT_EQ(m_pHost->DisplayWindow(), 0u) << "a caption-less window is only a window";
    ASSERT_TRUE(Open(SCREEN_FULLSCREEN));
    EXPECT_EQ(m_pHost->DisplayWindow(), standin::WindowId(g_hWnd));
    EXPECT_EQ(m_pHost->Windows()[standin::WindowId(g_hWnd)].nDisplayW, 640);
    ScreenClose();
    EXPECT_EQ(m_pHost->DisplayWindow(), 0u);
}

TEST_F(FullscreenTest, EveryUpdateIsOneFrameAndAPaletteChangeShowsWithoutOne)
{
    ASSERT_TRUE(Open(SCREEN_FULLSCREEN));
    uint32_t id = standin::WindowId(g_hWnd);
    size_t nStart = m_pHost->FrameCount();
    for (int n = 0; n < 5; ++n)
        ScreenUpdate();
    EXPECT_EQ(m_pHost->FrameCount(), nStart + 5);

    ScreenClear(9);
    ScreenUpdate();
    size_t nFrames = m_pHost->FrameCount();
    BYTE palette[1024];
    RampPalette(palette);
    ScreenSetPalette(palette);
    ScreenPumpMessages();
    EXPECT_EQ(m_pHost->FrameCount(), nFrames);
    std::vector<uint32_t> shown = m_pHost->Shown(id);
    ASSERT_EQ(shown.size(), 640u * 480u);
    uint32_t expected = (uint32_t{palette[9 * 4 + 2]} << 16) | (uint32_t{palette[9 * 4 + 1]} << 8) | palette[9 * 4];
    EXPECT_EQ(shown[0], expected);
    EXPECT_EQ(shown[640 * 480 - 1], expected);
}

TEST_F(FullscreenTest, WithoutPageFlipThePresentDrawsIntoTheVisibleSurface)
{
    ASSERT_TRUE(Open(SCREEN_FULLSCREEN));
    ScreenSetPageFlip(false);
    BYTE* p = ScreenGetBuffer();
    ScreenClear(0);
    p[5] = 1;
    ScreenUpdate();
    // The visible surface holds the frame; the back buffer was never written.
    DDSURFACEDESC2 desc = {};
    desc.dwSize = sizeof desc;
    ASSERT_EQ(g_lpDDSPrimary->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(static_cast<BYTE*>(desc.lpSurface)[5], 1);
    g_lpDDSPrimary->Unlock(nullptr);
    size_t nFrames = m_pHost->FrameCount();
    desc.dwSize = sizeof desc;
    ASSERT_EQ(g_lpDDSBack->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(static_cast<BYTE*>(desc.lpSurface)[5], 0);
    g_lpDDSBack->Unlock(nullptr);
    EXPECT_EQ(m_pHost->FrameCount(), nFrames) << "unlocking a hidden surface shows nothing";

    ScreenUpdate();
    EXPECT_EQ(m_pHost->FrameCount(), nFrames + 1) << "no flip, yet one frame";
    EXPECT_EQ(m_pHost->Frames().back().pixels[0], 0x000040u);
    EXPECT_EQ(m_pHost->Frames().back().pixels[5], 0u);
    ScreenSetPageFlip(true);
}

TEST_F(FullscreenTest, FlipsShowTheBackBufferAndTradePlaces)
{
    ASSERT_TRUE(Open(SCREEN_FULLSCREEN));
    BYTE* p = ScreenGetBuffer();
    ScreenClear(0);
    ScreenUpdate();
    p[0] = 1;
    ScreenUpdate();
    BYTE palette[1024] = {};
    palette[1 * 4 + 2] = 0xFF;  // value 1 red
    ScreenSetPalette(palette);
    ScreenPumpMessages();
    EXPECT_EQ(m_pHost->Shown(standin::WindowId(g_hWnd))[0], 0xFF0000u);
    // What was on the display is the back buffer now.
    DDSURFACEDESC2 desc = {};
    desc.dwSize = sizeof desc;
    ASSERT_EQ(g_lpDDSBack->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(static_cast<BYTE*>(desc.lpSurface)[0], 0);
    g_lpDDSBack->Unlock(nullptr);
    EXPECT_EQ(g_lpDDSBack->Flip(nullptr, DDFLIP_WAIT), DDERR_NOTFLIPPABLE);
}

TEST_F(FullscreenTest, LostSurfacesAreRestoredByTheNextPresentOnceTheDisplayIsBack)
{
    ASSERT_TRUE(Open(SCREEN_FULLSCREEN));
    BYTE palette[1024];
    RampPalette(palette);
    ScreenSetPalette(palette);
    ScreenClear(200);
    host::Event away;
    away.type = host::EventType::Display;
    away.down = false;
    m_pHost->Push(away);
    ScreenPumpMessages();
    EXPECT_EQ(g_lpDDSPrimary->IsLost(), DDERR_SURFACELOST);

    size_t nFrames = m_pHost->FrameCount();
    ScreenUpdate();
    EXPECT_EQ(m_pHost->FrameCount(), nFrames) << "nothing to show while the display is away";
    EXPECT_FALSE(g_bLocked);

    host::Event back = away;
    back.down = true;
    m_pHost->Push(back);
    ScreenPumpMessages();
    ScreenUpdate();
    EXPECT_EQ(g_lpDDSPrimary->IsLost(), DD_OK);
    ASSERT_EQ(m_pHost->FrameCount(), nFrames + 1);
    uint32_t expected = (uint32_t{palette[200 * 4 + 2]} << 16) | (uint32_t{palette[200 * 4 + 1]} << 8) | 200u;
    EXPECT_EQ(m_pHost->Frames().back().pixels[1234], expected) << "the frame and the palette come back";
}

uint32_t Xrgb(const BYTE* palette, int nIndex)
{
    const BYTE* e = palette + nIndex * 4;
    return (uint32_t{e[2]} << 16) | (uint32_t{e[1]} << 8) | e[0];
}

// The display's own failures are not reported: a lock, flip or restore that fails costs the frame
// it was for, a palette change that fails keeps the colours shown, and the next call goes on as
// if nothing had happened.
TEST_F(FullscreenTest, ADisplayCallThatFailsCostsOnlyItsOwnFrameOrColoursAndIsNotReported)
{
    ASSERT_TRUE(Open(SCREEN_FULLSCREEN));
    const uint32_t id = standin::WindowId(g_hWnd);
    BYTE palette[1024];
    RampPalette(palette);
    ScreenSetPalette(palette);
    for (const char* pszCall : {"IDirectDrawSurface4::Lock", "IDirectDrawSurface4::Flip"}) {
        SCOPED_TRACE(pszCall);
        ScreenClear(17);
        ScreenUpdate();
        ScreenClear(99);
        size_t nFrames = m_pHost->FrameCount();
        standin::FailCall(pszCall);
        ScreenUpdate();
        EXPECT_EQ(m_pHost->FrameCount(), nFrames) << "the frame is dropped";
        EXPECT_FALSE(g_bLocked);
        EXPECT_EQ(m_pHost->Shown(id)[0], Xrgb(palette, 17)) << "the frame before stays";
        ScreenUpdate();
        ASSERT_EQ(m_pHost->FrameCount(), nFrames + 1);
        EXPECT_EQ(m_pHost->Frames().back().pixels[0], Xrgb(palette, 99));
    }

    // The surfaces lost while the display was away, and not restored on its return.
    host::Event display;
    display.type = host::EventType::Display;
    display.down = false;
    m_pHost->Push(display);
    ScreenPumpMessages();
    display.down = true;
    m_pHost->Push(display);
    ScreenPumpMessages();
    size_t nFrames = m_pHost->FrameCount();
    standin::FailCall("IDirectDrawSurface4::Restore");
    ScreenUpdate();
    EXPECT_EQ(m_pHost->FrameCount(), nFrames);
    EXPECT_EQ(g_lpDDSPrimary->IsLost(), DDERR_SURFACELOST);
    ScreenUpdate();
    EXPECT_EQ(g_lpDDSPrimary->IsLost(), DD_OK);
    ASSERT_EQ(m_pHost->FrameCount(), nFrames + 1);
    EXPECT_EQ(m_pHost->Frames().back().pixels[0], Xrgb(palette, 99));

    // A palette change that fails: the old colours stay, though the screen keeps the new palette
    // as the one last set, and the next change shows.
    BYTE grey[1024] = {};
    for (int n = 0; n < 256; ++n)
        grey[n * 4] = grey[n * 4 + 1] = grey[n * 4 + 2] = static_cast<BYTE>(n);
    standin::FailCall("IDirectDrawPalette::SetEntries");
    ScreenSetPalette(grey);
    ScreenPumpMessages();
    EXPECT_EQ(m_pHost->Shown(id)[0], Xrgb(palette, 99));
    EXPECT_EQ(std::memcmp(g_Palette, grey, sizeof grey), 0);
    ScreenSetPalette(grey);
    ScreenPumpMessages();
    EXPECT_EQ(m_pHost->Shown(id)[0], 0x636363u);
    EXPECT_TRUE(m_pHost->Boxes().empty());
    EXPECT_FALSE(g_bQuit);
}

// A palette that cannot be attached to the display: the screen opens all the same, unreported,
// and its frames go on, shown without colours (black, as the display's own memory has none).
TEST_F(FullscreenTest, APaletteThatCannotBeAttachedIsNotReportedAndTheFramesGoOn)
{
    standin::FailCall("IDirectDrawSurface4::SetPalette");
    ASSERT_TRUE(Open(SCREEN_FULLSCREEN));
    EXPECT_TRUE(m_pHost->Boxes().empty());
    BYTE palette[1024];
    RampPalette(palette);
    ScreenSetPalette(palette);
    ScreenClear(200);
    size_t nFrames = m_pHost->FrameCount();
    ScreenUpdate();
    ASSERT_EQ(m_pHost->FrameCount(), nFrames + 1);
    EXPECT_EQ(m_pHost->Frames().back().pixels[0], 0u);
    LPDIRECTDRAWPALETTE lpAttached = nullptr;
    EXPECT_NE(g_lpDDSPrimary->GetPalette(&lpAttached), DD_OK);
    EXPECT_EQ(lpAttached, nullptr);
}

TEST_F(FullscreenTest, AWiderPitchIsFollowedRowByRow)
{
    // 100 pixels a row: the surface's rows are 128 bytes apart.
    ASSERT_TRUE(Open(SCREEN_FULLSCREEN, 100, 80, 8));
    BYTE* p = ScreenGetBuffer();
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 100; ++x)
            p[y * 100 + x] = static_cast<BYTE>(y);
    BYTE palette[1024] = {};
    for (int n = 0; n < 256; ++n)
        palette[n * 4] = static_cast<BYTE>(n);  // blue = value
    ScreenSetPalette(palette);
    ScreenUpdate();
    const auto frame = m_pHost->Frames().back();
    ASSERT_EQ(frame.nWidth, 100);
    ASSERT_EQ(frame.nHeight, 80);
    for (int y = 0; y < 80; ++y) {
        ASSERT_EQ(frame.pixels[y * 100], static_cast<uint32_t>(y)) << "row " << y;
        ASSERT_EQ(frame.pixels[y * 100 + 99], static_cast<uint32_t>(y)) << "row " << y;
    }
}

TEST_F(FullscreenTest, ToggleBothWaysKeepsThePaletteAndNeverQuits)
{
    ASSERT_TRUE(Open(SCREEN_FULLSCREEN));
    BYTE palette[1024];
    RampPalette(palette);
    ScreenSetPalette(palette);
    ScreenToggleMode();
    m_windows.push_back(g_hWnd);
    PumpAll();
    EXPECT_EQ(g_nMode, SCREEN_WINDOWED);
    EXPECT_EQ(m_pHost->DisplayWindow(), 0u) << "the desktop is back";
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
    ScreenClear(33);
    ScreenUpdate();
    uint32_t expected = (uint32_t{palette[33 * 4 + 2]} << 16) | (uint32_t{palette[33 * 4 + 1]} << 8) | 33u;
    EXPECT_EQ(m_pHost->Frames().back().pixels[0], expected);

    ScreenToggleMode();
    m_windows.push_back(g_hWnd);
    PumpAll();
    EXPECT_EQ(g_nMode, SCREEN_FULLSCREEN);
    EXPECT_EQ(m_pHost->DisplayWindow(), standin::WindowId(g_hWnd));
    ScreenClear(33);
    ScreenUpdate();
    EXPECT_EQ(m_pHost->Frames().back().pixels[0], expected);
    EXPECT_FALSE(g_bQuit);
}

TEST_F(FullscreenTest, ADisplayThatCannotBeTakenFailsTheModeStep)
{
    m_pHost->RefuseDisplay(1);
    EXPECT_FALSE(Open(SCREEN_FULLSCREEN));
    ASSERT_EQ(m_pHost->Boxes().size(), 1u);
    EXPECT_EQ(m_pHost->Boxes()[0].text, "SetDisplayMode()\n\nOops... Direct Draw ERROR!");
    EXPECT_TRUE(Open(SCREEN_FULLSCREEN));
}
#endif

}  // namespace
