#include "platform/host/sdl/sdl.h"

#include <SDL.h>

#include <thread>
#include <utility>

#include "platform/host/sdl/message_box.h"
#include "platform/host/sdl/sdl_host.h"

namespace host {

SdlHost::SdlHost(const SdlOptions& options)
    : m_bInWindow(options.bDisplayInWindow), m_scaling(options.scaling), m_pacerClock(options.pacerClock),
      m_launch(options.bReportFirstFrame, options.dLaunchedAtMs, options.bLaunchGiven), m_frameLog(options.frameLog)
{
    // The image's own pixels are never filtered; only the display's smooth step is (windows.cpp).
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
}

SdlHost::~SdlHost()
{
    CloseAudio();
    for (auto& w : m_windows)
        Release(w.second);
    SDL_Quit();
}

// The box sits over the display (else any window shown); the display shows its frame again after.
BoxAnswer SdlHost::MessageBox(const std::string& caption, const std::string& text, BoxButtons kind, bool bError)
{
    Win* pOver = DisplayWindow();
    for (auto it = m_windows.begin(); !pOver && it != m_windows.end(); ++it)
        if (it->second.bShown)
            pOver = &it->second;
    const bool bOnMainThread = std::this_thread::get_id() == m_mainThread;
    BoxAnswer answer = ShowMessageBox(caption, text, kind, bError, pOver ? pOver->pWindow : nullptr, bOnMainThread);
    if (bOnMainThread)
        ShowDisplay();
    return answer;
}

bool SdlHost::OpenAudio(int nRate, int nChannels, AudioPull pull)
{
    CloseAudio();
    if (!m_audio.Open(nRate, nChannels, std::move(pull)))
        return false;
    CloseAudioAtExit(*this);
    m_audio.Start();
    return true;
}

void SdlHost::CloseAudio()
{
    m_audio.Close();  // returns once the callback has returned for the last time
    ForgetAudioAtExit(*this);
}

std::unique_ptr<Host> MakeSdlHost(std::string& error, const SdlOptions& options)
{
    // The signals that end a run are the process's own (platform/host/signals.h), not SDL's.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
        error = std::string("no display to show the production on (") + SDL_GetError() +
                "); run it where a display is, or under Xvfb";
        return nullptr;
    }
    return std::make_unique<SdlHost>(options);
}

}  // namespace host
