#include "platform/host/sdl/sdl.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "platform/host/pixels.h"
#include "platform/host/viewer.h"
#include "platform/host/sdl/display.h"
#include "platform/host/sdl/pause_mark.h"
#include "platform/host/sdl/screenshot.h"
#include "platform/host/sdl/window_manager.h"

namespace host {

namespace {

// With VADURER_REPORT_FIRST_FRAME set, the time from the launch to the first frame goes to
// standard error, step by step. The launch is VADURER_LAUNCHED_AT (nanoseconds of the real-time
// clock, as `date +%s%N` gives them, taken by whoever started the program) where that is set, so
// that loading the program and its libraries counts too; else the start of this program's own
// static objects.
class LaunchReport {
public:
    enum Step { kSdl, kWindow, kDisplay, kFirstFrameAsked, kFirstFramePresented, kSteps };

    void Mark(Step step)
    {
        if (m_bDone || m_bMarked[step])
            return;
        m_bMarked[step] = true;
        m_at[step] = Now();
        if (step == kFirstFramePresented)
            Report();
    }

private:
    static double Now()
    {
        timespec ts;
        clock_gettime(CLOCK_REALTIME, &ts);
        return double(ts.tv_sec) * 1000.0 + double(ts.tv_nsec) / 1e6;
    }
    void Report()
    {
        m_bDone = true;
        if (!std::getenv("VADURER_REPORT_FIRST_FRAME"))
            return;
        const char* pszLaunched = std::getenv("VADURER_LAUNCHED_AT");
        const double dLaunch = pszLaunched ? std::strtod(pszLaunched, nullptr) / 1e6 : m_dStatics;
        const char* const kNames[kSteps] = {
            "the program and its libraries started, SDL's video", "the window and its renderer", "the display taken",
            "the pictures and sounds loaded, the first frame drawn", "the first frame presented"};
        std::string steps;
        double dBefore = dLaunch;
        for (int i = 0; i < kSteps; ++i) {
            if (!m_bMarked[i])
                continue;
            char sz[128];
            std::snprintf(sz, sizeof sz, "%s%s %.0f", steps.empty() ? "" : ", ", kNames[i], m_at[i] - dBefore);
            steps += sz;
            dBefore = m_at[i];
        }
        std::fprintf(stderr, "vadurer: first frame %.0f ms after the launch%s (%s ms)\n",
                     m_at[kFirstFramePresented] - dLaunch, pszLaunched ? "" : " of the program's own code",
                     steps.c_str());
    }

