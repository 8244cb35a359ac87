// The SDL host's input: SDL's events become the production's (keys through the key map, mouse
// positions in the display's image), after the viewer's dispatch has looked at them.
#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <vector>

#include "platform/host/sdl/keys.h"
#include "platform/host/sdl/sdl_host.h"
#include "platform/host/signals.h"

namespace host {

// While paused the production waits in here, inside its look at the input: its clock stands still,
// the sound is not pulled, and what the viewer does meanwhile is held back, to reach it in order
// once the pause ends (a key that ends the run ends the pause first).
bool SdlHost::PollEvent(Event& event)
{
    for (;;) {
        if (m_viewer.NextHeld(event))
            return true;
        if (CloseForSignal(event))
            return true;
        SDL_Event e;
        // While the sound device is started again SDL cannot look at its events: this look passes
        // (a paused one waits a little and looks again).
        std::unique_lock<std::mutex> events(SdlAudioRestartLock(), std::try_to_lock);
        if (m_viewer.Paused()) {
            if (!events.owns_lock()) {
                SDL_Delay(kBusyMs);
                continue;
            }
            if (!SDL_WaitEventTimeout(&e, kPausedRedrawMs)) {
                events.unlock();
                ShowDisplay();  // some displays forget what was shown
                ShowWhereNoticeIsStale();
                continue;
            }
        } else if (!events.owns_lock() || !SDL_PollEvent(&e)) {
            break;
        }
        events.unlock();
        if (Take(e, event))
            return true;
    }
    // The end of a look at the input: an image replaced since the last frame shows now.
    for (auto& entry : m_windows)
        if (entry.second.frame.Dirty())
            Show(entry.second);
    ShowWhereNoticeIsStale();
    return false;
}

void SdlHost::WaitEvent(int nTimeoutMs)
{
    std::unique_lock<std::mutex> events(SdlAudioRestartLock(), std::try_to_lock);
    if (events.owns_lock())
        SDL_WaitEventTimeout(nullptr, nTimeoutMs);
    else
        SDL_Delay(static_cast<Uint32>(std::max(0, std::min(nTimeoutMs, kBusyMs))));
}

// A signal that ends the run closes each window, the display first, as its user would: the
// production's own quit path follows, and a pause gives way to it.
bool SdlHost::CloseForSignal(Event& event)
{
    if (EndSignal() == 0)
        return false;
    // Only the end is still to come: what a pause held back would stand before it, a frame a
    // message.
    m_viewer.DropHeld();
    Win* pDisplay = DisplayWindow();
    std::vector<uint32_t> ids;
    for (const auto& entry : m_windows)
        if (m_closedBySignal.count(entry.first) == 0) {
            if (&entry.second == pDisplay)
                ids.insert(ids.begin(), entry.first);
            else
                ids.push_back(entry.first);
        }
    for (uint32_t id : ids) {
        m_closedBySignal.insert(id);
        Event close;
        close.type = EventType::Close;
        close.window = id;
        if (m_viewer.Dispatch(close, false)) {
            event = close;
            return true;
        }
    }
    return false;  // held behind what the pause held back, which comes first
}

// One SDL event: false where it is the host's alone or held back; else the production's event.
bool SdlHost::Take(const SDL_Event& e, Event& out)
{
    if (e.type == SDL_WINDOWEVENT && m_viewer.Paused() &&
        (e.window.event == SDL_WINDOWEVENT_EXPOSED || e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED))
        ShowDisplay();
    if (!Translate(e, out))
        return false;
    return m_viewer.Dispatch(out, e.type == SDL_KEYDOWN && e.key.repeat != 0);
}

uint32_t SdlHost::Owner(uint32_t nSdlId) const
{
    auto it = m_bySdlId.find(nSdlId);
    return it == m_bySdlId.end() ? 0 : it->second;
}

// A display's mouse positions in its image's pixels, wherever the image sits in the window and
// whatever its scale: the production's window is the display's mode, as where it is the screen.
void SdlHost::ToImage(Event& event)
{
    Win* w = Find(event.window);
    if (!w || !w->bDisplay)
        return;
    int nWinW = 0, nWinH = 0;
    SDL_GetWindowSize(w->pWindow, &nWinW, &nWinH);
    FitRect f = PlaceImage(m_scaling, w->nModeW, w->nModeH, nWinW, nWinH);
    if (f.nWidth <= 0 || f.nHeight <= 0)
        return;
    event.x = static_cast<int>(std::floor(double(event.x - f.x) * w->nModeW / f.nWidth));
    event.y = static_cast<int>(std::floor(double(event.y - f.y) * w->nModeH / f.nHeight));
}

bool SdlHost::Translate(const SDL_Event& e, Event& out)
{
    out = Event();
    switch (e.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        out.type = EventType::Key;
        out.window = Owner(e.key.windowID);
        out.vk = VirtualKey(e.key.keysym.scancode);
        out.down = e.type == SDL_KEYDOWN;
        return out.vk != 0;
    case SDL_MOUSEMOTION:
        out.type = EventType::MouseMove;
        out.window = Owner(e.motion.windowID);
        out.x = e.motion.x;
        out.y = e.motion.y;
        ToImage(out);
        return true;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        out.type = EventType::MouseButton;
        out.window = Owner(e.button.windowID);
        out.down = e.type == SDL_MOUSEBUTTONDOWN;
        out.x = e.button.x;
        out.y = e.button.y;
        ToImage(out);
        if (e.button.button == SDL_BUTTON_LEFT)
            out.button = Button::Left;
        else if (e.button.button == SDL_BUTTON_RIGHT)
            out.button = Button::Right;
        else if (e.button.button == SDL_BUTTON_MIDDLE)
            out.button = Button::Middle;
        else
            return false;
        return true;
    case SDL_AUDIODEVICEADDED:
    case SDL_AUDIODEVICEREMOVED:
        // The host's own: its sound device may go, or come back.
        if (e.adevice.iscapture == 0) {
            if (e.type == SDL_AUDIODEVICEADDED)
                m_audio.DeviceAdded();
            else
                m_audio.DeviceRemoved(e.adevice.which);
        }
        return false;
    case SDL_WINDOWEVENT:
        out.window = Owner(e.window.windowID);
        if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED || e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
            out.type = EventType::Focus;
            out.down = e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED;
            return true;
        }
        if (e.window.event == SDL_WINDOWEVENT_MINIMIZED || e.window.event == SDL_WINDOWEVENT_RESTORED) {
            // The display is gone while its window is minimized (the user switched away).
            Win* w = Find(out.window);
            out.type = EventType::Display;
            out.down = e.window.event == SDL_WINDOWEVENT_RESTORED;
            return w && w->bDisplay;
        }
        if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
            out.type = EventType::Close;
            return out.window != 0;
        }
        return false;
    default: return false;
    }
}

}  // namespace host
