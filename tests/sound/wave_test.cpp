// WAVE reading and writing against files built byte by byte, so every layout is known exactly.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "sound/wave.h"

namespace {

typedef std::vector<unsigned char> Bytes;

void Put32(Bytes& b, DWORD v)
{
    for (int i = 0; i < 4; i++)
        b.push_back((unsigned char)(v >> (8 * i)));
}
void PutId(Bytes& b, const char* id) { b.insert(b.end(), id, id + 4); }
void PutChunk(Bytes& b, const char* id, const Bytes& data, DWORD dwSize)
{
    PutId(b, id);
    Put32(b, dwSize);
    b.insert(b.end(), data.begin(), data.end());
    if (data.size() & 1)
        b.push_back(0);
}
void PutChunk(Bytes& b, const char* id, const Bytes& data) { PutChunk(b, id, data, DWORD(data.size())); }

Bytes Fmt(WORD wTag, WORD nChannels, DWORD nRate, WORD nBits, size_t nTotal = 16)
{
    Bytes b;
    WORD nAlign = WORD(nChannels * nBits / 8);
    b.push_back((unsigned char)wTag), b.push_back((unsigned char)(wTag >> 8));
    b.push_back((unsigned char)nChannels), b.push_back(0);
    Put32(b, nRate);
    Put32(b, nRate * nAlign);
    b.push_back((unsigned char)nAlign), b.push_back(0);
    b.push_back((unsigned char)nBits), b.push_back(0);
    b.resize(nTotal, 0);
    return b;
}

Bytes Samples(size_t n)
{
    Bytes b(n);
    for (size_t i = 0; i < n; i++)
        b[i] = (unsigned char)(i * 7 + i / 251);
    return b;
}

Bytes Riff(const Bytes& body, const char* form = "WAVE", const char* id = "RIFF")
{
    Bytes b;
    PutId(b, id);
    Put32(b, DWORD(body.size() + 4));
    PutId(b, form);
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

class WaveFile : public testing::Test {
protected:
    std::string m_name = "wave_test_scratch.wav";
    void Write(const Bytes& b)
    {
        std::FILE* f = std::fopen(m_name.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(b.data(), 1, b.size(), f);
        std::fclose(f);
    }
    Bytes Read()
    {
        Bytes b;
        std::FILE* f = std::fopen(m_name.c_str(), "rb");
        if (f == nullptr)
            return b;
        int c;
        while ((c = std::fgetc(f)) != EOF)
            b.push_back((unsigned char)c);
        std::fclose(f);
        return b;
    }
    void TearDown() override { std::remove(m_name.c_str()); }
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
    Write(Riff(body));
    HMMIO hmmio;
    WAVEFORMATEX* pwfx;
    MMCKINFO ckRiff, ck;
    ASSERT_EQ(WaveOpenFile(m_name.c_str(), &hmmio, &pwfx, &ckRiff), 0);
    EXPECT_EQ(WaveStartDataRead(&hmmio, &ck, &ckRiff), MMIOERR_CHUNKNOTFOUND);
    WaveCloseInput(&hmmio, &pwfx);

    UINT cb = 77;
    DWORD dwSamples = 12345;
    BYTE* pb = (BYTE*)1;
    pwfx = (WAVEFORMATEX*)1;
    EXPECT_EQ(WaveLoadFile(m_name.c_str(), &cb, &dwSamples, &pwfx, &pb), MMIOERR_CHUNKNOTFOUND);
    EXPECT_EQ(pb, nullptr);
    EXPECT_EQ(pwfx, nullptr);
    EXPECT_EQ(cb, 0u);
    EXPECT_EQ(dwSamples, 12345u);
}

TEST_F(WaveFile, DataBeforeFormatAndOtherChunksAreFound)
{
    Bytes body;
    PutChunk(body, "data", Samples(301));
    PutChunk(body, "LIST", Samples(9));
    PutChunk(body, "fmt ", Fmt(1, 1, 11025, 8));
    Write(Riff(body));
    UINT cb = 0;
    DWORD dwSamples = 5;
    BYTE* pb = NULL;
    WAVEFORMATEX* pwfx = NULL;
    ASSERT_EQ(WaveLoadFile(m_name.c_str(), &cb, &dwSamples, &pwfx, &pb), 0);
    ASSERT_EQ(cb, 301u);
    EXPECT_EQ(Bytes(pb, pb + cb), Samples(301));
    EXPECT_EQ(pwfx->nSamplesPerSec, 11025u);
    EXPECT_EQ(dwSamples, 5u);
    GlobalFree(GlobalHandle(pb));
    GlobalFree(GlobalHandle(pwfx));
}

TEST_F(WaveFile, ReadingInPiecesAndStartingOver)
{
    Bytes body;
    PutChunk(body, "fmt ", Fmt(1, 1, 8000, 8));
    PutChunk(body, "data", Samples(10000));
    Write(Riff(body));
    HMMIO hmmio;
    WAVEFORMATEX* pwfx;
    MMCKINFO ckRiff, ck;
    ASSERT_EQ(WaveOpenFile(m_name.c_str(), &hmmio, &pwfx, &ckRiff), 0);
    ASSERT_EQ(WaveStartDataRead(&hmmio, &ck, &ckRiff), 0);
    Bytes all, piece(4096);
    for (UINT cbWant : {4096u, 4096u, 1808u, 0u}) {
        UINT cb = 999;
        ASSERT_EQ(WaveReadData(hmmio, 4096, piece.data(), &ck, &cb), 0);
        ASSERT_EQ(cb, cbWant);
        all.insert(all.end(), piece.begin(), piece.begin() + cb);
    }
    EXPECT_EQ(all, Samples(10000));

    ASSERT_EQ(WaveStartDataRead(&hmmio, &ck, &ckRiff), 0);
    EXPECT_EQ(ck.cksize, 10000u);
    UINT cb = 0;
    ASSERT_EQ(WaveReadData(hmmio, 100, piece.data(), &ck, &cb), 0);
    EXPECT_EQ(Bytes(piece.begin(), piece.begin() + 100), Samples(100));
    EXPECT_EQ(ck.cksize, 9900u);
    WaveCloseInput(&hmmio, &pwfx);
}

TEST_F(WaveFile, DataSizeBeyondTheFileIsTruncated)
{
    Bytes body;
    PutChunk(body, "fmt ", Fmt(1, 1, 8000, 8));
    PutChunk(body, "data", Samples(1000), 1000 + 4096);
    Write(Riff(body));
    HMMIO hmmio;
    WAVEFORMATEX* pwfx;
    MMCKINFO ckRiff, ck;
    ASSERT_EQ(WaveOpenFile(m_name.c_str(), &hmmio, &pwfx, &ckRiff), 0);
    ASSERT_EQ(WaveStartDataRead(&hmmio, &ck, &ckRiff), 0);
    Bytes buf(8192);
    UINT cb = 5;
    EXPECT_EQ(WaveReadData(hmmio, 8192, buf.data(), &ck, &cb), WAVEERR_TRUNCATED);
    EXPECT_EQ(cb, 0u);
    EXPECT_EQ(ck.cksize, 0u);  // lowered by the full count even though the read failed
    WaveCloseInput(&hmmio, &pwfx);

    for (DWORD dwSize : {DWORD(1000 + 4096), DWORD(0xFFFFFFFF)}) {
        Bytes hostile;
        PutChunk(hostile, "fmt ", Fmt(1, 1, 8000, 8));
        PutChunk(hostile, "data", Samples(1000), dwSize);
        Write(Riff(hostile));
        UINT cbSize = 1;
        DWORD dwSamples = 0;
        BYTE* pb = (BYTE*)1;
        pwfx = (WAVEFORMATEX*)1;
        EXPECT_EQ(WaveLoadFile(m_name.c_str(), &cbSize, &dwSamples, &pwfx, &pb), WAVEERR_TRUNCATED) << dwSize;
        EXPECT_EQ(pb, nullptr);
        EXPECT_EQ(pwfx, nullptr);
        EXPECT_EQ(cbSize, 0u);
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
    WAVEFORMATEX wfx;
    std::memcpy(&wfx, fmt.data(), 16);
    wfx.cbSize = 0;
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

    UINT cb = 0;
    DWORD dwSamples = 0;
    BYTE* pb = NULL;
    WAVEFORMATEX* pwfx = NULL;
    ASSERT_EQ(WaveLoadFile(m_name.c_str(), &cb, &dwSamples, &pwfx, &pb), 0);
    EXPECT_EQ(Bytes(pb, pb + cb), data);
    GlobalFree(GlobalHandle(pb));
    GlobalFree(GlobalHandle(pwfx));
}

TEST_F(WaveFile, LargeOddStoreSpansManyBufferFlushes)
{
    Bytes fmt = Fmt(1, 2, 44100, 16);
    WAVEFORMATEX wfx;
    std::memcpy(&wfx, fmt.data(), 16);
    wfx.cbSize = 0;
    Bytes data = Samples(100001);
    ASSERT_EQ(WaveStoreFile(m_name.c_str(), UINT(data.size()), 25000, &wfx, data.data()), 0);
    Bytes file = Read();
    ASSERT_EQ(file.size(), 12 + 24 + 12 + 8 + 100002u);
    UINT cb = 0;
    DWORD dwSamples = 0;
    BYTE* pb = NULL;
    WAVEFORMATEX* pwfx = NULL;
    ASSERT_EQ(WaveLoadFile(m_name.c_str(), &cb, &dwSamples, &pwfx, &pb), 0);
    ASSERT_EQ(cb, data.size());
    EXPECT_EQ(Bytes(pb, pb + cb), data);
    GlobalFree(GlobalHandle(pb));
    GlobalFree(GlobalHandle(pwfx));
}

}  // namespace
