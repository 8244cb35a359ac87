// The streamed sound: block and buffer sizes, the first fill and its padding, and (natively, where
// the test moves the play cursor by pulling) the whole life of a stream boundary by boundary: the
// refills in order, the end found, the end test, the stop, restarts; under Wine a short stream
// plays through to its own stop against the real DirectSound.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "sound/StreamSound.h"
#include "tests/child.h"
#include "tests/sound/sound_fixture.h"
#include "tests/threaded.h"

namespace {

using namespace soundtest;

class StreamSound : public Device {};

TEST_F(StreamSound, BlockAndBufferSizesFollowTheFormat)
{
    struct Case {
        WORD nChannels;
        DWORD nRate;
        WORD nBits;
        DWORD dwBlock, dwBuffer;
    } cases[] = {
        {2, 44100, 16, 132300, 529200},
        {1, 22050, 8, 16537, 66148},
        {1, 22050, 16, 33076, 132304},
        {1, 11025, 16, 16538, 66152},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.nRate << " Hz " << c.nBits << "-bit " << c.nChannels);
        std::string name =
            WriteWave("stream_test_sizes.wav", WaveFile(wavefiles::Samples(400), c.nChannels, c.nRate, c.nBits));
        CStreamSound snd(name.c_str(), m_lpDS);
        EXPECT_EQ(snd.m_dwNotifySize, c.dwBlock);
        EXPECT_EQ(snd.m_dwBufferSize, c.dwBuffer);
        EXPECT_TRUE(snd.IsStopped());
        ASSERT_NE(snd.m_lpDSNotify, nullptr);
        DWORD dwStatus = 7;
        ASSERT_EQ(snd.m_lpDSBuffer->GetStatus(&dwStatus), DS_OK);
        EXPECT_EQ(dwStatus & DSBSTATUS_PLAYING, 0u);
    }
}

TEST_F(StreamSound, AShortFileIsPaddedWithTheSilenceOfItsSampleSize)
{
    Bytes data = wavefiles::Samples(1001);
    for (WORD nBits : {8, 16}) {
        SCOPED_TRACE(nBits);
        Bytes even(data.begin(), data.begin() + (nBits == 8 ? 1001 : 1000));
        std::string name = WriteWave("stream_test_pad.wav", WaveFile(even, 1, 22050, nBits));
        CStreamSound snd(name.c_str(), m_lpDS);
        EXPECT_TRUE(snd.m_bFoundEnd);
        Bytes b = BufferBytes(snd.m_lpDSBuffer, snd.m_dwBufferSize);
        ASSERT_EQ(b.size(), snd.m_dwBufferSize);
        EXPECT_TRUE(std::equal(even.begin(), even.end(), b.begin()));
        BYTE bSilence = nBits == 8 ? 0x80 : 0x00;
        EXPECT_EQ(size_t(std::count(b.begin() + even.size(), b.end(), bSilence)), b.size() - even.size());
    }
}

#ifndef _WIN32

// Moves the stream's buffer with pulls and waits for its thread at each block boundary.
class StreamTimeline : public StreamSound {
protected:
    Bytes m_out;  // every byte the device played, in order
    DWORD m_dwPulled = 0;

