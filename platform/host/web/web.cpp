#include "platform/host/web/web.h"

#include "platform/host/viewer.h"

#include <emscripten.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <vector>

// The page's side of each call (page/page.js keeps the canvas, the input queue, the dialog and
// the audio node). Called on the main thread only: the page's objects live there.
EM_JS(void, web_present, (const uint8_t* pRgba, int nWidth, int nHeight),
      { VadurerPage.present(HEAPU8, pRgba, nWidth, nHeight); });
EM_JS(void, web_frame_ended, (int nFrames, double dWorkMs, double dResumedAt),
      { VadurerPage.frameEnded(nFrames, dWorkMs, dResumedAt); });
// Returns the time of the refresh waited for. dCalledAt: when the module asked, so that the page
// can tell what the stack's unwinding cost.
EM_ASYNC_JS(double, web_next_frame, (double dDueMs, double dCalledAt),
            { return await VadurerPage.nextFrame(dDueMs, dCalledAt); });
EM_ASYNC_JS(void, web_pause, (int nMs), { await VadurerPage.pause(nMs); });
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
EM_ASYNC_JS(int, web_dialog, (const char* pszCaption, const char* pszText, const char* pszButtons, int bError), {
    return await VadurerPage.dialog(UTF8ToString(pszCaption), UTF8ToString(pszText), UTF8ToString(pszButtons),
                                    !!bError);
});
EM_JS(int, web_audio_open, (void* pRing, int nCapacity, int nRate, int nChannels),
      { return VadurerPage.openAudio(HEAPU8.buffer, pRing, nCapacity, nRate, nChannels) ? 1 : 0; });
EM_JS(void, web_audio_close, (), { VadurerPage.closeAudio(); });
// The viewer's controls (platform/host/viewer.h): the host decides, the page shows.
EM_JS(void, web_paused, (int bPaused), { VadurerPage.paused(!!bPaused); });
EM_JS(void, web_screenshot, (), { VadurerPage.screenshot(); });
EM_JS(void, web_fullscreen, (), { VadurerPage.fullscreen(); });

namespace host {

namespace {

constexpr double kFrameMs = 1000.0 / 60.0;

// The audio between the host's thread and the page's AudioWorklet, in the module's shared memory:
// the thread keeps a short stretch mixed ahead, the worklet takes it 128 frames at a time. Indices
// count frames and only grow (wrapping at 2^32); the page reads the same words with Atomics.
struct AudioRing {
    static constexpr uint32_t kCapacity = 8192;  // frames; a power of two
    std::atomic<uint32_t> nWrite{0};
    std::atomic<uint32_t> nRead{0};     // advanced by the worklet
    std::atomic<uint32_t> nPeak{0};     // the largest sample magnitude mixed so far
    std::atomic<uint32_t> nStarved{0};  // render quanta the worklet found short (written by it)
    int16_t samples[kCapacity * 2];
};
static_assert(sizeof(std::atomic<uint32_t>) == 4, "the page reads the ring's words as 32-bit");

alignas(16) AudioRing g_ring;

class AudioFeeder {
public:
    // About 46 ms ahead at 44100 Hz: the music's notifications stay close to what is heard while
    // a busy page still has room before the worklet runs dry.
    static constexpr uint32_t kAhead = 2048;
    static constexpr int kChunk = 256;

    void Start(AudioPull pull)
    {
        m_pull = std::move(pull);
        m_bStop = false;
        m_thread = std::thread([this] { Run(); });
    }

    void Stop()
    {
        if (!m_thread.joinable())
            return;
        m_bStop = true;
        m_thread.join();
    }

