#include "platform/host/headless/headless.h"

namespace host {

HeadlessHost::~HeadlessHost()
{
    CloseAudio();
}

void HeadlessHost::Push(const Event& event)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_events.push_back(event);
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

void HeadlessHost::SetDisplaySize(int w, int h)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_nDisplayW = w;
    m_nDisplayH = h;
}

void HeadlessHost::QueueBoxAnswer(BoxAnswer answer)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_boxAnswers.push_back(answer);
}

std::map<uint32_t, HeadlessHost::Window> HeadlessHost::Windows() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_windows;
}

std::vector<HeadlessHost::Frame> HeadlessHost::Frames() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_frames;
}

std::vector<uint32_t> HeadlessHost::Shown(uint32_t id) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_images.find(id);
    return it == m_images.end() ? std::vector<uint32_t>() : PixelsLocked(it->second.Shown());
}

std::vector<HeadlessHost::Box> HeadlessHost::Boxes() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_boxes;
}

void HeadlessHost::ClearFrames()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_frames.clear();
}

bool HeadlessHost::OpenWindow(uint32_t id, const std::string& title, int nWidth, int nHeight)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Window& w = m_windows[id];
    w = Window();
    w.title = title;
    w.nWidth = nWidth;
    w.nHeight = nHeight;
    return true;
}

bool HeadlessHost::TakeDisplay(uint32_t id, int nWidth, int nHeight)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_windows.find(id);
    if (it == m_windows.end() || !it->second.bOpen)
        return false;
    if (m_nRefuseDisplay > 0) {
        --m_nRefuseDisplay;
        return false;
    }
    for (auto& entry : m_windows)
        entry.second.nDisplayW = entry.second.nDisplayH = 0;  // one display
    it->second.nDisplayW = nWidth;
    it->second.nDisplayH = nHeight;
    return true;
}

void HeadlessHost::ReleaseDisplay(uint32_t id)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_windows.find(id);
    if (it != m_windows.end())
        it->second.nDisplayW = it->second.nDisplayH = 0;
}

uint32_t HeadlessHost::DisplayWindow() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto& entry : m_windows)
        if (entry.second.nDisplayW != 0)
            return entry.first;
    return 0;
}

void HeadlessHost::ShowWindow(uint32_t id)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_windows.find(id);
    if (it != m_windows.end())
        it->second.bVisible = true;
}

void HeadlessHost::HideWindow(uint32_t id)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_windows.find(id);
    if (it != m_windows.end())
        it->second.bVisible = false;
}

void HeadlessHost::CloseWindow(uint32_t id)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_windows.find(id);
    if (it != m_windows.end()) {
        it->second.bOpen = false;
        it->second.bVisible = false;
        it->second.nDisplayW = it->second.nDisplayH = 0;
    }
    m_images.erase(id);
    if (m_nCaptured == id)
        m_nCaptured = 0;
}

void HeadlessHost::SetTitle(uint32_t id, const std::string& title)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_windows.find(id);
    if (it != m_windows.end())
        it->second.title = title;
}

void HeadlessHost::SetImage(uint32_t id, const uint32_t* pXrgb, int nWidth, int nHeight)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_images[id].SetImage(pXrgb, nWidth, nHeight);
}

void HeadlessHost::SetPalettedImage(uint32_t id, const uint8_t* pIndices, ptrdiff_t nPitch, const uint32_t* pPalette,
                                    int nWidth, int nHeight)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_images[id].SetPalettedImage(pIndices, nPitch, pPalette, nWidth, nHeight);
}

std::vector<uint32_t> HeadlessHost::PixelsLocked(const Picture& picture) const
{
    if (!picture.Paletted())
        return picture.xrgb;
    const uint32_t* p =
        m_converter.Convert(picture.indices.data(), picture.nWidth, picture.palette, picture.nWidth, picture.nHeight);
    return std::vector<uint32_t>(p, p + size_t(picture.nWidth) * size_t(picture.nHeight));
}

void HeadlessHost::SetFrameHook(std::function<void(size_t nFrame)> hook)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_frameHook = std::move(hook);
}

