// The sound device and the owner of every sound: static sounds and streamed sounds in two lists,
// each addressed by the index its add returned, counted from 0 on each list.
#pragma once

#include "platform/win32.h"

class CStaticSound;
class CStreamSound;

class CSoundBase {
public:
    explicit CSoundBase(HWND hWnd);
    ~CSoundBase();

    int AddStatic(const char* szFile, UINT nBuffers);
    int AddStaticResource(HINSTANCE hInst, UINT nId, UINT nBuffers);
    int PlayStatic(UINT nIndex);
    void StopStatic(UINT nIndex, UINT nBuffer);
    int AddStream(const char* szFile);
    void PlayStream(UINT nIndex);

    LPDIRECTSOUND m_lpDS;
    LPDIRECTSOUNDBUFFER m_lpDSPrimary;
    CStaticSound** m_ppStatic;
    UINT m_nStatic;
    CStreamSound** m_ppStream;
    UINT m_nStream;
    BYTE m_bFailed;

private:
    void Fail(const char* pszStep, HRESULT hr);
    // Grows a list by one slot; false (the list as it was) when it cannot.
    template <typename T>
    static bool Grow(T**& ppList, UINT nCount);
};
