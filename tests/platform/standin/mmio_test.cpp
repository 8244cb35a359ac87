// Buffered RIFF I/O as the WAVE code uses it: chunk records, the buffer the caller takes and
// gives back, and the sizes and pad bytes of written chunks. The same tests run against the
// stand-in natively and against winmm under Wine; the last group needs the stand-in (faults made
// on purpose, the file seen by another reader while it is open).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/win32.h"
#include "tests/sound/wave_files.h"
#ifndef _WIN32
#include "platform/standin/faults.h"
#endif

namespace {

using namespace wavefiles;

const FOURCC kWave = mmioFOURCC('W', 'A', 'V', 'E');
const FOURCC kOdd = mmioFOURCC('o', 'd', 'd', ' ');
const FOURCC kData = mmioFOURCC('d', 'a', 't', 'a');
const FOURCC kInfo = mmioFOURCC('I', 'N', 'F', 'O');

class Mmio : public testing::Test {
protected:
    const char* m_pszName = "mmio_test_scratch.bin";

    void TearDown() override
    {
#ifndef _WIN32
        standin::ClearFaults();
#endif
        std::remove(m_pszName);
    }

    void Write(const Bytes& b)
    {
        ASSERT_TRUE(WriteAll(m_pszName, b));
    }
    Bytes Read() const
    {
        return ReadAll(m_pszName);
    }
    HMMIO Open(DWORD dwFlags)
    {
        return mmioOpenA(const_cast<LPSTR>(m_pszName), NULL, dwFlags | MMIO_ALLOCBUF);
    }
    static LONG Tell(HMMIO h)
    {
        return mmioSeek(h, 0, SEEK_CUR);
    }

