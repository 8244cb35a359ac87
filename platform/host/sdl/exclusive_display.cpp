// The SDL host's exclusive display: over the whole screen or in a desktop window, as the viewer
// last chose, its frames paced at 60 a second.
#include <SDL.h>

#include <algorithm>

#include "platform/host/sdl/sdl_host.h"
#include "platform/host/sdl/window_manager.h"

namespace host {

bool SdlHost::TakeDisplay(uint32_t id, int nWidth, int nHeight)
{
    Win* w = Find(id);
    if (!w || nWidth <= 0 || nHeight <= 0)
        return false;
    w->bDisplay = true;
    w->nModeW = nWidth;
    w->nModeH = nHeight;
    SDL_RenderSetLogicalSize(w->pRenderer, 0, 0);  // the display places its image itself
    const int nDisplay = PlaceDisplay(*w);
    SDL_ShowWindow(w->pWindow);
    SDL_RaiseWindow(w->pWindow);
    StartPacer(*w, nDisplay);
    UpdateCursor();
    m_launch.Mark(LaunchReport::kDisplay);
    return true;
}

void SdlHost::ReleaseDisplay(uint32_t id)
{
    Win* w = Find(id);
    if (!w || !w->bDisplay)
        return;
    w->bDisplay = false;
    SDL_SetWindowFullscreen(w->pWindow, 0);
    SDL_SetWindowBordered(w->pWindow, SDL_TRUE);
    SDL_SetWindowResizable(w->pWindow, SDL_FALSE);
    SDL_SetWindowSize(w->pWindow, w->nClientW, w->nClientH);
    SDL_SetWindowPosition(w->pWindow, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
    SDL_RenderSetLogicalSize(w->pRenderer, w->nClientW, w->nClientH);
    if (!w->bShown)
        SDL_HideWindow(w->pWindow);
    UpdateCursor();
}

void SdlHost::GetDisplaySize(int& nWidth, int& nHeight)
{
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) == 0) {
        nWidth = mode.w;
        nHeight = mode.h;
    } else {
        nWidth = 640;
        nHeight = 480;
    }
}

SdlHost::Win* SdlHost::DisplayWindow()
{
    for (auto& entry : m_windows)
        if (entry.second.bDisplay)
            return &entry.second;
    return nullptr;
}

// The display shows its frame again (the pause's mark comes or goes, its place changed); the
// production's own frame ends are not touched.
void SdlHost::ShowDisplay()
{
    if (Win* w = DisplayWindow())
        Show(*w);
}

// The display over the whole screen or in a desktop window, as the viewer last chose; the index of
// the screen it is on.
int SdlHost::PlaceDisplay(Win& w)
{
    int nDisplay = std::max(0, SDL_GetWindowDisplayIndex(w.pWindow));
    SDL_Rect bounds;
    if (SDL_GetDisplayBounds(nDisplay, &bounds) != 0)
        bounds = SDL_Rect{0, 0, w.nModeW, w.nModeH};
    if (m_bInWindow)
        PlaceInDesktopWindow(w, nDisplay, w.nModeW, w.nModeH);
    else
        CoverDisplay(w, bounds.x, bounds.y, bounds.w, bounds.h);
    return nDisplay;
}

// The pointer hides over the display while it covers the screen; in a desktop window it is the
// viewer's, to move and size the window with; elsewhere the production says.
void SdlHost::UpdateCursor()
{
    Win* w = DisplayWindow();
    bool bVisible = w ? m_bInWindow : m_bCursorWanted;
    SDL_ShowCursor(bVisible ? SDL_ENABLE : SDL_DISABLE);
}

// The display paces the flips where it refreshes at 60 Hz and the renderer waits for it.
void SdlHost::StartPacer(Win& w, int nDisplay)
{
    SDL_RendererInfo info;
    SDL_DisplayMode mode;
    bool bVsync = SDL_GetRendererInfo(w.pRenderer, &info) == 0 && (info.flags & SDL_RENDERER_PRESENTVSYNC) != 0;
    bool b60 = SDL_GetCurrentDisplayMode(nDisplay, &mode) == 0 && mode.refresh_rate >= 59 && mode.refresh_rate <= 61;
    w.pacer.Start(bVsync && b60);
}

// Over the whole display, also where no window manager honours a fullscreen request: the window is
// made the display's size at its origin first.
void SdlHost::CoverDisplay(Win& w, int x, int y, int nWidth, int nHeight)
{
    SDL_SetWindowResizable(w.pWindow, SDL_FALSE);
    SDL_SetWindowBordered(w.pWindow, SDL_FALSE);
    SDL_SetWindowPosition(w.pWindow, x, y);
    SDL_SetWindowSize(w.pWindow, nWidth, nHeight);
    // Without a window manager the borderless window over the display's bounds is already all that
    // fullscreen is, and asking for fullscreen as well would wait a tenth of a second for an answer
    // nobody gives.
    if (HasWindowManager(w.pWindow))
        SDL_SetWindowFullscreen(w.pWindow, SDL_WINDOW_FULLSCREEN_DESKTOP);
}

// A desktop window of the largest whole multiple of the mode that fits the desktop's free area,
// resizable; the image follows its size.
void SdlHost::PlaceInDesktopWindow(Win& w, int nDisplay, int nWidth, int nHeight)
{
    SDL_Rect usable;
    if (SDL_GetDisplayUsableBounds(nDisplay, &usable) != 0)
        usable = SDL_Rect{0, 0, nWidth, nHeight};
    // Room for the window manager's frame and title bar.
    int k = std::max(1, std::min((usable.w - 32) / nWidth, (usable.h - 64) / nHeight));
    SDL_SetWindowFullscreen(w.pWindow, 0);
    SDL_SetWindowBordered(w.pWindow, SDL_TRUE);
    SDL_SetWindowResizable(w.pWindow, SDL_TRUE);
    SDL_SetWindowMinimumSize(w.pWindow, std::max(1, nWidth / 4), std::max(1, nHeight / 4));
    SDL_SetWindowSize(w.pWindow, nWidth * k, nHeight * k);
    SDL_SetWindowPosition(w.pWindow, SDL_WINDOWPOS_CENTERED_DISPLAY(nDisplay),
                          SDL_WINDOWPOS_CENTERED_DISPLAY(nDisplay));
}

}  // namespace host
