#include "platform/host/sdl/window_manager.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace host {

bool HasWindowManager(SDL_Window* pWindow)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(pWindow, &info) || info.subsystem != SDL_SYSWM_X11)
        return true;
    Display* pDisplay = info.info.x11.display;
    const Atom check = XInternAtom(pDisplay, "_NET_SUPPORTING_WM_CHECK", True);
    if (check == None)
        return false;
    Atom type = None;
    int nFormat = 0;
    unsigned long nItems = 0, nAfter = 0;
    unsigned char* pData = nullptr;
    const int nResult = XGetWindowProperty(pDisplay, DefaultRootWindow(pDisplay), check, 0, 1, False, XA_WINDOW, &type,
                                           &nFormat, &nItems, &nAfter, &pData);
    if (pData)
        XFree(pData);
    return nResult == Success && type == XA_WINDOW && nItems == 1;
}

}  // namespace host
