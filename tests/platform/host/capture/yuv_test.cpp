// The recorder's pictures as the encoder's 4:2:0 planes: known colours at their studio-range
// values, each 2 x 2 block's chroma the mean of its four pixels, a paletted picture giving
// exactly the planes of the same picture as pixels, and an enlarged picture's planes exactly those
// of the picture enlarged first, by every factor.
#ifndef _WIN32
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "platform/host/capture/yuv.h"

namespace {

struct Planes {
    std::vector<uint8_t> bytes;
    int w, h;
    uint8_t Y(int x, int y) const { return bytes[size_t(y) * w + x]; }
    uint8_t U(int x, int y) const { return bytes[size_t(w) * h + size_t(y / 2) * (w / 2) + x / 2]; }
    uint8_t V(int x, int y) const { return bytes[size_t(w) * h * 5 / 4 + size_t(y / 2) * (w / 2) + x / 2]; }
};

Planes FromXrgb(const std::vector<uint32_t>& xrgb, int w, int h)
{
    Planes p{std::vector<uint8_t>(host::YuvConverter::Size(w, h), 0xEE), w, h};
    host::YuvConverter converter;
    converter.FromXrgb(xrgb.data(), w, h, p.bytes.data());
    return p;
}

TEST(YuvConverter, KnownColoursTakeTheirStudioRangeValues)
{
    // One 2 x 2 block each: black, white, red, green, blue.
    const uint32_t kColours[] = {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF};
    const int kY[] = {16, 235, 82, 144, 41}, kU[] = {128, 128, 90, 54, 240}, kV[] = {128, 128, 240, 34, 110};
    const int w = 10, h = 2;
    std::vector<uint32_t> xrgb(size_t(w) * h);
    for (int x = 0; x < w; ++x)
        xrgb[x] = xrgb[w + x] = kColours[x / 2];
    Planes p = FromXrgb(xrgb, w, h);
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(p.Y(2 * i, 0), kY[i]);
        EXPECT_EQ(p.Y(2 * i + 1, 1), kY[i]);
        EXPECT_EQ(p.U(2 * i, 0), kU[i]);
        EXPECT_EQ(p.V(2 * i, 0), kV[i]);
    }
    EXPECT_EQ(p.bytes.size(), size_t(w) * h * 3 / 2) << "nothing written past the planes";
}

TEST(YuvConverter, ABlocksChromaIsTheMeanOfItsFourPixels)
{
    // Black and white side by side in every row: grey chroma, each pixel its own luma.
    std::vector<uint32_t> xrgb = {0x000000, 0xFFFFFF, 0x000000, 0xFFFFFF};
    Planes p = FromXrgb(xrgb, 2, 2);
    EXPECT_EQ(p.Y(0, 0), 16);
    EXPECT_EQ(p.Y(1, 0), 235);
    EXPECT_EQ(p.U(0, 0), 128);
    EXPECT_EQ(p.V(0, 0), 128);
    // Red over blue: between the two.
    xrgb = {0xFF0000, 0xFF0000, 0x0000FF, 0x0000FF};
    p = FromXrgb(xrgb, 2, 2);
    EXPECT_EQ(p.U(0, 0), 165);  // (90 + 240) / 2
    EXPECT_EQ(p.V(0, 0), 175);  // (240 + 110) / 2
}

// A picture of random indices into a random palette, and the same pixels as colours.
struct RandomPicture {
    RandomPicture(std::mt19937& random, int w, int h) : palette(256), indices(size_t(w) * h), xrgb(indices.size())
    {
        for (uint32_t& c : palette)
            c = random() & 0xFFFFFF;
        for (size_t i = 0; i < indices.size(); ++i) {
            indices[i] = static_cast<uint8_t>(random());
            xrgb[i] = palette[indices[i]];
        }
    }
    std::vector<uint32_t> palette;
    std::vector<uint8_t> indices;
    std::vector<uint32_t> xrgb;
};

