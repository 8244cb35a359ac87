// What the sound tests share: a device on a window, WAVE files written for them, and natively
// the headless host's audio pulled by hand so that the play cursor moves exactly as far as the
// test says.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "tests/sound/wave_files.h"
#ifndef _WIN32
#include "platform/host/headless/headless.h"
#include "platform/standin/faults.h"
#include "platform/standin/testing.h"
#endif

namespace soundtest {

using wavefiles::Bytes;

// A window for the cooperative level: the desktop on Windows; the stand-in's device does not
// look at the window beyond its being given.
inline HWND TestWindow()
{
#ifdef _WIN32
    return GetDesktopWindow();
#else
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(0x10));
#endif
}

// A PCM file of these bytes with a 16-byte format chunk (R = data + 36); wTag and nAlign may
// be given to make files the sound code must refuse.
inline Bytes WaveFile(const Bytes& data, WORD nChannels, DWORD nRate, WORD nBits, WORD wTag = 1, int nAlign = -1)
{
    Bytes fmt = wavefiles::Fmt(wTag, nChannels, nRate, nBits);
    if (nAlign >= 0) {
        fmt[12] = BYTE(nAlign);
        fmt[13] = BYTE(nAlign >> 8);
    }
    Bytes body;
    wavefiles::PutChunk(body, "fmt ", fmt);
    wavefiles::PutChunk(body, "data", data);
    return wavefiles::Riff(body);
}

// The scratch files written so far, removed by RemoveWritten.
inline std::vector<std::string>& Written()
{
    static std::vector<std::string> names;
    return names;
}

inline std::string WriteWave(const std::string& name, const Bytes& file)
{
    EXPECT_TRUE(wavefiles::WriteAll(name, file));
    Written().push_back(name);
    return name;
}

inline void RemoveWritten()
{
    for (const std::string& name : Written())
        std::remove(name.c_str());
    Written().clear();
}

// The bytes of a buffer from offset 0, read through a lock.
inline Bytes BufferBytes(LPDIRECTSOUNDBUFFER lpBuffer, DWORD dwBytes)
{
    LPVOID p1 = NULL, p2 = NULL;
    DWORD n1 = 0, n2 = 0;
    Bytes b;
    if (lpBuffer->Lock(0, dwBytes, &p1, &n1, &p2, &n2, 0) != DS_OK)
        return b;
    b.assign((BYTE*)p1, (BYTE*)p1 + n1);
    lpBuffer->Unlock(p1, n1, p2, n2);
    return b;
}

class Device : public testing::Test {
protected:
    LPDIRECTSOUND m_lpDS = NULL;
#ifndef _WIN32
    host::HeadlessHost* m_pHost = nullptr;
#endif

    void SetUp() override
    {
#ifndef _WIN32
        m_pHost = &host::UseHeadless();
#endif
        ASSERT_EQ(DirectSoundCreate(NULL, &m_lpDS, NULL), DS_OK);
        ASSERT_EQ(m_lpDS->SetCooperativeLevel(TestWindow(), DSSCL_NORMAL), DS_OK);
    }
    void TearDown() override
    {
        RemoveWritten();
        if (m_lpDS)
            m_lpDS->Release();
#ifndef _WIN32
        standin::ClearFaults();
#endif
    }

#ifndef _WIN32
    // Moves the device on by nFrames frames (44100 Hz, 16-bit stereo); returns what it played.
    std::vector<int16_t> Pull(int nFrames)
    {
        return m_pHost->PullAudio(nFrames);
    }
#endif
};

}  // namespace soundtest
