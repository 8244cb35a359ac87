// Pictures made by ImageMagick, not by this program. Natively they are made in "image_fixtures"
// under the working directory at test time, beside what ImageMagick itself reads from each: the
// colour of every pixel (rgb dump) and the colour table (its verbose listing). The Windows build
// finds them there when a native run has made them first. ImageMagick writes rows bottom-up only,
// so the top-down copies are made here by turning the rows of its files and negating biHeight.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "image/Image.h"
#include "tests/test_files.h"

namespace {

using namespace testfiles;

struct ToolImage {
    const char* pszName;
    const char* pszMake;  // shell line; %s is the output path
    LONG nWidth, nHeight;
    DWORD dwInfoSize;
};

// Widths 1, 3, 33, 70 and 640 need 3, 1, 3, 2 and 0 bytes of padding a row. Up to 16 colours
// ImageMagick writes 4 or 1 bits a pixel, so the small ones take the 216-colour web palette.
const ToolImage kImages[] = {
    {"w1_v3.bmp", "convert -seed 5 -size 1x7 plasma:fractal +dither -remap netscape: -compress none BMP3:%s", 1, 7, 40},
    {"w1_v5.bmp", "convert -seed 5 -size 1x7 plasma:fractal +dither -remap netscape: -compress none BMP:%s", 1, 7, 124},
    {"w3_v3.bmp", "convert -size 3x5 gradient:yellow-navy +dither -remap netscape: -compress none BMP3:%s", 3, 5, 40},
    {"w3_v5.bmp", "convert -size 3x5 gradient:yellow-navy +dither -remap netscape: -compress none BMP:%s", 3, 5, 124},
    {"w33_40colours_v3.bmp", "convert -seed 3 -size 33x17 plasma:fractal +dither -colors 40 -compress none BMP3:%s", 33,
     17, 40},
    {"w33_40colours_v5.bmp", "convert -seed 3 -size 33x17 plasma:fractal +dither -colors 40 -compress none BMP:%s", 33,
     17, 124},
    {"rose_200colours_v3.bmp", "convert rose: -colors 200 -compress none BMP3:%s", 70, 46, 40},
    {"logo_v3.bmp", "convert logo: +dither -colors 256 -compress none BMP3:%s", 640, 480, 40},
    {"logo_dither_v5.bmp", "convert logo: -colors 256 -compress none BMP:%s", 640, 480, 124},
};

void PrintTo(const ToolImage& t, std::ostream* os)
{
    *os << t.pszName;
}

uint32_t Field(const std::vector<unsigned char>& b, size_t nAt, int nBytes)
{
    uint32_t n = 0;
    for (int i = nBytes - 1; i >= 0; --i)
        n = n << 8 | b[nAt + i];
    return n;
}

struct Rgb {
    int r, g, b;
};

// The "Colormap:" section of ImageMagick's verbose listing, one "  N: (r,g,b) ..." line an entry.
std::vector<Rgb> ReadColormap(const std::string& name)
{
    std::vector<Rgb> table;
    std::vector<unsigned char> text = ReadAll(name);
    std::string s(text.begin(), text.end());
    size_t nAt = s.find("Colormap:");
    if (nAt == std::string::npos)
        return table;
    nAt = s.find('\n', nAt);
    while (nAt != std::string::npos && nAt + 1 < s.size()) {
        int n, r, g, b;
        if (std::sscanf(s.c_str() + nAt + 1, " %d: (%d,%d,%d", &n, &r, &g, &b) != 4 ||
            n != static_cast<int>(table.size()))
            break;
        table.push_back({r, g, b});
        nAt = s.find('\n', nAt + 1);
    }
    return table;
}

// The same picture stored top row first: rows in the opposite order, biHeight negated.
std::vector<unsigned char> TopDownCopy(const std::vector<unsigned char>& bmp)
{
    uint32_t nOffBits = Field(bmp, 10, 4);
    int32_t nWidth = static_cast<int32_t>(Field(bmp, 18, 4));
    int32_t nHeight = static_cast<int32_t>(Field(bmp, 22, 4));
    size_t nStored = (static_cast<size_t>(nWidth) + 3) / 4 * 4;
    std::vector<unsigned char> out(bmp);
    for (int32_t r = 0; r < nHeight; ++r)
        std::memcpy(&out[nOffBits + r * nStored], &bmp[nOffBits + (nHeight - 1 - r) * nStored], nStored);
    uint32_t nNegative = static_cast<uint32_t>(-nHeight);
    for (int i = 0; i < 4; ++i)
        out[22 + i] = static_cast<unsigned char>(nNegative >> (8 * i));
    return out;
}

#ifndef _WIN32
// What ImageMagick reads from a file: 8-bit red, green, blue a pixel, rows top to bottom.
bool DumpPixels(const std::string& bmp)
{
    return RunShell("convert " + bmp + " -depth 8 rgb:" + bmp + ".rgb");
}

bool MakeFixture(const char* pszMake, const std::string& bmp)
{
    return MakeWithTool(pszMake, bmp) && DumpPixels(bmp);
}
#endif

// Every pixel's colour, looked up in the loaded table, is the one ImageMagick reports.
void ExpectPixelsAre(const CImage& image, const std::vector<unsigned char>& rgb, const std::string& what)
{
    ASSERT_EQ(rgb.size(), static_cast<size_t>(image.m_nWidth) * image.m_nHeight * 3) << what;
    for (LONG y = 0; y < image.m_nHeight; ++y)
        for (LONG x = 0; x < image.m_nWidth; ++x) {
            size_t n = static_cast<size_t>(y) * image.m_nWidth + x;
            const RGBQUAD& c = image.m_pPalette[image.m_pPixels[n]];
            ASSERT_TRUE(c.rgbRed == rgb[3 * n] && c.rgbGreen == rgb[3 * n + 1] && c.rgbBlue == rgb[3 * n + 2])
                << what << " pixel " << x << "," << y << ": index " << int(image.m_pPixels[n]) << " is ("
                << int(c.rgbRed) << "," << int(c.rgbGreen) << "," << int(c.rgbBlue) << "), ImageMagick reads ("
                << int(rgb[3 * n]) << "," << int(rgb[3 * n + 1]) << "," << int(rgb[3 * n + 2]) << ")";
        }
}

class ToolMadeImage : public testing::TestWithParam<ToolImage> {};

TEST_P(ToolMadeImage, LoadsThePixelsAndColoursImageMagickReads)
{
    const ToolImage& t = GetParam();
    std::string bmp = std::string("image_fixtures/") + t.pszName;
    std::string map = bmp + ".map";
#ifndef _WIN32
    ASSERT_TRUE(MakeFixture(t.pszMake, bmp)) << bmp;
    ASSERT_TRUE(RunShell("(identify -verbose " + bmp + " > " + map + ")")) << bmp;
#else
    if (ReadAll(bmp).empty() || ReadAll(bmp + ".rgb").empty() || ReadAll(map).empty())
        GTEST_SKIP() << bmp << " is made by a native run of these tests first";
#endif
    std::vector<unsigned char> file = ReadAll(bmp);
    ASSERT_GE(file.size(), 14u + t.dwInfoSize + 1024u);
    // The file is of the kind meant: the header size asked for, 8 bits, uncompressed, bottom-up.
    ASSERT_EQ(Field(file, 14, 4), t.dwInfoSize);
    ASSERT_EQ(Field(file, 28, 2), 8u);
    ASSERT_EQ(Field(file, 30, 4), 0u);
    ASSERT_EQ(static_cast<LONG>(Field(file, 22, 4)), t.nHeight);
    ASSERT_EQ(Field(file, 10, 4), 14u + t.dwInfoSize + 1024u);

    CImage image;
    ASSERT_EQ(image.Load(bmp.c_str()), 1);
    EXPECT_EQ(image.m_nWidth, t.nWidth);
    EXPECT_EQ(image.m_nHeight, t.nHeight);
    EXPECT_EQ(image.m_nBitCount, 8);
    EXPECT_EQ(image.m_nColors, 256);
    EXPECT_EQ(image.m_bmih.biSize, t.dwInfoSize);

    std::vector<Rgb> table = ReadColormap(map);
    ASSERT_EQ(table.size(), 256u) << map;
    for (int n = 0; n < 256; ++n) {
        const RGBQUAD& c = image.m_pPalette[n];
        EXPECT_TRUE(c.rgbRed == table[n].r && c.rgbGreen == table[n].g && c.rgbBlue == table[n].b)
            << "entry " << n << " is (" << int(c.rgbRed) << "," << int(c.rgbGreen) << "," << int(c.rgbBlue)
            << "), ImageMagick reads (" << table[n].r << "," << table[n].g << "," << table[n].b << ")";
    }
    ExpectPixelsAre(image, ReadAll(bmp + ".rgb"), bmp);
}

TEST_P(ToolMadeImage, TheTopDownCopyLoadsTheSamePicture)
{
    const ToolImage& t = GetParam();
    std::string bmp = std::string("image_fixtures/") + t.pszName;
#ifndef _WIN32
    ASSERT_TRUE(MakeFixture(t.pszMake, bmp)) << bmp;
#endif
    std::vector<unsigned char> file = ReadAll(bmp);
    std::vector<unsigned char> rgb = ReadAll(bmp + ".rgb");
    if (file.empty() || rgb.empty())
        GTEST_SKIP() << bmp << " is made by a native run of these tests first";
    std::string top = bmp + ".top.bmp";
    ASSERT_TRUE(WriteAll(top, TopDownCopy(file)));
#ifndef _WIN32
    // ImageMagick reads the turned copy as the same picture, so the copy is what it claims to be.
    ASSERT_TRUE(DumpPixels(top));
    ASSERT_TRUE(ReadAll(top + ".rgb") == rgb) << top;
#endif
    CImage image;
    ASSERT_EQ(image.Load(top.c_str()), 1);
    EXPECT_EQ(image.m_nWidth, t.nWidth);
    EXPECT_EQ(image.m_nHeight, t.nHeight) << "the row count, not the stored negative height";
    EXPECT_EQ(image.m_bmih.biHeight, -t.nHeight);
    ExpectPixelsAre(image, rgb, top);
}

INSTANTIATE_TEST_SUITE_P(ImageMagick, ToolMadeImage, testing::ValuesIn(kImages),
                         [](const testing::TestParamInfo<ToolImage>& info) { return TestName(info.param.pszName); });

// Real files of kinds the system does not draw end with their code and keep what was allocated.
struct RefusedImage {
    const char* pszName;
    const char* pszMake;
    int nCode;
    LONG nBitCount;
};

const RefusedImage kRefused[] = {
    {"logo_rle8.bmp", "convert logo: +dither -colors 256 -compress RLE BMP3:%s", 8, 8},
    {"logo_4bit.bmp", "convert logo: +dither -colors 12 -compress none BMP3:%s", 7, 4},
    {"logo_1bit_v5.bmp", "convert logo: -monochrome -compress none BMP:%s", 7, 1},
    {"rose_24bit.bmp", "convert rose: -type TrueColor BMP3:%s", 7, 24},
};

void PrintTo(const RefusedImage& t, std::ostream* os)
{
    *os << t.pszName;
}

class ToolMadeRefusal : public testing::TestWithParam<RefusedImage> {};

TEST_P(ToolMadeRefusal, EndsWithItsCode)
{
    const RefusedImage& t = GetParam();
    std::string bmp = std::string("image_fixtures/") + t.pszName;
#ifndef _WIN32
    ASSERT_TRUE(MakeWithTool(t.pszMake, bmp)) << bmp;
#else
    if (ReadAll(bmp).empty())
        GTEST_SKIP() << bmp << " is made by a native run of these tests first";
#endif
    std::vector<unsigned char> file = ReadAll(bmp);
    ASSERT_GE(file.size(), 54u);
    ASSERT_EQ(Field(file, 28, 2), static_cast<uint32_t>(t.nBitCount));
    CImage image;
    EXPECT_EQ(image.Load(bmp.c_str()), t.nCode);
    EXPECT_EQ(image.m_nBitCount, t.nBitCount);
    EXPECT_EQ(image.m_pPalette == nullptr, t.nBitCount > 16);
    EXPECT_NE(image.m_pPixels, nullptr);
}

INSTANTIATE_TEST_SUITE_P(ImageMagick, ToolMadeRefusal, testing::ValuesIn(kRefused),
                         [](const testing::TestParamInfo<RefusedImage>& info) { return TestName(info.param.pszName); });

}  // namespace
