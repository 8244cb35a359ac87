// Long reads of a file opened only for reading, through the buffer the caller takes and through
// mmioRead, with seeks back and forth between them: the bytes are the file's wherever the reads
// start and stop, a refill brings a whole buffer until the end, and the buffer never grows. The
// same tests run against the stand-in natively and against winmm under Wine; the last needs the
// stand-in (the file grows behind the reader).
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "platform/win32.h"
#include "tests/sound/wave_files.h"

namespace {

using namespace wavefiles;

class MmioReading : public testing::Test {
protected:
    const char* m_pszName = "mmio_reading_scratch.bin";

    void SetUp() override
    {
        // Longer than any read-ahead, and of no round length.
        m_file.resize(700001);
        for (size_t i = 0; i < m_file.size(); ++i)
            m_file[i] = static_cast<unsigned char>(i * 7 + (i >> 11));
        ASSERT_TRUE(WriteAll(m_pszName, m_file));
    }
    void TearDown() override { std::remove(m_pszName); }

    // With the platform's buffer, or with one of the size given.
    HMMIO Open(LONG cchBuffer = 0)
    {
        MMIOINFO info = {};
        info.cchBuffer = cchBuffer;
        return mmioOpenA(const_cast<LPSTR>(m_pszName), cchBuffer ? &info : NULL, MMIO_READ | MMIO_ALLOCBUF);
    }

    // nBytes from the current position through the caller's buffer state, as the WAVE reader
    // takes them. Every refill before the end brings bytes, never more than a buffer; the
    // stand-in's bring a whole buffer until the end.
    void ReadThroughBuffer(HMMIO h, LONG& lPos, size_t nBytes)
    {
        MMIOINFO info = {};
        ASSERT_EQ(mmioGetInfo(h, &info, 0), 0u);
        for (size_t n = 0; n < nBytes; ++n) {
            if (info.pchNext == info.pchEndRead) {
                ASSERT_EQ(mmioAdvance(h, &info, MMIO_READ), 0u);
                const LONG lHeld = LONG(info.pchEndRead - info.pchNext);
#ifdef _WIN32
                ASSERT_GT(lHeld, 0) << "at " << lPos;
                ASSERT_LE(lHeld, info.cchBuffer) << "at " << lPos;
#else
                ASSERT_EQ(lHeld, std::min<LONG>(info.cchBuffer, LONG(m_file.size()) - lPos)) << "at " << lPos;
#endif
                ASSERT_EQ(info.pchEndWrite - info.pchBuffer, info.cchBuffer) << "the buffer keeps its size";
            }
            ASSERT_EQ(static_cast<unsigned char>(*info.pchNext), m_file[size_t(lPos)]) << "at " << lPos;
            ++info.pchNext;
            ++lPos;
        }
        ASSERT_EQ(mmioSetInfo(h, &info, 0), 0u);
        ASSERT_EQ(mmioSeek(h, 0, SEEK_CUR), lPos);
    }

    void SeekAndRead(LONG cchBuffer);

    Bytes m_file;
};

TEST_F(MmioReading, TheWholeFileThroughTheBufferThenNothing)
{
    HMMIO h = Open();
    ASSERT_NE(h, nullptr);
    LONG lPos = 0;
    ASSERT_NO_FATAL_FAILURE(ReadThroughBuffer(h, lPos, m_file.size()));
    MMIOINFO info = {};
    ASSERT_EQ(mmioGetInfo(h, &info, 0), 0u);
    ASSERT_EQ(mmioAdvance(h, &info, MMIO_READ), 0u);
    EXPECT_EQ(info.pchNext, info.pchEndRead) << "a refill at the end brings nothing";
    ASSERT_EQ(mmioSetInfo(h, &info, 0), 0u);
    EXPECT_EQ(mmioClose(h, 0), 0u);
}

TEST_F(MmioReading, SeeksAndReadsOfEveryKindInAnyOrder)
{
    // The platform's buffer, then one of an odd size and one larger than a third of the file.
    for (LONG cchBuffer : {0, 1001, 300000}) {
        SCOPED_TRACE(cchBuffer);
        ASSERT_NO_FATAL_FAILURE(SeekAndRead(cchBuffer));
    }
}

void MmioReading::SeekAndRead(LONG cchBuffer)
{
    HMMIO h = Open(cchBuffer);
    ASSERT_NE(h, nullptr);
    std::mt19937 random(17);
    LONG lPos = 0;
    for (int nStep = 0; nStep < 300; ++nStep) {
        switch (random() % 4) {
        case 0: {  // anywhere, near or far
            const LONG lTo = LONG(random() % (m_file.size() + 1));
            ASSERT_EQ(mmioSeek(h, lTo, SEEK_SET), lTo);
            lPos = lTo;
            break;
        }
        case 1: {  // a little way back or on
            const LONG lTo = std::clamp<LONG>(lPos + LONG(random() % 20001) - 10000, 0, LONG(m_file.size()));
            ASSERT_EQ(mmioSeek(h, lTo - lPos, SEEK_CUR), lTo);
            lPos = lTo;
            break;
        }
        case 2: {
            const size_t nWant = random() % 30000;
            ASSERT_NO_FATAL_FAILURE(ReadThroughBuffer(h, lPos, std::min(nWant, m_file.size() - size_t(lPos))));
            break;
        }
        default: {
            const LONG lWant = LONG(random() % 40000);
            Bytes got(static_cast<size_t>(lWant));
            const LONG lGot = mmioRead(h, reinterpret_cast<HPSTR>(got.data()), lWant);
            ASSERT_EQ(lGot, std::min<LONG>(lWant, LONG(m_file.size()) - lPos));
            for (LONG i = 0; i < lGot; ++i)
                ASSERT_EQ(got[size_t(i)], m_file[size_t(lPos + i)]) << "at " << lPos + i;
            lPos += lGot;
            break;
        }
        }
        ASSERT_EQ(mmioSeek(h, 0, SEEK_CUR), lPos);
    }
    EXPECT_EQ(mmioClose(h, 0), 0u);
}

#ifndef _WIN32

// A reader that has reached the end sees what is added to the file afterwards, as it would if
// every refill read the disk.
TEST_F(MmioReading, BytesAddedAtTheEndAreReadOnTheNextRefill)
{
    HMMIO h = Open();
    ASSERT_NE(h, nullptr);
    LONG lPos = 0;
    ASSERT_NO_FATAL_FAILURE(ReadThroughBuffer(h, lPos, m_file.size()));
    std::FILE* pFile = std::fopen(m_pszName, "ab");
    ASSERT_NE(pFile, nullptr);
    const Bytes more = {1, 2, 3, 4, 5};
    ASSERT_EQ(std::fwrite(more.data(), 1, more.size(), pFile), more.size());
    std::fclose(pFile);
    m_file.insert(m_file.end(), more.begin(), more.end());
    ASSERT_NO_FATAL_FAILURE(ReadThroughBuffer(h, lPos, more.size()));
    EXPECT_EQ(mmioClose(h, 0), 0u);
}

#endif

}  // namespace
