// Static sounds and the manager: voices taken in order and given back when they finish, the
// manager's lists and indices, the resource path's chunk walk, and (against the stand-in) the
// failures that must stay quiet or be reported.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "sound/SoundBase.h"
#include "sound/StaticSound.h"
#include "sound/StaticSoundBuffer.h"
#include "sound/StreamSound.h"
#include "tests/child.h"
#include "tests/sound/sound_fixture.h"
#include "tests/threaded.h"
#ifndef _WIN32
#include "platform/standin/resource.h"
#endif

namespace {

using namespace soundtest;
using wavefiles::Fmt;
using wavefiles::PutChunk;
using wavefiles::Riff;

// 44100 Hz 16-bit stereo of that many seconds (bytes that are not silence).
Bytes Effect(double dSeconds)
{
    return WaveFile(wavefiles::Samples(size_t(44100 * dSeconds) * 4), 2, 44100, 16);
}

class StaticSound : public Device {};

TEST_F(StaticSound, FourOverlappingPlaysTakeVoicesInOrderAndAFifthIsDropped)
{
    std::string name = WriteWave("static_test_four.wav", Effect(2.0));
    CStaticSound snd(name.c_str(), m_lpDS, 4);
    ASSERT_EQ(snd.m_nBuffers, 4u);
    EXPECT_EQ(snd.m_cbSize, 44100u * 2 * 4);
    EXPECT_EQ(snd.Play(), 0);
    EXPECT_EQ(snd.Play(), 1);
    EXPECT_EQ(snd.Play(), 2);
    EXPECT_EQ(snd.Play(), 3);
    EXPECT_EQ(snd.Play(), -1) << "all four still sound";
    for (int i = 0; i < 4; ++i) {
        DWORD dwStatus = 0;
        ASSERT_EQ(snd.m_ppBuffers[i]->m_lpDSBuffer->GetStatus(&dwStatus), DS_OK);
        EXPECT_TRUE(dwStatus & DSBSTATUS_PLAYING) << i;
        EXPECT_FALSE(dwStatus & DSBSTATUS_LOOPING) << i;
    }
    EXPECT_EQ(snd.Stop(2), DS_OK);
    EXPECT_EQ(snd.Play(), 2) << "a stopped voice is idle again";
}

TEST_F(StaticSound, EveryVoiceHoldsTheWholeSound)
{
    Bytes data = wavefiles::Samples(4000);
    std::string name = WriteWave("static_test_whole.wav", WaveFile(data, 2, 44100, 16));
    CStaticSound snd(name.c_str(), m_lpDS, 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(BufferBytes(snd.m_ppBuffers[i]->m_lpDSBuffer, 4000), data) << "voice " << i;
}

#ifndef _WIN32
TEST_F(StaticSound, AFinishedVoiceZeroIsTakenAgainFirst)
{
    std::string name = WriteWave("static_test_again.wav", Effect(0.1));
    CStaticSound snd(name.c_str(), m_lpDS, 4);
    EXPECT_EQ(snd.Play(), 0);
    Pull(2205);
    EXPECT_EQ(snd.Play(), 1) << "voice 0 still sounds";
    Pull(4410 - 2205);  // voice 0 has played out, voice 1 has not
    EXPECT_EQ(snd.Play(), 0);
    Pull(44100);
    EXPECT_EQ(snd.Play(), 0) << "all idle: the lowest first";
}

TEST_F(StaticSound, VoicesOfOneSoundMixTogether)
{
    // A constant so that the sum is easy to see: two voices give twice the level.
    Bytes data;
    for (int i = 0; i < 1000; ++i)
        data.insert(data.end(), {0xE8, 0x03, 0xE8, 0x03});  // 1000, 1000
    std::string name = WriteWave("static_test_mix.wav", WaveFile(data, 2, 44100, 16));
    CStaticSound snd(name.c_str(), m_lpDS, 2);
    snd.Play();
    snd.Play();
    std::vector<int16_t> out = Pull(10);
    EXPECT_EQ(out[0], 2000);
    EXPECT_EQ(out[19], 2000);
}
#else
TEST_F(StaticSound, AFinishedVoiceZeroIsTakenAgainFirst)
{
    std::string name = WriteWave("static_test_again.wav", Effect(0.2));
    CStaticSound snd(name.c_str(), m_lpDS, 4);
    EXPECT_EQ(snd.Play(), 0);
    EXPECT_EQ(snd.Play(), 1);
    Sleep(1500);
    EXPECT_EQ(snd.Play(), 0);
}
#endif

class SoundBase : public testing::Test {
protected:
#ifndef _WIN32
    void SetUp() override { host::UseHeadless(); }
#endif
    void TearDown() override { RemoveWritten(); }
};

THREADED_SUITE(SoundBase);  // the music's notification thread

TEST_F(SoundBase, ListsCountFromZeroEachAndRejectIndicesAtOrPastTheCount)
{
    std::string effect = WriteWave("base_test_effect.wav", Effect(1.0));
    std::string music = WriteWave("base_test_music.wav", Effect(1.0));
    CSoundBase* pBase = new CSoundBase(TestWindow());
    ASSERT_FALSE(pBase->m_bFailed);
    ASSERT_NE(pBase->m_lpDSPrimary, nullptr);
    EXPECT_EQ(pBase->AddStream(music.c_str()), 0);
    EXPECT_EQ(pBase->AddStatic(effect.c_str(), 4), 0);
    EXPECT_EQ(pBase->AddStatic(effect.c_str(), 1), 1);
    EXPECT_EQ(pBase->m_nStatic, 2u);
    EXPECT_EQ(pBase->m_nStream, 1u);
    EXPECT_EQ(pBase->PlayStatic(2), -1) << "the count itself";
    EXPECT_EQ(pBase->PlayStatic(UINT(-1)), -1);
    EXPECT_EQ(pBase->PlayStatic(1), 0);
    EXPECT_EQ(pBase->PlayStatic(1), -1) << "its one voice is busy";
    pBase->StopStatic(1, 0);
    EXPECT_EQ(pBase->PlayStatic(1), 0);
    pBase->StopStatic(7, 0);     // nothing happens
    pBase->PlayStream(1);        // nothing happens
    pBase->PlayStream(UINT(-1)); // nothing happens
    pBase->PlayStream(0);
    EXPECT_FALSE(pBase->m_ppStream[0]->IsStopped());
    delete pBase;  // ends the stream's thread before the device goes
}

// The resource walk, straight over images in memory.
class WaveResource : public testing::Test {
protected:
    CStaticSound* m_pSnd = nullptr;
    Bytes m_image;
    void SetUp() override
    {
        // A sound from a resource that does not exist: no voices, all fields to be filled.
        m_pSnd = new CStaticSound(NULL, 0xFFFF, NULL, 2);
    }
    void TearDown() override { delete m_pSnd; }
    bool Parse(const Bytes& image)
    {
        m_image = image;
        return m_pSnd->ParseWaveResource(m_image.data(), DWORD(m_image.size()));
    }
    size_t Offset(const void* p) const { return size_t((const BYTE*)p - m_image.data()); }
};

TEST_F(WaveResource, DataBeforeFmtParsesLikeTheUsualOrder)
{
    Bytes data = {1, 2, 3, 4};
    Bytes body;
    PutChunk(body, "data", data);
    PutChunk(body, "fmt ", Fmt(1, 1, 8000, 8));
    ASSERT_TRUE(Parse(Riff(body)));
    EXPECT_EQ(Offset(m_pSnd->m_pbData), 20u);
    EXPECT_EQ(m_pSnd->m_cbSize, 4u);
    EXPECT_EQ(Offset(m_pSnd->m_pwfxInfo), 12u + 12 + 8);
    EXPECT_EQ(m_pSnd->m_pwfxInfo->nSamplesPerSec, 8000u);
}

TEST_F(WaveResource, OddChunksSkipTheirPadByteAndASecondDataIsIgnored)
{
    Bytes body;
    PutChunk(body, "LIST", Bytes{9, 9, 9});  // 3 bytes and a pad
    PutChunk(body, "data", Bytes{1, 2, 3});  // odd data, then its pad
    PutChunk(body, "data", Bytes{7, 7, 7, 7, 7, 7});
    PutChunk(body, "fmt ", Fmt(1, 1, 8000, 8));
    ASSERT_TRUE(Parse(Riff(body)));
    EXPECT_EQ(Offset(m_pSnd->m_pbData), 12u + 12 + 8);
    EXPECT_EQ(m_pSnd->m_cbSize, 3u);
    EXPECT_EQ(Offset(m_pSnd->m_pwfxInfo), 12u + 12 + 12 + 14 + 8);
}

TEST_F(WaveResource, EmptyDataCountsOnlyAfterTheFormat)
{
    Bytes before, after;
    PutChunk(before, "data", Bytes{});
    PutChunk(before, "fmt ", Fmt(1, 1, 8000, 8));
    EXPECT_FALSE(Parse(Riff(before)));
    PutChunk(after, "fmt ", Fmt(1, 1, 8000, 8));
    PutChunk(after, "data", Bytes{});
    EXPECT_TRUE(Parse(Riff(after)));
    EXPECT_EQ(m_pSnd->m_cbSize, 0u);
}

TEST_F(WaveResource, TheWalkStaysInsideTheImage)
{
    Bytes body;
    PutChunk(body, "fmt ", Fmt(1, 1, 8000, 8));
    PutChunk(body, "data", Bytes{1, 2, 3, 4});
    Bytes image = Riff(body);
    image[4] = image[5] = image[6] = image[7] = 0xFF;  // a RIFF length far past the image
    EXPECT_TRUE(Parse(image)) << "the chunks inside still count";

    Bytes cut = Riff(body);
    cut.resize(cut.size() - 2);  // the data chunk runs past the end
    EXPECT_FALSE(Parse(cut));
    EXPECT_FALSE(Parse(Bytes{'R', 'I', 'F', 'F'}));

    Bytes huge;
    PutChunk(huge, "fmt ", Fmt(1, 1, 8000, 8));
    PutChunk(huge, "LIST", Bytes{}, 0xFFFFFFF0u);  // a length that would wrap a 32-bit position
    PutChunk(huge, "data", Bytes{1, 2});
    Bytes wrap = Riff(huge);
    EXPECT_FALSE(Parse(wrap));
    EXPECT_FALSE(Parse(Riff(Bytes{})));
}

// A "WAVE" resource of the program itself: compiled in on Windows, registered natively.
class ResourceSound : public Device {
protected:
    HINSTANCE m_hInst = GetModuleHandleA(NULL);
#ifndef _WIN32
    Bytes m_usual, m_dataFirst;
    void SetUp() override
    {
        Device::SetUp();
        Bytes body;
        PutChunk(body, "fmt ", Fmt(1, 1, 8000, 8));
        PutChunk(body, "data", Bytes{0x80, 0x90, 0xA0, 0xB0, 0x60, 0x70, 0x40, 0x50});
        m_usual = Riff(body);
        Bytes first;
        PutChunk(first, "data", Bytes{0x80, 0x90, 0xA0, 0xB0, 0x60, 0x70, 0x40, 0x50});
        PutChunk(first, "fmt ", Fmt(1, 1, 8000, 8));
        m_dataFirst = Riff(first);
        standin::RegisterResource(m_hInst, 7, "WAVE", m_usual.data(), DWORD(m_usual.size()));
        standin::RegisterResource(m_hInst, 8, "WAVE", m_dataFirst.data(), DWORD(m_dataFirst.size()));
    }
    void TearDown() override
    {
        standin::UnregisterResources();
        Device::TearDown();
    }
#endif
};

TEST_F(ResourceSound, LoadsAPrivateCopyAndPlaysIt)
{
    for (UINT nId : {7u, 8u, 0x10007u}) {
        SCOPED_TRACE(nId);
        CStaticSound snd(m_hInst, nId, m_lpDS, 2);
        ASSERT_NE(snd.m_ppBuffers, nullptr);
        ASSERT_NE(snd.m_pResource, nullptr);
        EXPECT_EQ(snd.m_cbSize, 8u);
        EXPECT_EQ(snd.m_pwfxInfo->nSamplesPerSec, 8000u);
        const Bytes want = {0x80, 0x90, 0xA0, 0xB0, 0x60, 0x70, 0x40, 0x50};
        EXPECT_EQ(Bytes(snd.m_pbData, snd.m_pbData + 8), want);
        EXPECT_EQ(BufferBytes(snd.m_ppBuffers[1]->m_lpDSBuffer, 8), want);
        EXPECT_EQ(snd.Play(), 0);
        EXPECT_EQ(snd.Play(), 1);
    }
}

TEST_F(ResourceSound, AMissingResourceGivesASilentSoundWithoutVoices)
{
    CStaticSound snd(m_hInst, 99, m_lpDS, 4);
    EXPECT_EQ(snd.m_nBuffers, 4u);
    EXPECT_EQ(snd.m_ppBuffers, nullptr);
    EXPECT_EQ(snd.Play(), -1);
    EXPECT_NE(snd.Stop(0), DS_OK);
}

#ifndef _WIN32
TEST_F(ResourceSound, ManagerAddsResourceSoundsOnTheStaticList)
{
    CSoundBase base(TestWindow());
    EXPECT_EQ(base.AddStaticResource(m_hInst, 7, 2), 0);
    EXPECT_EQ(base.AddStaticResource(m_hInst, 99, 2), 1) << "created, silent";
    EXPECT_EQ(base.PlayStatic(0), 0);
    EXPECT_EQ(base.PlayStatic(1), -1);
    EXPECT_TRUE(m_pHost->Boxes().empty()) << "nothing on this path is reported";
}

TEST_F(ResourceSound, LoadFailuresStaySilent)
{
    for (const char* pszCall : {"FindResourceA", "LoadResource", "LockResource"}) {
        SCOPED_TRACE(pszCall);
        standin::FailCall(pszCall);
        CStaticSound snd(m_hInst, 7, m_lpDS, 2);
        EXPECT_EQ(snd.m_ppBuffers, nullptr);
        EXPECT_EQ(snd.Play(), -1);
    }
    EXPECT_TRUE(m_pHost->Boxes().empty());
}

// Without an audio output the manager runs silently: nothing is created, nothing plays, and no
// assertion box stops the production.
TEST(SoundBaseFailed, NoAudioOutputMeansSilenceWithoutBoxes)
{
    std::string effect = WriteWave("base_test_failed.wav", Effect(0.1));
    for (const char* pszCall : {"DirectSoundCreate", "SetCooperativeLevel", "CreateSoundBuffer"}) {
        SCOPED_TRACE(pszCall);
        host::HeadlessHost& h = host::UseHeadless();
        standin::FailCall(pszCall);
        CSoundBase base(TestWindow());
        standin::ClearFaults();
        EXPECT_TRUE(base.m_bFailed);
        EXPECT_EQ(base.AddStatic(effect.c_str(), 4), -1);
        EXPECT_EQ(base.AddStream(effect.c_str()), -1);
        EXPECT_EQ(base.PlayStatic(0), -1);
        base.PlayStream(0);
        base.StopStatic(0, 0);
        EXPECT_EQ(base.m_nStatic, 0u);
        EXPECT_TRUE(h.Boxes().empty());
    }
    RemoveWritten();
}

CHILD_SCENARIO(SoundWithoutAudioOutput)
{
    // The default host has no audio output at all, like a server.
    if (!std::freopen("sound_noaudio_stderr.txt", "w", stderr))
        return 1;
    host::Install(nullptr);
    CSoundBase base(TestWindow());
    return base.m_bFailed ? 0 : 2;
}

TEST(SoundBaseFailed, SaysSoOnOneLineOfStandardError)
{
    ASSERT_EQ(RunChildProcess("SoundWithoutAudioOutput"), 0);
    Bytes b = wavefiles::ReadAll("sound_noaudio_stderr.txt");
    std::string text(b.begin(), b.end());
    EXPECT_NE(text.find("no audio output"), std::string::npos) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
    std::remove("sound_noaudio_stderr.txt");
}

TEST_F(StaticSound, FileVoiceFailuresAreReportedWithTheirLines)
{
    std::string name = WriteWave("static_test_fail.wav", Effect(0.1));
    struct Case {
        const char* pszCall;
        int nAfter;
        const char* pszText;
        const char* pszFile;
        int nLine;
    } cases[] = {
        {"CreateSoundBuffer", 0, "Expression: hr==DS_OK\n", "File: StaticSoundBuffer\n", 23},
        {"DuplicateSoundBuffer", 0, "Expression: hr == DS_OK\n", "File: StaticSoundBuffer\n", 36},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pszCall);
        host::HeadlessHost& h = *m_pHost;
        h.QueueBoxAnswer(IDIGNORE);
        h.QueueBoxAnswer(IDIGNORE);
        standin::FailCall(c.pszCall, 1, c.nAfter);
        size_t nBefore = h.Boxes().size();
        {
            CStaticSound snd(name.c_str(), m_lpDS, 2);
            snd.Play();  // a voice without a buffer is not touched
        }
        ASSERT_GT(h.Boxes().size(), nBefore);
        const std::string text = h.Boxes()[nBefore].text;
        EXPECT_NE(text.find(c.pszText), std::string::npos) << text;
        EXPECT_NE(text.find(c.pszFile), std::string::npos) << text;
        EXPECT_NE(text.find("Line: " + std::to_string(c.nLine) + "\n"), std::string::npos) << text;
    }
}

TEST_F(StaticSound, AMissingFileIsReportedAtLineSeven)
{
    m_pHost->QueueBoxAnswer(IDIGNORE);
    m_pHost->QueueBoxAnswer(IDIGNORE);
    m_pHost->QueueBoxAnswer(IDIGNORE);
    CStaticSound snd("no_such_file.wav", m_lpDS, 1);
    ASSERT_GE(m_pHost->Boxes().size(), 1u);
    const std::string text = m_pHost->Boxes()[0].text;
    EXPECT_NE(text.find("Expression: WaveLoadFile(szFile,&m_cbSize,&m_dwSamples,&m_pwfxInfo,&m_pbData) == 0\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("File: StaticSound\nLine: 7\n"), std::string::npos) << text;
    EXPECT_EQ(snd.Play(), -1);
}
#endif

}  // namespace