    const double m_dStatics = Now();
    double m_at[kSteps] = {};
    bool m_bMarked[kSteps] = {};
    bool m_bDone = false;
};

LaunchReport g_launch;

int VirtualKey(SDL_Scancode sc)
{
    if (sc >= SDL_SCANCODE_A && sc <= SDL_SCANCODE_Z)
        return 'A' + (sc - SDL_SCANCODE_A);
    if (sc >= SDL_SCANCODE_1 && sc <= SDL_SCANCODE_9)
        return '1' + (sc - SDL_SCANCODE_1);
    if (sc >= SDL_SCANCODE_F1 && sc <= SDL_SCANCODE_F12)
        return key::kF1 + (sc - SDL_SCANCODE_F1);
    switch (sc) {
    case SDL_SCANCODE_0: return '0';
    case SDL_SCANCODE_ESCAPE: return key::kEscape;
    case SDL_SCANCODE_RETURN:
    case SDL_SCANCODE_KP_ENTER: return key::kReturn;
    case SDL_SCANCODE_SPACE: return key::kSpace;
    case SDL_SCANCODE_BACKSPACE: return key::kBack;
    case SDL_SCANCODE_TAB: return key::kTab;
    case SDL_SCANCODE_LEFT: return key::kLeft;
    case SDL_SCANCODE_RIGHT: return key::kRight;
    case SDL_SCANCODE_UP: return key::kUp;
    case SDL_SCANCODE_DOWN: return key::kDown;
    case SDL_SCANCODE_HOME: return key::kHome;
    case SDL_SCANCODE_END: return key::kEnd;
    case SDL_SCANCODE_PAGEUP: return key::kPageUp;
    case SDL_SCANCODE_PAGEDOWN: return key::kPageDown;
    case SDL_SCANCODE_INSERT: return key::kInsert;
    case SDL_SCANCODE_DELETE: return key::kDelete;
    case SDL_SCANCODE_PAUSE: return key::kPause;
    case SDL_SCANCODE_CAPSLOCK: return key::kCapsLock;
    case SDL_SCANCODE_LSHIFT:
    case SDL_SCANCODE_RSHIFT: return key::kShift;
    case SDL_SCANCODE_LCTRL:
    case SDL_SCANCODE_RCTRL: return key::kControl;
    case SDL_SCANCODE_LALT:
    case SDL_SCANCODE_RALT: return key::kAlt;
    default: return 0;
    }
}

// The pacing of one display window: the display paces where it refreshes at 60 Hz and the
// renderer waits for it.
class DisplayPacer {
public:
    void Start(SDL_Renderer* pRenderer, int nDisplay)
    {
        SDL_RendererInfo info;
        SDL_DisplayMode mode;
        bool bVsync = SDL_GetRendererInfo(pRenderer, &info) == 0 && (info.flags & SDL_RENDERER_PRESENTVSYNC) != 0;
        bool b60 =
            SDL_GetCurrentDisplayMode(nDisplay, &mode) == 0 && mode.refresh_rate >= 59 && mode.refresh_rate <= 61;
        m_pacer.Start(bVsync && b60);
    }
    void WaitForFlip() { m_pacer.WaitForFlip(); }
    void Flipped() { m_pacer.Flipped(); }

private:
    FramePacer m_pacer;
};

class SdlHost : public Host {
public:
    ~SdlHost() override
    {
        CloseAudio();
        for (auto& w : m_windows)
            Release(w.second);
        SDL_Quit();
        if (m_pFrameLog)
            std::fclose(m_pFrameLog);
    }

    explicit SdlHost(const SdlOptions& options) : m_bInWindow(options.bDisplayInWindow)
    {
        // Whole-factor scaling keeps pixels square and sharp; nothing is filtered.
        SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
        if (const char* pszLog = std::getenv("VADURER_FRAME_LOG"))
            m_pFrameLog = std::fopen(pszLog, "w");
        if (m_pFrameLog)
            std::setvbuf(m_pFrameLog, nullptr, _IOLBF, 0);
    }

    bool OpenWindow(uint32_t id, const std::string& title, int nWidth, int nHeight) override
    {
        Win w;
        g_launch.Mark(LaunchReport::kSdl);
        w.pWindow = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, std::max(1, nWidth),
                                     std::max(1, nHeight), SDL_WINDOW_HIDDEN);
        if (!w.pWindow)
            return false;
        w.pRenderer = SDL_CreateRenderer(w.pWindow, -1, SDL_RENDERER_PRESENTVSYNC);
        if (!w.pRenderer)
            w.pRenderer = SDL_CreateRenderer(w.pWindow, -1, SDL_RENDERER_SOFTWARE);
        if (!w.pRenderer) {
            SDL_DestroyWindow(w.pWindow);
            return false;
        }
        w.nClientW = std::max(1, nWidth);
        w.nClientH = std::max(1, nHeight);
        SDL_RenderSetLogicalSize(w.pRenderer, w.nClientW, w.nClientH);
        m_windows[id] = w;
        m_bySdlId[SDL_GetWindowID(w.pWindow)] = id;
        g_launch.Mark(LaunchReport::kWindow);
        return true;
    }

    bool TakeDisplay(uint32_t id, int nWidth, int nHeight) override
    {
        Win* w = Find(id);
        if (!w || nWidth <= 0 || nHeight <= 0)
            return false;
        w->bDisplay = true;
        w->nModeW = nWidth;
        w->nModeH = nHeight;
        SDL_RenderSetLogicalSize(w->pRenderer, 0, 0);  // the display places its image itself
        const int nDisplay = PlaceDisplay(*w);
        SDL_ShowWindow(w->pWindow);
        SDL_RaiseWindow(w->pWindow);
        w->pacer.Start(w->pRenderer, nDisplay);
        UpdateCursor();
        g_launch.Mark(LaunchReport::kDisplay);
        return true;
    }

