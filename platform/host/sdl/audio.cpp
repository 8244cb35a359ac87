#include "platform/host/sdl/audio.h"

#include <SDL.h>

#include <utility>

namespace host {

bool SdlAudio::Open(int nRate, int nChannels, AudioPull pull)
{
    Close();
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return false;
    m_pull = std::move(pull);
    m_nChannels = nChannels;
    SDL_AudioSpec want = {};
    want.freq = nRate;
    want.format = AUDIO_S16SYS;
    want.channels = static_cast<Uint8>(nChannels);
    // Small periods: the play cursor, and with it the music's block notifications, moves in steps
    // of under 6 ms of audio at 44100 Hz.
    want.samples = 256;
    want.callback = &SdlAudio::Callback;
    want.userdata = this;
    m_nDevice = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
    return m_nDevice != 0;
}

void SdlAudio::Start()
{
    if (m_nDevice != 0)
        SDL_PauseAudioDevice(m_nDevice, 0);
}

void SdlAudio::Close()
{
    if (m_nDevice != 0)
        SDL_CloseAudioDevice(m_nDevice);
    m_nDevice = 0;
}

void SdlAudio::Callback(void* pUser, uint8_t* pStream, int nBytes)
{
    auto* self = static_cast<SdlAudio*>(pUser);
    int nFrames = nBytes / (2 * self->m_nChannels);
    SDL_memset(pStream, 0, static_cast<size_t>(nBytes));
    if (!self->m_bHeld.load(std::memory_order_acquire))
        self->m_pull(reinterpret_cast<int16_t*>(pStream), nFrames);
}

}  // namespace host
