// The BMP loader: layouts, result codes, and sizes no file should be trusted with.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "image/Image.h"

namespace {

struct BmpSpec {
    int32_t nWidth = 640;
    int32_t nHeight = 480;
    uint16_t nBits = 8;
    uint32_t nCompression = 0;
    uint32_t nInfoSize = 40;
    uint32_t nGap = 0;  // bytes between the colour table and the rows
    uint32_t nTableEntries = 256;
    const char* pszMark = "BM";
};

void Put(std::vector<uint8_t>& v, uint32_t n, int nBytes)
{
    for (int i = 0; i < nBytes; ++i)
        v.push_back(static_cast<uint8_t>(n >> (8 * i)));
}

// Stored row r (in file order) holds bytes (r * 7 + x) & 0xFF; colour i is (i, 255 - i, i / 2).
std::vector<uint8_t> MakeBmp(const BmpSpec& s)
{
    int32_t nRows = s.nHeight < 0 ? -s.nHeight : s.nHeight;
    uint32_t nRowBytes = static_cast<uint32_t>(s.nWidth) * (s.nBits / 8);
    uint32_t nStored = (nRowBytes + 3) / 4 * 4;
    uint32_t nOffBits = 14 + s.nInfoSize + 4 * s.nTableEntries + s.nGap;
    std::vector<uint8_t> v;
    v.push_back(static_cast<uint8_t>(s.pszMark[0]));
    v.push_back(static_cast<uint8_t>(s.pszMark[1]));
    Put(v, nOffBits + nStored * static_cast<uint32_t>(nRows), 4);
    Put(v, 0, 4);
    Put(v, nOffBits, 4);
    Put(v, s.nInfoSize, 4);
    Put(v, static_cast<uint32_t>(s.nWidth), 4);
    Put(v, static_cast<uint32_t>(s.nHeight), 4);
    Put(v, 1, 2);
    Put(v, s.nBits, 2);
    Put(v, s.nCompression, 4);
    for (int i = 0; i < 5; ++i)
        Put(v, i == 3 ? s.nTableEntries : 0, 4);
    v.resize(14 + s.nInfoSize, 0xEE);
    for (uint32_t i = 0; i < s.nTableEntries; ++i) {
        v.push_back(static_cast<uint8_t>(i));
        v.push_back(static_cast<uint8_t>(255 - i));
        v.push_back(static_cast<uint8_t>(i / 2));
        v.push_back(0);
    }
    v.resize(v.size() + s.nGap, 0x55);
    for (int32_t r = 0; r < nRows; ++r) {
        for (uint32_t x = 0; x < nRowBytes; ++x)
            v.push_back(static_cast<uint8_t>(r * 7 + static_cast<int32_t>(x)));
        v.resize(v.size() + (nStored - nRowBytes), 0xAA);
    }
    return v;
}

std::string Write(const std::string& name, const std::vector<uint8_t>& bytes)
{
    std::string path = "image_test_" + name + ".bmp";
    FILE* f = std::fopen(path.c_str(), "wb");
    EXPECT_NE(f, nullptr);
    if (f) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    return path;
}

int LoadBytes(CImage& image, const std::string& name, const std::vector<uint8_t>& bytes)
{
    std::string path = Write(name, bytes);
    int n = image.Load(path.c_str());
    std::remove(path.c_str());
    return n;
}

uint8_t Stored(int nStoredRow, int x)
{
    return static_cast<uint8_t>(nStoredRow * 7 + x);
}

TEST(ImageLayoutTest, BottomUpRowsAreTurned)
{
    CImage image;
    ASSERT_EQ(LoadBytes(image, "bottom_up", MakeBmp({})), 1);
    EXPECT_EQ(image.m_nWidth, 640);
    EXPECT_EQ(image.m_nHeight, 480);
    EXPECT_EQ(image.m_nColors, 256);
    EXPECT_EQ(image.m_nBitCount, 8);
    EXPECT_EQ(image.m_pPixels[0], Stored(479, 0)) << "the first row is the last one stored";
    EXPECT_EQ(image.m_pPixels[479 * 640 + 5], Stored(0, 5));
    EXPECT_EQ(image.m_pPalette[10].rgbBlue, 10);
    EXPECT_EQ(image.m_pPalette[10].rgbGreen, 245);
    EXPECT_EQ(image.m_pPalette[10].rgbRed, 5);
}

TEST(ImageLayoutTest, TopDownGivesTheSamePicture)
{
    BmpSpec s;
    s.nHeight = -480;
    CImage image;
    ASSERT_EQ(LoadBytes(image, "top_down", MakeBmp(s)), 1);
    EXPECT_EQ(image.m_nHeight, 480);
    EXPECT_EQ(image.m_pPixels[0], Stored(0, 0));
    EXPECT_EQ(image.m_pPixels[479 * 640 + 5], Stored(479, 5));
}

TEST(ImageLayoutTest, PaddingIsSkippedAndTheMarkIsNotChecked)
{
    BmpSpec s;
    s.nWidth = 301;
    s.nHeight = 3;
    s.pszMark = "XY";
    CImage image;
    ASSERT_EQ(LoadBytes(image, "padding", MakeBmp(s)), 1);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 301; ++x)
            ASSERT_EQ(image.m_pPixels[y * 301 + x], Stored(2 - y, x)) << x << "," << y;
}

