// What the SDL host asks of the desktop beyond SDL: kept apart, since the X headers' names (None,
// Status, Display, ...) would clash with the host's own.
#pragma once

struct SDL_Window;

namespace host {

// Whether a window manager looks after the window's screen: on X, one that says so on the root
// window (_NET_SUPPORTING_WM_CHECK); elsewhere there always is one.
bool HasWindowManager(SDL_Window* pWindow);

}  // namespace host
