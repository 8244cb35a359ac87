#include "sound/StreamSound.h"

#include <cstring>

#include "assert/Assert.h"
#include "sound/wave.h"

CStreamSound::CStreamSound(const char* szFile, LPDIRECTSOUND lpDS)
    : m_pwfxInfo(NULL), m_hmmio(NULL), m_lpDSBuffer(NULL), m_lpDSNotify(NULL), m_dwBufferSize(0), m_dwNotifySize(0),
      m_dwNextWriteOffset(0), m_dwBytesPlayed(0), m_dwLastPlayPos(0), m_bStopped(TRUE), m_bFoundEnd(FALSE),
      m_hThread(NULL), m_hWakeEvent(NULL)
{
    memset(&m_mmck, 0, sizeof(m_mmck));
    memset(&m_mmckInRIFF, 0, sizeof(m_mmckInRIFF));
    m_hNotifyEvent[0] = m_hNotifyEvent[1] = NULL;

    ASSERT_FILE_AT(WaveOpenFile( szFile, &m_hmmio, &m_pwfxInfo, &m_mmckInRIFF ) == 0, 17, szFile);
    if (m_pwfxInfo == NULL)
        return;  // went on after the report: a stream that never plays
    ASSERT_FILE_AT(m_pwfxInfo->wFormatTag == WAVE_FORMAT_PCM, 18, szFile);
    ASSERT_AT(WaveStartDataRead( &m_hmmio, &m_mmck, &m_mmckInRIFF ) == 0, 19);

    // Four blocks of three quarters of a second each, a block a whole number of frames. A
    // format without a frame size is left to the device to refuse.
    m_dwNotifySize = m_pwfxInfo->nSamplesPerSec * 3 * m_pwfxInfo->nBlockAlign;
    m_dwNotifySize >>= 2;
    if (m_pwfxInfo->nBlockAlign != 0 && m_dwNotifySize % m_pwfxInfo->nBlockAlign != 0)
        m_dwNotifySize += m_pwfxInfo->nBlockAlign - m_dwNotifySize % m_pwfxInfo->nBlockAlign;
    m_dwBufferSize = 4 * m_dwNotifySize;

    DSBUFFERDESC dsbd;
    memset(&dsbd, 0, sizeof(dsbd));
    dsbd.dwSize = sizeof(DSBUFFERDESC);
    dsbd.dwFlags = DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPOSITIONNOTIFY |
                   DSBCAPS_GLOBALFOCUS | DSBCAPS_GETCURRENTPOSITION2;
    dsbd.dwBufferBytes = m_dwBufferSize;
    dsbd.lpwfxFormat = m_pwfxInfo;
    ASSERT_AT(lpDS->CreateSoundBuffer( &dsbd, &m_lpDSBuffer,NULL ) == DS_OK, 40);
    if (m_lpDSBuffer == NULL)
        return;

    m_bFoundEnd = FALSE;
    m_dwNextWriteOffset = 0;
    m_lpDSBuffer->QueryInterface(IID_IDirectSoundNotify, (LPVOID*)&m_lpDSNotify);
    FillBuffer();
    m_bStopped = TRUE;
}

CStreamSound::~CStreamSound()
{
    EndThread();
    if (m_lpDSNotify)
        m_lpDSNotify->Release();
    if (m_lpDSBuffer)
        m_lpDSBuffer->Release();
    WaveCloseInput(&m_hmmio, &m_pwfxInfo);
}

BOOL CStreamSound::IsStopped() const
{
    return __atomic_load_n(&m_bStopped, __ATOMIC_ACQUIRE);
}

void CStreamSound::SetStopped(BOOL bStopped)
{
    __atomic_store_n(&m_bStopped, bStopped, __ATOMIC_RELEASE);
}

BYTE CStreamSound::Silence() const
{
    return m_pwfxInfo->wBitsPerSample == 8 ? 0x80 : 0x00;
}

void CStreamSound::FillBuffer()
{
    LPBYTE lpWrite1 = NULL, lpWrite2 = NULL;
    DWORD dwLen1 = 0, dwLen2 = 0;
    DWORD dwBytes = m_dwBufferSize;
    if (m_lpDSBuffer == NULL)
        return;
    ASSERT_AT(m_lpDSBuffer->Lock( 0, dwBytes,(LPLPVOID)&lpWrite1, &dwLen1,(LPLPVOID)&lpWrite2, &dwLen2, 0 )==DS_OK, 70);
    ASSERT_AT(lpWrite2==NULL, 71);
    ASSERT_AT(dwLen2==0, 72);
    ASSERT_AT(dwLen1!=0, 74);
    ASSERT_AT(lpWrite1!=NULL, 75);
    ASSERT_AT(m_dwNextWriteOffset < m_dwBufferSize, 76);
    if (lpWrite1 == NULL)
        return;
    WriteLocked(lpWrite1, dwLen1);
    ASSERT_AT(m_lpDSBuffer->Unlock((LPVOID)lpWrite1, dwLen1,NULL, 0 )==DS_OK, 114);
    AdvanceWrite(dwLen1);
}

