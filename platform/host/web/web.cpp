#include "platform/host/web/web.h"

#include <emscripten.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "platform/host/pixels.h"
#include "platform/host/viewer.h"
#include "platform/host/web/audio.h"
#include "platform/host/web/pack.h"

// The page's side of each call (page/page.js keeps the canvas, the input queue, the dialog and
// the audio node). Called on the main thread only: the page's objects live there.
// dClockMs: the production's clock when the image was made, for the page's account of what it
// shows.
EM_JS(void, web_present, (const uint8_t* pRgba, int nWidth, int nHeight, double dClockMs),
      { VadurerPage.present(HEAPU8, pRgba, nWidth, nHeight, dClockMs); });
EM_JS(void, web_frame_ended, (int nFrames, double dWorkMs, double dResumedAt),
      { VadurerPage.frameEnded(nFrames, dWorkMs, dResumedAt); });
// The calls that wait for the page unwind the module's stack (ASYNCIFY: they are listed in
// cmake/web.cmake) and hand the page the function that rewinds it (a plain function, not an
// arrow, which the C++ formatter would split); the page calls it when it is done, and catches
// there the end of the run, which comes out of it when the production exits.
//
// Returns once the page has handed the frame just ended (bFrame) to the browser at the refresh it
// is due at, or, for a look at the input, at the next refresh. dCalledAt: when the module asked,
// so that the page can tell what the stack's unwinding cost.
EM_JS(void, web_next_frame, (int bFrame, double dCalledAt),
      { Asyncify.handleSleep(function(wakeUp) { VadurerPage.nextFrame(bFrame, dCalledAt, wakeUp); }); });
EM_JS(void, web_pause, (int nMs), { Asyncify.handleSleep(function(wakeUp) { VadurerPage.pause(nMs, wakeUp); }); });
EM_JS(int, web_poll, (int* pFields), {
    const e = VadurerPage.poll();
    if (!e)
        return 0;
    for (let i = 0; i < 6; ++i)
        HEAP32[(pFields >> 2) + i] = e[i];
    return 1;
});
EM_JS(void, web_display, (int bOn, int nWidth, int nHeight), { VadurerPage.display(!!bOn, nWidth, nHeight); });
EM_JS(void, web_title, (const char* pszTitle), { document.title = UTF8ToString(pszTitle); });
EM_JS(void, web_cursor, (int bVisible), { VadurerPage.cursor(!!bVisible); });
EM_JS(int, web_screen_width, (), { return screen.width | 0; });
EM_JS(int, web_screen_height, (), { return screen.height | 0; });
EM_JS(int, web_dialog, (const char* pszCaption, const char* pszText, const char* pszButtons, int bError), {
    const caption = UTF8ToString(pszCaption), text = UTF8ToString(pszText), buttons = UTF8ToString(pszButtons);
    return Asyncify.handleSleep(function(wakeUp) { VadurerPage.dialog(caption, text, buttons, !!bError, wakeUp); });
});
// dClockMs: the production's clock as the sound starts, for the page's account of picture and sound.
EM_JS(int, web_audio_open, (void* pWords, void* pSamples, int nCapacity, int nRate, int nChannels, double dClockMs), {
    return VadurerPage.openAudio(HEAPU8.buffer, pWords, pSamples, nCapacity, nRate, nChannels, dClockMs) ? 1 : 0;
});
EM_JS(void, web_audio_close, (), { VadurerPage.closeAudio(); });
// The viewer's controls (platform/host/viewer.h): the host decides, the page shows.
EM_JS(void, web_paused, (int bPaused), { VadurerPage.paused(!!bPaused); });
EM_JS(void, web_screenshot, (), { VadurerPage.screenshot(); });
EM_JS(void, web_fullscreen, (), { VadurerPage.fullscreen(); });

namespace host {

namespace {

constexpr double kFrameMs = 1000.0 / 60.0;

// The ring the page's worklet plays: where it is, it stays (the worklet may still read it while
// the page takes its node down).
alignas(16) web::AudioRing g_ring;

uint32_t ToRgba(uint32_t xrgb)
{
    // Canvas bytes are R, G, B, A in memory: little-endian 0xAABBGGRR.
    return 0xFF000000u | ((xrgb & 0xFFu) << 16) | (xrgb & 0xFF00u) | ((xrgb >> 16) & 0xFFu);
}

class WebHost : public Host, private ViewerControls {
public:
    ~WebHost() override { CloseAudio(); }

    bool OpenWindow(uint32_t id, const std::string& title, int nWidth, int nHeight) override
    {
        Win& w = m_windows[id];
        w = Win();
        w.title = title;
        w.nWidth = std::max(1, nWidth);
        w.nHeight = std::max(1, nHeight);
        return true;
    }

