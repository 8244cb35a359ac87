// The SDL host itself, one concern a file: the windows and their frames (windows.cpp), the
// exclusive display (exclusive_display.cpp), the input (events.cpp), the viewer's controls
// (controls.cpp), and the rest of the seam (sdl.cpp). Only the host's own files include this.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <thread>

#include "platform/host/frame_slot.h"
#include "platform/host/host.h"
#include "platform/host/pixels.h"
#include "platform/host/viewer.h"
#include "platform/host/sdl/audio.h"
#include "platform/host/sdl/display.h"
#include "platform/host/sdl/frame_log.h"
#include "platform/host/sdl/launch_report.h"
#include "platform/host/sdl/notice.h"
#include "platform/host/sdl/sdl.h"
#include "platform/host/sdl/signal_wake.h"

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;
union SDL_Event;

namespace host {

class SdlHost : public Host, private ViewerControls {
public:
    explicit SdlHost(const SdlOptions& options);
    ~SdlHost() override;

    bool OpenWindow(uint32_t id, const std::string& title, int nWidth, int nHeight) override;
    void ShowWindow(uint32_t id) override;
    void HideWindow(uint32_t id) override;
    void CloseWindow(uint32_t id) override;
    void SetTitle(uint32_t id, const std::string& title) override;
    bool TakeDisplay(uint32_t id, int nWidth, int nHeight) override;
    void ReleaseDisplay(uint32_t id) override;
    void SetImage(uint32_t id, const uint32_t* pXrgb, int nWidth, int nHeight) override;
    void SetPalettedImage(uint32_t id, const uint8_t* pIndices, ptrdiff_t nPitch, const uint32_t* pPalette, int nWidth,
                          int nHeight) override;
    void EndFrame(uint32_t id) override;
    bool PollEvent(Event& event) override;
    void WaitEvent(int nTimeoutMs) override;
    void SetCursorVisible(bool bVisible) override;
    void SetMouseCapture(uint32_t id, bool bCapture) override;
    void GetDisplaySize(int& nWidth, int& nHeight) override;
    BoxAnswer MessageBox(const std::string& caption, const std::string& text, BoxButtons kind, bool bError) override;
    bool OpenAudio(int nRate, int nChannels, AudioPull pull) override;
    void CloseAudio() override;
    long NowMs() override { return m_viewer.Now(); }

private:
    struct Win {
        SDL_Window* pWindow = nullptr;
        SDL_Renderer* pRenderer = nullptr;
        SDL_Texture* pTexture = nullptr;  // the image as it came
        int nTexW = 0, nTexH = 0;
        SDL_Texture* pPrescaled = nullptr;  // the display's image at a whole factor, for the smooth step
        int nPreW = 0, nPreH = 0;
        int nClientW = 0, nClientH = 0;
        bool bShown = false;    // by ShowWindow, not by taking the display
        bool bDisplay = false;  // the exclusive display
        int nModeW = 0, nModeH = 0;
        FramePacer pacer;
        FrameSlot frame;  // the production's own pixels and colours, for a screenshot of exactly what it drew
    };

    // windows.cpp
    Win* Find(uint32_t id);
    static void Upload(Win& w, const uint32_t* pXrgb, int nWidth, int nHeight);
    void Show(Win& w);
    void ShowWhereNoticeIsStale();
    static SDL_Texture* Prescaled(Win& w, const FitRect& place);
    void Release(Win& w);

    // exclusive_display.cpp
    Win* DisplayWindow();
    void ShowDisplay();
    int PlaceDisplay(Win& w);
    void UpdateCursor();
    static void StartPacer(Win& w, int nDisplay);
    static void CoverDisplay(Win& w, int x, int y, int nWidth, int nHeight);
    static void PlaceInDesktopWindow(Win& w, int nDisplay, int nWidth, int nHeight);

    // controls.cpp: what the viewer's keys ask of the host.
    void ToggleFullscreen() override;
    void TakeScreenshot() override;
    void PauseChanged(bool bPaused) override;

    // events.cpp
    bool CloseForSignal(Event& event);
    bool Take(const SDL_Event& e, Event& out);
    bool Translate(const SDL_Event& e, Event& out);
    void ToImage(Event& event);
    uint32_t Owner(uint32_t nSdlId) const;

    static constexpr int kPausedRedrawMs = 100;
    static constexpr int kBusyMs = 10;  // a wait while SDL's events are not to be looked at

    std::thread::id m_mainThread = std::this_thread::get_id();  // the one that made the host
    bool m_bInWindow;  // the display in a desktop window rather than over the whole screen
    Scaling m_scaling;
    PacerClock m_pacerClock;
    bool m_bCursorWanted = true;
    ViewerDispatch m_viewer{*this, &WallClockMs};
    SdlAudio m_audio{[this] { return m_viewer.Now(); }};
    FrameConverter m_converter;
    LaunchReport m_launch;
    FrameLog m_frameLog;
    Notice m_notice;  // F12's result over the frame
    std::map<uint32_t, Win> m_windows;
    std::map<uint32_t, uint32_t> m_bySdlId;
    std::set<uint32_t> m_closedBySignal;  // the windows a signal has closed
    SignalWake m_wake;
};

}  // namespace host
