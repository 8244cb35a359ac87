#include "platform/host/capture/capture.h"

#include "platform/host/signals.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

namespace host {

CaptureHost::~CaptureHost()
{
    CloseAudio();
}

bool CaptureHost::OpenWindow(uint32_t id, const std::string&, int, int)
{
    m_images[id] = FrameSlot();
    return true;
}

void CaptureHost::CloseWindow(uint32_t id)
{
    m_images.erase(id);
    if (m_nDisplay == id)
        m_nDisplay = 0;
}

bool CaptureHost::TakeDisplay(uint32_t id, int, int)
{
    if (m_images.find(id) == m_images.end())
        return false;
    m_nDisplay = id;
    return true;
}

void CaptureHost::GetDisplaySize(int& nWidth, int& nHeight)
{
    nWidth = kWidth;
    nHeight = kHeight;
}

BoxAnswer CaptureHost::MessageBox(const std::string& caption, const std::string& text, BoxButtons buttons, bool)
{
    // Nobody is there to answer: the box is said on standard error and takes its first button.
    return AnswerOnStderr(caption, text, buttons);
}

void CaptureHost::SetImage(uint32_t id, const uint32_t* pXrgb, int nWidth, int nHeight)
{
    m_images[id].SetImage(pXrgb, nWidth, nHeight);
}

void CaptureHost::SetPalettedImage(uint32_t id, const uint8_t* pIndices, ptrdiff_t nPitch, const uint32_t* pPalette,
                                   int nWidth, int nHeight)
{
    m_images[id].SetPalettedImage(pIndices, nPitch, pPalette, nWidth, nHeight);
}

void CaptureHost::ShowDirty()
{
    for (auto& entry : m_images)
        entry.second.Show();
}

void CaptureHost::EndFrame(uint32_t id)
{
    auto it = m_images.find(id);
    if (it != m_images.end())
        it->second.Show();
    if (m_images.find(m_nDisplay) == m_images.end())
        m_nDisplay = id;
    m_bFrameSincePump = true;
    Tick(true);
}

bool CaptureHost::PollEvent(Event& event)
{
    if (EndSignal() != 0 && !m_bQuitSent) {
        // A signal ends the run as closing its window would; nothing more is recorded.
        m_bStopped = m_bQuitSent = true;
        event = Event();
        event.type = EventType::Close;
        event.window = m_nDisplay;
        return true;
    }
    if (m_bStopped && !m_bQuitSent) {
        // The recording cannot go on: the production is ended as its user would end it.
        m_bQuitSent = true;
        event = Event();
        event.type = EventType::Key;
        event.vk = key::kEscape;
        event.down = true;
        return true;
    }
    // The end of one look at the input: what changed without a frame end shows now, and a pump
    // with no frame since the one before is a frame interval of a step that presents nothing.
    ShowDirty();
    if (!m_bFrameSincePump)
        Tick(false);
    m_bFrameSincePump = false;
    return false;
}

CapturePicture CaptureHost::Compose()
{
    CapturePicture picture;
    auto it = m_images.find(m_nDisplay);
    if (it == m_images.end() || it->second.Shown().Empty()) {
        std::fill(m_picture.begin(), m_picture.end(), 0);
        picture.pXrgb = m_picture.data();
        return picture;
    }
    const Picture& shown = it->second.Shown();
    if (shown.nWidth == kWidth && shown.nHeight == kHeight) {
        // As it is: a copy a frame less.
        if (shown.Paletted()) {
            picture.pIndices = shown.indices.data();
            picture.pPalette = shown.palette;
        } else {
            picture.pXrgb = shown.xrgb.data();
        }
        return picture;
    }
    // Another size sits at the top left, cut to the video's, on black.
    const uint32_t* pSource = shown.Paletted() ? m_converter.Convert(shown.indices.data(), shown.nWidth, shown.palette,
                                                                     shown.nWidth, shown.nHeight)
                                               : shown.xrgb.data();
    std::fill(m_picture.begin(), m_picture.end(), 0);
    int w = std::min(shown.nWidth, kWidth), h = std::min(shown.nHeight, kHeight);
    for (int y = 0; y < h; ++y)
        std::memcpy(&m_picture[size_t(y) * kWidth], &pSource[size_t(y) * size_t(shown.nWidth)],
                    size_t(w) * sizeof(uint32_t));
    picture.pXrgb = m_picture.data();
    return picture;
}

void CaptureHost::MixInterval()
{
    std::lock_guard<std::mutex> lock(m_audioMutex);
    std::fill(m_sound.begin(), m_sound.end(), 0);
    // The pull is in step (PullsInStep): what it mixes does not depend on the machine's timing.
    if (m_pull)
        m_pull(m_sound.data(), m_nFramesPerTick);
}

void CaptureHost::Tick(bool bFrameEnd)
{
    if (EndSignal() != 0)
        m_bStopped = true;
    if (!m_bStopped) {
        CaptureTick tick;
        tick.picture = Compose();
        const auto mixStart = std::chrono::steady_clock::now();
        MixInterval();
        tick.dMixMicroseconds =
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - mixStart).count();
        tick.pSamples = m_sound.data();
        tick.nFrames = m_nFramesPerTick;
        tick.bFrameEnd = bFrameEnd;
        tick.nClockMs = NowMs();
        if (!m_sink.Tick(tick))
            m_bStopped = true;
    }
    ++m_nTicks;
    if (m_dExpected > 0 && m_nTicks % 15 == 0)
        Progress(false);
}

