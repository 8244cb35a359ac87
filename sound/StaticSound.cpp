#include "sound/StaticSound.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "assert/Assert.h"
#include "sound/StaticSoundBuffer.h"
#include "sound/wave.h"

namespace {

DWORD ReadDword(const BYTE* p)
{
    return DWORD(p[0]) | (DWORD(p[1]) << 8) | (DWORD(p[2]) << 16) | (DWORD(p[3]) << 24);
}

bool IsId(const BYTE* p, const char* pszId)
{
    return memcmp(p, pszId, 4) == 0;
}

}  // namespace

CStaticSound::CStaticSound(const char* szFile, LPDIRECTSOUND lpDS, UINT nBuffers)
    : m_ppBuffers(NULL), m_nBuffers(0), m_cbSize(0), m_dwSamples(0), m_pwfxInfo(NULL), m_pbData(NULL),
      m_pResource(NULL), m_pwfxLoaded(NULL), m_pbLoaded(NULL)
{
    m_ppBuffers = (CStaticSoundBuffer**)malloc(sizeof(CStaticSoundBuffer*) * (nBuffers ? nBuffers : 1));
    if (m_ppBuffers)
        m_ppBuffers[0] = NULL;
    ASSERT_FILE_AT(WaveLoadFile(szFile,&m_cbSize,&m_dwSamples,&m_pwfxInfo,&m_pbData) == 0, 7, szFile);
    m_pwfxLoaded = m_pwfxInfo;
    m_pbLoaded = m_pbData;
    // A file that did not load has been reported once; its voices would only fail again, one
    // report each, so the sound stays silent instead.
    if (m_pwfxInfo == NULL || m_pbData == NULL) {
        free(m_ppBuffers);
        m_ppBuffers = NULL;
        return;
    }
    CreateVoices(lpDS, nBuffers, 11);
    m_nBuffers = nBuffers;
}

CStaticSound::CStaticSound(HINSTANCE hInst, UINT nId, LPDIRECTSOUND lpDS, UINT nBuffers)
    : m_ppBuffers(NULL), m_nBuffers(0), m_cbSize(0), m_dwSamples(0), m_pwfxInfo(NULL), m_pbData(NULL),
      m_pResource(NULL), m_pwfxLoaded(NULL), m_pbLoaded(NULL)
{
    // None of the failures on this path is reported: the sound is then silent.
    HRSRC hRes = FindResourceA(hInst, MAKEINTRESOURCEA(LOWORD(nId)), "WAVE");
    if (hRes != NULL) {
        HGLOBAL hGlobal = LoadResource(hInst, hRes);
        if (hGlobal != NULL) {
            void* pvRes = LockResource(hGlobal);
            DWORD cbRes = SizeofResource(hInst, hRes);
            // Two zero bytes past the copy: a format chunk used in place that ends the image
            // still reads as a WAVEFORMATEX with no extra bytes.
            m_pResource = pvRes ? malloc(cbRes + 2) : NULL;
            if (m_pResource) {
                memcpy(m_pResource, pvRes, cbRes);
                memset((BYTE*)m_pResource + cbRes, 0, 2);
                if (ParseWaveResource(m_pResource, cbRes)) {
                    m_ppBuffers = (CStaticSoundBuffer**)malloc(sizeof(CStaticSoundBuffer*) * (nBuffers ? nBuffers : 1));
                    if (m_ppBuffers) {
                        m_ppBuffers[0] = NULL;
                        CreateVoices(lpDS, nBuffers, 74);
                    }
                } else {
                    free(m_pResource);
                    m_pResource = NULL;
                }
            }
            FreeResource(hGlobal);
        }
    }
    m_nBuffers = nBuffers;
}

CStaticSound::~CStaticSound()
{
    if (m_ppBuffers) {
        for (UINT i = 0; i < m_nBuffers; i++)
            delete m_ppBuffers[i];
        free(m_ppBuffers);
    }
    free(m_pResource);  // a resource's format and data point into it
    if (m_pwfxLoaded)
        GlobalFree(m_pwfxLoaded);
    if (m_pbLoaded)
        GlobalFree(m_pbLoaded);
}

void CStaticSound::CreateVoices(LPDIRECTSOUND lpDS, UINT nBuffers, int nAssertLine)
{
    if (!m_ppBuffers)
        return;
    for (UINT i = 0; i < nBuffers; i++) {
        m_ppBuffers[i] = new (std::nothrow) CStaticSoundBuffer(lpDS, this);
        if (!m_ppBuffers[i])
            AssertReport("m_ppBuffers[i] = new CStaticSoundBuffer(lpDS, this)", __FILE__, nAssertLine);
    }
}

