#include "sound/SoundBase.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "assert/Assert.h"
#include "sound/StaticSound.h"
#include "sound/StreamSound.h"

CSoundBase::CSoundBase(HWND hWnd)
    : m_lpDS(NULL), m_lpDSPrimary(NULL), m_ppStatic(NULL), m_nStatic(0), m_ppStream(NULL), m_nStream(0),
      m_bFailed(FALSE)
{
    HRESULT hr = DirectSoundCreate(NULL, &m_lpDS, NULL);
    if (hr != DS_OK) {
        m_lpDS = NULL;
        Fail("DirectSoundCreate", hr);
        return;
    }
    hr = m_lpDS->SetCooperativeLevel(hWnd, DSSCL_NORMAL);
    if (hr != DS_OK) {
        Fail("SetCooperativeLevel", hr);
        return;
    }
    DSBUFFERDESC dsbd;
    memset(&dsbd, 0, sizeof(dsbd));
    dsbd.dwSize = sizeof(DSBUFFERDESC);
    dsbd.dwFlags = DSBCAPS_PRIMARYBUFFER;
    hr = m_lpDS->CreateSoundBuffer(&dsbd, &m_lpDSPrimary, NULL);
    if (hr != DS_OK) {
        m_lpDSPrimary = NULL;
        Fail("the primary buffer", hr);
    }
}

CSoundBase::~CSoundBase()
{
    // The sounds go first: a stream's thread ends and every buffer is released while the
    // device they belong to is still there.
    for (UINT i = 0; i < m_nStream; i++)
        delete m_ppStream[i];
    for (UINT i = 0; i < m_nStatic; i++)
        delete m_ppStatic[i];
    if (m_lpDS != NULL) {
        if (m_lpDSPrimary != NULL)
            m_lpDSPrimary->Release();
        m_lpDS->Release();
    }
    if (m_ppStatic != NULL)
        free(m_ppStatic);
    if (m_ppStream != NULL)
        free(m_ppStream);
}

void CSoundBase::Fail(const char* pszStep, HRESULT hr)
{
    // A machine without sound still shows the production; one line says why it is silent.
    m_bFailed = TRUE;
    fprintf(stderr, "Sound: no audio output (%s failed, 0x%08lX); playing without sound.\n", pszStep,
            (unsigned long)(DWORD)hr);
}

template <typename T>
bool CSoundBase::Grow(T**& ppList, UINT nCount)
{
    T** ppNew = ppList ? (T**)realloc(ppList, sizeof(T*) * (nCount + 1)) : (T**)malloc(sizeof(T*));
    if (ppNew == NULL)
        return false;
    ppList = ppNew;
    return true;
}

int CSoundBase::AddStatic(const char* szFile, UINT nBuffers)
{
    if (m_bFailed || !Grow(m_ppStatic, m_nStatic))
        return -1;
    m_ppStatic[m_nStatic] = new (std::nothrow) CStaticSound(szFile, m_lpDS, nBuffers);
    return (int)m_nStatic++;
}

int CSoundBase::AddStaticResource(HINSTANCE hInst, UINT nId, UINT nBuffers)
{
    if (m_bFailed || !Grow(m_ppStatic, m_nStatic))
        return -1;
    m_ppStatic[m_nStatic] = new (std::nothrow) CStaticSound(hInst, nId, m_lpDS, nBuffers);
    return (int)m_nStatic++;
}

int CSoundBase::AddStream(const char* szFile)
{
    if (m_bFailed || !Grow(m_ppStream, m_nStream))
        return -1;
    m_ppStream[m_nStream] = new (std::nothrow) CStreamSound(szFile, m_lpDS);
    return (int)m_nStream++;
}

int CSoundBase::PlayStatic(UINT nIndex)
{
    if (nIndex >= m_nStatic || m_ppStatic[nIndex] == NULL)
        return -1;
    return m_ppStatic[nIndex]->Play();
}

void CSoundBase::StopStatic(UINT nIndex, UINT nBuffer)
{
    if (nIndex >= m_nStatic || m_ppStatic[nIndex] == NULL)
        return;
    HRESULT hr = m_ppStatic[nIndex]->Stop(nBuffer);
    ASSERT_AT(hr==DS_OK, 112);
}

void CSoundBase::PlayStream(UINT nIndex)
{
    if (nIndex >= m_nStream || m_ppStream[nIndex] == NULL)
        return;
    m_ppStream[nIndex]->Play();
}