    // While held the worklet gets silence and the pull is not called, so that the mixer's play
    // cursors, and the music's refill thread that follows them, see no time pass.
    void Hold(bool bHeld) { m_bHeld.store(bHeld, std::memory_order_release); }

private:
    void Run()
    {
        while (!m_bStop.load()) {
            uint32_t nWrite = g_ring.nWrite.load(std::memory_order_relaxed);
            uint32_t nQueued = nWrite - g_ring.nRead.load(std::memory_order_acquire);
            if (nQueued + kChunk > kAhead) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
            if (m_bHeld.load(std::memory_order_acquire))
                std::fill(std::begin(m_chunk), std::end(m_chunk), int16_t(0));
            else
                m_pull(m_chunk, kChunk);
            uint32_t nPeak = g_ring.nPeak.load(std::memory_order_relaxed);
            for (int i = 0; i < kChunk; ++i) {
                uint32_t p = (nWrite + uint32_t(i)) & (AudioRing::kCapacity - 1);
                g_ring.samples[2 * p] = m_chunk[2 * i];
                g_ring.samples[2 * p + 1] = m_chunk[2 * i + 1];
                nPeak = std::max<uint32_t>(nPeak, uint32_t(std::abs(int(m_chunk[2 * i]))));
                nPeak = std::max<uint32_t>(nPeak, uint32_t(std::abs(int(m_chunk[2 * i + 1]))));
            }
            g_ring.nPeak.store(nPeak, std::memory_order_relaxed);
            g_ring.nWrite.store(nWrite + kChunk, std::memory_order_release);
        }
    }

    AudioPull m_pull;
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bHeld{false};
    std::thread m_thread;
    int16_t m_chunk[kChunk * 2] = {};
};

uint32_t ToRgba(uint32_t xrgb)
{
    // Canvas bytes are R, G, B, A in memory: little-endian 0xAABBGGRR.
    return 0xFF000000u | ((xrgb & 0xFFu) << 16) | (xrgb & 0xFF00u) | ((xrgb >> 16) & 0xFFu);
}

class WebHost : public Host {
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
        m_dNextFrame = 0;
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

    void EndFrame(uint32_t id) override
    {
        Win* w = Find(id);
        if (!w)
            return;
        double dWork = emscripten_get_now() - m_dResumed;
        Present(*w);
        if (w->bDisplay) {
            web_frame_ended(++m_nFrames, dWork, m_dResumed);
            WaitForFrame();
        }
    }

    // While paused the production waits in here, inside its look at the input, the page running
    // at each refresh: its clock stands still, the sound is not pulled, and what the viewer does
    // meanwhile is held back, to reach it in order once the pause ends (a key that ends the run
    // ends the pause first).
    bool PollEvent(Event& event) override
    {
        for (;;) {
            if (!m_clock.Paused() && m_held.Next(event))
                return true;
            Event e;
            bool bRepeat = false;
            if (!PollPage(e, bRepeat)) {
                if (!m_clock.Paused())
                    break;
                WaitForFrame();
                continue;
            }
            if (Take(e, bRepeat, event))
                return true;
        }
        // The end of a look at the input: an image replaced since the last frame shows now, and
        // a loop that only looks at its input (a picture held on the screen) still lets the page
        // run, once a refresh.
        for (auto& entry : m_windows)
            if (entry.second.bDirty)
                Present(entry.second);
        if (emscripten_get_now() - m_dResumed >= kFrameMs)
            WaitForFrame();
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
        // Each button as "label:answer", the answer's number coming back from the dialog.
        std::string buttons;
        auto add = [&buttons](const char* pszLabel, BoxAnswer answer) {
            buttons +=
                (buttons.empty() ? "" : "|") + std::string(pszLabel) + ":" + std::to_string(static_cast<int>(answer));
        };
        switch (kind) {
        case BoxButtons::OkCancel: add("OK", BoxAnswer::Ok), add("Cancel", BoxAnswer::Cancel); break;
        case BoxButtons::AbortRetryIgnore:
            add("Abort", BoxAnswer::Abort), add("Retry", BoxAnswer::Retry), add("Ignore", BoxAnswer::Ignore);
            break;
        case BoxButtons::YesNoCancel:
            add("Yes", BoxAnswer::Yes), add("No", BoxAnswer::No), add("Cancel", BoxAnswer::Cancel);
            break;
        case BoxButtons::YesNo: add("Yes", BoxAnswer::Yes), add("No", BoxAnswer::No); break;
        case BoxButtons::RetryCancel: add("Retry", BoxAnswer::Retry), add("Cancel", BoxAnswer::Cancel); break;
        default: add("OK", BoxAnswer::Ok); break;
        }
        int nChosen = web_dialog(caption.c_str(), text.c_str(), buttons.c_str(), bError);
        m_dResumed = emscripten_get_now();
        m_dNextFrame = 0;
        return nChosen > 0 ? static_cast<BoxAnswer>(nChosen) : AnswerOnStderr(caption, text, kind);
    }