bool CStaticSound::ParseWaveResource(void* pvRes, DWORD cbRes)
{
    m_pwfxInfo = NULL;
    m_pbData = NULL;
    m_cbSize = 0;
    BYTE* pbRes = (BYTE*)pvRes;
    if (!pbRes || cbRes < 12)
        return false;
    // The walk ends at the RIFF chunk's end or the image's, whichever comes first; 64-bit sums
    // keep a huge length from wrapping round to a small position.
    unsigned long long nEnd = 8ull + ReadDword(pbRes + 4);
    if (nEnd > cbRes)
        nEnd = cbRes;
    unsigned long long nPos = 12;
    while (nPos + 8 <= nEnd) {
        BYTE* pbChunk = pbRes + nPos;
        DWORD dwLength = ReadDword(pbChunk + 4);
        unsigned long long nBody = nPos + 8;
        if (nBody + dwLength > nEnd)
            return false;  // a chunk that runs past the image
        if (IsId(pbChunk, "fmt ") && dwLength >= 16) {
            if (m_pwfxInfo == NULL)
                m_pwfxInfo = (WAVEFORMATEX*)(pbRes + nBody);
            if (m_pbData != NULL && m_cbSize != 0)
                return true;
        } else if (IsId(pbChunk, "data")) {
            if (m_pbData == NULL && m_cbSize == 0) {
                m_pbData = pbRes + nBody;
                m_cbSize = dwLength;
            }
            if (m_pwfxInfo != NULL)
                return true;
        }
        nPos = nBody + ((unsigned long long)dwLength + 1) / 2 * 2;
    }
    return false;
}

bool CStaticSound::CreateBuffer(LPDIRECTSOUND lpDS)
{
    if (!m_ppBuffers || !m_ppBuffers[0])
        return false;
    CStaticSoundBuffer* pVoice = m_ppBuffers[0];
    DSBUFFERDESC dsbd;
    memset(&dsbd, 0, sizeof(dsbd));
    dsbd.dwSize = sizeof(DSBUFFERDESC);
    dsbd.dwFlags =
        DSBCAPS_STATIC | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME | DSBCAPS_GETCURRENTPOSITION2;
    dsbd.dwBufferBytes = m_cbSize;
    dsbd.lpwfxFormat = m_pwfxInfo;
    // The duplicates hold their own references to the shared samples, so the old first buffer
    // can go.
    LPDIRECTSOUNDBUFFER lpOld = pVoice->m_lpDSBuffer;
    pVoice->m_lpDSBuffer = NULL;
    HRESULT hr = lpDS->CreateSoundBuffer(&dsbd, &pVoice->m_lpDSBuffer, NULL);
    ASSERT_AT(hr==DS_OK, 33);
    if (lpOld)
        lpOld->Release();
    if (hr != DS_OK)
        return true;
    BYTE* pbData = NULL;
    BYTE* pbData2 = NULL;
    DWORD dwLength = 0, dwLength2 = 0;
    hr = pVoice->m_lpDSBuffer->Lock(0, m_cbSize, (LPVOID*)&pbData, &dwLength, (LPVOID*)&pbData2, &dwLength2, 0);
    ASSERT_AT(hr==DS_OK, 37);
    if (hr != DS_OK)
        return true;
    ASSERT_AT(pbData != NULL, 39);
    if (pbData != NULL)
        memcpy(pbData, m_pbData, m_cbSize);
    hr = pVoice->m_lpDSBuffer->Unlock(pbData, m_cbSize, NULL, 0);
    ASSERT_AT(hr==DS_OK, 44);
    return true;
}

int CStaticSound::Play()
{
    if (!m_ppBuffers)
        return -1;  // a resource that could not be loaded: no voices
    UINT i;
    for (i = 0; i < m_nBuffers; i++) {
        CStaticSoundBuffer* pVoice = m_ppBuffers[i];
        DWORD dwStatus = 0;
        if (!pVoice || !pVoice->m_lpDSBuffer || pVoice->m_lpDSBuffer->GetStatus(&dwStatus) != DS_OK)
            return -1;
        if (!(dwStatus & DSBSTATUS_PLAYING))
            break;
    }
    if (i == m_nBuffers)
        return -1;  // every voice still sounds; none is cut off
    if (m_ppBuffers[i]->Play(0) != DS_OK)
        return -1;
    return (int)i;
}

HRESULT CStaticSound::Stop(UINT nBuffer)
{
    // An index past the voices, or a sound without voices, is a caller's error, told by its code.
    if (!m_ppBuffers || nBuffer >= m_nBuffers || !m_ppBuffers[nBuffer])
        return DSERR_INVALIDPARAM;
    return m_ppBuffers[nBuffer]->Stop();
}