TEST(ImageLayoutTest, RowsStartAtTheirOffsetAndShortTablesReadOn)
{
    BmpSpec gap;
    gap.nHeight = 2;
    gap.nGap = 100;
    CImage image;
    ASSERT_EQ(LoadBytes(image, "gap", MakeBmp(gap)), 1);
    EXPECT_EQ(image.m_pPixels[0], Stored(1, 0));

    BmpSpec shortTable;
    shortTable.nHeight = 4;
    shortTable.nTableEntries = 16;
    ASSERT_EQ(LoadBytes(image, "short_table", MakeBmp(shortTable)), 1);
    EXPECT_EQ(image.m_pPixels[0], Stored(3, 0)) << "rows come from the offset, not after 256 entries";
    EXPECT_EQ(image.m_pPalette[16].rgbBlue, Stored(0, 0)) << "entries past the file's own are pixel bytes";

    shortTable.nHeight = 1;
    shortTable.nWidth = 8;
    EXPECT_EQ(LoadBytes(image, "short_table_end", MakeBmp(shortTable)), 5);
}

TEST(ImageLayoutTest, LargerInfoHeadersKeepTheirRealColours)
{
    for (uint32_t nInfo : {108u, 124u}) {
        BmpSpec s;
        s.nInfoSize = nInfo;
        s.nHeight = 2;
        CImage image;
        ASSERT_EQ(LoadBytes(image, "v" + std::to_string(nInfo), MakeBmp(s)), 1);
        EXPECT_EQ(image.m_pPalette[0].rgbGreen, 255);
        EXPECT_EQ(image.m_pPalette[200].rgbBlue, 200);
        EXPECT_EQ(image.m_pPixels[0], Stored(1, 0));
    }
}

TEST(ImageCodeTest, FormatsTheSystemDoesNotDraw)
{
    BmpSpec deep;
    deep.nBits = 24;
    deep.nWidth = 5;
    deep.nHeight = 3;
    CImage image;
    EXPECT_EQ(LoadBytes(image, "deep", MakeBmp(deep)), 7);
    EXPECT_EQ(image.m_pPalette, nullptr);
    EXPECT_NE(image.m_pPixels, nullptr) << "a buffer of width x height x 3 is left in the record";

    BmpSpec rle;
    rle.nCompression = 1;
    rle.nHeight = 2;
    EXPECT_EQ(LoadBytes(image, "rle", MakeBmp(rle)), 8);
    rle.nBits = 4;
    rle.nWidth = 8;
    EXPECT_EQ(LoadBytes(image, "rle4", MakeBmp(rle)), 8);

    BmpSpec empty;
    empty.nHeight = 0;
    empty.nBits = 24;
    EXPECT_EQ(LoadBytes(image, "no_rows", MakeBmp(empty)), 1);
}

