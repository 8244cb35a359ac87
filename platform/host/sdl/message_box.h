// Message boxes on the SDL host: a box of the host's own, a window of this process drawn with SDL
// and DejaVu Sans, so that it answers the keyboard (Return: the button chosen, at first the
// default, the first; Escape: Cancel, or the button that stops; Tab and the arrows move between
// the buttons, Space presses the one chosen), goes away when a signal ends the run (platform/host/
// signals.h), and never outlives the process. Where the font is missing it is SDL's own box; where
// no box can be shown at all, one line of standard error and the box's first button.
#pragma once

#include <string>
#include <vector>

#include "platform/host/codes.h"

struct SDL_Window;

namespace host {

// pOver: the window the box belongs to, kept under it and given the keyboard back after; may be
// null. While the box is up it is modal: keys and the mouse on other windows are dropped, and
// their other events are put back for the host once the box is gone. Off the main thread (a check
// failed in the music's refill thread) the host's own windows are not to be made: SDL's box shows.
BoxAnswer ShowMessageBox(const std::string& caption, const std::string& text, BoxButtons kind, bool bError,
                         SDL_Window* pOver = nullptr, bool bOnMainThread = true);

// The box's answers, by kind: its buttons in order, and which of them Return (before another is
// chosen), Escape and a signal that ends the run take. A signal takes Cancel where there is one,
// and otherwise the button that lets the production go on to its own quit path.
struct BoxKeys {
    std::vector<BoxAnswer> buttons;
    BoxAnswer onReturn, onEscape, onSignal;
};
BoxKeys KeysOf(BoxButtons kind);

}  // namespace host
