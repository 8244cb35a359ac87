// What the stand-in's own parts need to know of its windows and of the display.
#pragma once

#include "platform/standin/below_seam.h"

#include <cstddef>
#include <cstdint>

#include "platform/standin/types.h"

namespace standin {

bool WindowClientSize(HWND hWnd, int& nWidth, int& nHeight);
// The host's number for the window, 0 if it is not a window.
uint32_t WindowId(HWND hWnd);
// Makes the window the active one, which receives the keyboard.
void ActivateWindow(HWND hWnd);

// The display as the exclusive owner set it: true and its size while a mode is set.
bool DisplayModeSize(int& nWidth, int& nHeight);
// The user switched away from the exclusive display (false) or back (true): surfaces are lost on
// the way out and can be restored once the display is back.
void DisplayActivated(bool bActive);

}  // namespace standin
