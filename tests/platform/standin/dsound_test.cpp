// DirectSound as the sound code uses it, the same tests against the stand-in natively and the
// real DirectSound under Wine where timing allows: buffer descriptions taken and refused, locks
// that wrap, duplicates sharing their samples, notification arming. Natively, where pulls move the
// play cursor, the events are checked to the byte.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/sound/sound_fixture.h"

namespace {

using namespace soundtest;

WAVEFORMATEX Pcm(WORD nChannels, DWORD nRate, WORD nBits)
{
    WAVEFORMATEX wfx;
    std::memset(&wfx, 0, sizeof(wfx));
    wfx.wFormatTag = WAVE_FORMAT_PCM;
    wfx.nChannels = nChannels;
    wfx.nSamplesPerSec = nRate;
    wfx.wBitsPerSample = nBits;
    wfx.nBlockAlign = WORD(nChannels * nBits / 8);
    wfx.nAvgBytesPerSec = nRate * wfx.nBlockAlign;
    return wfx;
}

class DirectSound : public Device {
protected:
    LPDIRECTSOUNDBUFFER Make(DWORD dwFlags, DWORD dwBytes, WAVEFORMATEX wfx, HRESULT* phr = NULL)
    {
        m_wfx = wfx;
        DSBUFFERDESC dsbd;
        std::memset(&dsbd, 0, sizeof(dsbd));
        dsbd.dwSize = sizeof(DSBUFFERDESC);
        dsbd.dwFlags = dwFlags;
        dsbd.dwBufferBytes = dwBytes;
        dsbd.lpwfxFormat = &m_wfx;
        LPDIRECTSOUNDBUFFER lpBuffer = NULL;
        HRESULT hr = m_lpDS->CreateSoundBuffer(&dsbd, &lpBuffer, NULL);
        if (phr)
            *phr = hr;
        return hr == DS_OK ? lpBuffer : NULL;
    }
    WAVEFORMATEX m_wfx;
};

TEST_F(DirectSound, TakesPcmBuffersAndRefusesWhatItCannotPlay)
{
    LPDIRECTSOUNDBUFFER lpBuffer = Make(DSBCAPS_STATIC, 4000, Pcm(2, 44100, 16));
    ASSERT_NE(lpBuffer, nullptr);
    lpBuffer->Release();
    lpBuffer = Make(0, 1000, Pcm(1, 8000, 8));
    ASSERT_NE(lpBuffer, nullptr);
    lpBuffer->Release();

    HRESULT hr = DS_OK;
    WAVEFORMATEX wfx = Pcm(2, 44100, 16);
    wfx.nBlockAlign = 0;
    EXPECT_EQ(Make(0, 4000, wfx, &hr), nullptr);
    EXPECT_NE(hr, DS_OK) << "block alignment 0";
    EXPECT_EQ(Make(0, 0, Pcm(2, 44100, 16), &hr), nullptr);
    EXPECT_NE(hr, DS_OK) << "no bytes";

    DSBUFFERDESC dsbd;
    std::memset(&dsbd, 0, sizeof(dsbd));
    dsbd.dwSize = sizeof(DSBUFFERDESC);
    dsbd.dwFlags = DSBCAPS_PRIMARYBUFFER;
    LPDIRECTSOUNDBUFFER lpPrimary = NULL;
    ASSERT_EQ(m_lpDS->CreateSoundBuffer(&dsbd, &lpPrimary, NULL), DS_OK);
    lpPrimary->Release();
}

TEST_F(DirectSound, ALockPastTheEndGoesOnAtTheStart)
{
    LPDIRECTSOUNDBUFFER lpBuffer = Make(0, 4000, Pcm(2, 44100, 16));
    ASSERT_NE(lpBuffer, nullptr);
    LPVOID p1 = NULL, p2 = NULL;
    DWORD n1 = 0, n2 = 0;
    ASSERT_EQ(lpBuffer->Lock(3000, 2000, &p1, &n1, &p2, &n2, 0), DS_OK);
    EXPECT_EQ(n1, 1000u);
    EXPECT_EQ(n2, 1000u);
    ASSERT_NE(p2, nullptr);
    EXPECT_EQ((BYTE*)p1 - (BYTE*)p2, 3000);
    EXPECT_EQ(lpBuffer->Unlock(p1, n1, p2, n2), DS_OK);

    ASSERT_EQ(lpBuffer->Lock(0, 4000, &p1, &n1, &p2, &n2, 0), DS_OK);
    EXPECT_EQ(n1, 4000u);
    EXPECT_EQ(p2, nullptr);
    EXPECT_EQ(n2, 0u);
    EXPECT_EQ(lpBuffer->Unlock(p1, n1, NULL, 0), DS_OK);
    lpBuffer->Release();
}

TEST_F(DirectSound, DuplicatesShareSamplesAndKeepTheirOwnStatus)
{
    LPDIRECTSOUNDBUFFER lpBuffer = Make(DSBCAPS_STATIC, 4000, Pcm(2, 44100, 16));
    ASSERT_NE(lpBuffer, nullptr);
    LPVOID p1 = NULL;
    DWORD n1 = 0;
    ASSERT_EQ(lpBuffer->Lock(0, 4000, &p1, &n1, NULL, NULL, 0), DS_OK);
    std::memset(p1, 0x21, n1);
    lpBuffer->Unlock(p1, n1, NULL, 0);
    LPDIRECTSOUNDBUFFER lpCopy = NULL;
    ASSERT_EQ(m_lpDS->DuplicateSoundBuffer(lpBuffer, &lpCopy), DS_OK);
    EXPECT_EQ(BufferBytes(lpCopy, 4000), Bytes(4000, 0x21));

    ASSERT_EQ(lpCopy->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    DWORD dwCopy = 0, dwOriginal = 0;
    lpCopy->GetStatus(&dwCopy);
    lpBuffer->GetStatus(&dwOriginal);
    EXPECT_EQ(dwCopy & (DSBSTATUS_PLAYING | DSBSTATUS_LOOPING), DWORD(DSBSTATUS_PLAYING | DSBSTATUS_LOOPING));
    EXPECT_EQ(dwOriginal & DSBSTATUS_PLAYING, 0u);
    lpCopy->Stop();
    lpCopy->Release();
    lpBuffer->Release();
}

TEST_F(DirectSound, NotificationsNeedTheirCapabilityAndAStoppedBuffer)
{
    LPDIRECTSOUNDBUFFER lpBuffer =
        Make(DSBCAPS_CTRLPOSITIONNOTIFY | DSBCAPS_GETCURRENTPOSITION2, 8000, Pcm(2, 44100, 16));
    ASSERT_NE(lpBuffer, nullptr);
    LPDIRECTSOUNDNOTIFY lpNotify = NULL;
    ASSERT_EQ(lpBuffer->QueryInterface(IID_IDirectSoundNotify, (LPVOID*)&lpNotify), DS_OK);
    HANDLE hEvent = CreateEventA(NULL, FALSE, FALSE, NULL);
    DSBPOSITIONNOTIFY n[2] = {{4000, hEvent}, {DWORD(DSBPN_OFFSETSTOP), hEvent}};
    EXPECT_EQ(lpNotify->SetNotificationPositions(2, n), DS_OK);
    lpBuffer->Play(0, 0, DSBPLAY_LOOPING);
#ifndef _WIN32
    // Windows documents DSERR_INVALIDCALL here; Wine's DirectSound does not check.
    EXPECT_EQ(lpNotify->SetNotificationPositions(2, n), DSERR_INVALIDCALL) << "not while it plays";
#endif
    lpBuffer->Stop();
    lpNotify->Release();
    lpBuffer->Release();
    CloseHandle(hEvent);
}

#ifndef _WIN32
TEST_F(DirectSound, EventsAreSignalledAsTheCursorPassesTheirOffsets)
{
    LPDIRECTSOUNDBUFFER lpBuffer = Make(DSBCAPS_CTRLPOSITIONNOTIFY, 8000, Pcm(2, 44100, 16));
    ASSERT_NE(lpBuffer, nullptr);
    LPDIRECTSOUNDNOTIFY lpNotify = NULL;
    ASSERT_EQ(lpBuffer->QueryInterface(IID_IDirectSoundNotify, (LPVOID*)&lpNotify), DS_OK);
    HANDLE hHalf = CreateEventA(NULL, FALSE, FALSE, NULL);
    HANDLE hLast = CreateEventA(NULL, FALSE, FALSE, NULL);
    HANDLE hStop = CreateEventA(NULL, FALSE, FALSE, NULL);
    DSBPOSITIONNOTIFY n[3] = {{4000, hHalf}, {7999, hLast}, {DWORD(DSBPN_OFFSETSTOP), hStop}};
    ASSERT_EQ(lpNotify->SetNotificationPositions(3, n), DS_OK);
    lpBuffer->Play(0, 0, DSBPLAY_LOOPING);

    Pull(1000);  // bytes 0..3999
    EXPECT_EQ(WaitForSingleObject(hHalf, 0), WAIT_TIMEOUT);
    Pull(1);
    EXPECT_EQ(WaitForSingleObject(hHalf, 0), WAIT_OBJECT_0);
    DWORD dwPlay = 0, dwWrite = 0;
    lpBuffer->GetCurrentPosition(&dwPlay, &dwWrite);
    EXPECT_EQ(dwPlay, 4004u) << "the cursor moved by exactly what was pulled";
    EXPECT_NE(dwWrite, dwPlay) << "the write cursor runs ahead while playing";
    Pull(998);
    EXPECT_EQ(WaitForSingleObject(hLast, 0), WAIT_TIMEOUT);
    Pull(1);
    EXPECT_EQ(WaitForSingleObject(hLast, 0), WAIT_OBJECT_0);
    lpBuffer->GetCurrentPosition(&dwPlay, &dwWrite);
    EXPECT_EQ(dwPlay, 0u) << "wrapped";
    EXPECT_EQ(WaitForSingleObject(hStop, 0), WAIT_TIMEOUT);
    lpBuffer->Stop();
    EXPECT_EQ(WaitForSingleObject(hStop, 0), WAIT_OBJECT_0);

    // A one-shot play that ends by itself signals the stop too.
    lpBuffer->Play(0, 0, 0);
    Pull(2000);
    EXPECT_EQ(WaitForSingleObject(hStop, 0), WAIT_OBJECT_0);
    DWORD dwStatus = 1;
    lpBuffer->GetStatus(&dwStatus);
    EXPECT_EQ(dwStatus, 0u);
    lpNotify->Release();
    lpBuffer->Release();
    for (HANDLE h : {hHalf, hLast, hStop})
        CloseHandle(h);
}

TEST_F(DirectSound, ABufferWithoutTheCapabilityHasNoNotifyInterface)
{
    LPDIRECTSOUNDBUFFER lpBuffer = Make(DSBCAPS_STATIC, 4000, Pcm(2, 44100, 16));
    LPDIRECTSOUNDNOTIFY lpNotify = (LPDIRECTSOUNDNOTIFY)1;
    EXPECT_EQ(lpBuffer->QueryInterface(IID_IDirectSoundNotify, (LPVOID*)&lpNotify), E_NOINTERFACE);
    EXPECT_EQ(lpNotify, nullptr);
    lpBuffer->Release();
}

TEST(DirectSoundHost, WithoutAnAudioOutputTheDeviceFails)
{
    host::Install(nullptr);
    LPDIRECTSOUND lpDS = (LPDIRECTSOUND)1;
    EXPECT_EQ(DirectSoundCreate(NULL, &lpDS, NULL), DSERR_NODRIVER);
    EXPECT_EQ(lpDS, nullptr);
    host::UseHeadless();
}
#endif

}  // namespace
