// WAVE data far longer than the file's buffer, read as the streamed sound reads it: in pieces of
// any size, over again from the start, and to a size field that promises more than the file has.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "sound/wave.h"
#include "tests/sound/wave_files.h"

namespace {

using namespace wavefiles;

class WaveLong : public testing::Test {
protected:
    std::string m_name = "wave_long_scratch.wav";
    HMMIO m_hmmio = NULL;
    WAVEFORMATEX* m_pwfx = NULL;
    MMCKINFO m_ckRiff = {}, m_ck = {};

    // A "fact" chunk of odd length first, so the data starts at no round offset.
    void OpenAtData(const Bytes& data, DWORD dwSize)
    {
        Bytes body;
        PutChunk(body, "fmt ", Fmt(1, 2, 44100, 16));
        PutChunk(body, "fact", Samples(7));
        PutChunk(body, "data", data, dwSize);
        ASSERT_TRUE(WriteAll(m_name, Riff(body)));
        ASSERT_EQ(WaveOpenFile(m_name.c_str(), &m_hmmio, &m_pwfx, &m_ckRiff), 0);
        ASSERT_EQ(WaveStartDataRead(&m_hmmio, &m_ck, &m_ckRiff), 0);
    }
    void TearDown() override
    {
        WaveCloseInput(&m_hmmio, &m_pwfx);
        std::remove(m_name.c_str());
    }
};

TEST_F(WaveLong, PiecesOfEverySizeAndStartingOver)
{
    const Bytes data = Samples(900001);
    ASSERT_NO_FATAL_FAILURE(OpenAtData(data, DWORD(data.size())));
    for (UINT cbPiece : {1u, 4095u, 8192u, 12345u, 300000u, 1000000u}) {
        SCOPED_TRACE(cbPiece);
        ASSERT_EQ(WaveStartDataRead(&m_hmmio, &m_ck, &m_ckRiff), 0);
        Bytes all, piece(cbPiece);
        // A piece of one byte at a time would take long: the first 20000 bytes only.
        const size_t nWant = cbPiece == 1 ? 20000 : data.size();
        while (all.size() < nWant) {
            UINT cb = 0;
            ASSERT_EQ(WaveReadData(m_hmmio, cbPiece, piece.data(), &m_ck, &cb), 0);
            ASSERT_EQ(cb, std::min<size_t>(cbPiece, data.size() - all.size()));
            all.insert(all.end(), piece.begin(), piece.begin() + cb);
        }
        ASSERT_TRUE(Bytes(data.begin(), data.begin() + nWant) == all);
    }
}

TEST_F(WaveLong, ASizeBeyondTheFileEndsInTruncationAfterTheBytesThereAre)
{
    const Bytes data = Samples(600000);
    ASSERT_NO_FATAL_FAILURE(OpenAtData(data, DWORD(data.size()) + 5000));
    Bytes piece(100000);
    UINT cb = 0;
    for (int i = 0; i < 6; ++i) {
        ASSERT_EQ(WaveReadData(m_hmmio, 100000, piece.data(), &m_ck, &cb), 0);
        ASSERT_EQ(cb, 100000u);
        ASSERT_TRUE(Bytes(data.begin() + i * 100000, data.begin() + (i + 1) * 100000) == piece);
    }
    EXPECT_EQ(WaveReadData(m_hmmio, 100000, piece.data(), &m_ck, &cb), WAVEERR_TRUNCATED);
    EXPECT_EQ(cb, 0u);
}

}  // namespace
