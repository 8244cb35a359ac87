// The host that tests use: input is scripted, the clock is set by the test, presented frames are
// kept as RGB, message boxes are recorded with a scripted answer, and audio is pulled by hand.
#pragma once

#include <deque>
#include <map>
#include <vector>

#include "platform/clock.h"
#include "platform/host.h"

namespace host {

class HeadlessHost : public Host {
public:
    struct Window {
        std::string title;
        int nWidth = 0, nHeight = 0;
        bool bFullscreen = false;
        bool bVisible = false;
        bool bOpen = true;
    };
    struct Frame {
        uint32_t window = 0;
        int nWidth = 0, nHeight = 0;
        std::vector<uint32_t> pixels;
    };
    struct Box {
        std::string caption, text;
        unsigned type = 0;
    };

    HeadlessHost();
    ~HeadlessHost() override;

    // Scripting.
    void Push(const Event& event) { m_events.push_back(event); }
    void PushKey(int vk, bool bDown);
    void PushMouseMove(int x, int y);
    void PushMouseButton(Button button, bool bDown, int x, int y);
    void SetTime(long ms) { s_nNow = ms; }
    void Advance(long ms) { s_nNow += ms; }
    long Time() const { return s_nNow; }
    // Advance the clock by this much at every presented frame (0: the clock stands still).
    void SetFrameStep(long ms) { m_nFrameStep = ms; }
    void SetDisplaySize(int w, int h) { m_nDisplayW = w, m_nDisplayH = h; }
    void QueueBoxAnswer(int nAnswer) { m_boxAnswers.push_back(nAnswer); }
    // Boxes without a queued answer go to standard error and take their first button, as on
    // a host without a display; otherwise they take the answer a user would most likely give.
    void AnswerBoxesOnStderr() { m_bBoxesOnStderr = true; }
    // Mixes nFrames of audio from the open output, or silence if none is open.
    std::vector<int16_t> PullAudio(int nFrames);

    // Inspection.
    const std::map<uint32_t, Window>& Windows() const { return m_windows; }
    const std::vector<Frame>& Frames() const { return m_frames; }
    size_t PresentCount() const { return m_nPresents; }
    const std::vector<Box>& Boxes() const { return m_boxes; }
    bool CursorVisible() const { return m_bCursorVisible; }
    uint32_t CapturedWindow() const { return m_nCaptured; }
    bool AudioOpen() const { return static_cast<bool>(m_audio); }
    int AudioRate() const { return m_nAudioRate; }
    int AudioChannels() const { return m_nAudioChannels; }
    // Keep at most this many frames (the newest); 0 keeps none.
    void SetKeptFrames(size_t n) { m_nKeptFrames = n; }
    void ClearFrames() { m_frames.clear(); }
    // Makes this host's clock the one every timed step reads.
    void InstallClock() { ClockSetSource(&HeadlessHost::Clock); }

    // Host.
    bool OpenWindow(uint32_t id, const std::string& title, int nWidth, int nHeight, bool bFullscreen) override;
    void ShowWindow(uint32_t id) override;
    void CloseWindow(uint32_t id) override;
    void SetTitle(uint32_t id, const std::string& title) override;
    void Present(uint32_t id, const uint32_t* pXrgb, int nWidth, int nHeight) override;
    bool PollEvent(Event& event) override;
    void WaitEvent(int nTimeoutMs) override;
    void SetCursorVisible(bool bVisible) override { m_bCursorVisible = bVisible; }
    void SetMouseCapture(uint32_t id, bool bCapture) override { m_nCaptured = bCapture ? id : 0; }
    void GetDisplaySize(int& nWidth, int& nHeight) override;
    int MessageBox(const std::string& caption, const std::string& text, unsigned type) override;
    bool OpenAudio(int nRate, int nChannels, AudioPull pull) override;
    void CloseAudio() override;

private:
    static long Clock() { return s_nNow; }
    static long s_nNow;

    std::deque<Event> m_events;
    std::map<uint32_t, Window> m_windows;
    std::vector<Frame> m_frames;
    size_t m_nKeptFrames = 8;
    size_t m_nPresents = 0;
    long m_nFrameStep = 0;
    std::vector<Box> m_boxes;
    std::deque<int> m_boxAnswers;
    bool m_bBoxesOnStderr = false;
    bool m_bCursorVisible = true;
    uint32_t m_nCaptured = 0;
    int m_nDisplayW = 1024, m_nDisplayH = 768;
    AudioPull m_audio;
    int m_nAudioRate = 0, m_nAudioChannels = 0;
};

// Installs a fresh headless host (and its clock, at 0) and returns it.
HeadlessHost& UseHeadless();
// The installed host as headless, or null if another kind is installed.
HeadlessHost* Headless();

}  // namespace host