    void ShowWindow(uint32_t id) override
    {
        if (Win* w = Find(id)) {
            w->bShown = true;
            web_title(w->title.c_str());
        }
    }

    void HideWindow(uint32_t id) override
    {
        if (Win* w = Find(id))
            w->bShown = false;
    }

    void CloseWindow(uint32_t id) override
    {
        if (Win* w = Find(id); w && w->bDisplay)
            web_display(0, 0, 0);
        m_windows.erase(id);
    }

    void SetTitle(uint32_t id, const std::string& title) override
    {
        if (Win* w = Find(id)) {
            w->title = title;
            if (w->bShown || w->bDisplay)
                web_title(title.c_str());
        }
    }

    bool TakeDisplay(uint32_t id, int nWidth, int nHeight) override
    {
        Win* w = Find(id);
        if (!w || nWidth <= 0 || nHeight <= 0)
            return false;
        w->bDisplay = true;
        web_title(w->title.c_str());
        web_display(1, nWidth, nHeight);
        return true;
    }

    void ReleaseDisplay(uint32_t id) override
    {
        if (Win* w = Find(id); w && w->bDisplay) {
            w->bDisplay = false;
            web_display(0, 0, 0);
        }
    }

    void SetImage(uint32_t id, const uint32_t* pXrgb, int nWidth, int nHeight) override
    {
        Win* w = Find(id);
        if (!w || !pXrgb || nWidth <= 0 || nHeight <= 0)
            return;
        w->rgba.resize(size_t(nWidth) * size_t(nHeight));
        for (size_t i = 0; i < w->rgba.size(); ++i)
            w->rgba[i] = ToRgba(pXrgb[i]);
        w->nImageW = nWidth;
        w->nImageH = nHeight;
        w->bDirty = true;
    }

    // The canvas takes colours: the indices become the colours they stand for.
    void SetPalettedImage(uint32_t id, const uint8_t* pIndices, ptrdiff_t nPitch, const uint32_t* pPalette, int nWidth,
                          int nHeight) override
    {
        SetImage(id, m_converter.Convert(pIndices, nPitch, pPalette, nWidth, nHeight), nWidth, nHeight);
    }

    void EndFrame(uint32_t id) override
    {
        Win* w = Find(id);
        if (!w)
            return;
        double dWork = emscripten_get_now() - m_dResumed;
        Present(*w);
        if (w->bDisplay) {
            web_frame_ended(++m_nFrames, dWork, m_dResumed);
            WaitForFrame(true);
        }
    }

    // While paused the production waits in here, inside its look at the input, the page running
    // at each refresh: its clock stands still, the sound is not pulled, and what the viewer does
    // meanwhile is held back, to reach it in order once the pause ends (a key that ends the run
    // ends the pause first).
    bool PollEvent(Event& event) override
    {
        for (;;) {
            if (m_viewer.NextHeld(event))
                return true;
            bool bRepeat = false;
            if (!PollPage(event, bRepeat)) {
                if (!m_viewer.Paused())
                    break;
                WaitForFrame(false);
                continue;
            }
            if (m_viewer.Dispatch(event, bRepeat))
                return true;
        }
        // The end of a look at the input: an image replaced since the last frame shows now, and
        // a loop that only looks at its input (a picture held on the screen) still lets the page
        // run, once a refresh.
        for (auto& entry : m_windows)
            if (entry.second.bDirty)
                Present(entry.second);
        if (emscripten_get_now() - m_dResumed >= kFrameMs)
            WaitForFrame(false);
        return false;
    }

    void WaitEvent(int nTimeoutMs) override { web_pause(std::max(0, nTimeoutMs)); }

    void SetCursorVisible(bool bVisible) override { web_cursor(bVisible ? 1 : 0); }

    void SetMouseCapture(uint32_t, bool) override {}  // the page keeps the mouse's events while a button is down

    void GetDisplaySize(int& nWidth, int& nHeight) override
    {
        nWidth = std::max(1, web_screen_width());
        nHeight = std::max(1, web_screen_height());
    }