    // Pulls until the device has played at least dwBytes bytes since the start.
    void PullTo(DWORD dwBytes)
    {
        while (m_dwPulled < dwBytes) {
            int nFrames = int(std::min<DWORD>((dwBytes - m_dwPulled + 3) / 4, 441));
            std::vector<int16_t> s = Pull(nFrames);
            const BYTE* p = reinterpret_cast<const BYTE*>(s.data());
            m_out.insert(m_out.end(), p, p + s.size() * 2);
            m_dwPulled += DWORD(nFrames) * 4;
        }
    }
    // Waits until the buffer has had one more Lock/Unlock or Stop than it had.
    bool AwaitThread(LPDIRECTSOUNDBUFFER lpBuffer, unsigned long nBefore)
    {
        for (int i = 0; i < 5000; ++i) {
            if (standin::DirectSoundBufferCalls(lpBuffer) > nBefore)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }
    static bool Eventually(const CStreamSound& snd, BOOL bStopped)
    {
        for (int i = 0; i < 2000 && snd.IsStopped() != bStopped; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return snd.IsStopped() == bStopped;
    }
    static bool Playing(LPDIRECTSOUNDBUFFER lpBuffer)
    {
        DWORD dwStatus = 0;
        lpBuffer->GetStatus(&dwStatus);
        return (dwStatus & DSBSTATUS_PLAYING) != 0;
    }
    // The k-th block boundary (from 1) counted from the start of playback.
    static DWORD Boundary(const CStreamSound& snd, int k)
    {
        DWORD dwPass = DWORD((k - 1) / 4) * snd.m_dwBufferSize;
        int nInPass = (k - 1) % 4 + 1;
        return dwPass + (nInPass == 4 ? snd.m_dwBufferSize - 1 : snd.m_dwNotifySize * DWORD(nInPass));
    }
    // Plays past boundary k (to the frame after it) and waits for the thread to answer it.
    void CrossBoundary(CStreamSound& snd, int k)
    {
        unsigned long nBefore = standin::DirectSoundBufferCalls(snd.m_lpDSBuffer);
        PullTo((Boundary(snd, k) + 4) / 4 * 4);
        ASSERT_TRUE(AwaitThread(snd.m_lpDSBuffer, nBefore)) << "boundary " << k;
    }
};

// The worked example: 1,000,000 data bytes of 44100 Hz stereo, R = 1,000,036.
THREADED_SUITE(StreamTimeline);  // the music's notification thread against the mixer

TEST_F(StreamTimeline, AMillionByteFileFindsItsEndAtTheFourthBoundaryAndStopsAtTheEighth)
{
    Bytes data = wavefiles::Samples(1000000);
    std::string name = WriteWave("stream_test_million.wav", WaveFile(data, 2, 44100, 16));
    CStreamSound snd(name.c_str(), m_lpDS);
    ASSERT_EQ(snd.m_mmckInRIFF.cksize, 1000036u);
    snd.Play();
    ASSERT_TRUE(Playing(snd.m_lpDSBuffer));
    EXPECT_FALSE(snd.IsStopped());
    for (int k = 1; k <= 8; ++k) {
        CrossBoundary(snd, k);
        if (k == 3) {
            EXPECT_FALSE(snd.m_bFoundEnd) << "926100 bytes read so far, all data";
        }
        if (k == 4) {
            EXPECT_TRUE(snd.m_bFoundEnd) << "the refill at 529199 reads the last 73900 bytes";
        }
        if (k == 1) {
            // A play request while it plays changes nothing.
            HANDLE hThread = snd.m_hThread;
            DWORD dwPlay = 0, dwWrite = 0, dwAfter = 0;
            snd.m_lpDSBuffer->GetCurrentPosition(&dwPlay, &dwWrite);
            unsigned long nCalls = standin::DirectSoundBufferCalls(snd.m_lpDSBuffer);
            snd.Play();
            snd.m_lpDSBuffer->GetCurrentPosition(&dwAfter, &dwWrite);
            EXPECT_EQ(dwAfter, dwPlay);
            EXPECT_EQ(standin::DirectSoundBufferCalls(snd.m_lpDSBuffer), nCalls);
            EXPECT_EQ(snd.m_hThread, hThread);
        }
        if (k == 6) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            EXPECT_FALSE(snd.IsStopped()) << "793804 bytes played is short of R - N = 867736";
        }
        if (k == 7) {
            EXPECT_TRUE(Eventually(snd, TRUE)) << "the end test holds at 926100";
        }
        if (k < 8) {
            EXPECT_TRUE(Playing(snd.m_lpDSBuffer)) << "boundary " << k;
        }
    }
    EXPECT_FALSE(Playing(snd.m_lpDSBuffer)) << "stopped at the boundary 1058399";
    EXPECT_EQ(WaitForSingleObject(snd.m_hThread, 5000), WAIT_OBJECT_0) << "the thread has ended";
    DWORD dwPlay = 1, dwWrite = 1;
    snd.m_lpDSBuffer->GetCurrentPosition(&dwPlay, &dwWrite);
    EXPECT_EQ(dwPlay, 0u);

    // Every data byte came out once and in order, then silence up to the stop.
    ASSERT_EQ(m_out.size(), 1058400u);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), m_out.begin()));
    EXPECT_EQ(size_t(std::count(m_out.begin() + 1000000, m_out.end(), 0)), m_out.size() - 1000000);
    std::vector<int16_t> after = Pull(1000);
    EXPECT_EQ(size_t(std::count(after.begin(), after.end(), 0)), after.size());

    // Played again, it starts from the beginning of its data.
    snd.Play();
    m_out.clear();
    m_dwPulled = 0;
    CrossBoundary(snd, 1);
    CrossBoundary(snd, 2);
    EXPECT_TRUE(std::equal(m_out.begin(), m_out.end(), data.begin()));
}