void HeadlessHost::SetPumpHook(std::function<void()> hook)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pumpHook = std::move(hook);
}

void HeadlessHost::EndFrame(uint32_t id)
{
    std::function<void(size_t)> hook;
    size_t nFrame;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        RecordFrameLocked(id);
        hook = m_frameHook;
        nFrame = m_nFrames;
    }
    if (hook)
        hook(nFrame);
}

void HeadlessHost::RecordFrameLocked(uint32_t id)
{
    m_nNow += m_nFrameStep;
    ++m_nFrames;
    m_bFrameSincePump = true;
    FrameSlot& image = m_images[id];
    image.Show();
    if (m_nKeptFrames == 0)
        return;
    if (m_frames.size() >= m_nKeptFrames)
        m_frames.erase(m_frames.begin());
    Frame f;
    f.window = id;
    f.nWidth = image.Shown().nWidth;
    f.nHeight = image.Shown().nHeight;
    f.nTime = m_nNow;
    f.pixels = PixelsLocked(image.Shown());
    m_frames.push_back(std::move(f));
}

bool HeadlessHost::PollEvent(Event& event)
{
    std::function<void()> hook;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_events.empty()) {
            event = m_events.front();
            m_events.pop_front();
            return true;
        }
        if (m_bHookInputPending) {
            // The rest of the pump whose hook scripted input: it has been handed out.
            m_bHookInputPending = false;
            return false;
        }
        // The end of one look at the input: images changed since the last frame end show now.
        m_nNow += m_nPumpStep;
        if (!m_bFrameSincePump)
            m_nNow += m_nIdlePumpStep;
        m_bFrameSincePump = false;
        for (auto& entry : m_images)
            entry.second.Show();
        hook = m_pumpHook;
    }
    if (!hook)
        return false;
    // Input the hook scripts is handed out by this same pump.
    hook();
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_events.empty())
        return false;
    event = m_events.front();
    m_events.pop_front();
    m_bHookInputPending = true;
    return true;
}

void HeadlessHost::WaitEvent(int)
{
    // Nothing arrives unless the test scripted it, and time moves only as the test says.
}

void HeadlessHost::GetDisplaySize(int& nWidth, int& nHeight)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    nWidth = m_nDisplayW;
    nHeight = m_nDisplayH;
}

BoxAnswer HeadlessHost::MessageBox(const std::string& caption, const std::string& text, BoxButtons buttons, bool bError)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_boxes.push_back({caption, text, buttons, bError});
        if (!m_boxAnswers.empty()) {
            BoxAnswer answer = m_boxAnswers.front();
            m_boxAnswers.pop_front();
            return answer;
        }
    }
    if (m_bBoxesOnStderr)
        return AnswerOnStderr(caption, text, buttons);
    switch (buttons) {
    case BoxButtons::AbortRetryIgnore: return BoxAnswer::Ignore;
    case BoxButtons::YesNo:
    case BoxButtons::YesNoCancel: return BoxAnswer::Yes;
    default: return BoxAnswer::Ok;
    }
}

bool HeadlessHost::OpenAudio(int nRate, int nChannels, AudioPull pull)
{
    std::lock_guard<std::mutex> lock(m_audioMutex);
    m_audio = std::move(pull);
    m_nAudioRate = nRate;
    m_nAudioChannels = nChannels;
    return true;
}

void HeadlessHost::CloseAudio()
{
    std::lock_guard<std::mutex> lock(m_audioMutex);  // waits for a pull in progress
    m_audio = nullptr;
}

bool HeadlessHost::AudioOpen() const
{
    std::lock_guard<std::mutex> lock(m_audioMutex);
    return static_cast<bool>(m_audio);
}

std::vector<int16_t> HeadlessHost::PullAudio(int nFrames)
{
    std::lock_guard<std::mutex> lock(m_audioMutex);
    int nChannels = m_nAudioChannels > 0 ? m_nAudioChannels.load() : 2;
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
    return h;
}

HeadlessHost* Headless()
{
    return dynamic_cast<HeadlessHost*>(&Current());
}

}  // namespace host
