#include "platform/host_headless.h"

#include "platform/clock.h"
#include "platform/types.h"

namespace host {

long HeadlessHost::s_nNow = 0;

HeadlessHost::HeadlessHost()
{
    s_nNow = 0;
}

HeadlessHost::~HeadlessHost()
{
    ClockSetSource(nullptr);
}

void HeadlessHost::PushKey(int vk, bool bDown)
{
    Event e;
    e.type = EventType::Key;
    e.vk = vk;
    e.down = bDown;
    Push(e);
}

void HeadlessHost::PushMouseMove(int x, int y)
{
    Event e;
    e.type = EventType::MouseMove;
    e.x = x;
    e.y = y;
    Push(e);
}

void HeadlessHost::PushMouseButton(Button button, bool bDown, int x, int y)
{
    Event e;
    e.type = EventType::MouseButton;
    e.button = button;
    e.down = bDown;
    e.x = x;
    e.y = y;
    Push(e);
}

bool HeadlessHost::OpenWindow(uint32_t id, const std::string& title, int nWidth, int nHeight, bool bFullscreen)
{
    Window& w = m_windows[id];
    w.title = title;
    w.nWidth = nWidth;
    w.nHeight = nHeight;
    w.bFullscreen = bFullscreen;
    return true;
}

void HeadlessHost::ShowWindow(uint32_t id)
{
    auto it = m_windows.find(id);
    if (it != m_windows.end())
        it->second.bVisible = true;
}

void HeadlessHost::CloseWindow(uint32_t id)
{
    auto it = m_windows.find(id);
    if (it != m_windows.end()) {
        it->second.bOpen = false;
        it->second.bVisible = false;
    }
    if (m_nCaptured == id)
        m_nCaptured = 0;
}

void HeadlessHost::SetTitle(uint32_t id, const std::string& title)
{
    auto it = m_windows.find(id);
    if (it != m_windows.end())
        it->second.title = title;
}

void HeadlessHost::Present(uint32_t id, const uint32_t* pXrgb, int nWidth, int nHeight)
{
    ++m_nPresents;
    s_nNow += m_nFrameStep;
    if (m_nKeptFrames == 0)
        return;
    if (m_frames.size() >= m_nKeptFrames)
        m_frames.erase(m_frames.begin());
    Frame f;
    f.window = id;
    f.nWidth = nWidth;
    f.nHeight = nHeight;
    f.pixels.assign(pXrgb, pXrgb + static_cast<size_t>(nWidth) * static_cast<size_t>(nHeight));
    m_frames.push_back(std::move(f));
}

bool HeadlessHost::PollEvent(Event& event)
{
    if (m_events.empty())
        return false;
    event = m_events.front();
    m_events.pop_front();
    return true;
}

void HeadlessHost::WaitEvent(int)
{
    // Nothing arrives unless the test scripted it, so waiting would never end; time moves on.
    s_nNow += 1;
}

void HeadlessHost::GetDisplaySize(int& nWidth, int& nHeight)
{
    nWidth = m_nDisplayW;
    nHeight = m_nDisplayH;
}

int HeadlessHost::MessageBox(const std::string& caption, const std::string& text, unsigned type)
{
    m_boxes.push_back({caption, text, type});
    if (!m_boxAnswers.empty()) {
        int n = m_boxAnswers.front();
        m_boxAnswers.pop_front();
        return n;
    }
    if (m_bBoxesOnStderr)
        return AnswerOnStderr(caption, text, type);
    switch (type & 0xF) {
    case MB_ABORTRETRYIGNORE: return IDIGNORE;
    case MB_YESNO:
    case MB_YESNOCANCEL: return IDYES;
    default: return IDOK;
    }
}

bool HeadlessHost::OpenAudio(int nRate, int nChannels, AudioPull pull)
{
    m_audio = std::move(pull);
    m_nAudioRate = nRate;
    m_nAudioChannels = nChannels;
    return true;
}

void HeadlessHost::CloseAudio()
{
    m_audio = nullptr;
}

std::vector<int16_t> HeadlessHost::PullAudio(int nFrames)
{
    int nChannels = m_nAudioChannels > 0 ? m_nAudioChannels : 2;
    std::vector<int16_t> samples(static_cast<size_t>(nFrames) * static_cast<size_t>(nChannels), 0);
    if (m_audio)
        m_audio(samples.data(), nFrames);
    return samples;
}

HeadlessHost& UseHeadless()
{
    auto p = std::make_unique<HeadlessHost>();
    HeadlessHost& h = *p;
    Install(std::move(p));
    h.InstallClock();
    return h;
}

HeadlessHost* Headless()
{
    return dynamic_cast<HeadlessHost*>(&Current());
}

}  // namespace host