    BoxAnswer MessageBox(const std::string& caption, const std::string& text, BoxButtons kind, bool bError) override
    {
        // Each button as "label:answer", the answer's number coming back from the dialog; the first
        // is the default, which Return chooses, and the one marked "cancel" is Escape's: the button
        // that stops.
        std::string buttons;
        auto add = [&buttons](const char* pszLabel, BoxAnswer answer, const char* pszMarks = "") {
            buttons += (buttons.empty() ? "" : "|") + std::string(pszLabel) + ":" +
                       std::to_string(static_cast<int>(answer)) + (buttons.empty() ? ":default" : "") + pszMarks;
        };
        switch (kind) {
        case BoxButtons::OkCancel: add("OK", BoxAnswer::Ok), add("Cancel", BoxAnswer::Cancel, ":cancel"); break;
        case BoxButtons::AbortRetryIgnore:
            add("Abort", BoxAnswer::Abort, ":cancel"), add("Retry", BoxAnswer::Retry), add("Ignore", BoxAnswer::Ignore);
            break;
        case BoxButtons::YesNoCancel:
            add("Yes", BoxAnswer::Yes), add("No", BoxAnswer::No), add("Cancel", BoxAnswer::Cancel, ":cancel");
            break;
        case BoxButtons::YesNo: add("Yes", BoxAnswer::Yes), add("No", BoxAnswer::No, ":cancel"); break;
        case BoxButtons::RetryCancel:
            add("Retry", BoxAnswer::Retry), add("Cancel", BoxAnswer::Cancel, ":cancel");
            break;
        default: add("OK", BoxAnswer::Ok, ":cancel"); break;
        }
        int nChosen = web_dialog(caption.c_str(), text.c_str(), buttons.c_str(), bError);
        m_dResumed = emscripten_get_now();
        return nChosen > 0 ? static_cast<BoxAnswer>(nChosen) : AnswerOnStderr(caption, text, kind);
    }

    bool OpenAudio(int nRate, int nChannels, AudioPull pull) override
    {
        CloseAudio();
        if (nChannels != 2)
            return false;
        g_ring.Reset();
        if (!web_audio_open(&g_ring, g_ring.samples, int(web::AudioRing::kCapacity), nRate, nChannels, double(NowMs())))
            return false;
        m_feeder.Start(g_ring, nRate, std::move(pull));
        m_bAudio = true;
        CloseAudioAtExit(*this);
        return true;
    }

    void CloseAudio() override
    {
        if (!m_bAudio)
            return;
        m_feeder.Stop();  // the pull has returned for the last time
        web_audio_close();
        m_bAudio = false;
        ForgetAudioAtExit(*this);
    }

    long NowMs() override { return m_viewer.Now(); }

private:
    struct Win {
        std::string title;
        int nWidth = 0, nHeight = 0;
        std::vector<uint32_t> rgba;
        int nImageW = 0, nImageH = 0;
        bool bDirty = false;
        bool bShown = false;
        bool bDisplay = false;
    };

    // One event from the page's queue. A key's last field tells a held key's repeat.
    static bool PollPage(Event& event, bool& bRepeat)
    {
        int fields[6];
        if (!web_poll(fields))
            return false;
        event = Event();
        event.type = static_cast<EventType>(fields[0]);
        event.vk = fields[1];
        event.down = fields[2] != 0;
        event.x = fields[3];
        event.y = fields[4];
        bRepeat = event.type == EventType::Key && fields[5] != 0;
        if (event.type != EventType::Key)
            event.button = static_cast<Button>(fields[5]);
        return true;
    }

    // What the viewer's keys ask of the host: the host decides, the page shows.
    void ToggleFullscreen() override { web_fullscreen(); }
    void TakeScreenshot() override { web_screenshot(); }
    void PauseChanged(bool bPaused) override
    {
        m_feeder.Hold(bPaused);
        web_paused(bPaused ? 1 : 0);
    }

    Win* Find(uint32_t id)
    {
        auto it = m_windows.find(id);
        return it == m_windows.end() ? nullptr : &it->second;
    }

    void Present(Win& w)
    {
        w.bDirty = false;
        if (!w.rgba.empty() && (w.bShown || w.bDisplay))
            web_present(reinterpret_cast<const uint8_t*>(w.rgba.data()), w.nImageW, w.nImageH, double(NowMs()));
    }

    // Gives the page its turn until the refresh at which the frame is due (the page keeps the
    // schedule: it alone sees the display's refreshes).
    void WaitForFrame(bool bFrame)
    {
        web_next_frame(bFrame ? 1 : 0, emscripten_get_now());
        m_dResumed = emscripten_get_now();
    }

    std::map<uint32_t, Win> m_windows;
    ViewerDispatch m_viewer{*this, &WallClockMs};
    FrameConverter m_converter;
    web::AudioFeeder m_feeder;
    bool m_bAudio = false;
    int m_nFrames = 0;
    double m_dResumed = 0;
};

}  // namespace

std::unique_ptr<Host> MakeWebHost()
{
    return std::make_unique<WebHost>();
}

}  // namespace host

// The page's pictures, restored before the production runs (page/page.js calls it once its files
// are in): the pack unpacked beside it and taken away. Null on success, else what went wrong.
extern "C" EMSCRIPTEN_KEEPALIVE const char* vadurer_unpack(const char* pszArchive)
{
    static std::string error;
    error = host::web::UnpackFiles(pszArchive, "");
    std::remove(pszArchive);
    return error.empty() ? nullptr : error.c_str();
}