TEST(YuvConverter, PalettedPicturesGiveThePlanesOfTheSamePixels)
{
    std::mt19937 random(7);
    const int w = 64, h = 48;
    host::YuvConverter converter;
    for (int nPalette = 0; nPalette < 3; ++nPalette) {
        const RandomPicture pic(random, w, h);
        const auto& [palette, indices, xrgb] = pic;
        std::vector<uint8_t> fromIndices(host::YuvConverter::Size(w, h));
        converter.FromIndices(indices.data(), palette.data(), w, h, fromIndices.data());
        EXPECT_EQ(fromIndices, FromXrgb(xrgb, w, h).bytes) << "palette " << nPalette;
    }
}

// The picture with each pixel an n x n block.
std::vector<uint32_t> Enlarge(const std::vector<uint32_t>& xrgb, int w, int h, int n)
{
    std::vector<uint32_t> big(size_t(w) * n * size_t(h) * n);
    for (int y = 0; y < h * n; ++y)
        for (int x = 0; x < w * n; ++x)
            big[size_t(y) * w * n + x] = xrgb[size_t(y / n) * w + x / n];
    return big;
}

TEST(YuvConverter, AnEnlargedPicturesPlanesAreThoseOfThePictureEnlargedFirst)
{
    std::mt19937 random(11);
    // Odd factors put chroma samples across the blocks' edges; 10 x 6 is not a multiple of 4.
    for (int w : {10, 2}) {  // 2 x 2: rows shorter than the eight bytes the widening stores at once
        const int h = w == 10 ? 6 : 2;
        const RandomPicture pic(random, w, h);
        const auto& [palette, indices, xrgb] = pic;
        host::YuvConverter converter;
        for (int n = 1; n <= 6; ++n) {
            SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h) + ", x" + std::to_string(n));
            const Planes expected = FromXrgb(Enlarge(xrgb, w, h, n), w * n, h * n);
            // One byte past the planes, which must stay as it was.
            std::vector<uint8_t> fromIndices(host::YuvConverter::Size(w * n, h * n) + 1, 0xEE);
            converter.FromIndices(indices.data(), palette.data(), w, h, fromIndices.data(), n);
            EXPECT_EQ(fromIndices.back(), 0xEE);
            fromIndices.pop_back();
            EXPECT_EQ(fromIndices, expected.bytes);
            std::vector<uint8_t> fromXrgb(host::YuvConverter::Size(w * n, h * n) + 1, 0xEE);
            converter.FromXrgb(xrgb.data(), w, h, fromXrgb.data(), n);
            EXPECT_EQ(fromXrgb.back(), 0xEE);
            fromXrgb.pop_back();
            EXPECT_EQ(fromXrgb, expected.bytes);
        }
    }
}

TEST(YuvConverter, AnOddFactorsChromaAcrossTwoBlocksIsTheirMean)
{
    // Red beside blue, enlarged three times: columns 0-2 red, 3-5 blue. The chroma sample over
    // columns 2 and 3 takes two of each; those over 0-1 and 4-5 one colour alone.
    const std::vector<uint32_t> xrgb = {0xFF0000, 0x0000FF, 0xFF0000, 0x0000FF};
    Planes p{std::vector<uint8_t>(host::YuvConverter::Size(6, 6)), 6, 6};
    host::YuvConverter converter;
    converter.FromXrgb(xrgb.data(), 2, 2, p.bytes.data(), 3);
    EXPECT_EQ(p.Y(2, 0), 82);
    EXPECT_EQ(p.Y(3, 5), 41);
    EXPECT_EQ(p.U(0, 0), 90);
    EXPECT_EQ(p.U(2, 0), 165);  // (90 + 240) / 2
    EXPECT_EQ(p.U(4, 4), 240);
    EXPECT_EQ(p.V(2, 2), 175);  // (240 + 110) / 2
}

}  // namespace
#endif