    bool OpenAudio(int nRate, int nChannels, AudioPull pull) override
    {
        CloseAudio();
        if (nChannels != 2)
            return false;
        g_ring.nWrite = 0;
        g_ring.nRead = 0;
        g_ring.nPeak = 0;
        g_ring.nStarved = 0;
        if (!web_audio_open(&g_ring, int(AudioRing::kCapacity), nRate, nChannels))
            return false;
        m_feeder.Start(std::move(pull));
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

    long NowMs() override { return m_clock.Now(); }

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

    // What the viewer's event asks of the host; true where it goes on to the production now.
    bool Take(const Event& e, bool bRepeat, Event& out)
    {
        Observed o = m_keys.Observe(e, bRepeat);
        if (o.bEndsRun && m_clock.Paused())
            Resume();
        switch (o.action) {
        case ViewerAction::ToggleFullscreen: web_fullscreen(); break;
        case ViewerAction::Screenshot: web_screenshot(); break;
        case ViewerAction::TogglePause: m_clock.Paused() ? Resume() : Pause(); break;
        case ViewerAction::None: break;
        }
        if (!m_clock.Paused() && m_held.Empty()) {
            out = e;
            return true;
        }
        m_held.Hold(e);
        return false;
    }

    void Pause()
    {
        m_clock.Pause();
        m_feeder.Hold(true);
        web_paused(1);
    }

    void Resume()
    {
        m_clock.Resume();
        m_feeder.Hold(false);
        web_paused(0);
    }

    Win* Find(uint32_t id)
    {
        auto it = m_windows.find(id);
        return it == m_windows.end() ? nullptr : &it->second;
    }

    static void Present(Win& w)
    {
        w.bDirty = false;
        if (!w.rgba.empty() && (w.bShown || w.bDisplay))
            web_present(reinterpret_cast<const uint8_t*>(w.rgba.data()), w.nImageW, w.nImageH);
    }

    // Gives the page its turn until the refresh at which the next frame is due: 60 a second on an
    // absolute schedule whatever the display's own rate, started again from the refresh after a
    // stall rather than caught up in a burst. The schedule counts from a refresh's own time, so
    // that it stays in phase with the display's refreshes (at 60 Hz: every one of them).
    void WaitForFrame()
    {
        double dRefresh = web_next_frame(m_dNextFrame, emscripten_get_now());
        if (m_dNextFrame == 0 || dRefresh - m_dNextFrame > 2 * kFrameMs)
            m_dNextFrame = dRefresh;
        m_dNextFrame += kFrameMs;
        m_dResumed = emscripten_get_now();
    }

    std::map<uint32_t, Win> m_windows;
    PausableClock m_clock{&WallClockMs};
    ViewerKeys m_keys;
    HeldEvents m_held;  // the production's events while paused
    AudioFeeder m_feeder;
    bool m_bAudio = false;
    int m_nFrames = 0;
    double m_dNextFrame = 0;
    double m_dResumed = 0;
};

}  // namespace

std::unique_ptr<Host> MakeWebHost()
{
    return std::make_unique<WebHost>();
}

}  // namespace host
