#include "platform/host/host.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace host {

namespace {

// The host before any is installed: nothing of the machine but standard error and the wall clock.
class DefaultHost : public Host {
public:
    bool OpenWindow(uint32_t, const std::string&, int, int) override { return false; }
    void ShowWindow(uint32_t) override {}
    void HideWindow(uint32_t) override {}
    void CloseWindow(uint32_t) override {}
    void SetTitle(uint32_t, const std::string&) override {}
    bool TakeDisplay(uint32_t, int, int) override { return false; }
    void ReleaseDisplay(uint32_t) override {}
    void SetImage(uint32_t, const uint32_t*, int, int) override {}
    void SetPalettedImage(uint32_t, const uint8_t*, ptrdiff_t, const uint32_t*, int, int) override {}
    void EndFrame(uint32_t) override {}
    bool PollEvent(Event&) override { return false; }
    void WaitEvent(int) override {}
    void SetCursorVisible(bool) override {}
    void SetMouseCapture(uint32_t, bool) override {}
    void GetDisplaySize(int& nWidth, int& nHeight) override { nWidth = 640, nHeight = 480; }
    BoxAnswer MessageBox(const std::string& caption, const std::string& text, BoxButtons buttons, bool) override
    {
        return AnswerOnStderr(caption, text, buttons);
    }
    bool OpenAudio(int, int, AudioPull) override { return false; }
    void CloseAudio() override {}
    long NowMs() override { return WallClockMs(); }
};

// Never destroyed: objects that the system destroys at exit may still reach the stand-in then.
Host& Default()
{
    static auto* p = new DefaultHost;
    return *p;
}

std::atomic<Host*> g_pHost{nullptr};
std::atomic<Host*> g_pAudioAtExit{nullptr};  // the host whose audio the exit closes

}  // namespace

BoxAnswer AnswerOnStderr(const std::string& caption, const std::string& text, BoxButtons buttons)
{
    std::string line = text;
    for (char& c : line)
        if (c == '\n' || c == '\r')
            c = ' ';
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), line.c_str());
    switch (buttons) {
    case BoxButtons::AbortRetryIgnore: return BoxAnswer::Abort;
    case BoxButtons::YesNo:
    case BoxButtons::YesNoCancel: return BoxAnswer::Yes;
    case BoxButtons::RetryCancel: return BoxAnswer::Retry;
    default: return BoxAnswer::Ok;
    }
}

long WallClockMs()
{
    static const auto start = std::chrono::steady_clock::now();
    auto elapsed = std::chrono::steady_clock::now() - start;
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

Host& Current()
{
    Host* p = g_pHost.load(std::memory_order_acquire);
    return p ? *p : Default();
}

void Install(std::unique_ptr<Host> pHost)
{
    delete g_pHost.exchange(pHost.release(), std::memory_order_acq_rel);
}

void CloseAudioAtExit(Host& host)
{
    g_pAudioAtExit = &host;
    static bool s_bRegistered = false;
    if (!s_bRegistered)
        s_bRegistered = std::atexit([] {
                            if (Host* p = g_pAudioAtExit.exchange(nullptr))
                                p->CloseAudio();
                        }) == 0;
}

void ForgetAudioAtExit(Host& host)
{
    Host* p = &host;
    g_pAudioAtExit.compare_exchange_strong(p, nullptr);
}

}  // namespace host
