#include "platform/host/viewer.h"

namespace host {

namespace {

constexpr int kF4 = key::kF1 + 3, kF10 = key::kF1 + 9, kF11 = key::kF1 + 10;

bool EndsRun(const Event& e, bool bAlt, bool bQ, bool bEnter)
{
    switch (e.type) {
    case EventType::Close: return true;
    case EventType::MouseButton: return e.down && e.button == Button::Left;
    case EventType::Key:
        if (!e.down)
            return false;
        if (e.vk == key::kEscape)
            return true;
        // A system key: Alt itself, a key pressed while Alt is held, or F10.
        if (e.vk == key::kAlt || bAlt || e.vk == kF10)
            return (bQ && bEnter) || (bAlt && e.vk == kF4);
        return false;
    default: return false;
    }
}

ViewerAction ActionOf(const Event& e, bool bRepeat, bool bAlt, bool bQ)
{
    if (e.type != EventType::Key || !e.down || bRepeat)
        return ViewerAction::None;
    if (bAlt)
        return e.vk == key::kReturn && !bQ ? ViewerAction::ToggleFullscreen : ViewerAction::None;
    switch (e.vk) {
    case kF11: return ViewerAction::ToggleFullscreen;
    case key::kF12: return ViewerAction::Screenshot;
    case 'P':
    case key::kPause: return ViewerAction::TogglePause;
    default: return ViewerAction::None;
    }
}

}  // namespace

Observed ViewerKeys::Observe(const Event& event, bool bRepeat)
{
    // The held keys as the production's window procedure sees them once this event reaches it.
    const bool bAltBefore = m_bAlt;
    if (event.type == EventType::Key) {
        if (event.vk == key::kAlt)
            m_bAlt = event.down;
        else if (event.vk == 'Q')
            m_bQ = event.down;
        else if (event.vk == key::kReturn)
            m_bEnter = event.down;
    }
    Observed o;
    o.bEndsRun = EndsRun(event, bAltBefore, m_bQ, m_bEnter);
    if (!o.bEndsRun)
        o.action = ActionOf(event, bRepeat, bAltBefore, m_bQ);
    return o;
}

long PausableClock::Now() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nPausedAt >= 0 ? m_nPausedAt : m_wall() - m_nPausedFor;
}

bool PausableClock::Paused() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nPausedAt >= 0;
}

void PausableClock::Pause()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_nPausedAt < 0)
        m_nPausedAt = m_wall() - m_nPausedFor;
}

void PausableClock::Resume()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_nPausedAt < 0)
        return;
    m_nPausedFor = m_wall() - m_nPausedAt;
    m_nPausedAt = -1;
}

void HeldEvents::Hold(const Event& event)
{
    if (event.type == EventType::MouseMove && !m_events.empty() && m_events.back().type == EventType::MouseMove)
        m_events.back() = event;
    else
        m_events.push_back(event);
}

bool HeldEvents::Next(Event& event)
{
    if (m_events.empty())
        return false;
    event = m_events.front();
    m_events.pop_front();
    return true;
}

bool ViewerDispatch::NextHeld(Event& event)
{
    return !m_clock.Paused() && m_held.Next(event);
}

bool ViewerDispatch::Dispatch(const Event& event, bool bRepeat)
{
    Observed o = m_keys.Observe(event, bRepeat);
    if (o.bEndsRun && m_clock.Paused())
        SetPaused(false);
    switch (o.action) {
    case ViewerAction::ToggleFullscreen: m_controls.ToggleFullscreen(); break;
    case ViewerAction::Screenshot: m_controls.TakeScreenshot(); break;
    case ViewerAction::TogglePause: SetPaused(!m_clock.Paused()); break;
    case ViewerAction::None: break;
    }
    if (!m_clock.Paused() && m_held.Empty())
        return true;
    m_held.Hold(event);
    return false;
}

void ViewerDispatch::SetPaused(bool bPaused)
{
    if (bPaused)
        m_clock.Pause();
    else
        m_clock.Resume();
    m_controls.PauseChanged(bPaused);
}

}  // namespace host
