// What the viewer's keys ask of the SDL host (platform/host/viewer.h decides which keys those are).
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/host/sdl/screenshot.h"
#include "platform/host/sdl/sdl_host.h"

namespace host {

void SdlHost::ToggleFullscreen()
{
    Win* w = DisplayWindow();
    if (!w)
        return;
    m_bInWindow = !m_bInWindow;
    PlaceDisplay(*w);
    SDL_RaiseWindow(w->pWindow);
    UpdateCursor();
    if (m_viewer.Paused())
        Show(*w);
}

// The frame being shown (the display's, else any window's) as a PNG in the pictures folder.
void SdlHost::TakeScreenshot()
{
    Win* w = DisplayWindow();
    for (auto it = m_windows.begin(); !w && it != m_windows.end(); ++it)
        if (!it->second.frame.Shown().Empty())
            w = &it->second;
    std::string error;
    std::string path = NewScreenshotFile(PicturesFolder(std::getenv), std::time(nullptr), error);
    if (!path.empty() && !WritePng(path, w ? w->frame.Shown() : Picture(), error)) {
        std::remove(path.c_str());
        path.clear();
    }
    // Said where the viewer looks, over the frame, and on standard error.
    if (path.empty()) {
        std::fprintf(stderr, "vadurer: no screenshot: %s\n", error.c_str());
        m_notice.Say("No screenshot: " + error, WallClockMs());
    } else {
        std::fprintf(stderr, "vadurer: screenshot written to %s\n", path.c_str());
        m_notice.Say("Screenshot saved to " + path, WallClockMs());
    }
    if (w)
        Show(*w);
}

// The sound stops with the clock, and the display shows the mark (or, the pause over, is without
// it again, also where the production presents nothing for a while).
void SdlHost::PauseChanged(bool bPaused)
{
    m_audio.Hold(bPaused);
    ShowDisplay();
}

}  // namespace host