// The load's results keep their numbers; their words are what the user reads about a picture
// that did not load.
TEST(ImageCodeTest, EveryFailureHasWordsOfItsOwn)
{
    EXPECT_EQ(IMAGE_CANNOT_OPEN, 0);
    EXPECT_EQ(IMAGE_LOADED, 1);
    EXPECT_EQ(IMAGE_COMPRESSED, 8);
    std::set<std::string> texts;
    for (int n = IMAGE_CANNOT_OPEN; n <= IMAGE_COMPRESSED; ++n)
        if (n != IMAGE_LOADED)
            texts.insert(ImageLoadText(n));
    EXPECT_EQ(texts.size(), 8u) << "no two failures read alike";
    EXPECT_STREQ(ImageLoadText(IMAGE_CANNOT_OPEN), "the file cannot be opened");
    EXPECT_STREQ(ImageLoadText(IMAGE_COMPRESSED), "it is compressed");
    EXPECT_STREQ(ImageLoadText(9), "it could not be read");
    EXPECT_STREQ(ImageLoadText(-1), "it could not be read");
}

TEST(ImageCodeTest, MissingAndShortFiles)
{
    CImage image;
    EXPECT_EQ(image.Load("image_test_no_such_file.bmp"), 0);
    EXPECT_EQ(image.m_pPalette, nullptr);
    EXPECT_EQ(image.m_pPixels, nullptr);
    std::vector<uint8_t> full = MakeBmp({});
    EXPECT_EQ(LoadBytes(image, "short13", {full.begin(), full.begin() + 13}), 3);
    EXPECT_EQ(LoadBytes(image, "short53", {full.begin(), full.begin() + 53}), 4);
    EXPECT_EQ(LoadBytes(image, "short_rows", {full.begin(), full.end() - 1000}), 6);
}

TEST(ImageCodeTest, HostileSizesAreOutOfMemory)
{
    struct Case {
        int32_t nWidth, nHeight;
        uint16_t nBits;
    };
    const Case cases[] = {
        {640, INT32_MIN, 8}, {3000000, 3000000, 8}, {-640, 480, 8}, {INT32_MAX, INT32_MAX, 8}, {1000, 1000, 60000}};
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = MakeBmp({});
        std::memcpy(&bytes[18], &c.nWidth, 4);
        std::memcpy(&bytes[22], &c.nHeight, 4);
        std::memcpy(&bytes[28], &c.nBits, 2);
        CImage image;
        EXPECT_EQ(LoadBytes(image, "hostile", bytes), 2) << c.nWidth << " x " << c.nHeight << " x " << c.nBits;
    }
}

TEST(ImageCodeTest, OffsetsPastAnyFileAreShortReads)
{
    // Beyond 31 bits these overflow a 32-bit stream offset; wherever they land, nothing is there.
    BmpSpec s;
    s.nHeight = 2;
    s.nInfoSize = 108;
    s.nGap = 20000;  // more than a stream buffer: a lost seek would find bytes to read on
    for (uint32_t nInfo : {0x7FFFFFFFu, 0xFFFFFFF0u}) {
        std::vector<uint8_t> bytes = MakeBmp(s);
        std::memcpy(&bytes[14], &nInfo, 4);
        CImage image;
        EXPECT_EQ(LoadBytes(image, "far_table", bytes), 5) << std::hex << nInfo;
    }
    for (uint32_t nOffBits : {0x7FFFFFF8u, 0x80000000u, 0xFFFFFFFFu}) {
        std::vector<uint8_t> bytes = MakeBmp(s);
        std::memcpy(&bytes[10], &nOffBits, 4);
        CImage image;
        EXPECT_EQ(LoadBytes(image, "far_rows", bytes), 6) << std::hex << nOffBits;
    }
}

TEST(ImageCodeTest, ZeroWidthWithManyRowsEndsAtOnce)
{
    std::vector<uint8_t> bytes = MakeBmp({});
    int32_t nWidth = 0, nHeight = INT32_MAX;
    std::memcpy(&bytes[18], &nWidth, 4);
    std::memcpy(&bytes[22], &nHeight, 4);
    CImage image;
    EXPECT_EQ(LoadBytes(image, "zero_width", bytes), 1);
    EXPECT_EQ(image.m_nHeight, INT32_MAX);
}

}  // namespace
