// The fullscreen backend: the display in exclusive mode through IDirectDraw4, a primary surface
// with one back buffer, and a hardware palette attached to it.
#include <cstdio>
#include <cstring>

#include "screen/Screen.h"
#include "screen/ScreenFullscreen.h"

LPDIRECTDRAW g_lpDD = nullptr;
LPDIRECTDRAW4 g_lpDD4 = nullptr;
LPDIRECTDRAWSURFACE4 g_lpDDSPrimary = nullptr;
LPDIRECTDRAWSURFACE4 g_lpDDSBack = nullptr;
LPDIRECTDRAWPALETTE g_lpDDPalette = nullptr;
DDSURFACEDESC2 g_ddsdLock;

namespace {

bool InitSurfaces()
{
    DDSURFACEDESC2 ddsd;
    std::memset(&ddsd, 0, sizeof ddsd);
    ddsd.dwSize = sizeof ddsd;
    ddsd.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    ddsd.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE;
    ddsd.dwBackBufferCount = 1;
    if (FAILED(g_lpDD4->CreateSurface(&ddsd, &g_lpDDSPrimary, nullptr)))
        return ScreenInitError(g_hWnd, "CreateSurface()");

    DDSCAPS2 caps;
    std::memset(&caps, 0, sizeof caps);
    caps.dwCaps = DDSCAPS_BACKBUFFER | DDSCAPS_3DDEVICE;
    if (FAILED(g_lpDDSPrimary->GetAttachedSurface(&caps, &g_lpDDSBack)))
        return ScreenInitError(g_hWnd, "GetAttachedSurface()");
    return true;
}

// Until the first ScreenSetPalette, value 0 shows a dark blue and every other value black.
bool InitPalette()
{
    PALETTEENTRY entries[256];
    std::memset(entries, 0, sizeof entries);
    entries[0].peBlue = 64;
    if (g_lpDD4->CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALLOW256, entries, &g_lpDDPalette, nullptr) != DD_OK)
        return ScreenInitError(g_hWnd, "CreatePalette()");
    g_lpDDSPrimary->SetPalette(g_lpDDPalette);
    return true;
}

LPDIRECTDRAWSURFACE4 LockTarget()
{
    return g_bPageFlip ? g_lpDDSBack : g_lpDDSPrimary;
}

// Row by row where the surface's rows are not exactly the framebuffer's apart.
void CopyFramebuffer()
{
    size_t nRow = static_cast<size_t>(g_nWidth) * static_cast<size_t>(g_nBits / 8);
    size_t nRows = static_cast<size_t>(g_nHeight);
    BYTE* pDst = static_cast<BYTE*>(g_ddsdLock.lpSurface);
    LONG nPitch = g_ddsdLock.lPitch;
    if (!pDst || !g_pFramebuffer)
        return;
    if (nPitch <= 0 || static_cast<size_t>(nPitch) == nRow) {
        std::memcpy(pDst, g_pFramebuffer, nRow * nRows);
        return;
    }
    size_t nCopy = static_cast<size_t>(nPitch) < nRow ? static_cast<size_t>(nPitch) : nRow;
    for (size_t y = 0; y < nRows; ++y)
        std::memcpy(pDst + y * static_cast<size_t>(nPitch), g_pFramebuffer + y * nRow, nCopy);
}

}  // namespace

bool ScreenInitDirectDraw(int nWidth, int nHeight, int nBits)
{
    if (FAILED(DirectDrawCreate(nullptr, &g_lpDD, nullptr)))
        return ScreenInitError(g_hWnd, "DirectDrawCreate()");
    if (FAILED(g_lpDD->QueryInterface(IID_IDirectDraw4, reinterpret_cast<LPVOID*>(&g_lpDD4))))
        return ScreenInitError(g_hWnd, "QueryInterface() to DD4");
    if (FAILED(g_lpDD4->SetCooperativeLevel(g_hWnd, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN)))
        return ScreenInitError(g_hWnd, "SetCooperativeLevel()");
    if (FAILED(g_lpDD4->SetDisplayMode(static_cast<DWORD>(nWidth), static_cast<DWORD>(nHeight),
                                       static_cast<DWORD>(nBits), 0, 0)))
        return ScreenInitError(g_hWnd, "SetDisplayMode()");
    return InitSurfaces() && InitPalette();
}

bool ScreenInitError(HWND hWnd, const char* pszText)
{
    char szText[1024];
    std::snprintf(szText, sizeof szText, "%s\n\nOops... Direct Draw ERROR!", pszText);
    ScreenReleaseDirectDraw();
    MessageBoxA(hWnd, szText, "DirectX Init Failed!", MB_OK);
    return false;
}

// Everything goes, the DirectDraw object last: its last release gives the desktop its own mode
// back, so that a toggle to windowed mode finds the desktop as it was. Before the second
// interface exists nothing is released.
void ScreenReleaseDirectDraw()
{
    if (!g_lpDD4)
        return;
    if (g_lpDDSPrimary) {
        if (g_lpDDSBack)
            g_lpDDSBack->Release();  // the reference GetAttachedSurface handed out
        g_lpDDSBack = nullptr;
        g_lpDDSPrimary->Release();
        g_lpDDSPrimary = nullptr;
    }
    if (g_lpDDPalette) {
        g_lpDDPalette->Release();
        g_lpDDPalette = nullptr;
    }
    g_lpDD4->Release();
    g_lpDD4 = nullptr;
    if (g_lpDD) {
        g_lpDD->Release();
        g_lpDD = nullptr;
    }
}

HRESULT ScreenLockSurface()
{
    LPDIRECTDRAWSURFACE4 pTarget = LockTarget();
    if (!pTarget)
        return DDERR_INVALIDOBJECT;
    g_ddsdLock.dwSize = sizeof g_ddsdLock;
    HRESULT hr = pTarget->Lock(nullptr, &g_ddsdLock, DDLOCK_WAIT, nullptr);
    if (SUCCEEDED(hr))
        g_bLocked = true;
    return hr;
}

void ScreenUnlockSurface()
{
    LPDIRECTDRAWSURFACE4 pTarget = LockTarget();
    if (pTarget)
        pTarget->Unlock(nullptr);
    g_bLocked = false;
}

// Surfaces lost while the user was away from the display are restored here and the frame goes
// on; while the display is still away they cannot be, and the frame is dropped.
void ScreenFullscreenPresent()
{
    HRESULT hr = ScreenLockSurface();
    if (hr == DDERR_SURFACELOST && SUCCEEDED(ScreenRestoreSurfaces()))
        hr = ScreenLockSurface();
    if (FAILED(hr))
        return;
    CopyFramebuffer();
    ScreenUnlockSurface();
    if (g_bPageFlip)
        g_lpDDSPrimary->Flip(nullptr, DDFLIP_WAIT);
}

void ScreenFullscreenSetPalette(const BYTE* pPalette)
{
    if (!g_lpDDPalette)
        return;
    PALETTEENTRY entries[256];
    for (int n = 0; n < 256; ++n) {
        entries[n].peRed = pPalette[n * 4 + 2];
        entries[n].peGreen = pPalette[n * 4 + 1];
        entries[n].peBlue = pPalette[n * 4 + 0];
        entries[n].peFlags = 0;
    }
    g_lpDDPalette->SetEntries(0, 0, 256, entries);
}

HRESULT ScreenRestoreSurfaces()
{
    if (!g_lpDDSPrimary)
        return DDERR_INVALIDOBJECT;
    return g_lpDDSPrimary->Restore();
}
