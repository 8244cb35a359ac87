// What the screen's open, close, present and palette steps ask of the fullscreen backend.
#pragma once

#include "platform/win32.h"

// Takes the display for g_hWnd at width × height × bits. On failure the user has been told which
// step failed and everything made so far is released.
bool ScreenFullscreenStart(int nWidth, int nHeight, int nBits);
void ScreenFullscreenStop();
// Shows the framebuffer; the palette last set applies.
void ScreenFullscreenPresent();
// Sets all 256 entries (blue, green, red, reserved); the new colours show at once.
void ScreenFullscreenSetPalette(const BYTE* pPalette);
HRESULT ScreenFullscreenRestore();
