#include "platform/host/sdl/keys.h"

#include <SDL.h>

#include "platform/host/codes.h"

namespace host {

int VirtualKey(int nScancode)
{
    const auto sc = static_cast<SDL_Scancode>(nScancode);
    if (sc >= SDL_SCANCODE_A && sc <= SDL_SCANCODE_Z)
        return 'A' + (sc - SDL_SCANCODE_A);
    if (sc >= SDL_SCANCODE_1 && sc <= SDL_SCANCODE_9)
        return '1' + (sc - SDL_SCANCODE_1);
    if (sc >= SDL_SCANCODE_F1 && sc <= SDL_SCANCODE_F12)
        return key::kF1 + (sc - SDL_SCANCODE_F1);
    switch (sc) {
    case SDL_SCANCODE_0: return '0';
    case SDL_SCANCODE_ESCAPE: return key::kEscape;
    case SDL_SCANCODE_RETURN:
    case SDL_SCANCODE_KP_ENTER: return key::kReturn;
    case SDL_SCANCODE_SPACE: return key::kSpace;
    case SDL_SCANCODE_BACKSPACE: return key::kBack;
    case SDL_SCANCODE_TAB: return key::kTab;
    case SDL_SCANCODE_LEFT: return key::kLeft;
    case SDL_SCANCODE_RIGHT: return key::kRight;
    case SDL_SCANCODE_UP: return key::kUp;
    case SDL_SCANCODE_DOWN: return key::kDown;
    case SDL_SCANCODE_HOME: return key::kHome;
    case SDL_SCANCODE_END: return key::kEnd;
    case SDL_SCANCODE_PAGEUP: return key::kPageUp;
    case SDL_SCANCODE_PAGEDOWN: return key::kPageDown;
    case SDL_SCANCODE_INSERT: return key::kInsert;
    case SDL_SCANCODE_DELETE: return key::kDelete;
    case SDL_SCANCODE_PAUSE: return key::kPause;
    case SDL_SCANCODE_CAPSLOCK: return key::kCapsLock;
    case SDL_SCANCODE_LSHIFT:
    case SDL_SCANCODE_RSHIFT: return key::kShift;
    case SDL_SCANCODE_LCTRL:
    case SDL_SCANCODE_RCTRL: return key::kControl;
    case SDL_SCANCODE_LALT:
    case SDL_SCANCODE_RALT: return key::kAlt;
    default: return 0;
    }
}

}  // namespace host
