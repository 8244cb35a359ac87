// One voice of a static sound: a secondary buffer holding the whole sound, the first one filled
// from the sound's data, every further one a duplicate sharing those samples.
#pragma once

#include "platform/win32.h"

class CStaticSound;

class CStaticSoundBuffer {
public:
    CStaticSoundBuffer(LPDIRECTSOUND lpDS, CStaticSound* pOwner);
    ~CStaticSoundBuffer();

    HRESULT Play(DWORD dwFlags);
    HRESULT Stop();

    LPDIRECTSOUNDBUFFER m_lpDSBuffer;
};