    // RIFF "WAVE" holding an odd 3-byte chunk with its pad, a LIST "INFO" and a 4-byte "data".
    static Bytes Sample()
    {
        Bytes body;
        PutId(body, "odd ");
        Put32(body, 3);
        body.insert(body.end(), {1, 2, 3, 0});
        PutId(body, "LIST");
        Put32(body, 4 + 8 + 2);
        PutId(body, "INFO");
        PutId(body, "INAM");
        Put32(body, 2);
        body.insert(body.end(), {'x', 0});
        PutId(body, "data");
        Put32(body, 4);
        body.insert(body.end(), {9, 8, 7, 6});
        Bytes b;
        PutId(b, "RIFF");
        Put32(b, DWORD(4 + body.size()));
        PutId(b, "WAVE");
        b.insert(b.end(), body.begin(), body.end());
        return b;
    }
};

TEST_F(Mmio, DescendFillsTheChunkRecordWithAndWithoutASearch)
{
    Write(Sample());
    HMMIO h = Open(MMIO_READ);
    ASSERT_NE(h, nullptr);
    MMCKINFO riff = {};
    ASSERT_EQ(mmioDescend(h, &riff, NULL, 0), 0u);
    EXPECT_EQ(riff.ckid, FOURCC_RIFF);
    EXPECT_EQ(riff.fccType, kWave);
    EXPECT_EQ(riff.cksize, Sample().size() - 8);
    EXPECT_EQ(riff.dwDataOffset, 8u);
    EXPECT_EQ(Tell(h), 12) << "inside a form, after its type";

    MMCKINFO ck = {};
    ASSERT_EQ(mmioDescend(h, &ck, &riff, 0), 0u);
    EXPECT_EQ(ck.ckid, kOdd);
    EXPECT_EQ(ck.cksize, 3u);
    EXPECT_EQ(ck.dwDataOffset, 20u);
    ASSERT_EQ(mmioAscend(h, &ck, 0), 0u);
    EXPECT_EQ(Tell(h), 24) << "the pad byte of the odd chunk is skipped";

    ASSERT_EQ(mmioDescend(h, &ck, &riff, 0), 0u);
    EXPECT_EQ(ck.ckid, FOURCC_LIST);
    EXPECT_EQ(ck.fccType, kInfo);
    EXPECT_EQ(ck.dwDataOffset, 32u);
    ASSERT_EQ(mmioAscend(h, &ck, 0), 0u);

    ASSERT_EQ(mmioSeek(h, 12, SEEK_SET), 12);
    ck.ckid = kData;
    ASSERT_EQ(mmioDescend(h, &ck, &riff, MMIO_FINDCHUNK), 0u);
    EXPECT_EQ(ck.cksize, 4u);
    EXPECT_EQ(ck.dwDataOffset, 54u);
    char szData[4];
    ASSERT_EQ(mmioRead(h, szData, 4), 4);
    EXPECT_EQ(szData[0], 9);
    EXPECT_EQ(mmioRead(h, szData, 4), 0) << "the end of the file reads nothing";

    ASSERT_EQ(mmioSeek(h, 12, SEEK_SET), 12);
    ck.fccType = kInfo;
    ASSERT_EQ(mmioDescend(h, &ck, &riff, MMIO_FINDLIST), 0u);
    EXPECT_EQ(ck.dwDataOffset, 32u);

    ASSERT_EQ(mmioSeek(h, 12, SEEK_SET), 12);
    ck.ckid = mmioFOURCC('n', 'o', 'n', 'e');
    EXPECT_EQ(mmioDescend(h, &ck, &riff, MMIO_FINDCHUNK), static_cast<MMRESULT>(MMIOERR_CHUNKNOTFOUND));
    EXPECT_EQ(mmioClose(h, 0), 0u);
}

TEST_F(Mmio, AscendingAWrittenChunkStoresItsSizeAndItsPad)
{
    HMMIO h = Open(MMIO_CREATE | MMIO_READWRITE);
    ASSERT_NE(h, nullptr);
    MMCKINFO riff = {};
    riff.fccType = kWave;
    ASSERT_EQ(mmioCreateChunk(h, &riff, MMIO_CREATERIFF), 0u);
    EXPECT_EQ(riff.dwDataOffset, 8u);
    MMCKINFO ck = {};
    ck.ckid = kOdd;
    ASSERT_EQ(mmioCreateChunk(h, &ck, 0), 0u);
    EXPECT_EQ(ck.dwDataOffset, 20u);
    ASSERT_EQ(mmioWrite(h, "abc", 3), 3);
    ASSERT_EQ(mmioAscend(h, &ck, 0), 0u);
    EXPECT_EQ(ck.cksize, 3u);
    EXPECT_EQ(Tell(h), 24);
    ck.ckid = kData;
    ck.cksize = 0;
    ASSERT_EQ(mmioCreateChunk(h, &ck, 0), 0u);
    ASSERT_EQ(mmioWrite(h, "wxyz", 4), 4);
    ASSERT_EQ(mmioAscend(h, &ck, 0), 0u);
    ASSERT_EQ(mmioAscend(h, &riff, 0), 0u);
    EXPECT_EQ(riff.cksize, 4u + 12 + 12);
    ASSERT_EQ(mmioClose(h, 0), 0u);

    Bytes want;
    PutId(want, "RIFF");
    Put32(want, 28);
    PutId(want, "WAVE");
    PutId(want, "odd ");
    Put32(want, 3);
    want.insert(want.end(), {'a', 'b', 'c', 0});
    PutId(want, "data");
    Put32(want, 4);
    want.insert(want.end(), {'w', 'x', 'y', 'z'});
    EXPECT_TRUE(Read() == want);
}

TEST_F(Mmio, TheCallerReadsStraightOutOfTheBufferAndAdvancesIt)
{
    Bytes b(20000);
    for (size_t i = 0; i < b.size(); ++i)
        b[i] = static_cast<unsigned char>(i * 7 + (i >> 8));
    Write(b);
    HMMIO h = Open(MMIO_READ);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(mmioSeek(h, 5, SEEK_SET), 5);
    MMIOINFO info = {};
    ASSERT_EQ(mmioGetInfo(h, &info, 0), 0u);
    ASSERT_NE(info.pchBuffer, nullptr);
    Bytes got;
    int nAdvances = 0;
    while (got.size() < b.size() - 5) {
        if (info.pchNext == info.pchEndRead) {
            ASSERT_EQ(mmioAdvance(h, &info, MMIO_READ), 0u);
            ASSERT_LT(info.pchNext, info.pchEndRead) << "a refill before the end brings bytes";
            ++nAdvances;
        }
        got.push_back(static_cast<unsigned char>(*info.pchNext++));
    }
    EXPECT_GE(nAdvances, 2);
    EXPECT_TRUE(Bytes(b.begin() + 5, b.end()) == got);
    // At the end of the file a refill succeeds and leaves the buffer empty.
    ASSERT_EQ(mmioAdvance(h, &info, MMIO_READ), 0u);
    EXPECT_EQ(info.pchNext, info.pchEndRead);
    ASSERT_EQ(mmioSetInfo(h, &info, 0), 0u);
    EXPECT_EQ(Tell(h), 20000) << "the position is where the caller stopped";
    EXPECT_EQ(mmioClose(h, 0), 0u);
}

TEST_F(Mmio, TheCallerWritesIntoTheBufferAndAdvancingFlushesIt)
{
    HMMIO h = Open(MMIO_CREATE | MMIO_READWRITE);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(mmioWrite(h, "head", 4), 4);
    MMIOINFO info = {};
    ASSERT_EQ(mmioGetInfo(h, &info, 0), 0u);
    Bytes want = {'h', 'e', 'a', 'd'};
    for (int i = 0; i < 30000; ++i) {
        if (info.pchNext == info.pchEndWrite) {
            info.dwFlags |= MMIO_DIRTY;
            ASSERT_EQ(mmioAdvance(h, &info, MMIO_WRITE), 0u);
            ASSERT_LT(info.pchNext, info.pchEndWrite);
        }
        *info.pchNext++ = static_cast<char>(i % 251);
        want.push_back(static_cast<unsigned char>(i % 251));
    }
    info.dwFlags |= MMIO_DIRTY;
    ASSERT_EQ(mmioSetInfo(h, &info, 0), 0u);
    EXPECT_EQ(Tell(h), 30004);
    ASSERT_EQ(mmioClose(h, 0), 0u);
    EXPECT_TRUE(Read() == want);
}

TEST_F(Mmio, AMissingFileIsNotFound)
{
    std::remove(m_pszName);
    MMIOINFO info = {};
    EXPECT_EQ(mmioOpenA(const_cast<LPSTR>(m_pszName), &info, MMIO_READ | MMIO_ALLOCBUF), nullptr);
    EXPECT_EQ(info.wErrorRet, MMIOERR_FILENOTFOUND);
}

#ifndef _WIN32

// What a flush writes is in the file at once: there is no second buffer under the I/O buffer.
TEST_F(Mmio, FlushedBytesAreInTheFileWhileItIsOpen)
{
    HMMIO h = Open(MMIO_CREATE | MMIO_READWRITE);
    ASSERT_NE(h, nullptr);
    Bytes want = Samples(MMIO_DEFAULTBUFFER);
    ASSERT_EQ(mmioWrite(h, reinterpret_cast<const char*>(want.data()), LONG(want.size())), LONG(want.size()));
    EXPECT_TRUE(Read().empty()) << "still in the buffer";
    MMIOINFO info;
    ASSERT_EQ(mmioGetInfo(h, &info, 0), 0u);
    ASSERT_EQ(mmioAdvance(h, &info, MMIO_WRITE), 0u);
    EXPECT_TRUE(Read() == want);
    EXPECT_EQ(mmioClose(h, 0), 0u);
}

TEST_F(Mmio, FailedCallsGiveThePlatformsCodes)
{
    Write(Sample());
    standin::FailCall("mmioOpenA");
    MMIOINFO open = {};
    EXPECT_EQ(mmioOpenA(const_cast<LPSTR>(m_pszName), &open, MMIO_ALLOCBUF | MMIO_READ), nullptr);
    EXPECT_EQ(open.wErrorRet, UINT(MMIOERR_CANNOTOPEN));

    HMMIO h = Open(MMIO_READ);
    ASSERT_NE(h, nullptr);
    MMIOINFO info;
    ASSERT_EQ(mmioGetInfo(h, &info, 0), 0u);
    standin::FailCall("mmioAdvance");
    EXPECT_EQ(mmioAdvance(h, &info, MMIO_READ), MMRESULT(MMIOERR_CANNOTREAD));
    EXPECT_EQ(info.pchNext, info.pchEndRead);
    EXPECT_EQ(mmioAdvance(h, &info, 7), MMRESULT(MMSYSERR_INVALPARAM));
    standin::FailCall("mmioRead", 1, 1);  // the second read fails, the first does not
    char sz[4];
    EXPECT_EQ(mmioRead(h, sz, 4), 4);
    EXPECT_EQ(mmioRead(h, sz, 4), -1);
    EXPECT_EQ(mmioRead(h, sz, 4), 4);
    standin::FailCall("mmioSeek");
    EXPECT_EQ(mmioSeek(h, 0, SEEK_SET), -1);
    EXPECT_EQ(mmioSeek(h, 0, SEEK_SET), 0);
    standin::FailCall("mmioDescend");
    MMCKINFO ck = {};
    EXPECT_EQ(mmioDescend(h, &ck, NULL, 0), MMRESULT(MMIOERR_CHUNKNOTFOUND));
    // The stand-in's own reads inside a descent are not the caller's: a fault waits for those.
    standin::FailCall("mmioRead");
    EXPECT_EQ(mmioDescend(h, &ck, NULL, 0), 0u);
    EXPECT_EQ(mmioRead(h, sz, 4), -1);
    EXPECT_EQ(mmioClose(h, 0), 0u);
}

// A search stays inside its parent chunk even when the file goes on behind it, as the calls
// are documented to do; Wine's searches on to the end of the file.
TEST_F(Mmio, SearchEndsAtTheParentsEnd)
{
    Bytes file = Sample();
    PutChunk(file, "LIST", Samples(4));
    Write(file);
    HMMIO h = Open(MMIO_READ);
    ASSERT_NE(h, nullptr);
    MMCKINFO riff = {}, ck = {};
    ASSERT_EQ(mmioDescend(h, &riff, NULL, 0), 0u);
    ASSERT_EQ(mmioSeek(h, 46, SEEK_SET), 46);  // past the form's own LIST, at "data"
    ck.ckid = FOURCC_LIST;
    EXPECT_EQ(mmioDescend(h, &ck, &riff, MMIO_FINDCHUNK), MMRESULT(MMIOERR_CHUNKNOTFOUND));
    EXPECT_EQ(Tell(h), 46) << "left where the search began";
    ASSERT_EQ(mmioSeek(h, LONG(riff.dwDataOffset + riff.cksize), SEEK_SET), 58);
    EXPECT_EQ(mmioDescend(h, &ck, NULL, MMIO_FINDCHUNK), 0u);
    EXPECT_EQ(ck.dwDataOffset, 66u);
    EXPECT_EQ(mmioClose(h, 0), 0u);
}

#endif

}  // namespace
