// What the screen's open, close, present and palette steps ask of the fullscreen backend, and
// the DirectDraw objects it holds.
#pragma once

#include "platform/win32.h"

extern LPDIRECTDRAW g_lpDD;
extern LPDIRECTDRAW4 g_lpDD4;
extern LPDIRECTDRAWSURFACE4 g_lpDDSPrimary;
extern LPDIRECTDRAWSURFACE4 g_lpDDSBack;
extern LPDIRECTDRAWPALETTE g_lpDDPalette;
extern DDSURFACEDESC2 g_ddsdLock;

// Takes the display for g_hWnd at width × height × bits. On failure the user has been told which
// step failed and everything made so far is released.
bool ScreenInitDirectDraw(int nWidth, int nHeight, int nBits);
void ScreenReleaseDirectDraw();
// Tells the user which step failed, releases what was made; always false.
bool ScreenInitError(HWND hWnd, const char* pszText);
// Locks the surface a present draws into (the back buffer when flipping, else the visible one).
HRESULT ScreenLockSurface();
void ScreenUnlockSurface();
// Shows the framebuffer: copies it into the locked surface and flips.
void ScreenFullscreenPresent();
// Sets all 256 entries (blue, green, red, reserved); the new colours show at once.
void ScreenFullscreenSetPalette(const BYTE* pPalette);