TEST_F(StreamTimeline, AFileShorterThanABlockStopsAtTwoBlocks)
{
    Bytes data = wavefiles::Samples(1000);
    std::string name = WriteWave("stream_test_short.wav", WaveFile(data, 2, 44100, 16));
    CStreamSound snd(name.c_str(), m_lpDS);
    EXPECT_TRUE(snd.m_bFoundEnd) << "found by the first fill";
    snd.Play();
    CrossBoundary(snd, 1);
    EXPECT_TRUE(Eventually(snd, TRUE)) << "R - N wraps, R itself is passed";
    EXPECT_TRUE(Playing(snd.m_lpDSBuffer));
    CrossBoundary(snd, 2);
    EXPECT_FALSE(Playing(snd.m_lpDSBuffer));
    EXPECT_EQ(m_out.size(), 2u * 132300 + 4);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), m_out.begin()));
}

// Restarted while its thread waits for the last boundary: the old thread ends first, and the new
// run answers each boundary exactly once.
TEST_F(StreamTimeline, ARestartWhileTheThreadFinishesRunsOneThread)
{
    Bytes data = wavefiles::Samples(300000);
    std::string name = WriteWave("stream_test_restart.wav", WaveFile(data, 2, 44100, 16));
    CStreamSound snd(name.c_str(), m_lpDS);
    snd.Play();
    for (int k = 1; k <= 2; ++k)
        CrossBoundary(snd, k);
    // 264604 played >= R - N = 167736: stopping, the buffer still plays.
    ASSERT_TRUE(Eventually(snd, TRUE));
    ASSERT_TRUE(Playing(snd.m_lpDSBuffer));
    snd.Play();
    EXPECT_FALSE(snd.IsStopped());
    EXPECT_TRUE(Playing(snd.m_lpDSBuffer));
    DWORD dwPlay = 1, dwWrite = 0;
    snd.m_lpDSBuffer->GetCurrentPosition(&dwPlay, &dwWrite);
    EXPECT_EQ(dwPlay, 0u);

    m_out.clear();
    m_dwPulled = 0;
    for (int k = 1; k <= 3; ++k) {
        unsigned long nBefore = standin::DirectSoundBufferCalls(snd.m_lpDSBuffer);
        CrossBoundary(snd, k);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(standin::DirectSoundBufferCalls(snd.m_lpDSBuffer), nBefore + 1) << "one answer at boundary " << k;
    }
    EXPECT_FALSE(Playing(snd.m_lpDSBuffer)) << "the new run stops at its own third boundary";
    EXPECT_TRUE(std::equal(data.begin(), data.end(), m_out.begin()));
}

TEST_F(StreamSound, ANonPcmFileFailsAtLineEighteen)
{
    Bytes body;
    wavefiles::PutChunk(body, "fmt ", wavefiles::Fmt(3, 2, 44100, 32, 18));
    wavefiles::PutChunk(body, "data", wavefiles::Samples(800));
    std::string name = WriteWave("stream_test_float.wav", wavefiles::Riff(body));
    for (int i = 0; i < 4; ++i)
        m_pHost->QueueBoxAnswer(host::BoxAnswer::Ignore);
    CStreamSound snd(name.c_str(), m_lpDS);
    ASSERT_GE(m_pHost->Boxes().size(), 1u);
    const std::string text = m_pHost->Boxes()[0].text;
    EXPECT_NE(text.find("Expression: m_pwfxInfo->wFormatTag == WAVE_FORMAT_PCM\nFile: StreamSound\nLine: 18\n"),
              std::string::npos)
        << text;
    snd.Play();  // went on: nothing to play, nothing breaks
}

