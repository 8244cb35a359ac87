// The viewer's controls, which sit in a host and not in the production: fullscreen or a window, a
// screenshot, a pause. Shared by the hosts that show the production to someone (SDL, the page):
// each hands its viewer's events to a ViewerDispatch, which does what they ask through the host's
// ViewerControls and says which reach the production now.
//
// The host only looks at the keys: every key still reaches the production as it did, so its own
// keys (Escape, Alt+F4, a left click, Q+Enter+Alt) mean what they always meant. With Alt held a key
// is the production's (a system key); the one exception, Alt+Enter, toggles fullscreen only while Q
// is up, and its Enter reaches the production all the same, so that Q+Enter+Alt ends the process in
// every order of pressing.
#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <utility>

#include "platform/host/host.h"

namespace host {

enum class ViewerAction { None, ToggleFullscreen, Screenshot, TogglePause };

struct Observed {
    ViewerAction action = ViewerAction::None;
    // The event ends the production's run (Escape, Alt+F4, a left click, closing the window, or a
    // system-key press while Q and Enter are both down); a pause gives way to it.
    bool bEndsRun = false;
};

class ViewerKeys {
public:
    // Follows the keys held and says what this event asks of the host. bRepeat: a held key's repeat.
    Observed Observe(const Event& event, bool bRepeat);

private:
    bool m_bAlt = false, m_bQ = false, m_bEnter = false;
};

// The production's clock: a wall clock that stands still while paused and takes up again where it
// stopped, so that nothing timed by it sees the pause. Any thread.
class PausableClock {
public:
    explicit PausableClock(std::function<long()> wall) : m_wall(std::move(wall)) {}

    long Now() const;
    bool Paused() const;
    void Pause();
    void Resume();

private:
    std::function<long()> m_wall;
    mutable std::mutex m_mutex;
    long m_nPausedAt = -1;  // the reading while paused; -1 while running
    long m_nPausedFor = 0;  // all the pauses so far, taken off every reading
};

// The production's events while paused: held back, to reach it in order once the pause ends. Mouse
// moves in a row come to the last of them: only where the pointer ended matters.
class HeldEvents {
public:
    void Hold(const Event& event);
    bool Empty() const { return m_events.empty(); }
    // The oldest held event, taken away; false when none is held.
    bool Next(Event& event);

private:
    std::deque<Event> m_events;
};

// What a host does at its viewer's request.
class ViewerControls {
public:
    virtual void ToggleFullscreen() = 0;
    virtual void TakeScreenshot() = 0;
    // The pause began (true) or ended, the production's clock stopped or going on again: the host
    // holds or lets go the sound's pull and shows it.
    virtual void PauseChanged(bool bPaused) = 0;

protected:
    ~ViewerControls() = default;
};

// The viewer's dispatch: the keys the host keeps, the production's clock that a pause stops, and
// the production's events held back while it is paused. Main thread, but for Now.
class ViewerDispatch {
public:
    ViewerDispatch(ViewerControls& controls, std::function<long()> wall)
        : m_controls(controls), m_clock(std::move(wall))
    {
    }

    // The production's clock; any thread.
    long Now() const { return m_clock.Now(); }
    bool Paused() const { return m_clock.Paused(); }
    // Once the pause is over, the oldest event held back during it, taken away; false when none
    // is held or the pause goes on.
    bool NextHeld(Event& event);
    // One of the viewer's events (bRepeat: a held key's repeat): does what it asks of the host, a
    // pause giving way to an event that ends the run. True where it goes on to the production now;
    // false where it is held back until the pause ends.
    bool Dispatch(const Event& event, bool bRepeat);
    // What the pause held back is dropped: the run is ending, and nobody waits for it.
    void DropHeld() { m_held = HeldEvents(); }

private:
    void SetPaused(bool bPaused);

    ViewerControls& m_controls;
    ViewerKeys m_keys;
    PausableClock m_clock;
    HeldEvents m_held;
};

}  // namespace host