    void ReleaseDisplay(uint32_t id) override
    {
        Win* w = Find(id);
        if (!w || !w->bDisplay)
            return;
        w->bDisplay = false;
        SDL_SetWindowFullscreen(w->pWindow, 0);
        SDL_SetWindowBordered(w->pWindow, SDL_TRUE);
        SDL_SetWindowResizable(w->pWindow, SDL_FALSE);
        SDL_SetWindowSize(w->pWindow, w->nClientW, w->nClientH);
        SDL_SetWindowPosition(w->pWindow, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
        SDL_RenderSetLogicalSize(w->pRenderer, w->nClientW, w->nClientH);
        if (!w->bShown)
            SDL_HideWindow(w->pWindow);
        UpdateCursor();
    }

    void ShowWindow(uint32_t id) override
    {
        if (Win* w = Find(id)) {
            w->bShown = true;
            SDL_ShowWindow(w->pWindow);
        }
    }

    void HideWindow(uint32_t id) override
    {
        if (Win* w = Find(id)) {
            w->bShown = false;
            if (!w->bDisplay)
                SDL_HideWindow(w->pWindow);
        }
    }

    void CloseWindow(uint32_t id) override
    {
        auto it = m_windows.find(id);
        if (it == m_windows.end())
            return;
        m_bySdlId.erase(SDL_GetWindowID(it->second.pWindow));
        Release(it->second);
        m_windows.erase(it);
    }

    void SetTitle(uint32_t id, const std::string& title) override
    {
        if (Win* w = Find(id))
            SDL_SetWindowTitle(w->pWindow, title.c_str());
    }

    void SetImage(uint32_t id, const uint32_t* pXrgb, int nWidth, int nHeight) override
    {
        Win* w = Find(id);
        if (!w)
            return;
        // Kept as it came, for a screenshot of it.
        w->latest.nWidth = nWidth;
        w->latest.nHeight = nHeight;
        w->latest.indices.clear();
        w->latest.xrgb.assign(pXrgb, pXrgb + static_cast<size_t>(nWidth) * static_cast<size_t>(nHeight));
        Upload(*w, pXrgb, nWidth, nHeight);
    }

    void SetPalettedImage(uint32_t id, const uint8_t* pIndices, ptrdiff_t nPitch, const uint32_t* pPalette, int nWidth,
                          int nHeight) override
    {
        Win* w = Find(id);
        if (!w || nWidth <= 0 || nHeight <= 0)
            return;
        // The production's own pixels and colours, for a screenshot of exactly what it drew.
        ShownFrame& f = w->latest;
        f.nWidth = nWidth;
        f.nHeight = nHeight;
        f.xrgb.clear();
        f.indices.resize(static_cast<size_t>(nWidth) * static_cast<size_t>(nHeight));
        for (int y = 0; y < nHeight; ++y)
            std::memcpy(&f.indices[static_cast<size_t>(y) * static_cast<size_t>(nWidth)], pIndices + y * nPitch,
                        static_cast<size_t>(nWidth));
        std::memcpy(f.palette, pPalette, sizeof f.palette);
        Upload(*w, m_converter.Convert(pIndices, nPitch, pPalette, nWidth, nHeight), nWidth, nHeight);
    }

    void EndFrame(uint32_t id) override
    {
        Win* w = Find(id);
        if (!w)
            return;
        g_launch.Mark(LaunchReport::kFirstFrameAsked);
        if (!w->bDisplay) {
            Show(*w);
        } else {
            w->pacer.WaitForFlip();
            Show(*w);
            w->pacer.Flipped();
            LogFrame(*w);
        }
        g_launch.Mark(LaunchReport::kFirstFramePresented);
    }

    // While paused the production waits in here, inside its look at the input: its clock stands
    // still, the sound is not pulled, and what the viewer does meanwhile is held back, to reach
    // it in order once the pause ends (a key that ends the run ends the pause first).
    bool PollEvent(Event& event) override
    {
        for (;;) {
            if (!m_clock.Paused() && m_held.Next(event))
                return true;
            SDL_Event e;
            if (m_clock.Paused()) {
                if (!SDL_WaitEventTimeout(&e, kPausedRedrawMs)) {
                    ShowDisplay();  // some displays forget what was shown
                    continue;
                }
            } else if (!SDL_PollEvent(&e)) {
                break;
            }
            if (Take(e, event))
                return true;
        }
        // The end of a look at the input: an image replaced since the last frame shows now.
        for (auto& entry : m_windows)
            if (entry.second.bDirty)
                Show(entry.second);
        return false;
    }

    long NowMs() override { return m_clock.Now(); }

    void WaitEvent(int nTimeoutMs) override { SDL_WaitEventTimeout(nullptr, nTimeoutMs); }

    void SetCursorVisible(bool bVisible) override
    {
        m_bCursorWanted = bVisible;
        UpdateCursor();
    }

    void SetMouseCapture(uint32_t, bool bCapture) override { SDL_CaptureMouse(bCapture ? SDL_TRUE : SDL_FALSE); }

    void GetDisplaySize(int& nWidth, int& nHeight) override
    {
        SDL_DisplayMode mode;
        if (SDL_GetDesktopDisplayMode(0, &mode) == 0) {
            nWidth = mode.w;
            nHeight = mode.h;
        } else {
            nWidth = 640;
            nHeight = 480;
        }
    }

    BoxAnswer MessageBox(const std::string& caption, const std::string& text, BoxButtons kind, bool bError) override
    {
        auto button = [](BoxAnswer answer, const char* pszText, Uint32 flags = 0) {
            return SDL_MessageBoxButtonData{flags, static_cast<int>(answer), pszText};
        };
        std::vector<SDL_MessageBoxButtonData> buttons;
        switch (kind) {
        case BoxButtons::OkCancel: buttons = {button(BoxAnswer::Ok, "OK"), button(BoxAnswer::Cancel, "Cancel")}; break;
        case BoxButtons::AbortRetryIgnore:
            buttons = {button(BoxAnswer::Abort, "Abort"), button(BoxAnswer::Retry, "Retry"),
                       button(BoxAnswer::Ignore, "Ignore")};
            break;
        case BoxButtons::YesNo: buttons = {button(BoxAnswer::Yes, "Yes"), button(BoxAnswer::No, "No")}; break;
        default: buttons = {button(BoxAnswer::Ok, "OK", SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT)}; break;
        }
        SDL_MessageBoxData data = {};
        data.flags = bError ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION;
        data.title = caption.c_str();
        data.message = text.c_str();
        data.numbuttons = static_cast<int>(buttons.size());
        data.buttons = buttons.data();
        int nChosen = 0;
        if (SDL_ShowMessageBox(&data, &nChosen) == 0 && nChosen > 0)
            return static_cast<BoxAnswer>(nChosen);
        // No way to ask: the first button stops where there is a choice.
        return AnswerOnStderr(caption, text, kind);
    }

    bool OpenAudio(int nRate, int nChannels, AudioPull pull) override
    {
        CloseAudio();
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
            return false;
        m_pull = std::move(pull);
        m_nChannels = nChannels;
        SDL_AudioSpec want = {};
        want.freq = nRate;
        want.format = AUDIO_S16SYS;
        want.channels = static_cast<Uint8>(nChannels);
        // Small periods: the play cursor, and with it the music's block notifications, moves
        // in steps of under 6 ms of audio at 44100 Hz.
        want.samples = 256;
        want.callback = &SdlHost::AudioCallback;
        want.userdata = this;
        m_nDevice = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
        if (m_nDevice == 0)
            return false;
        CloseAudioAtExit(*this);
        SDL_PauseAudioDevice(m_nDevice, 0);
        return true;
    }

    void CloseAudio() override
    {
        // Returns once the callback has returned for the last time.
        if (m_nDevice != 0)
            SDL_CloseAudioDevice(m_nDevice);
        m_nDevice = 0;
        ForgetAudioAtExit(*this);
    }

private:
    struct Win {
        SDL_Window* pWindow = nullptr;
        SDL_Renderer* pRenderer = nullptr;
        SDL_Texture* pTexture = nullptr;
        int nTexW = 0, nTexH = 0;
        int nClientW = 0, nClientH = 0;
        bool bDirty = false;
        bool bShown = false;    // by ShowWindow, not by taking the display
        bool bDisplay = false;  // the exclusive display
        int nModeW = 0, nModeH = 0;
        DisplayPacer pacer;
        ShownFrame latest, shown;  // the image as last handed over, and as last shown
    };

    // The window's texture takes the image; it shows at the next frame end or look at the input.
    static void Upload(Win& w, const uint32_t* pXrgb, int nWidth, int nHeight)
    {
        if (!w.pTexture || w.nTexW != nWidth || w.nTexH != nHeight) {
            if (w.pTexture)
                SDL_DestroyTexture(w.pTexture);
            w.pTexture =
                SDL_CreateTexture(w.pRenderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, nWidth, nHeight);
            w.nTexW = nWidth;
            w.nTexH = nHeight;
        }
        if (!w.pTexture)
            return;
        SDL_UpdateTexture(w.pTexture, nullptr, pXrgb, nWidth * 4);
        w.bDirty = true;
    }

    void Show(Win& w)
    {
        if (w.bDirty)
            std::swap(w.latest, w.shown);  // the latest is written whole before it shows again
        w.bDirty = false;
        if (!w.pTexture)
            return;
        SDL_SetRenderDrawColor(w.pRenderer, 0, 0, 0, 255);
        SDL_RenderClear(w.pRenderer);
        if (w.bDisplay) {
            int nOutW = 0, nOutH = 0;
            SDL_GetRendererOutputSize(w.pRenderer, &nOutW, &nOutH);
            FitRect f = FitImage(w.nTexW, w.nTexH, nOutW, nOutH);
            SDL_Rect dst = {f.x, f.y, f.nWidth, f.nHeight};
            SDL_RenderCopy(w.pRenderer, w.pTexture, nullptr, &dst);
            if (m_clock.Paused())
                DrawPauseMark(w.pRenderer, dst.x, dst.y, dst.w, w.nTexW);
        } else {
            SDL_RenderCopy(w.pRenderer, w.pTexture, nullptr, nullptr);
        }
        SDL_RenderPresent(w.pRenderer);
    }

    Win* DisplayWindow()
    {
        for (auto& entry : m_windows)
            if (entry.second.bDisplay)
                return &entry.second;
        return nullptr;
    }

    // The display shows its frame again (the pause's mark comes or goes, its place changed); the
    // production's own frame ends are not touched.
    void ShowDisplay()
    {
        if (Win* w = DisplayWindow())
            Show(*w);
    }

    // The display over the whole screen or in a desktop window, as the viewer last chose; the
    // index of the screen it is on.
    int PlaceDisplay(Win& w)
    {
        int nDisplay = std::max(0, SDL_GetWindowDisplayIndex(w.pWindow));
        SDL_Rect bounds;
        if (SDL_GetDisplayBounds(nDisplay, &bounds) != 0)
            bounds = SDL_Rect{0, 0, w.nModeW, w.nModeH};
        if (m_bInWindow)
            PlaceInDesktopWindow(w, nDisplay, w.nModeW, w.nModeH);
        else
            CoverDisplay(w, bounds);
        return nDisplay;
    }

    // The pointer hides over the display while it covers the screen; in a desktop window it is
    // the viewer's, to move and size the window with; elsewhere the production says.
    void UpdateCursor()
    {
        Win* w = DisplayWindow();
        bool bVisible = w ? m_bInWindow : m_bCursorWanted;
        SDL_ShowCursor(bVisible ? SDL_ENABLE : SDL_DISABLE);
    }

    void ToggleFullscreen()
    {
        Win* w = DisplayWindow();
        if (!w)
            return;
        m_bInWindow = !m_bInWindow;
        PlaceDisplay(*w);
        SDL_RaiseWindow(w->pWindow);
        UpdateCursor();
        if (m_clock.Paused())
            Show(*w);
    }

    void Pause()
    {
        m_clock.Pause();
        m_bAudioHeld.store(true, std::memory_order_release);
        ShowDisplay();
    }

    void Resume()
    {
        m_clock.Resume();
        m_bAudioHeld.store(false, std::memory_order_release);
        // Without the mark again, also where the production presents nothing for a while.
        ShowDisplay();
    }

    // The frame being shown (the display's, else any window's) as a PNG in the pictures folder.
    void TakeScreenshot()
    {
        Win* w = DisplayWindow();
        for (auto it = m_windows.begin(); !w && it != m_windows.end(); ++it)
            if (!it->second.shown.Empty())
                w = &it->second;
        std::string error;
        std::string path = NewScreenshotFile(PicturesFolder(std::getenv), std::time(nullptr), error);
        if (!path.empty() && !WritePng(path, w ? w->shown : ShownFrame(), error)) {
            std::remove(path.c_str());
            path.clear();
        }
        if (path.empty())
            std::fprintf(stderr, "vadurer: no screenshot: %s\n", error.c_str());
        else
            std::fprintf(stderr, "vadurer: screenshot written to %s\n", path.c_str());
    }

    // One SDL event: false where it is the host's alone or held back; else the production's event.
    bool Take(const SDL_Event& e, Event& out)
    {
        if (e.type == SDL_WINDOWEVENT && m_clock.Paused() &&
            (e.window.event == SDL_WINDOWEVENT_EXPOSED || e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED))
            ShowDisplay();
        if (!Translate(e, out))
            return false;
        const bool bRepeat = e.type == SDL_KEYDOWN && e.key.repeat != 0;
        Observed o = m_keys.Observe(out, bRepeat);
        if (o.bEndsRun && m_clock.Paused())
            Resume();
        switch (o.action) {
        case ViewerAction::ToggleFullscreen: ToggleFullscreen(); break;
        case ViewerAction::Screenshot: TakeScreenshot(); break;
        case ViewerAction::TogglePause: m_clock.Paused() ? Resume() : Pause(); break;
        case ViewerAction::None: break;
        }
        if (!m_clock.Paused() && m_held.Empty())
            return true;
        m_held.Hold(out);
        return false;
    }

    // With VADURER_FRAME_LOG set, one line a frame the display ended: the wall clock's and the
    // production's milliseconds, and the one palette index the whole frame shows (-1 for more).
    void LogFrame(const Win& w)
    {
        if (!m_pFrameLog)
            return;
        const std::vector<uint8_t>& p = w.shown.indices;
        int nUniform = -1;
        if (!p.empty() && std::all_of(p.begin(), p.end(), [&](uint8_t b) { return b == p[0]; }))
            nUniform = p[0];
        std::fprintf(m_pFrameLog, "%ld %ld %d\n", WallClockMs(), m_clock.Now(), nUniform);
    }

    // Over the whole display, also where no window manager honours a fullscreen request: the
    // window is made the display's size at its origin first.
    static void CoverDisplay(Win& w, const SDL_Rect& bounds)
    {
        SDL_SetWindowResizable(w.pWindow, SDL_FALSE);
        SDL_SetWindowBordered(w.pWindow, SDL_FALSE);
        SDL_SetWindowPosition(w.pWindow, bounds.x, bounds.y);
        SDL_SetWindowSize(w.pWindow, bounds.w, bounds.h);
        // Without a window manager the borderless window over the display's bounds is already all
        // that fullscreen is, and asking for fullscreen as well would wait a tenth of a second for
        // an answer nobody gives.
        if (HasWindowManager(w.pWindow))
            SDL_SetWindowFullscreen(w.pWindow, SDL_WINDOW_FULLSCREEN_DESKTOP);
    }

    // A desktop window of the largest whole multiple of the mode that fits the desktop's free
    // area, resizable; the image follows its size.
    static void PlaceInDesktopWindow(Win& w, int nDisplay, int nWidth, int nHeight)
    {
        SDL_Rect usable;
        if (SDL_GetDisplayUsableBounds(nDisplay, &usable) != 0)
            usable = SDL_Rect{0, 0, nWidth, nHeight};
        // Room for the window manager's frame and title bar.
        int k = std::max(1, std::min((usable.w - 32) / nWidth, (usable.h - 64) / nHeight));
        SDL_SetWindowFullscreen(w.pWindow, 0);
        SDL_SetWindowBordered(w.pWindow, SDL_TRUE);
        SDL_SetWindowResizable(w.pWindow, SDL_TRUE);
        SDL_SetWindowMinimumSize(w.pWindow, std::max(1, nWidth / 4), std::max(1, nHeight / 4));
        SDL_SetWindowSize(w.pWindow, nWidth * k, nHeight * k);
        SDL_SetWindowPosition(w.pWindow, SDL_WINDOWPOS_CENTERED_DISPLAY(nDisplay),
                              SDL_WINDOWPOS_CENTERED_DISPLAY(nDisplay));
    }

    // While paused the device gets silence and the pull is not called at all, so that the mixer's
    // play cursors, and the music's refill thread that follows them, see no time pass.
    static void AudioCallback(void* pUser, Uint8* pStream, int nBytes)
    {
        auto* self = static_cast<SdlHost*>(pUser);
        int nFrames = nBytes / (2 * self->m_nChannels);
        SDL_memset(pStream, 0, static_cast<size_t>(nBytes));
        if (!self->m_bAudioHeld.load(std::memory_order_acquire))
            self->m_pull(reinterpret_cast<int16_t*>(pStream), nFrames);
    }

    static void Release(Win& w)
    {
        if (w.pTexture)
            SDL_DestroyTexture(w.pTexture);
        if (w.pRenderer)
            SDL_DestroyRenderer(w.pRenderer);
        if (w.pWindow)
            SDL_DestroyWindow(w.pWindow);
        w = Win();
    }

    Win* Find(uint32_t id)
    {
        auto it = m_windows.find(id);
        return it == m_windows.end() ? nullptr : &it->second;
    }

    uint32_t Owner(Uint32 sdlId) const
    {
        auto it = m_bySdlId.find(sdlId);
        return it == m_bySdlId.end() ? 0 : it->second;
    }

    // A display's mouse positions in its image's pixels, wherever the image sits in the window and
    // whatever its scale: the production's window is the display's mode, as where it is the screen.
    void ToImage(Event& event)
    {
        Win* w = Find(event.window);
        if (!w || !w->bDisplay)
            return;
        int nWinW = 0, nWinH = 0;
        SDL_GetWindowSize(w->pWindow, &nWinW, &nWinH);
        FitRect f = FitImage(w->nModeW, w->nModeH, nWinW, nWinH);
        if (f.nWidth <= 0 || f.nHeight <= 0)
            return;
        event.x = static_cast<int>(std::floor(double(event.x - f.x) * w->nModeW / f.nWidth));
        event.y = static_cast<int>(std::floor(double(event.y - f.y) * w->nModeH / f.nHeight));
    }

    bool Translate(const SDL_Event& e, Event& out)
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

    static constexpr int kPausedRedrawMs = 100;

    bool m_bInWindow;  // the display in a desktop window rather than over the whole screen
    bool m_bCursorWanted = true;
    PausableClock m_clock{&WallClockMs};
    ViewerKeys m_keys;
    HeldEvents m_held;  // the production's events while paused
    std::atomic<bool> m_bAudioHeld{false};
    FrameConverter m_converter;
    FILE* m_pFrameLog = nullptr;
    std::map<uint32_t, Win> m_windows;
    std::map<Uint32, uint32_t> m_bySdlId;
    SDL_AudioDeviceID m_nDevice = 0;
    AudioPull m_pull;
    int m_nChannels = 2;
};

}  // namespace

std::unique_ptr<Host> MakeSdlHost(std::string& error, const SdlOptions& options)
{
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
        error = std::string("no display to show the production on (") + SDL_GetError() +
                "); run it where a display is, or under Xvfb";
        return nullptr;
    }
    return std::make_unique<SdlHost>(options);
}

}  // namespace host
