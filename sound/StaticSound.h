// A short effect loaded whole, played one-shot on the first of its N voices that is idle.
#pragma once

#include "platform/win32.h"

class CStaticSoundBuffer;

class CStaticSound {
public:
    CStaticSound(const char* szFile, LPDIRECTSOUND lpDS, UINT nBuffers);
    CStaticSound(HINSTANCE hInst, UINT nId, LPDIRECTSOUND lpDS, UINT nBuffers);
    ~CStaticSound();

    int Play();
    HRESULT Stop(UINT nBuffer);
    // Finds the first "fmt " and "data" chunks of a RIFF WAVE image of cbRes bytes; false when
    // either is missing or a chunk runs past the image.
    bool ParseWaveResource(void* pvRes, DWORD cbRes);
    bool CreateBuffer(LPDIRECTSOUND lpDS);

    CStaticSoundBuffer** m_ppBuffers;
    UINT m_nBuffers;
    UINT m_cbSize;
    DWORD m_dwSamples;
    WAVEFORMATEX* m_pwfxInfo;
    BYTE* m_pbData;
    // A sound loaded from a resource keeps this private copy of it (malloc); null for a file.
    void* m_pResource;

private:
    // The blocks WaveLoadFile allocated, released with the sound whatever the fields point at.
    WAVEFORMATEX* m_pwfxLoaded;
    BYTE* m_pbLoaded;

    void CreateVoices(LPDIRECTSOUND lpDS, UINT nBuffers, int nAssertLine);
};
