// The WAVE functions when the platform fails under them, and the two checks that report through
// the assertion box. Failures are made in the stand-in and the box is answered by the headless
// host, so these run natively only.
#ifndef _WIN32
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/standin/faults.h"
#include "platform/host/headless/headless.h"
#include "sound/wave.h"
#include "tests/child.h"
#include "tests/sound/wave_files.h"

namespace {

using namespace wavefiles;

const char kName[] = "wave_faults_scratch.wav";

class WaveFaults : public testing::Test {
protected:
    host::HeadlessHost* m_pHost = nullptr;
    HMMIO m_hmmio = NULL;
    WAVEFORMATEX* m_pwfx = NULL;
    MMCKINFO m_ckRiff = {}, m_ck = {};

    void SetUp() override { m_pHost = &host::UseHeadless(); }
    void TearDown() override
    {
        standin::ClearFaults();
        WaveCloseInput(&m_hmmio, &m_pwfx);
        std::remove(kName);
    }
    void Open(const Bytes& file)
    {
        ASSERT_TRUE(WriteAll(kName, file));
        ASSERT_EQ(WaveOpenFile(kName, &m_hmmio, &m_pwfx, &m_ckRiff), 0);
    }
};

TEST_F(WaveFaults, OpenPassesPlatformCodesOnAndLeavesNothingOpen)
{
    ASSERT_TRUE(WriteAll(kName, PcmFile(Samples(100))));
    struct Case {
        const char* pszCall;
        int nWant;
    } const cases[] = {
        {"mmioOpenA", WAVEERR_OPEN},
        {"mmioDescend", MMIOERR_CHUNKNOTFOUND},
        {"mmioRead", WAVEERR_READ},
        {"mmioAscend", MMIOERR_CANNOTSEEK},
    };
    for (const Case& c : cases) {
        standin::FailCall(c.pszCall);
        HMMIO hmmio = (HMMIO)1;
        WAVEFORMATEX* pwfx = (WAVEFORMATEX*)1;
        EXPECT_EQ(WaveOpenFile(kName, &hmmio, &pwfx, &m_ckRiff), c.nWant) << c.pszCall;
        EXPECT_EQ(hmmio, nullptr) << c.pszCall;
        EXPECT_EQ(pwfx, nullptr) << c.pszCall;
        standin::ClearFaults();
    }
}

TEST_F(WaveFaults, FailedRefillEndsTheReadWithItsCodeAndNoBytes)
{
    Open(PcmFile(Samples(20000)));
    ASSERT_EQ(WaveStartDataRead(&m_hmmio, &m_ck, &m_ckRiff), 0);
    Bytes buf(20000);
    UINT cb = 0;
    ASSERT_EQ(WaveReadData(m_hmmio, 100, buf.data(), &m_ck, &cb), 0);
    standin::FailCall("mmioAdvance");
    cb = 7;
    EXPECT_EQ(WaveReadData(m_hmmio, 15000, buf.data(), &m_ck, &cb), MMIOERR_CANNOTREAD);
    EXPECT_EQ(cb, 0u);
    EXPECT_EQ(m_ck.cksize, 20000u - 100 - 15000);  // lowered by the full count all the same

    // Loading whole meets the same failure and keeps nothing.
    standin::FailCall("mmioAdvance");
    UINT cbSize = 1;
    DWORD dwSamples = 3;
    BYTE* pb = (BYTE*)1;
    WAVEFORMATEX* pwfx = (WAVEFORMATEX*)1;
    EXPECT_EQ(WaveLoadFile(kName, &cbSize, &dwSamples, &pwfx, &pb), MMIOERR_CANNOTREAD);
    EXPECT_EQ(pb, nullptr);
    EXPECT_EQ(pwfx, nullptr);
    EXPECT_EQ(cbSize, 0u);
}

TEST_F(WaveFaults, FailedFlushCountsTheBytesCopiedAndStoreClosesTheFile)
{
    WAVEFORMATEX wfx = FmtRecord(1, 2, 44100, 16);
    HMMIO hmmio = NULL;
    MMCKINFO ck, ckRiff;
    MMIOINFO info;
    ASSERT_EQ(WaveOpenOutput(kName, &hmmio, &wfx, &ck, &ckRiff), 0);
    ASSERT_EQ(WaveStartDataOutput(&hmmio, &ck, &info), 0);
    LONG cbRoom = LONG(info.pchEndWrite - info.pchNext);
    ASSERT_GT(cbRoom, 0);
    Bytes data = Samples(30000);
    standin::FailCall("mmioAdvance");
    UINT cbWritten = 0;
    EXPECT_EQ(WaveWriteData(hmmio, UINT(data.size()), data.data(), &ck, &cbWritten, &info), MMIOERR_CANNOTWRITE);
    EXPECT_EQ(cbWritten, UINT(cbRoom));
    mmioClose(hmmio, 0);

    // The whole store stops at the same point; what reached the buffer stays in the file.
    standin::FailCall("mmioAdvance");
    EXPECT_EQ(WaveStoreFile(kName, UINT(data.size()), 15000, &wfx, data.data()), MMIOERR_CANNOTWRITE);
    Bytes file = ReadAll(kName);
    ASSERT_EQ(file.size(), size_t(MMIO_DEFAULTBUFFER));
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 4), Bytes({'R', 'I', 'F', 'F'}));
    EXPECT_EQ(Bytes(file.begin() + 56, file.end()), Bytes(data.begin(), data.begin() + (file.size() - 56)));
}

