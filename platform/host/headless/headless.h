// The host that tests use: input is scripted, the clock moves only as the test says, the images
// shown and the frames ended are kept as RGB, message boxes are recorded with a scripted answer,
// and audio is pulled by hand. Its state may be read from several threads.
#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

#include "platform/host/frame_slot.h"
#include "platform/host/host.h"
#include "platform/host/pixels.h"

namespace host {

class HeadlessHost : public Host {
public:
    struct Window {
        std::string title;
        int nWidth = 0, nHeight = 0;
        bool bVisible = false;             // shown by ShowWindow
        int nDisplayW = 0, nDisplayH = 0;  // the exclusive display's size while it is one
        bool bOpen = true;
    };
    struct Frame {
        uint32_t window = 0;
        int nWidth = 0, nHeight = 0;
        long nTime = 0;  // the clock when the frame ended
        std::vector<uint32_t> pixels;
    };
    struct Box {
        std::string caption, text;
        BoxButtons buttons = BoxButtons::Ok;
        bool bError = false;
    };

    HeadlessHost() = default;
    ~HeadlessHost() override;

    // Scripting.
    void Push(const Event& event);
    void PushKey(int vk, bool bDown);
    void PushMouseMove(int x, int y);
    void PushMouseButton(Button button, bool bDown, int x, int y);
    // The clock: set, advanced, and stepped at each frame end and at each pump (0: not at all).
    void SetTime(long ms) { m_nNow = ms; }
    void Advance(long ms) { m_nNow += ms; }
    long Time() const { return m_nNow; }
    void SetFrameStep(long ms) { m_nFrameStep = ms; }
    void SetPumpStep(long ms) { m_nPumpStep = ms; }
    // Steps at a pump only when no frame ended since the pump before: time runs on through steps
    // that present nothing, at the pace of the frames elsewhere.
    void SetIdlePumpStep(long ms) { m_nIdlePumpStep = ms; }
    // Called on the main thread after each frame end (with the frame's number, from 1) and at the
    // end of each pump; they may script input or look at anything.
    void SetFrameHook(std::function<void(size_t nFrame)> hook);
    void SetPumpHook(std::function<void()> hook);
    void SetDisplaySize(int w, int h);
    void QueueBoxAnswer(BoxAnswer answer);
    // The next n attempts to take the display fail, as a display that cannot be taken does.
    void RefuseDisplay(int n) { m_nRefuseDisplay = n; }
    // The window that is the exclusive display now, 0 if none.
    uint32_t DisplayWindow() const;
    // Boxes without a queued answer go to standard error and take their first button, as on
    // a host without a display; otherwise they take the answer a user would most likely give.
    void AnswerBoxesOnStderr() { m_bBoxesOnStderr = true; }
    // Mixes nFrames of audio from the open output (on the calling thread), or silence if none is open.
    std::vector<int16_t> PullAudio(int nFrames);

    // Inspection.
    std::map<uint32_t, Window> Windows() const;
    // The frames ended, the newest last (at most SetKeptFrames of them).
    std::vector<Frame> Frames() const;
    size_t FrameCount() const { return m_nFrames; }
    // What a window shows now: its image as of the last frame end or pump.
    std::vector<uint32_t> Shown(uint32_t id) const;
    std::vector<Box> Boxes() const;
    bool CursorVisible() const { return m_bCursorVisible; }
    uint32_t CapturedWindow() const { return m_nCaptured; }
    bool AudioOpen() const;
    int AudioRate() const { return m_nAudioRate; }
    int AudioChannels() const { return m_nAudioChannels; }
    // Keep at most this many frames (the newest); 0 keeps none.
    void SetKeptFrames(size_t n) { m_nKeptFrames = n; }
    void ClearFrames();

    // Host.
    bool OpenWindow(uint32_t id, const std::string& title, int nWidth, int nHeight) override;
    void ShowWindow(uint32_t id) override;
    void HideWindow(uint32_t id) override;
    void CloseWindow(uint32_t id) override;
    void SetTitle(uint32_t id, const std::string& title) override;
    bool TakeDisplay(uint32_t id, int nWidth, int nHeight) override;
    void ReleaseDisplay(uint32_t id) override;
    void SetImage(uint32_t id, const uint32_t* pXrgb, int nWidth, int nHeight) override;
    // Kept as indices and colours; converted to pixels only where a test looks (a frame kept,
    // Shown), so that a run that keeps no frames costs no conversion.
    void SetPalettedImage(uint32_t id, const uint8_t* pIndices, ptrdiff_t nPitch, const uint32_t* pPalette, int nWidth,
                          int nHeight) override;
    void EndFrame(uint32_t id) override;
    bool PollEvent(Event& event) override;
    void WaitEvent(int nTimeoutMs) override;
    void SetCursorVisible(bool bVisible) override { m_bCursorVisible = bVisible; }
    void SetMouseCapture(uint32_t id, bool bCapture) override { m_nCaptured = bCapture ? id : 0; }
    void GetDisplaySize(int& nWidth, int& nHeight) override;
    BoxAnswer MessageBox(const std::string& caption, const std::string& text, BoxButtons buttons, bool bError) override;
    bool OpenAudio(int nRate, int nChannels, AudioPull pull) override;
    void CloseAudio() override;
    long NowMs() override { return m_nNow; }

private:
    void RecordFrameLocked(uint32_t id);
    std::vector<uint32_t> PixelsLocked(const Picture& picture) const;

    mutable std::mutex m_mutex;  // everything below that is not atomic
    std::atomic<long> m_nNow{0};
    std::atomic<long> m_nFrameStep{0};
    std::atomic<long> m_nPumpStep{0};
    std::atomic<long> m_nIdlePumpStep{0};
    bool m_bFrameSincePump = false;
    bool m_bHookInputPending = false;
    std::function<void(size_t)> m_frameHook;
    std::function<void()> m_pumpHook;
    std::deque<Event> m_events;
    std::map<uint32_t, Window> m_windows;
    std::map<uint32_t, FrameSlot> m_images;
    mutable FrameConverter m_converter;
    std::vector<Frame> m_frames;
    std::atomic<size_t> m_nKeptFrames{8};
    std::atomic<size_t> m_nFrames{0};
    std::vector<Box> m_boxes;
    std::deque<BoxAnswer> m_boxAnswers;
    std::atomic<bool> m_bBoxesOnStderr{false};
    std::atomic<bool> m_bCursorVisible{true};
    std::atomic<uint32_t> m_nCaptured{0};
    int m_nDisplayW = 1024, m_nDisplayH = 768;
    std::atomic<int> m_nRefuseDisplay{0};
    // The pull has a lock of its own, so that a test pulling on one thread never waits for the
    // main thread's use of the rest of the host.
    mutable std::mutex m_audioMutex;
    AudioPull m_audio;
    std::atomic<int> m_nAudioRate{0}, m_nAudioChannels{0};
};

// Installs a fresh headless host (its clock at 0) and returns it.
HeadlessHost& UseHeadless();
// The installed host as headless, or null if another kind is installed.
HeadlessHost* Headless();

}  // namespace host