void CStreamSound::WriteLocked(LPBYTE lpWrite, DWORD dwBytes)
{
    UINT nRead = 0;
    if (m_bFoundEnd == FALSE)
        WaveReadData(m_hmmio, dwBytes, lpWrite, &m_mmck, &nRead);
    if (nRead < dwBytes) {
        memset(lpWrite + nRead, Silence(), dwBytes - nRead);
        m_bFoundEnd = TRUE;
    }
}

void CStreamSound::AdvanceWrite(DWORD dwBytes)
{
    m_dwNextWriteOffset += dwBytes;
    if (m_dwNextWriteOffset >= m_dwBufferSize)
        m_dwNextWriteOffset -= m_dwBufferSize;
}

void CStreamSound::Reset()
{
    ASSERT_AT(WaveStartDataRead( &m_hmmio, &m_mmck, &m_mmckInRIFF )==DS_OK, 54);
    m_bFoundEnd = FALSE;
    m_dwNextWriteOffset = 0;
    m_dwBytesPlayed = 0;
    m_dwLastPlayPos = 0;
    FillBuffer();
    SetStopped(FALSE);
}

void CStreamSound::EndThread()
{
    if (m_hThread == NULL)
        return;
    // A thread still running waits for a boundary (after its end test, up to a block away).
    // Marked stopped and woken at once, it stops the buffer and ends without touching the
    // stream again.
    if (WaitForSingleObject(m_hThread, 0) == WAIT_TIMEOUT) {
        SetStopped(TRUE);
        SetEvent(m_hWakeEvent);
        WaitForSingleObject(m_hThread, INFINITE);
    }
    CloseHandle(m_hThread);
    m_hThread = NULL;
    // The events of a run that ended through its end test are still open.
    for (int i = 0; i < 2; i++)
        if (m_hNotifyEvent[i] != NULL) {
            CloseHandle(m_hNotifyEvent[i]);
            m_hNotifyEvent[i] = NULL;
        }
}

void CStreamSound::Play()
{
    if (!IsStopped())
        return;  // a playing stream is not restarted
    if (m_lpDSBuffer == NULL)
        return;
    // One thread a stream: the previous run's thread has ended before a new one starts.
    EndThread();
    Reset();
    ASSERT_AT(SetupNotifications()==DS_OK, 127);
    ASSERT_AT(m_lpDSBuffer->SetCurrentPosition(0)==DS_OK, 128);
    m_lpDSBuffer->Play(0, 0, DSBPLAY_LOOPING);
}

HRESULT CStreamSound::SetupNotifications()
{
    DSBPOSITIONNOTIFY PositionNotify[5];
    DWORD dwThreadId;
    HRESULT hr;

    m_hNotifyEvent[0] = CreateEventA(NULL, FALSE, FALSE, NULL);
    ASSERT_AT(m_hNotifyEvent[0], 143);
    m_hNotifyEvent[1] = CreateEventA(NULL, FALSE, FALSE, NULL);
    ASSERT_AT(m_hNotifyEvent[1], 145);
    m_hWakeEvent = m_hNotifyEvent[0];

    // A boundary after each block; the last one on the buffer's last byte, which the cursor
    // passes before it wraps.
    for (int i = 0; i < 4; i++) {
        PositionNotify[i].dwOffset = m_dwNotifySize * (i + 1);
        PositionNotify[i].hEventNotify = m_hNotifyEvent[0];
    }
    PositionNotify[3].dwOffset = m_dwBufferSize - 1;
    PositionNotify[4].dwOffset = DSBPN_OFFSETSTOP;
    PositionNotify[4].hEventNotify = m_hNotifyEvent[1];

    m_hThread = CreateThread(NULL, 0, (LPTHREAD_START_ROUTINE)HandleNotifications, (LPVOID)this, 0, &dwThreadId);
    if (!(m_hThread != NULL))
        AssertReport(
            "CreateThread(NULL, 0, (LPTHREAD_START_ROUTINE)HandleNotifications, (LPVOID)this, 0, &dwThreadId) != NULL",
            __FILE__, 161);

    if (m_lpDSNotify == NULL)
        hr = DSERR_NOINTERFACE;  // a buffer without position notification: nothing to arm
    else
        hr = m_lpDSNotify->SetNotificationPositions(5, PositionNotify);
    ASSERT_AT(hr==DS_OK, 167);
    return hr;
}

