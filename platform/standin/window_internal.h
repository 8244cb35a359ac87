// What the stand-in's own parts (graphics, tests) need to know of its windows.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/standin/types.h"

namespace standin {

bool WindowClientSize(HWND hWnd, int& nWidth, int& nHeight);
// The host's number for the window, 0 if it is not a window.
uint32_t WindowId(HWND hWnd);
// Makes the window the active one, which receives the keyboard.
void ActivateWindow(HWND hWnd);
// Destroys every window without messages and forgets classes, queue and input state (tests).
void ResetWindows();
size_t QueuedMessages();

}  // namespace standin
