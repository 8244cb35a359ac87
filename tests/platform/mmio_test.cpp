// The buffered RIFF file calls as the WAVE module uses them. The first group holds for the
// platform's own calls as much as for the stand-in and runs on both; the second needs the
// stand-in (faults made on purpose, the file seen by another reader while it is open).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/win32.h"
#include "tests/sound/wave_files.h"
#ifndef _WIN32
#include "platform/faults.h"
#endif

namespace {

using namespace wavefiles;

const char kName[] = "mmio_test_scratch.riff";
const FOURCC kWave = mmioFOURCC('W', 'A', 'V', 'E');

class Mmio : public testing::Test {
protected:
    HMMIO m_hmmio = NULL;

    void TearDown() override
    {
        if (m_hmmio != NULL)
            mmioClose(m_hmmio, 0);
#ifndef _WIN32
        standin::ClearFaults();
#endif
        std::remove(kName);
    }
    void OpenForReading(const Bytes& file)
    {
        ASSERT_TRUE(WriteAll(kName, file));
        m_hmmio = mmioOpenA(const_cast<LPSTR>(kName), NULL, MMIO_ALLOCBUF | MMIO_READ);
        ASSERT_NE(m_hmmio, nullptr);
    }
    void Create()
    {
        m_hmmio = mmioOpenA(const_cast<LPSTR>(kName), NULL, MMIO_ALLOCBUF | MMIO_READWRITE | MMIO_CREATE);
        ASSERT_NE(m_hmmio, nullptr);
    }
    void Close()
    {
        ASSERT_EQ(mmioClose(m_hmmio, 0), 0u);
        m_hmmio = NULL;
    }
    LONG Here() { return mmioSeek(m_hmmio, 0, SEEK_CUR); }
};

// RIFF "WAVE" at 0 (data at 8, 54 bytes); "junk" of 3 bytes at 12 (data at 20, one pad byte);
// "fmt " at 24 (data at 32); "data" of 6 bytes at 48 (data at 56); 62 bytes in all.
Bytes ThreeChunks()
{
    Bytes body;
    PutChunk(body, "junk", Samples(3));
    PutChunk(body, "fmt ", Fmt(1, 1, 8000, 8));
    PutChunk(body, "data", Samples(6));
    return Riff(body);
}

TEST_F(Mmio, DescendFillsTheRecordWithAndWithoutASearch)
{
    OpenForReading(ThreeChunks());
    MMCKINFO ckRiff = {};
    ASSERT_EQ(mmioDescend(m_hmmio, &ckRiff, NULL, 0), 0u);
    EXPECT_EQ(ckRiff.ckid, FOURCC_RIFF);
    EXPECT_EQ(ckRiff.fccType, kWave);
    EXPECT_EQ(ckRiff.cksize, DWORD(ThreeChunks().size() - 8));
    EXPECT_EQ(ckRiff.dwDataOffset, 8u);
    EXPECT_EQ(Here(), 12);  // past the form type

    // Without a flag: whatever chunk is next.
    MMCKINFO ck = {};
    ASSERT_EQ(mmioDescend(m_hmmio, &ck, &ckRiff, 0), 0u);
    EXPECT_EQ(ck.ckid, mmioFOURCC('j', 'u', 'n', 'k'));
    EXPECT_EQ(ck.cksize, 3u);
    EXPECT_EQ(ck.dwDataOffset, 20u);
    EXPECT_EQ(Here(), 20);
    ASSERT_EQ(mmioAscend(m_hmmio, &ck, 0), 0u);
    EXPECT_EQ(Here(), 24);  // the pad byte skipped

    // With MMIO_FINDCHUNK: the chunks in between are passed over.
    MMCKINFO ckData = {};
    ckData.ckid = mmioFOURCC('d', 'a', 't', 'a');
    ASSERT_EQ(mmioDescend(m_hmmio, &ckData, &ckRiff, MMIO_FINDCHUNK), 0u);
    EXPECT_EQ(ckData.cksize, 6u);
    EXPECT_EQ(ckData.dwDataOffset, 56u);
    EXPECT_EQ(Here(), 56);
    char sz[6];
    ASSERT_EQ(mmioRead(m_hmmio, sz, 6), 6);
    EXPECT_EQ(Bytes(sz, sz + 6), Samples(6));

    // A chunk that is not there, from the start of the sub-chunks.
    ASSERT_EQ(mmioSeek(m_hmmio, 12, SEEK_SET), 12);
    MMCKINFO ckList = {};
    ckList.ckid = mmioFOURCC('L', 'I', 'S', 'T');
    EXPECT_EQ(mmioDescend(m_hmmio, &ckList, &ckRiff, MMIO_FINDCHUNK), MMRESULT(MMIOERR_CHUNKNOTFOUND));
}

TEST_F(Mmio, AscendStoresTheSizeAndPadOfAWrittenChunk)
{
    Create();
    MMCKINFO ckRiff = {};
    ckRiff.fccType = kWave;
    ASSERT_EQ(mmioCreateChunk(m_hmmio, &ckRiff, MMIO_CREATERIFF), 0u);
    EXPECT_EQ(ckRiff.dwDataOffset, 8u);
    MMCKINFO ck = {};
    ck.ckid = mmioFOURCC('o', 'd', 'd', ' ');
    ASSERT_EQ(mmioCreateChunk(m_hmmio, &ck, 0), 0u);
    EXPECT_EQ(ck.dwDataOffset, 20u);
    Bytes data = Samples(5);
    ASSERT_EQ(mmioWrite(m_hmmio, reinterpret_cast<const char*>(data.data()), 5), 5);
    ASSERT_EQ(mmioAscend(m_hmmio, &ck, 0), 0u);
    EXPECT_EQ(ck.cksize, 5u);
    EXPECT_EQ(Here(), 26);
    ASSERT_EQ(mmioAscend(m_hmmio, &ckRiff, 0), 0u);
    EXPECT_EQ(ckRiff.cksize, 18u);
    Close();

    Bytes body;
    PutChunk(body, "odd ", data);
    EXPECT_EQ(ReadAll(kName), Riff(body));
}

TEST_F(Mmio, AdvanceRefillsAndAtTheEndOfTheFileLeavesTheBufferEmpty)
{
    Bytes file = Samples(MMIO_DEFAULTBUFFER + 100);
    OpenForReading(file);
    MMIOINFO info;
    ASSERT_EQ(mmioGetInfo(m_hmmio, &info, 0), 0u);
    Bytes got;
    for (int nRefill = 0; nRefill < 4; nRefill++) {
        if (info.pchNext == info.pchEndRead) {
            ASSERT_EQ(mmioAdvance(m_hmmio, &info, MMIO_READ), 0u) << nRefill;
        }
        EXPECT_EQ(info.pchNext, info.pchBuffer);
        got.insert(got.end(), info.pchNext, info.pchEndRead);
        info.pchNext = info.pchEndRead;
    }
    EXPECT_EQ(got, file);
    EXPECT_EQ(info.pchNext, info.pchEndRead);  // the refill at the end succeeded with nothing
    ASSERT_EQ(mmioSetInfo(m_hmmio, &info, 0), 0u);
    EXPECT_EQ(Here(), LONG(file.size()));
}

TEST_F(Mmio, AdvanceForWritingFlushesTheDirtyBuffer)
{
    Create();
    MMIOINFO info;
    ASSERT_EQ(mmioGetInfo(m_hmmio, &info, 0), 0u);
    ASSERT_EQ(info.pchEndWrite - info.pchBuffer, LONG(MMIO_DEFAULTBUFFER));
    // Two whole buffers written straight into the buffer, then a few bytes more.
    Bytes want = Samples(2 * MMIO_DEFAULTBUFFER + 10);
    size_t nDone = 0;
    while (nDone < want.size()) {
        if (info.pchNext == info.pchEndWrite) {
            info.dwFlags |= MMIO_DIRTY;
            ASSERT_EQ(mmioAdvance(m_hmmio, &info, MMIO_WRITE), 0u);
            EXPECT_EQ(info.pchNext, info.pchBuffer);
            EXPECT_EQ(info.dwFlags & MMIO_DIRTY, 0u);
        }
        *info.pchNext++ = char(want[nDone++]);
    }
    info.dwFlags |= MMIO_DIRTY;
    ASSERT_EQ(mmioSetInfo(m_hmmio, &info, 0), 0u);
    EXPECT_EQ(Here(), LONG(want.size()));
    Close();
    EXPECT_EQ(ReadAll(kName), want);
}

#ifndef _WIN32

// What a flush writes is in the file at once: there is no second buffer under the I/O buffer.
TEST_F(Mmio, FlushedBytesAreInTheFileWhileItIsOpen)
{
    Create();
    Bytes want = Samples(MMIO_DEFAULTBUFFER);
    ASSERT_EQ(mmioWrite(m_hmmio, reinterpret_cast<const char*>(want.data()), LONG(want.size())), LONG(want.size()));
    EXPECT_TRUE(ReadAll(kName).empty());  // still in the buffer
    MMIOINFO info;
    ASSERT_EQ(mmioGetInfo(m_hmmio, &info, 0), 0u);
    ASSERT_EQ(mmioAdvance(m_hmmio, &info, MMIO_WRITE), 0u);
    EXPECT_EQ(ReadAll(kName), want);
}

TEST_F(Mmio, FailedCallsGiveThePlatformsCodes)
{
    ASSERT_TRUE(WriteAll(kName, ThreeChunks()));
    standin::FailCall("mmioOpenA");
    MMIOINFO open = {};
    EXPECT_EQ(mmioOpenA(const_cast<LPSTR>(kName), &open, MMIO_ALLOCBUF | MMIO_READ), nullptr);
    EXPECT_EQ(open.wErrorRet, UINT(MMIOERR_CANNOTOPEN));
    EXPECT_EQ(mmioOpenA(const_cast<LPSTR>("no_such_file.riff"), &open, MMIO_ALLOCBUF | MMIO_READ), nullptr);
    EXPECT_EQ(open.wErrorRet, UINT(MMIOERR_FILENOTFOUND));

    OpenForReading(ThreeChunks());
    MMIOINFO info;
    ASSERT_EQ(mmioGetInfo(m_hmmio, &info, 0), 0u);
    standin::FailCall("mmioAdvance");
    EXPECT_EQ(mmioAdvance(m_hmmio, &info, MMIO_READ), MMRESULT(MMIOERR_CANNOTREAD));
    EXPECT_EQ(info.pchNext, info.pchEndRead);
    EXPECT_EQ(mmioAdvance(m_hmmio, &info, 7), MMRESULT(MMSYSERR_INVALPARAM));
    standin::FailCall("mmioRead", 1, 1);  // the second read fails, the first does not
    char sz[4];
    EXPECT_EQ(mmioRead(m_hmmio, sz, 4), 4);
    EXPECT_EQ(mmioRead(m_hmmio, sz, 4), -1);
    EXPECT_EQ(mmioRead(m_hmmio, sz, 4), 4);
    standin::FailCall("mmioSeek");
    EXPECT_EQ(mmioSeek(m_hmmio, 0, SEEK_SET), -1);
    EXPECT_EQ(mmioSeek(m_hmmio, 0, SEEK_SET), 0);
    standin::FailCall("mmioDescend");
    MMCKINFO ck = {};
    EXPECT_EQ(mmioDescend(m_hmmio, &ck, NULL, 0), MMRESULT(MMIOERR_CHUNKNOTFOUND));
    // The stand-in's own reads inside a descent are not the caller's: a fault waits for those.
    standin::FailCall("mmioRead");
    EXPECT_EQ(mmioDescend(m_hmmio, &ck, NULL, 0), 0u);
    EXPECT_EQ(mmioRead(m_hmmio, sz, 4), -1);
}

// A search stays inside its parent chunk even when the file goes on behind it, as the calls
// are documented to do; Wine's searches on to the end of the file.
TEST_F(Mmio, SearchEndsAtTheParentsEnd)
{
    Bytes file = ThreeChunks();
    Bytes after;
    PutChunk(after, "LIST", Samples(4));
    file.insert(file.end(), after.begin(), after.end());
    OpenForReading(file);
    MMCKINFO ckRiff = {}, ck = {};
    ASSERT_EQ(mmioDescend(m_hmmio, &ckRiff, NULL, 0), 0u);
    ck.ckid = FOURCC_LIST;
    EXPECT_EQ(mmioDescend(m_hmmio, &ck, &ckRiff, MMIO_FINDCHUNK), MMRESULT(MMIOERR_CHUNKNOTFOUND));
    EXPECT_EQ(Here(), 12);  // left where the search began
    ASSERT_EQ(mmioSeek(m_hmmio, LONG(ckRiff.dwDataOffset + ckRiff.cksize), SEEK_SET), 62);
    EXPECT_EQ(mmioDescend(m_hmmio, &ck, NULL, MMIO_FINDCHUNK), 0u);
    EXPECT_EQ(ck.dwDataOffset, 70u);
}

#endif

}  // namespace