namespace {

// Fills one block after the cursor has left it: data while the file has some, then silence. The
// two ways differ only in their checks' lines and texts, which each report gives as it is.
void RefillBlock(CStreamSound* pSnd)
{
    LPBYTE lpWrite1 = NULL;
    DWORD dwWrite1 = 0;
    if (pSnd->m_bFoundEnd == FALSE) {
        ASSERT_AT(pSnd->m_lpDSBuffer->Lock(pSnd->m_dwNextWriteOffset,pSnd->m_dwNotifySize,(LPLPVOID)&lpWrite1,&dwWrite1,NULL, NULL, 0) == DS_OK, 221);
        if (lpWrite1 == NULL)
            return;
        pSnd->WriteLocked(lpWrite1, dwWrite1);
        ASSERT_AT(pSnd->m_lpDSBuffer->Unlock((LPVOID)lpWrite1, dwWrite1, NULL, 0 ) == DS_OK, 260);
        pSnd->AdvanceWrite(dwWrite1);
        return;
    }

    ASSERT_AT(pSnd->m_lpDSBuffer->Lock( pSnd->m_dwNextWriteOffset, pSnd->m_dwNotifySize, (LPLPVOID)&lpWrite1, &dwWrite1, NULL, NULL, 0) == DS_OK, 279);
    if (lpWrite1 == NULL)
        return;
    pSnd->WriteLocked(lpWrite1, dwWrite1);
    ASSERT_AT(pSnd->m_lpDSBuffer->Unlock((LPVOID)lpWrite1, dwWrite1, NULL, 0 ) == DS_OK, 281);
    pSnd->AdvanceWrite(dwWrite1);

    // The data has played out once the bytes played reach the stream's length less one block
    // (the difference taken modulo 2^32, as the counters are) or the length itself.
    DWORD dwLength = pSnd->m_mmckInRIFF.cksize;
    if (pSnd->m_dwBytesPlayed >= dwLength - pSnd->m_dwNotifySize || pSnd->m_dwBytesPlayed >= dwLength)
        pSnd->SetStopped(TRUE);
}

void CountPlayed(CStreamSound* pSnd)
{
    DWORD dwPlayPos = 0, dwWritePos = 0;
    ASSERT_AT(pSnd->m_lpDSBuffer->GetCurrentPosition(&dwPlayPos, &dwWritePos) == DS_OK, 201);
    if (dwPlayPos >= pSnd->m_dwLastPlayPos)
        pSnd->m_dwBytesPlayed += dwPlayPos - pSnd->m_dwLastPlayPos;
    else
        pSnd->m_dwBytesPlayed += pSnd->m_dwBufferSize - pSnd->m_dwLastPlayPos + dwPlayPos;
    pSnd->m_dwLastPlayPos = dwPlayPos;
}

}  // namespace

DWORD WINAPI HandleNotifications(LPVOID pParam)
{
    CStreamSound* pSnd = (CStreamSound*)pParam;
    for (;;) {
        DWORD dwResult = WaitForMultipleObjects(2, pSnd->m_hNotifyEvent, FALSE, INFINITE);
        if (dwResult == WAIT_FAILED)
            return 1;
        // Whatever woke the thread, a stream marked stopped is stopped here.
        if (pSnd->IsStopped()) {
            ASSERT_AT(pSnd->m_lpDSBuffer->Stop() == DS_OK, 185);
            return 1;
        }
        if (dwResult == WAIT_OBJECT_0) {
            CountPlayed(pSnd);
            RefillBlock(pSnd);
        } else if (dwResult == WAIT_OBJECT_0 + 1) {
            // The buffer stopped: the run is over; the cleared handles end the next wait.
            pSnd->SetStopped(TRUE);
            if (pSnd->m_lpDSBuffer != NULL)
                ASSERT_AT(pSnd->m_lpDSBuffer->Stop() == DS_OK, 306);
            CloseHandle(pSnd->m_hNotifyEvent[0]);
            CloseHandle(pSnd->m_hNotifyEvent[1]);
            pSnd->m_hNotifyEvent[0] = NULL;
            pSnd->m_hNotifyEvent[1] = NULL;
        } else {
            ASSERT_AT(FALSE, 315);
        }
    }
}