long CaptureHost::NowMs()
{
    return static_cast<long>(static_cast<long long>(m_nTicks.load()) * 1000 / kFps);
}

bool CaptureHost::OpenAudio(int nRate, int nChannels, AudioPull pull)
{
    if (nRate != m_nRate || nChannels != kChannels)
        return false;
    std::lock_guard<std::mutex> lock(m_audioMutex);
    m_pull = std::move(pull);
    return true;
}

void CaptureHost::CloseAudio()
{
    std::lock_guard<std::mutex> lock(m_audioMutex);
    m_pull = nullptr;
}

void CaptureHost::ShowProgress(double dExpectedSeconds, const std::string& label)
{
    m_dExpected = dExpectedSeconds;
    m_label = label;
    m_start = std::chrono::steady_clock::now();
}

void CaptureHost::Progress(bool bFinal)
{
    auto now = std::chrono::steady_clock::now();
    if (!bFinal && now - m_lastProgress < std::chrono::milliseconds(250))
        return;
    m_lastProgress = now;
    double dVideo = double(m_nTicks) / kFps;
    double dWall = std::chrono::duration<double>(now - m_start).count();
    int nPercent = bFinal ? 100 : std::min(99, int(dVideo * 100.0 / m_dExpected));
    // On a terminal the line is rewritten in place; elsewhere a line every ten seconds of video.
    bool bTerminal = isatty(STDERR_FILENO) != 0;
    if (!bTerminal && !bFinal) {
        long nTens = long(dVideo / 10);
        if (nTens <= m_nTensShown)
            return;
        m_nTensShown = nTens;
    }
    std::fprintf(stderr, "%s%s: %3d%%  %zu frames  %.2f s  %.1fx real time%s", bTerminal ? "\r" : "", m_label.c_str(),
                 nPercent, m_nTicks.load(), dVideo, dWall > 0 ? dVideo / dWall : 0.0, bTerminal && !bFinal ? "" : "\n");
    std::fflush(stderr);
    m_bLineOpen = bTerminal && !bFinal;
}

void CaptureHost::EndProgress(bool bCompleted)
{
    if (m_dExpected > 0 && bCompleted)
        Progress(true);
    else if (m_bLineOpen)
        std::fputc('\n', stderr);
    m_bLineOpen = false;
}

}  // namespace host
