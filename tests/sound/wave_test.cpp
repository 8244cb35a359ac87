// WAVE reading and writing against files built byte by byte, so every layout is known exactly.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "sound/wave.h"
#include "tests/sound/wave_files.h"

namespace {

using namespace wavefiles;

class WaveFile : public testing::Test {
protected:
    std::string m_name = "wave_test_scratch.wav";
    HMMIO m_hmmio = NULL;
    WAVEFORMATEX* m_pwfx = NULL;
    MMCKINFO m_ckRiff = {}, m_ck = {};

    void Write(const Bytes& b) { ASSERT_TRUE(WriteAll(m_name, b)); }
    Bytes Read() { return ReadAll(m_name); }
    // Writes the file, opens it (which must work) and returns WaveStartDataRead's result.
    int OpenAtData(const Bytes& file)
    {
        Write(file);
        int nOpen = WaveOpenFile(m_name.c_str(), &m_hmmio, &m_pwfx, &m_ckRiff);
        EXPECT_EQ(nOpen, 0);
        return nOpen != 0 ? nOpen : WaveStartDataRead(&m_hmmio, &m_ck, &m_ckRiff);
    }
    // Loads the file whole, expecting that code, nothing left allocated and the sample count untouched.
    void ExpectLoadFails(int nWant)
    {
        UINT cb = 77;
        DWORD dwSamples = 12345;
        BYTE* pb = (BYTE*)1;
        WAVEFORMATEX* pwfx = (WAVEFORMATEX*)1;
        EXPECT_EQ(WaveLoadFile(m_name.c_str(), &cb, &dwSamples, &pwfx, &pb), nWant);
        EXPECT_EQ(pb, nullptr);
        EXPECT_EQ(pwfx, nullptr);
        EXPECT_EQ(cb, 0u);
        EXPECT_EQ(dwSamples, 12345u);
    }
    // Loads the file whole, which must work: its data bytes, and its rate; the sample count
    // argument must come back as it went in.
    Bytes LoadWhole(DWORD* pnRate = NULL)
    {
        UINT cb = 0;
        DWORD dwSamples = 5;
        BYTE* pb = NULL;
        WAVEFORMATEX* pwfx = NULL;
        EXPECT_EQ(WaveLoadFile(m_name.c_str(), &cb, &dwSamples, &pwfx, &pb), 0);
        EXPECT_EQ(dwSamples, 5u);
        if (pb == NULL || pwfx == NULL)
            return Bytes();
        Bytes data(pb, pb + cb);
        if (pnRate != NULL)
            *pnRate = pwfx->nSamplesPerSec;
        GlobalFree(GlobalHandle(pb));
        GlobalFree(GlobalHandle(pwfx));
        return data;
    }
    void TearDown() override
    {
        WaveCloseInput(&m_hmmio, &m_pwfx);
        std::remove(m_name.c_str());
    }
};

TEST_F(WaveFile, PcmFormatChunksOf16And18BytesGiveAnEighteenByteRecord)
{
    for (size_t nFmt : {size_t(16), size_t(18), size_t(20)}) {
        Bytes body;
        PutChunk(body, "fmt ", Fmt(1, 2, 22050, 16, nFmt));
        PutChunk(body, "data", Samples(40));
        Write(Riff(body));
        HMMIO hmmio = NULL;
        WAVEFORMATEX* pwfx = NULL;
        MMCKINFO ckRiff;
        ASSERT_EQ(WaveOpenFile(m_name.c_str(), &hmmio, &pwfx, &ckRiff), 0) << nFmt;
        ASSERT_NE(pwfx, nullptr);
        EXPECT_EQ(pwfx->cbSize, 0);
        EXPECT_EQ(pwfx->nChannels, 2);
        EXPECT_EQ(pwfx->nSamplesPerSec, 22050u);
        EXPECT_EQ(pwfx->nBlockAlign, 4);
        EXPECT_EQ(ckRiff.ckid, mmioFOURCC('R', 'I', 'F', 'F'));
        EXPECT_EQ(ckRiff.dwDataOffset, 8u);
        MMCKINFO ck;
        UINT cb = 0;
        Bytes got(40);
        ASSERT_EQ(WaveStartDataRead(&hmmio, &ck, &ckRiff), 0);
        EXPECT_EQ(ck.cksize, 40u);
        EXPECT_EQ(ck.dwDataOffset, 12 + 8 + nFmt + 8);
        ASSERT_EQ(WaveReadData(hmmio, 40, got.data(), &ck, &cb), 0);
        EXPECT_EQ(got, Samples(40));
        EXPECT_EQ(WaveCloseInput(&hmmio, &pwfx), 0);
        EXPECT_EQ(hmmio, nullptr);
        EXPECT_EQ(pwfx, nullptr);
    }
}

TEST_F(WaveFile, ForeignHeadersAndShortFormatsAreFormatErrors)
{
    Bytes body;
    PutChunk(body, "fmt ", Fmt(1, 1, 8000, 8));
    PutChunk(body, "data", Samples(10));
    Bytes shortFmt;
    PutChunk(shortFmt, "fmt ", Fmt(1, 1, 8000, 8, 14));
    PutChunk(shortFmt, "data", Samples(10));
    const Bytes cases[] = {Riff(body, "WAVE", "RIFX"), Riff(body, "AVI "), Riff(shortFmt)};
    for (const Bytes& file : cases) {
        Write(file);
        HMMIO hmmio = (HMMIO)1;
        WAVEFORMATEX* pwfx = (WAVEFORMATEX*)1;
        MMCKINFO ckRiff;
        EXPECT_EQ(WaveOpenFile(m_name.c_str(), &hmmio, &pwfx, &ckRiff), WAVEERR_FORMAT);
        EXPECT_EQ(hmmio, nullptr);
        EXPECT_EQ(pwfx, nullptr);
    }
    HMMIO hmmio;
    WAVEFORMATEX* pwfx;
    MMCKINFO ckRiff;
    EXPECT_EQ(WaveOpenFile("no_such_file.wav", &hmmio, &pwfx, &ckRiff), WAVEERR_OPEN);
}

TEST_F(WaveFile, MissingDataChunkIsThePlatformsNotFoundCode)
{
    Bytes body;
    PutChunk(body, "fmt ", Fmt(1, 1, 8000, 8));
    PutChunk(body, "fact", Samples(4));
    EXPECT_EQ(OpenAtData(Riff(body)), MMIOERR_CHUNKNOTFOUND);
    ExpectLoadFails(MMIOERR_CHUNKNOTFOUND);
}

TEST_F(WaveFile, DataBeforeFormatAndOtherChunksAreFound)
{
    Bytes body;
    PutChunk(body, "data", Samples(301));
    PutChunk(body, "LIST", Samples(9));
    PutChunk(body, "fmt ", Fmt(1, 1, 11025, 8));
    Write(Riff(body));
    DWORD nRate = 0;
    EXPECT_EQ(LoadWhole(&nRate), Samples(301));
    EXPECT_EQ(nRate, 11025u);
}

TEST_F(WaveFile, ReadingInPiecesAndStartingOver)
{
    Bytes body;
    PutChunk(body, "fmt ", Fmt(1, 1, 8000, 8));
    PutChunk(body, "data", Samples(10000));
    ASSERT_EQ(OpenAtData(Riff(body)), 0);
    Bytes all, piece(4096);
    for (UINT cbWant : {4096u, 4096u, 1808u, 0u}) {
        UINT cb = 999;
        ASSERT_EQ(WaveReadData(m_hmmio, 4096, piece.data(), &m_ck, &cb), 0);
        ASSERT_EQ(cb, cbWant);
        all.insert(all.end(), piece.begin(), piece.begin() + cb);
    }
    EXPECT_EQ(all, Samples(10000));

    ASSERT_EQ(WaveStartDataRead(&m_hmmio, &m_ck, &m_ckRiff), 0);
    EXPECT_EQ(m_ck.cksize, 10000u);
    UINT cb = 0;
    ASSERT_EQ(WaveReadData(m_hmmio, 100, piece.data(), &m_ck, &cb), 0);
    EXPECT_EQ(Bytes(piece.begin(), piece.begin() + 100), Samples(100));
    EXPECT_EQ(m_ck.cksize, 9900u);
}

TEST_F(WaveFile, DataSizeBeyondTheFileIsTruncated)
{
    Bytes body;
    PutChunk(body, "fmt ", Fmt(1, 1, 8000, 8));
    PutChunk(body, "data", Samples(1000), 1000 + 4096);
    ASSERT_EQ(OpenAtData(Riff(body)), 0);
    Bytes buf(8192);
    UINT cb = 5;
    EXPECT_EQ(WaveReadData(m_hmmio, 8192, buf.data(), &m_ck, &cb), WAVEERR_TRUNCATED);
    EXPECT_EQ(cb, 0u);
    EXPECT_EQ(m_ck.cksize, 0u);  // lowered by the full count even though the read failed
    WaveCloseInput(&m_hmmio, &m_pwfx);

    for (DWORD dwSize : {DWORD(1000 + 4096), DWORD(0xFFFFFFFF)}) {
        Bytes hostile;
        PutChunk(hostile, "fmt ", Fmt(1, 1, 8000, 8));
        PutChunk(hostile, "data", Samples(1000), dwSize);
        Write(Riff(hostile));
        SCOPED_TRACE(dwSize);
        ExpectLoadFails(WAVEERR_TRUNCATED);
    }
}

TEST_F(WaveFile, ExtraFormatBytesAreReadAndAShortfallIsAFormatError)
{
    Bytes fmt = Fmt(0xFFFE, 2, 44100, 16, 40);
    fmt[16] = 22, fmt[17] = 0;
    for (size_t i = 18; i < 40; i++)
        fmt[i] = (unsigned char)(0xA0 + i);
    Bytes body;
    PutChunk(body, "fmt ", fmt);
    PutChunk(body, "data", Samples(16));
    Write(Riff(body));
    HMMIO hmmio;
    WAVEFORMATEX* pwfx;
    MMCKINFO ckRiff;
    ASSERT_EQ(WaveOpenFile(m_name.c_str(), &hmmio, &pwfx, &ckRiff), 0);
    EXPECT_EQ(pwfx->wFormatTag, 0xFFFE);
    ASSERT_EQ(pwfx->cbSize, 22);
    EXPECT_EQ(Bytes((BYTE*)pwfx + 18, (BYTE*)pwfx + 40), Bytes(fmt.begin() + 18, fmt.end()));
    WaveCloseInput(&hmmio, &pwfx);

    // An announced extra count of 65535 in a file that has far fewer bytes.
    Bytes hostile = Fmt(0xFFFE, 2, 44100, 16, 18);
    hostile[16] = 0xFF, hostile[17] = 0xFF;
    Bytes body2;
    PutChunk(body2, "fmt ", hostile);
    Write(Riff(body2));
    EXPECT_EQ(WaveOpenFile(m_name.c_str(), &hmmio, &pwfx, &ckRiff), WAVEERR_FORMAT);
    EXPECT_EQ(pwfx, nullptr);
}

TEST_F(WaveFile, StoreFileWritesRiffFmtFactDataAndLoadsBack)
{
    Bytes fmt = Fmt(1, 1, 11025, 8);
    WAVEFORMATEX wfx = FmtRecord(1, 1, 11025, 8);
    Bytes data = Samples(1000);
    ASSERT_EQ(WaveStoreFile(m_name.c_str(), 1000, 1000, &wfx, data.data()), 0);
    Bytes file = Read();
    ASSERT_EQ(file.size(), 1056u);
    Bytes want;
    PutChunk(want, "fmt ", fmt);
    Bytes fact;
    Put32(fact, 1000);
    PutChunk(want, "fact", fact);
    PutChunk(want, "data", data);
    EXPECT_EQ(file, Riff(want));
    EXPECT_EQ(LoadWhole(), data);
}

TEST_F(WaveFile, LargeOddStoreSpansManyBufferFlushes)
{
    WAVEFORMATEX wfx = FmtRecord(1, 2, 44100, 16);
    Bytes data = Samples(100001);
    ASSERT_EQ(WaveStoreFile(m_name.c_str(), UINT(data.size()), 25000, &wfx, data.data()), 0);
    Bytes file = Read();
    ASSERT_EQ(file.size(), 12 + 24 + 12 + 8 + 100002u);
    EXPECT_TRUE(LoadWhole() == data);
}

// Only the display and playlist chunks are copied, in file order, each with its own size; the
// input ends up at the start of its sub-chunks again.
TEST_F(WaveFile, ExtraChunksCopiedAreDisplayAndPlaylistOnly)
{
    Bytes body;
    PutChunk(body, "fmt ", Fmt(1, 1, 8000, 8));
    PutChunk(body, "DISP", Samples(5));
    PutChunk(body, "LIST", Samples(4));
    PutChunk(body, "plst", Samples(8));
    PutChunk(body, "data", Samples(10));
    PutChunk(body, "DISP", Bytes(2, 0x33));
    // A chunk whose data would run past the end of "RIFF" ends the copy.
    PutChunk(body, "plst", Samples(12), 1000);
    Write(Riff(body));
    ASSERT_EQ(WaveOpenFile(m_name.c_str(), &m_hmmio, &m_pwfx, &m_ckRiff), 0);
    std::string out = m_name + ".out";
    HMMIO hmmioOut = mmioOpenA(const_cast<LPSTR>(out.c_str()), NULL, MMIO_ALLOCBUF | MMIO_READWRITE | MMIO_CREATE);
    ASSERT_NE(hmmioOut, nullptr);
    MMCKINFO ck;
    EXPECT_EQ(WaveCopyExtraChunks(&m_hmmio, &ck, &m_ckRiff, &hmmioOut), 0);
    EXPECT_EQ(mmioSeek(m_hmmio, 0, SEEK_CUR), 12);
    mmioClose(hmmioOut, 0);

    Bytes want;
    PutChunk(want, "DISP", Samples(5));
    PutChunk(want, "plst", Samples(8));
    PutChunk(want, "DISP", Bytes(2, 0x33));
    EXPECT_EQ(ReadAll(out), want);
    std::remove(out.c_str());

    // The input can still be read as before.
    ASSERT_EQ(WaveStartDataRead(&m_hmmio, &m_ck, &m_ckRiff), 0);
    EXPECT_EQ(m_ck.cksize, 10u);
}

TEST_F(WaveFile, ChunkCopyOfAChunkCutShortFails)
{
    Bytes body;
    PutChunk(body, "fmt ", Fmt(1, 1, 8000, 8));
    PutChunk(body, "DISP", Samples(6), 5000);
    Write(Riff(body));
    ASSERT_EQ(WaveOpenFile(m_name.c_str(), &m_hmmio, &m_pwfx, &m_ckRiff), 0);
    MMCKINFO ck = {};
    ck.ckid = mmioFOURCC('D', 'I', 'S', 'P');
    ASSERT_EQ(mmioDescend(m_hmmio, &ck, NULL, MMIO_FINDCHUNK), 0u);
    std::string out = m_name + ".out";
    HMMIO hmmioOut = mmioOpenA(const_cast<LPSTR>(out.c_str()), NULL, MMIO_ALLOCBUF | MMIO_READWRITE | MMIO_CREATE);
    ASSERT_NE(hmmioOut, nullptr);
    EXPECT_EQ(WaveCopyChunk(m_hmmio, hmmioOut, &ck), FALSE);
    mmioClose(hmmioOut, 0);
    std::remove(out.c_str());
}

}  // namespace