TEST_F(StreamSound, ABlockAlignmentOfZeroIsRefusedByTheDeviceNotDividedBy)
{
    std::string name = WriteWave("stream_test_align0.wav", WaveFile(wavefiles::Samples(800), 2, 44100, 16, 1, 0));
    for (int i = 0; i < 4; ++i)
        m_pHost->QueueBoxAnswer(host::BoxAnswer::Ignore);
    CStreamSound snd(name.c_str(), m_lpDS);
    ASSERT_EQ(m_pHost->Boxes().size(), 1u);
    EXPECT_NE(
        m_pHost->Boxes()[0].text.find("Expression: lpDS->CreateSoundBuffer( &dsbd, &m_lpDSBuffer,NULL ) == DS_OK\n"
                                      "File: StreamSound\nLine: 40\n"),
        std::string::npos)
        << m_pHost->Boxes()[0].text;
    snd.Play();
}

TEST_F(StreamSound, AMissingFileFailsAtLineSeventeen)
{
    m_pHost->QueueBoxAnswer(host::BoxAnswer::Ignore);
    CStreamSound snd("stream_test_missing.wav", m_lpDS);
    ASSERT_EQ(m_pHost->Boxes().size(), 1u);
    EXPECT_NE(m_pHost->Boxes()[0].text.find("Expression: WaveOpenFile( szFile, &m_hmmio, &m_pwfxInfo, &m_mmckInRIFF ) "
                                            "== 0\nFile: StreamSound\nLine: 17\n"),
              std::string::npos);
    snd.Play();
}

// The events and the thread the stream's notifications need, where the system cannot make them:
// each is reported with its own check and line; ignored, the stream goes on as far as it can (the
// boundaries unarmed, no refills) and is taken down without waiting for a thread that never woke.
class StreamSetupFaults : public StreamTimeline {};
THREADED_SUITE(StreamSetupFaults);  // the thread that does start where only an event failed

TEST_F(StreamSetupFaults, AnEventOrTheThreadThatCannotBeMadeIsReportedWithItsLineAndIgnoreGoesOn)
{
    struct Case {
        const char* pszCall;
        int nAfter;
        std::vector<std::string> checks;  // the boxes, in order: expression and line
    } cases[] = {
        {"CreateEventA",
         0,
         {"m_hNotifyEvent[0]\nFile: StreamSound\nLine: 143", "hr==DS_OK\nFile: StreamSound\nLine: 167",
          "SetupNotifications()==DS_OK\nFile: StreamSound\nLine: 127"}},
        {"CreateEventA",
         1,
         {"m_hNotifyEvent[1]\nFile: StreamSound\nLine: 145", "hr==DS_OK\nFile: StreamSound\nLine: 167",
          "SetupNotifications()==DS_OK\nFile: StreamSound\nLine: 127"}},
        {"CreateThread",
         0,
         {"CreateThread(NULL, 0, (LPTHREAD_START_ROUTINE)HandleNotifications, (LPVOID)this, 0, &dwThreadId) != "
          "NULL\nFile: StreamSound\nLine: 161"}},
    };
    Bytes data = wavefiles::Samples(600000);
    std::string name = WriteWave("stream_test_setup.wav", WaveFile(data, 2, 44100, 16));
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.pszCall << " after " << c.nAfter);
        size_t nBoxes = m_pHost->Boxes().size();
        {
            CStreamSound snd(name.c_str(), m_lpDS);
            for (size_t i = 0; i < c.checks.size(); ++i)
                m_pHost->QueueBoxAnswer(host::BoxAnswer::Ignore);
            standin::FailCall(c.pszCall, 1, c.nAfter);
            snd.Play();
            standin::ClearFaults();
            auto boxes = m_pHost->Boxes();
            ASSERT_EQ(boxes.size() - nBoxes, c.checks.size());
            for (size_t i = 0; i < c.checks.size(); ++i)
                EXPECT_NE(boxes[nBoxes + i].text.find("Expression: " + c.checks[i] + "\n"), std::string::npos)
                    << boxes[nBoxes + i].text;
            // It plays what the buffer holds; nothing refills it past the first pass.
            EXPECT_TRUE(Playing(snd.m_lpDSBuffer));
            PullTo(snd.m_dwBufferSize + snd.m_dwNotifySize);
            EXPECT_TRUE(std::equal(data.begin(), data.begin() + snd.m_dwBufferSize, m_out.begin()));
            EXPECT_TRUE(std::equal(data.begin(), data.begin() + snd.m_dwNotifySize, m_out.begin() + snd.m_dwBufferSize))
                << "the buffer's first block again, not the file's fifth";
            m_out.clear();
            m_dwPulled = 0;
        }  // and it is taken down at once
    }
}

