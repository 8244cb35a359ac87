#include "sound/StaticSoundBuffer.h"

#include <cstring>

#include "assert/Assert.h"
#include "sound/StaticSound.h"

CStaticSoundBuffer::CStaticSoundBuffer(LPDIRECTSOUND lpDS, CStaticSound* pOwner) : m_lpDSBuffer(NULL)
{
    HRESULT hr;
    if (pOwner->m_ppBuffers[0] != NULL) {
        // Further voices share the first one's samples, each with its own position and status.
        hr = lpDS->DuplicateSoundBuffer(pOwner->m_ppBuffers[0]->m_lpDSBuffer, &m_lpDSBuffer);
        ASSERT_AT(hr == DS_OK, 36);
        return;
    }

    DSBUFFERDESC dsbd;
    memset(&dsbd, 0, sizeof(dsbd));
    dsbd.dwSize = sizeof(DSBUFFERDESC);
    dsbd.dwFlags =
        DSBCAPS_STATIC | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME | DSBCAPS_GETCURRENTPOSITION2;
    dsbd.dwBufferBytes = pOwner->m_cbSize;
    dsbd.lpwfxFormat = pOwner->m_pwfxInfo;
    hr = lpDS->CreateSoundBuffer(&dsbd, &m_lpDSBuffer, NULL);
    ASSERT_AT(hr==DS_OK, 23);
    if (hr != DS_OK)
        return;  // went on after the report: a voice without a buffer, which plays nothing

    BYTE* pbData = NULL;
    BYTE* pbData2 = NULL;
    DWORD dwLength = 0, dwLength2 = 0;
    hr = m_lpDSBuffer->Lock(0, pOwner->m_cbSize, (LPVOID*)&pbData, &dwLength, (LPVOID*)&pbData2, &dwLength2, 0);
    ASSERT_AT(hr==DS_OK, 26);
    if (hr != DS_OK)
        return;
    ASSERT_AT(pbData != NULL, 28);
    if (pbData != NULL)
        memcpy(pbData, pOwner->m_pbData, pOwner->m_cbSize);
    hr = m_lpDSBuffer->Unlock(pbData, pOwner->m_cbSize, NULL, 0);
    ASSERT_AT(hr==DS_OK, 33);
}

CStaticSoundBuffer::~CStaticSoundBuffer()
{
    if (m_lpDSBuffer)
        m_lpDSBuffer->Release();
}

HRESULT CStaticSoundBuffer::Play(DWORD dwFlags)
{
    if (!m_lpDSBuffer)
        return DSERR_INVALIDCALL;
    return m_lpDSBuffer->Play(0, 0, dwFlags);
}

HRESULT CStaticSoundBuffer::Stop()
{
    if (!m_lpDSBuffer)
        return DSERR_INVALIDCALL;
    return m_lpDSBuffer->Stop();
}
