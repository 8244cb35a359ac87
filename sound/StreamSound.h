// A long PCM WAVE file played from disk through a looping buffer of four blocks; a notification
// thread refills each block as the play cursor leaves it, then pads with silence and stops the
// buffer once the data has played out.
#pragma once

#include "platform/win32.h"

class CStreamSound {
public:
    CStreamSound(const char* szFile, LPDIRECTSOUND lpDS);
    virtual ~CStreamSound();

    void Play();
    void Reset();
    void FillBuffer();
    HRESULT SetupNotifications();

    // m_bStopped is written by both threads; these read and write it whole, with ordering.
    BOOL IsStopped() const;
    void SetStopped(BOOL bStopped);

    // The middle of every write into the buffer, between its lock and its unlock (which keep
    // their own checks): the file's next bytes while it has some, silence after its end.
    void WriteLocked(LPBYTE lpWrite, DWORD dwBytes);
    // The next write starts after dwBytes more, round the buffer's end.
    void AdvanceWrite(DWORD dwBytes);

    WAVEFORMATEX* m_pwfxInfo;
    HMMIO m_hmmio;
    MMCKINFO m_mmck;
    MMCKINFO m_mmckInRIFF;
    LPDIRECTSOUNDBUFFER m_lpDSBuffer;
    LPDIRECTSOUNDNOTIFY m_lpDSNotify;
    DWORD m_dwBufferSize;
    DWORD m_dwNotifySize;
    DWORD m_dwNextWriteOffset;
    DWORD m_dwBytesPlayed;
    DWORD m_dwLastPlayPos;
    BOOL m_bStopped;
    BOOL m_bFoundEnd;
    HANDLE m_hNotifyEvent[2];
    // The running notification thread, kept so that a restart or teardown can wait for it.
    HANDLE m_hThread;
    // The boundary event as it was armed; the thread may clear m_hNotifyEvent, never this.
    HANDLE m_hWakeEvent;

private:
    void EndThread();
    BYTE Silence() const;
};

// The notification thread's routine; its parameter is the stream.
DWORD WINAPI HandleNotifications(LPVOID pParam);
