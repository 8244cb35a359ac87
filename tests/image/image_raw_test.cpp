// The raw stream layout: block sizes, round trips, empty pictures and hostile counts.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "image/Image.h"

namespace {

class RawStreamTest : public testing::Test {
protected:
    void SetUp() override
    {
        m_pFile = std::tmpfile();
        ASSERT_NE(m_pFile, nullptr);
    }
    void TearDown() override { std::fclose(m_pFile); }

    long Size()
    {
        std::fseek(m_pFile, 0, SEEK_END);
        long n = std::ftell(m_pFile);
        std::rewind(m_pFile);
        return n;
    }

    // A new, empty stream for the next case.
    void Restart()
    {
        std::fclose(m_pFile);
        m_pFile = std::tmpfile();
        ASSERT_NE(m_pFile, nullptr);
    }

    void WriteInts(std::initializer_list<int32_t> values)
    {
        for (int32_t n : values)
            std::fwrite(&n, 4, 1, m_pFile);
        std::rewind(m_pFile);
    }

    FILE* m_pFile = nullptr;
};

void Fill(CImage& image)
{
    image.m_nWidth = 640;
    image.m_nHeight = 480;
    image.m_nBitCount = 8;
    image.m_nColors = 256;
    image.m_pPixels = new BYTE[307200];
    for (int n = 0; n < 307200; ++n)
        image.m_pPixels[n] = static_cast<BYTE>(n * 13);
    image.m_pPalette = new RGBQUAD[256];
    for (int n = 0; n < 256; ++n)
        image.m_pPalette[n] = {static_cast<BYTE>(n), static_cast<BYTE>(n ^ 0x5A), static_cast<BYTE>(255 - n), 0};
}

TEST_F(RawStreamTest, PictureBlockRoundTrip)
{
    CImage saved;
    Fill(saved);
    ASSERT_EQ(saved.SaveRaw(m_pFile), 1);
    EXPECT_EQ(Size(), 307216);
    CImage loaded;
    ASSERT_EQ(loaded.LoadRaw(m_pFile), 1);
    EXPECT_EQ(loaded.m_nWidth, 640);
    EXPECT_EQ(loaded.m_nHeight, 480);
    EXPECT_EQ(loaded.m_nBitCount, 8);
    EXPECT_EQ(loaded.m_nColors, 256);
    EXPECT_EQ(std::memcmp(loaded.m_pPixels, saved.m_pPixels, 307200), 0);
}

TEST_F(RawStreamTest, PaletteBlockRoundTripAndBlocksInOneStream)
{
    CImage saved;
    Fill(saved);
    ASSERT_EQ(saved.SavePalette(m_pFile), 1);
    EXPECT_EQ(Size(), 1032);
    std::fseek(m_pFile, 0, SEEK_END);
    ASSERT_EQ(saved.SaveRaw(m_pFile), 1);
    std::rewind(m_pFile);
    CImage loaded;
    ASSERT_EQ(loaded.LoadPalette(m_pFile), 1);
    ASSERT_EQ(loaded.LoadRaw(m_pFile), 1);
    EXPECT_EQ(std::memcmp(loaded.m_pPalette, saved.m_pPalette, 1024), 0);
    EXPECT_EQ(loaded.m_pPixels[307199], saved.m_pPixels[307199]);
}

TEST_F(RawStreamTest, EmptyPicturesAndTables)
{
    CImage empty;
    empty.m_nWidth = 0;
    empty.m_nHeight = 480;
    empty.m_nBitCount = 8;
    empty.m_nColors = 0;
    EXPECT_EQ(empty.SaveRaw(m_pFile), 0) << "no pixel item is written";
    EXPECT_EQ(empty.SavePalette(m_pFile), 0);
    EXPECT_EQ(Size(), 16 + 8);
    CImage loaded;
    EXPECT_EQ(loaded.LoadRaw(m_pFile), 0);
    EXPECT_EQ(loaded.LoadPalette(m_pFile), 1) << "a count of 0 reads an empty table";
    EXPECT_EQ(loaded.m_nColors, 0);
}

TEST_F(RawStreamTest, StreamEndingInsideThePixelsKeepsTheBuffer)
{
    WriteInts({4, 4, 8, 256, 0x01020304});
    CImage loaded;
    EXPECT_EQ(loaded.LoadRaw(m_pFile), 0);
    EXPECT_NE(loaded.m_pPixels, nullptr);
    EXPECT_EQ(loaded.m_nWidth, 4);
}

TEST_F(RawStreamTest, HostileCountsFailWithoutAllocating)
{
    for (auto fields : {std::initializer_list<int32_t>{-640, 480, 8, 256},
                        {3000000, 3000000, 8, 256},
                        {640, INT32_MIN, 8, 256},
                        {640, 480, INT32_MAX, 256}}) {
        Restart();
        WriteInts(fields);
        CImage loaded;
        EXPECT_EQ(loaded.LoadRaw(m_pFile), 0);
        EXPECT_EQ(loaded.m_pPixels, nullptr);
    }
    for (int32_t nColors : {-1, INT32_MAX, INT32_MIN}) {
        Restart();
        WriteInts({nColors, 8});
        CImage loaded;
        EXPECT_EQ(loaded.LoadPalette(m_pFile), 0);
        EXPECT_EQ(loaded.m_pPalette, nullptr);
    }
}

}  // namespace
