// The host that records the production instead of showing it. Its clock is the video's: it moves
// one frame interval (1/60 s) at each frame end, and at each pump that follows a pump with no
// frame end between them, so that steps that present nothing (a picture held on screen) last their
// real length too. At each of those ticks it hands the picture a viewer would see then and one
// frame interval of the sound, mixed then, to a sink. No display, no audio device, no input: the
// production runs to its end, unless the sink fails, which ends it as Escape would.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

#include "platform/host/frame_slot.h"
#include "platform/host/host.h"
#include "platform/host/pixels.h"

namespace host {

// One picture of the video, 640 × 480, rows top to bottom: the palette indices of an 8-bit display
// with its 256 colours 0x00RRGGBB, or (pIndices null) pixels 0x00RRGGBB.
struct CapturePicture {
    const uint8_t* pIndices = nullptr;
    const uint32_t* pPalette = nullptr;
    const uint32_t* pXrgb = nullptr;
};

// One tick: the picture shown, the sound of the frame interval (nFrames frames of interleaved
// 16-bit stereo at the host's rate), and what the tick was.
struct CaptureTick {
    CapturePicture picture;
    const int16_t* pSamples = nullptr;
    int nFrames = 0;
    bool bFrameEnd = false;       // a frame was put on the screen (else: a pump with none)
    long nClockMs = 0;            // the production's clock at the tick, before it moves on
    double dMixMicroseconds = 0;  // what mixing the sound took
};

// Where the ticks go. False: stop recording.
class CaptureSink {
public:
    virtual ~CaptureSink() = default;
    virtual bool Tick(const CaptureTick& tick) = 0;
};

class CaptureHost : public Host {
public:
    static constexpr int kWidth = 640, kHeight = 480, kFps = 60, kChannels = 2;
    // The sound's rate unless the sink asks for another: the one the stand-in mixes at, which
    // needs no conversion.
    static constexpr int kRate = 44100;

    // nRate: the sound's rate, a multiple of kFps (the stand-in mixes at it).
    explicit CaptureHost(CaptureSink& sink, int nRate = kRate)
        : m_sink(sink), m_nRate(nRate), m_nFramesPerTick(nRate / kFps), m_sound(size_t(m_nFramesPerTick) * kChannels, 0)
    {
    }
    ~CaptureHost() override;

    // A progress line on standard error (rewritten in place) against the length the run is
    // expected to have; 0 for none.
    void ShowProgress(double dExpectedSeconds, const std::string& label);
    size_t Ticks() const { return m_nTicks; }
    // True once the sink refused a tick: nothing more is recorded.
    bool Stopped() const { return m_bStopped; }
    // Ends the progress line: with what the run took, or (bCompleted false) just ends it so that
    // what is said next starts a line of its own.
    void EndProgress(bool bCompleted);

    bool OpenWindow(uint32_t id, const std::string& title, int nWidth, int nHeight) override;
    void ShowWindow(uint32_t) override {}
    void HideWindow(uint32_t) override {}
    void CloseWindow(uint32_t id) override;
    void SetTitle(uint32_t, const std::string&) override {}
    bool TakeDisplay(uint32_t id, int nWidth, int nHeight) override;
    void ReleaseDisplay(uint32_t) override {}
    void SetImage(uint32_t id, const uint32_t* pXrgb, int nWidth, int nHeight) override;
    void SetPalettedImage(uint32_t id, const uint8_t* pIndices, ptrdiff_t nPitch, const uint32_t* pPalette, int nWidth,
                          int nHeight) override;
    void EndFrame(uint32_t id) override;
    bool PollEvent(Event& event) override;
    void WaitEvent(int) override {}
    void SetCursorVisible(bool) override {}
    void SetMouseCapture(uint32_t, bool) override {}
    void GetDisplaySize(int& nWidth, int& nHeight) override;
    BoxAnswer MessageBox(const std::string& caption, const std::string& text, BoxButtons buttons, bool bError) override;
    bool OpenAudio(int nRate, int nChannels, AudioPull pull) override;
    void CloseAudio() override;
    bool PullsInStep() override { return true; }
    int AudioRate() override { return m_nRate; }
    long NowMs() override;

private:
    void ShowDirty();
    // Records the picture shown and the sound of the next frame interval, then moves the clock.
    void Tick(bool bFrameEnd);
    // The picture shown now, at the video's size.
    CapturePicture Compose();
    void MixInterval();
    void Progress(bool bFinal);

    CaptureSink& m_sink;
    const int m_nRate, m_nFramesPerTick;
    std::map<uint32_t, FrameSlot> m_images;  // what each window shows: pixels, or indices and their colours
    uint32_t m_nDisplay = 0;                 // the window recorded: the display, else the last to end a frame
    bool m_bFrameSincePump = false;
    bool m_bStopped = false, m_bQuitSent = false;
    std::atomic<size_t> m_nTicks{0};
    std::vector<uint32_t> m_picture = std::vector<uint32_t>(size_t(kWidth) * kHeight, 0);
    FrameConverter m_converter;  // for a paletted picture of another size
    std::vector<int16_t> m_sound;
    // The pull is called on the main thread, at the ticks; the lock keeps CloseAudio's promise.
    std::mutex m_audioMutex;
    AudioPull m_pull;
    double m_dExpected = 0;
    bool m_bLineOpen = false;
    long m_nTensShown = 0;
    std::string m_label;
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now(), m_lastProgress;
};

}  // namespace host
