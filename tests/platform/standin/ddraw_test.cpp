// The DirectDraw stand-in's own rules: who may take the display, which modes and surfaces it
// makes, and what bad calls get back.
#include <gtest/gtest.h>

#ifndef _WIN32
#include "platform/host/headless/headless.h"
#include "platform/standin/faults.h"
#include "platform/standin/window_internal.h"
#include "platform/win32.h"
#include "screen/Screen.h"
#include "tests/screen/screen_fixture.h"

namespace {

class DirectDrawTest : public ScreenTest {
protected:
    HWND MakeWindow()
    {
        HWND hWnd = CreateWindowExA(0, "Screen", "dd", WS_POPUP, 0, 0, 64, 48, nullptr, nullptr, g_hInstance, nullptr);
        m_windows.push_back(hWnd);
        return hWnd;
    }
    LPDIRECTDRAW4 MakeDD4()
    {
        LPDIRECTDRAW pDD = nullptr;
        EXPECT_EQ(DirectDrawCreate(nullptr, &pDD, nullptr), DD_OK);
        LPDIRECTDRAW4 pDD4 = nullptr;
        EXPECT_EQ(pDD->QueryInterface(IID_IDirectDraw4, reinterpret_cast<LPVOID*>(&pDD4)), DD_OK);
        pDD->Release();
        return pDD4;
    }
    static DDSURFACEDESC2 PrimaryDesc(DWORD nBack)
    {
        DDSURFACEDESC2 d = {};
        d.dwSize = sizeof d;
        d.dwFlags = DDSD_CAPS | (nBack ? DDSD_BACKBUFFERCOUNT : 0);
        d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | (nBack ? DDSCAPS_FLIP | DDSCAPS_COMPLEX : 0);
        d.dwBackBufferCount = nBack;
        return d;
    }
};

TEST_F(DirectDrawTest, OnlyOneObjectHoldsTheDisplayAndOnlyInPaletteModes)
{
    HWND hWnd = MakeWindow();
    LPDIRECTDRAW4 pA = MakeDD4();
    LPDIRECTDRAW4 pB = MakeDD4();
    EXPECT_EQ(pA->SetDisplayMode(320, 240, 8, 0, 0), DDERR_NOEXCLUSIVEMODE);
    EXPECT_EQ(pA->SetCooperativeLevel(hWnd, DDSCL_EXCLUSIVE), DDERR_INVALIDPARAMS) << "exclusive needs fullscreen";
    EXPECT_EQ(pA->SetCooperativeLevel(nullptr, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DDERR_INVALIDPARAMS);
    ASSERT_EQ(pA->SetCooperativeLevel(hWnd, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    EXPECT_EQ(pB->SetCooperativeLevel(hWnd, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DDERR_EXCLUSIVEMODEALREADYSET);
    EXPECT_EQ(pA->SetDisplayMode(320, 240, 16, 0, 0), DDERR_INVALIDMODE);
    EXPECT_EQ(pA->SetDisplayMode(0, 240, 8, 0, 0), DDERR_INVALIDMODE);
    EXPECT_EQ(pA->SetDisplayMode(320, 240, 8, 0, 0), DD_OK);
    EXPECT_EQ(m_pHost->DisplayWindow(), standin::WindowId(hWnd));
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 320);
    pA->Release();  // the last reference gives the display back
    EXPECT_EQ(m_pHost->DisplayWindow(), 0u);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
    EXPECT_EQ(pB->SetCooperativeLevel(hWnd, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    pB->Release();
}

TEST_F(DirectDrawTest, SurfacesAndPalettesNeedTheirPreconditions)
{
    HWND hWnd = MakeWindow();
    LPDIRECTDRAW4 pDD = MakeDD4();
    DDSURFACEDESC2 d = PrimaryDesc(1);
    LPDIRECTDRAWSURFACE4 pSurface = nullptr;
    PALETTEENTRY entries[256] = {};
    LPDIRECTDRAWPALETTE pPalette = nullptr;
    EXPECT_EQ(pDD->CreateSurface(&d, &pSurface, nullptr), DDERR_NOCOOPERATIVELEVELSET);
    EXPECT_EQ(pDD->CreatePalette(DDPCAPS_8BIT, entries, &pPalette, nullptr), DDERR_NOCOOPERATIVELEVELSET);
    ASSERT_EQ(pDD->SetCooperativeLevel(hWnd, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    ASSERT_EQ(pDD->SetDisplayMode(64, 48, 8, 0, 0), DD_OK);
    d.dwSize = 124 + 4;
    EXPECT_EQ(pDD->CreateSurface(&d, &pSurface, nullptr), DDERR_INVALIDPARAMS);
    d = PrimaryDesc(1);
    d.ddsCaps.dwCaps &= ~DDSCAPS_COMPLEX;
    EXPECT_EQ(pDD->CreateSurface(&d, &pSurface, nullptr), DDERR_INVALIDCAPS);
    d = PrimaryDesc(1);
    ASSERT_EQ(pDD->CreateSurface(&d, &pSurface, nullptr), DD_OK);
    LPDIRECTDRAWSURFACE4 pSecond = nullptr;
    EXPECT_EQ(pDD->CreateSurface(&d, &pSecond, nullptr), DDERR_PRIMARYSURFACEALREADYEXISTS);
    DDSCAPS2 caps = {DDSCAPS_PRIMARYSURFACE, 0, 0, 0};
    LPDIRECTDRAWSURFACE4 pBack = nullptr;
    EXPECT_EQ(pSurface->GetAttachedSurface(&caps, &pBack), DDERR_NOTFOUND) << "the front is not attached to itself";
    EXPECT_EQ(pDD->CreatePalette(DDPCAPS_8BIT, nullptr, &pPalette, nullptr), DDERR_INVALIDPARAMS);
    ASSERT_EQ(pDD->CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALLOW256, entries, &pPalette, nullptr), DD_OK);
    EXPECT_EQ(pPalette->SetEntries(0, 200, 57, entries), DDERR_INVALIDPARAMS) << "past the last entry";
    EXPECT_EQ(pPalette->SetEntries(0, 0, 256, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(pPalette->SetEntries(0, 255, 1, entries), DD_OK);
    pPalette->Release();
    pSurface->Release();
    pDD->Release();
}

TEST_F(DirectDrawTest, ALockedSurfaceIsBusyAndCannotFlip)
{
    HWND hWnd = MakeWindow();
    LPDIRECTDRAW4 pDD = MakeDD4();
    ASSERT_EQ(pDD->SetCooperativeLevel(hWnd, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    ASSERT_EQ(pDD->SetDisplayMode(64, 48, 8, 0, 0), DD_OK);
    DDSURFACEDESC2 d = PrimaryDesc(1);
    LPDIRECTDRAWSURFACE4 pFront = nullptr, pBack = nullptr;
    ASSERT_EQ(pDD->CreateSurface(&d, &pFront, nullptr), DD_OK);
    DDSCAPS2 caps = {DDSCAPS_BACKBUFFER, 0, 0, 0};
    ASSERT_EQ(pFront->GetAttachedSurface(&caps, &pBack), DD_OK);
    DDSURFACEDESC2 lock = {};
    lock.dwSize = sizeof lock;
    ASSERT_EQ(pBack->Lock(nullptr, &lock, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(lock.lPitch, 64);
    EXPECT_EQ(pBack->Lock(nullptr, &lock, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
    EXPECT_EQ(pFront->Flip(nullptr, DDFLIP_WAIT), DDERR_SURFACEBUSY);
    EXPECT_EQ(pBack->Unlock(nullptr), DD_OK);
    size_t nFrames = m_pHost->FrameCount();
    EXPECT_EQ(pFront->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    EXPECT_EQ(m_pHost->FrameCount(), nFrames + 1);
    RECT outside = {0, 0, 65, 48};
    EXPECT_EQ(pBack->Lock(&outside, &lock, DDLOCK_WAIT, nullptr), DDERR_INVALIDPARAMS);
    pBack->Release();
    pFront->Release();
    pDD->Release();
}

}  // namespace
#endif