TEST_F(WaveFaults, HeaderFailuresKeepTheFileOpenAndStoreClosesIt)
{
    WAVEFORMATEX wfx = FmtRecord(1, 1, 8000, 8);
    struct Case {
        const char* pszCall;
        int nAfter;
        int nWant;
    } const cases[] = {
        {"mmioCreateChunk", 0, MMIOERR_CANNOTWRITE},  // the "RIFF" chunk
        {"mmioCreateChunk", 2, MMIOERR_CANNOTWRITE},  // the "fact" chunk
        {"mmioWrite", 0, WAVEERR_WRITE},              // the format record
        {"mmioWrite", 1, WAVEERR_WRITE},              // the placeholder sample count
        {"mmioAscend", 0, MMIOERR_CANNOTSEEK},        // leaving "fmt ": the platform's code
        {"mmioAscend", 1, WAVEERR_WRITE},             // leaving "fact": the module's own
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.pszCall) + " after " + std::to_string(c.nAfter));
        HMMIO hmmio = NULL;
        MMCKINFO ck, ckRiff;
        standin::FailCall(c.pszCall, 1, c.nAfter);
        EXPECT_EQ(WaveOpenOutput(kName, &hmmio, &wfx, &ck, &ckRiff), c.nWant);
        EXPECT_NE(hmmio, nullptr);
        if (hmmio != NULL) {
            EXPECT_EQ(mmioClose(hmmio, 0), 0u);
        }

        standin::FailCall(c.pszCall, 1, c.nAfter);
        EXPECT_EQ(WaveStoreFile(kName, 4, 4, &wfx, Samples(4).data()), c.nWant);
        standin::ClearFaults();
    }
    // Nothing is left open: a store that works still finds the file free.
    Bytes data = Samples(4);
    ASSERT_EQ(WaveStoreFile(kName, 4, 4, &wfx, data.data()), 0);
    EXPECT_EQ(ReadAll(kName).size(), 12u + 24 + 12 + 12);
}

// A seek that fails before the data is reported; after Ignore the file is still usable from its
// real start.
TEST_F(WaveFaults, SeekThatFailsIsReportedAndIgnoreGoesOn)
{
    Open(PcmFile(Samples(100)));
    // A form whose data would start beyond any position a seek can reach.
    MMCKINFO ckRiffFar = m_ckRiff;
    ckRiffFar.dwDataOffset = 0xFFFFFFF0u;
    WaveStartDataRead(&m_hmmio, &m_ck, &ckRiffFar);
    ASSERT_EQ(m_pHost->Boxes().size(), 1u);
    EXPECT_NE(m_pHost->Boxes()[0].text.find("Expression: FALSE"), std::string::npos);
    EXPECT_NE(m_pHost->Boxes()[0].text.find("File: wave\n"), std::string::npos);
    EXPECT_NE(m_pHost->Boxes()[0].text.find("Line: 188"), std::string::npos);

    ASSERT_EQ(WaveStartDataRead(&m_hmmio, &m_ck, &m_ckRiff), 0);
    EXPECT_EQ(m_ck.cksize, 100u);
}

// Abort at that report ends the process.
CHILD_SCENARIO(wave_positioning_abort)
{
    HMMIO hmmio = NULL;
    WAVEFORMATEX* pwfx = NULL;
    MMCKINFO ckRiff, ck;
    if (!WriteAll(kName, PcmFile(Samples(50))) || WaveOpenFile(kName, &hmmio, &pwfx, &ckRiff) != 0)
        return 70;
    std::remove(kName);
    standin::FailCall("mmioSeek");
    host::Headless()->QueueBoxAnswer(host::BoxAnswer::Abort);
    WaveStartDataRead(&hmmio, &ck, &ckRiff);
    return 0;  // not reached
}

TEST_F(WaveFaults, AbortAtTheReportEndsTheProcess)
{
    EXPECT_EQ(RunChildProcess("wave_positioning_abort"), 3);
}

// A file that its writer began without the placeholder "fact" chunk: the close reports it,
// and after Ignore the file is finished and closed all the same.
TEST_F(WaveFaults, MissingFactChunkAtCloseIsReported)
{
    HMMIO hmmio = mmioOpenA(const_cast<LPSTR>(kName), NULL, MMIO_ALLOCBUF | MMIO_READWRITE | MMIO_CREATE);
    ASSERT_NE(hmmio, nullptr);
    MMCKINFO ckRiff = {}, ck = {};
    ckRiff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
    ASSERT_EQ(mmioCreateChunk(hmmio, &ckRiff, MMIO_CREATERIFF), 0u);
    MMIOINFO info;
    ASSERT_EQ(WaveStartDataOutput(&hmmio, &ck, &info), 0);
    Bytes data = Samples(10);
    UINT cb = 0;
    ASSERT_EQ(WaveWriteData(hmmio, 10, data.data(), &ck, &cb, &info), 0);
    m_pHost->QueueBoxAnswer(host::BoxAnswer::Ignore);
    EXPECT_EQ(WaveCloseOutput(&hmmio, &ck, &ckRiff, &info, 10), 0);
    EXPECT_EQ(hmmio, nullptr);
    ASSERT_EQ(m_pHost->Boxes().size(), 1u);
    const std::string text = m_pHost->Boxes()[0].text;  // a copy: Boxes() answers a temporary
    EXPECT_NE(text.find("FALSE"), std::string::npos) << text;
    EXPECT_NE(text.find("wave"), std::string::npos) << text;
    EXPECT_NE(text.find("590"), std::string::npos) << text;

    Bytes want;
    PutChunk(want, "data", data);
    EXPECT_EQ(ReadAll(kName), Riff(want));
}

}  // namespace
#endif
