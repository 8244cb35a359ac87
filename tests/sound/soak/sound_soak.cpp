// The sound system in real time on the SDL host: a 74-second stream with three effects started at
// random moments, while another thread keeps a core busy. At the end it reports the underruns the
// stand-in counted and, when SDL's "disk" audio driver wrote the device's output to a file
// (SDL_AUDIODRIVER=disk, SDL_DISKAUDIOFILE=PATH), whether the music came out whole and in order.
// The music sits on the left channel and the effects on the right, so the check is exact.
//   sound_soak [SECONDS]
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/host/sdl/sdl.h"
#include "platform/standin/testing.h"
#include "platform/win32.h"
#include "sound/SoundBase.h"
#include "sound/StreamSound.h"
#include "sound/wave.h"

namespace {

int16_t MusicSample(size_t i)
{
    return int16_t(((uint32_t(i) * 2654435761u) >> 16) | 1);  // never 0: silence is told apart
}

bool WriteStereo(const char* pszName, const std::vector<int16_t>& samples)
{
    WAVEFORMATEX wfx = {};
    wfx.wFormatTag = WAVE_FORMAT_PCM;
    wfx.nChannels = 2;
    wfx.nSamplesPerSec = 44100;
    wfx.wBitsPerSample = 16;
    wfx.nBlockAlign = 4;
    wfx.nAvgBytesPerSec = 44100 * 4;
    return WaveStoreFile(pszName, UINT(samples.size() * 2), DWORD(samples.size() / 2), &wfx,
                         reinterpret_cast<const BYTE*>(samples.data())) == 0;
}

// Frames of music found in order on the left channel of the written output.
size_t MusicFramesInOrder(const char* pszFile, size_t nFrames)
{
    std::FILE* f = std::fopen(pszFile, "rb");
    if (!f)
        return 0;
    std::vector<int16_t> out;
    int16_t s[2];
    while (std::fread(s, sizeof s, 1, f) == 1)
        out.push_back(s[0]);
    std::fclose(f);
    size_t nStart = 0;
    while (nStart < out.size() && out[nStart] == 0)
        ++nStart;
    size_t n = 0;
    while (n < nFrames && nStart + n < out.size() && out[nStart + n] == MusicSample(n))
        ++n;
    return n;
}

}  // namespace

int main(int argc, char** argv)
{
    const double dSeconds = argc > 1 ? std::atof(argv[1]) : 74.0;
    const size_t nFrames = size_t(dSeconds * 44100);
    std::vector<int16_t> music(nFrames * 2, 0);
    for (size_t i = 0; i < nFrames; ++i)
        music[2 * i] = MusicSample(i);
    std::mt19937 rng(1234);
    if (!WriteStereo("soak_music.wav", music))
        return 2;
    const char* effects[] = {"soak_thx.wav", "soak_bang.wav", "soak_dshoof.wav"};
    for (int e = 0; e < 3; ++e) {
        std::vector<int16_t> fx(size_t(44100 * (0.4 + 0.4 * e)) * 2, 0);
        for (size_t i = 0; i < fx.size(); i += 2)
            fx[i + 1] = int16_t(int(rng() % 20000) - 10000);
        if (!WriteStereo(effects[e], fx))
            return 2;
    }

    std::string error;
    auto pHost = host::MakeSdlHost(error);
    if (!pHost) {
        std::fprintf(stderr, "sound_soak: %s\n", error.c_str());
        return 2;
    }
    host::Install(std::move(pHost));

    std::atomic<bool> bBusy{true};
    std::thread busy([&] {
        volatile unsigned long n = 0;
        while (bBusy)
            n = n + 1;
    });

    // The stand-in's device takes any window for its cooperative level.
    CSoundBase* pBase = new CSoundBase(reinterpret_cast<HWND>(uintptr_t(1)));
    if (pBase->m_bFailed)
        return 2;
    pBase->AddStream("soak_music.wav");
    for (const char* pszEffect : effects)
        pBase->AddStatic(pszEffect, 4);
    pBase->PlayStream(0);
    long nStart = host::WallClockMs(), nNext = nStart + 300;
    int nPlays = 0;
    CStreamSound* pMusic = pBase->m_ppStream[0];
    DWORD dwStatus = DSBSTATUS_PLAYING;
    while (dwStatus & DSBSTATUS_PLAYING) {
        Sleep(10);
        if (host::WallClockMs() >= nNext) {
            if (pBase->PlayStatic(rng() % 3) >= 0)
                ++nPlays;
            nNext = host::WallClockMs() + 300 + long(rng() % 2700);
        }
        pMusic->m_lpDSBuffer->GetStatus(&dwStatus);
        if (host::WallClockMs() - nStart > long(dSeconds * 1000) + 10000)
            break;
    }
    long nTook = host::WallClockMs() - nStart;
    bBusy = false;
    busy.join();
    delete pBase;
    host::Install(nullptr);  // closes the device: the output file is complete

    unsigned long long nUnderruns = standin::DirectSoundUnderruns();
    std::printf("played %.1f s of music in %.1f s with %d effects: %llu underruns\n", dSeconds, nTook / 1000.0, nPlays,
                nUnderruns);
    int nResult = nUnderruns == 0 ? 0 : 1;
    if (const char* pszOut = std::getenv("SDL_DISKAUDIOFILE")) {
        size_t n = MusicFramesInOrder(pszOut, nFrames);
        std::printf("music in order in %s: %zu of %zu frames\n", pszOut, n, nFrames);
        if (n != nFrames)
            nResult = 1;
    }
    return nResult;
}
