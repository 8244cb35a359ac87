#include "platform/host/sdl/sdl.h"

#include <SDL.h>

#include <utility>

#include "platform/host/sdl/message_box.h"
#include "platform/host/sdl/sdl_host.h"

namespace host {

SdlHost::SdlHost(const SdlOptions& options)
    : m_bInWindow(options.bDisplayInWindow), m_scaling(options.scaling),
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

BoxAnswer SdlHost::MessageBox(const std::string& caption, const std::string& text, BoxButtons kind, bool bError)
{
    return ShowMessageBox(caption, text, kind, bError);
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
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
        error = std::string("no display to show the production on (") + SDL_GetError() +
                "); run it where a display is, or under Xvfb";
        return nullptr;
    }
    return std::make_unique<SdlHost>(options);
}

}  // namespace host