// The process ends while the music's thread waits: nothing it uses is gone first.
CHILD_SCENARIO(ExitWhileMusicPlays)
{
    host::UseHeadless();
    std::string name = WriteWave("stream_test_exit.wav", WaveFile(wavefiles::Samples(600000), 2, 44100, 16));
    LPDIRECTSOUND lpDS = NULL;
    if (DirectSoundCreate(NULL, &lpDS, NULL) != DS_OK || lpDS->SetCooperativeLevel(TestWindow(), DSSCL_NORMAL) != DS_OK)
        return 2;
    CStreamSound* pSnd = new CStreamSound(name.c_str(), lpDS);
    pSnd->Play();
    host::Headless()->PullAudio(132400);  // past the first boundary: the thread refills and waits again
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::exit(0);
}

TEST(StreamSoundExit, TheProcessEndsCleanlyWhileTheThreadWaits)
{
    EXPECT_EQ(RunChildProcess("ExitWhileMusicPlays"), 0);
    std::remove("stream_test_exit.wav");
}

#else

TEST_F(StreamSound, AShortStreamPlaysThroughToItsOwnStop)
{
    Bytes data = wavefiles::Samples(44100 * 4 / 5);  // 0.2 s: shorter than a block
    std::string name = WriteWave("stream_test_wine.wav", WaveFile(data, 2, 44100, 16));
    CStreamSound snd(name.c_str(), m_lpDS);
    snd.Play();
    DWORD dwStatus = 0;
    ASSERT_EQ(snd.m_lpDSBuffer->GetStatus(&dwStatus), DS_OK);
    EXPECT_TRUE(dwStatus & DSBSTATUS_PLAYING);
    snd.Play();  // changes nothing while it plays
    DWORD dwStart = GetTickCount();
    while ((dwStatus & DSBSTATUS_PLAYING) && GetTickCount() - dwStart < 8000) {
        Sleep(20);
        snd.m_lpDSBuffer->GetStatus(&dwStatus);
    }
    DWORD dwTook = GetTickCount() - dwStart;
    EXPECT_FALSE(dwStatus & DSBSTATUS_PLAYING) << "stopped by its thread";
    EXPECT_GE(dwTook, 1000u) << "two blocks are 1.5 s";
    EXPECT_TRUE(snd.IsStopped());
    EXPECT_EQ(WaitForSingleObject(snd.m_hThread, 10000), WAIT_OBJECT_0) << "the thread has ended";
    snd.Play();  // and it starts again
    snd.m_lpDSBuffer->GetStatus(&dwStatus);
    EXPECT_TRUE(dwStatus & DSBSTATUS_PLAYING);
}

// Restarted in the window where its thread has marked it stopped but waits for one more
// boundary: the old thread ends first and the new run plays through to its own stop.
TEST_F(StreamSound, ARestartWhileTheThreadFinishesPlaysThroughAgain)
{
    Bytes data = wavefiles::Samples(44100 * 4 / 5);
    std::string name = WriteWave("stream_test_wine_restart.wav", WaveFile(data, 2, 44100, 16));
    CStreamSound snd(name.c_str(), m_lpDS);
    snd.Play();
    DWORD dwStatus = 0;
    DWORD dwStart = GetTickCount();
    // After the first boundary (0.75 s) the end test has held; the buffer plays on to the second.
    while (!snd.IsStopped() && GetTickCount() - dwStart < 3000)
        Sleep(5);
    snd.m_lpDSBuffer->GetStatus(&dwStatus);
    if (!snd.IsStopped() || !(dwStatus & DSBSTATUS_PLAYING))
        GTEST_SKIP() << "the stopping window was missed on a busy machine";
    snd.Play();
    EXPECT_FALSE(snd.IsStopped());
    dwStart = GetTickCount();
    do {
        Sleep(20);
        snd.m_lpDSBuffer->GetStatus(&dwStatus);
    } while ((dwStatus & DSBSTATUS_PLAYING) && GetTickCount() - dwStart < 8000);
    EXPECT_FALSE(dwStatus & DSBSTATUS_PLAYING);
    EXPECT_GE(GetTickCount() - dwStart, 1000u) << "a whole new run of two blocks";
    EXPECT_EQ(WaitForSingleObject(snd.m_hThread, 10000), WAIT_OBJECT_0);
}

#endif

}  // namespace
