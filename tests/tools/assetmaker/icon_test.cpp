// Checks of the program's icon: the .ico laid out as Windows reads it, its bitmaps showing the same
// pictures as the PNG files of those sizes, the emblem's silhouette at every size, and the files
// written the same way twice.
#include <gtest/gtest.h>
#include <png.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

#include "icon.h"

namespace fs = std::filesystem;
using namespace assets;

namespace {

uint32_t Le16(const std::vector<uint8_t>& b, size_t at) { return uint32_t(b.at(at)) | uint32_t(b.at(at + 1)) << 8; }
uint32_t Le32(const std::vector<uint8_t>& b, size_t at) { return Le16(b, at) | Le16(b, at + 2) << 16; }

std::vector<uint8_t> ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

fs::path ScratchDir(const char* name) {
    fs::path dir = fs::temp_directory_path() / ("icon_tests_" + std::to_string(::getpid())) / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

// Decoded through libpng, as RGBA; size 0 when it does not decode.
RgbaPicture DecodePng(const std::vector<uint8_t>& bytes) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return {};
    image.format = PNG_FORMAT_RGBA;
    RgbaPicture out{int(image.width), std::vector<uint8_t>(PNG_IMAGE_SIZE(image))};
    if (image.width != image.height || !png_image_finish_read(&image, nullptr, out.rgba.data(), 0, nullptr)) return {};
    return out;
}

struct IcoEntry {
    int size;
    std::vector<uint8_t> data;
};

// The directory of an icon file, each entry's data cut out; a fault in the layout fails the test.
std::vector<IcoEntry> ReadIco(const std::vector<uint8_t>& b) {
    std::vector<IcoEntry> out;
    EXPECT_EQ(Le16(b, 0), 0u);
    EXPECT_EQ(Le16(b, 2), 1u);  // an icon, not a cursor
    const uint32_t count = Le16(b, 4);
    uint32_t expectOffset = 6 + 16 * count;
    for (uint32_t i = 0; i < count; ++i) {
        const size_t e = 6 + 16 * i;
        EXPECT_EQ(b.at(e), b.at(e + 1)) << "entry " << i << " is not square";
        EXPECT_EQ(b.at(e + 2), 0) << "no colour count for 32-bit pictures";
        EXPECT_EQ(Le16(b, e + 4), 1u);
        EXPECT_EQ(Le16(b, e + 6), 32u);
        const uint32_t bytes = Le32(b, e + 8), offset = Le32(b, e + 12);
        EXPECT_EQ(offset, expectOffset) << "entry " << i;
        if (offset + uint64_t(bytes) > b.size()) {
            ADD_FAILURE() << "entry " << i << " runs past the end of the file";
            return out;
        }
        out.push_back({b.at(e) ? b.at(e) : 256, std::vector<uint8_t>(b.begin() + offset, b.begin() + offset + bytes)});
        expectOffset = offset + bytes;
    }
    EXPECT_EQ(expectOffset, b.size());
    return out;
}

// A 32-bit icon bitmap back into RGBA, with its mask; checks the header it must have.
RgbaPicture DecodeIcoBitmap(const std::vector<uint8_t>& b, int size, std::vector<bool>& transparent) {
    EXPECT_EQ(Le32(b, 0), 40u);
    EXPECT_EQ(Le32(b, 4), uint32_t(size));
    EXPECT_EQ(Le32(b, 8), uint32_t(2 * size));  // the colours and the mask
    EXPECT_EQ(Le16(b, 14), 32u);
    EXPECT_EQ(Le32(b, 16), 0u);
    const size_t maskStride = (size_t(size) + 31) / 32 * 4, colours = 40, mask = colours + size_t(size) * size * 4;
    EXPECT_EQ(b.size(), mask + maskStride * size_t(size));
    RgbaPicture out{size, std::vector<uint8_t>(size_t(size) * size * 4)};
    transparent.assign(size_t(size) * size, false);
    for (int row = 0; row < size; ++row) {
        const int y = size - 1 - row;  // bottom-up
        for (int x = 0; x < size; ++x) {
            const uint8_t* p = &b.at(colours + (size_t(row) * size + x) * 4);
            uint8_t* q = &out.rgba[(size_t(y) * size + x) * 4];
            q[0] = p[2], q[1] = p[1], q[2] = p[0], q[3] = p[3];
            transparent[size_t(y) * size + x] = b.at(mask + size_t(row) * maskStride + x / 8) & (0x80 >> (x % 8));
        }
    }
    return out;
}

const uint8_t* Pixel(const RgbaPicture& p, int x, int y) { return &p.rgba[(size_t(y) * p.size + x) * 4]; }

}  // namespace

TEST(Icon, IcoHoldsEachSizeAsWindowsReadsIt) {
    std::vector<RgbaPicture> pictures;
    for (int size : kIcoSizes) pictures.push_back(DrawIcon(size));
    const std::vector<IcoEntry> entries = ReadIco(EncodeIco(pictures));
    ASSERT_EQ(entries.size(), kIcoSizes.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        const IcoEntry& e = entries[i];
        ASSERT_EQ(e.size, kIcoSizes[i]);
        RgbaPicture shown;
        if (e.size == 256) {
            ASSERT_EQ(std::vector<uint8_t>(e.data.begin(), e.data.begin() + 8),
                      (std::vector<uint8_t>{0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'}));
            shown = DecodePng(e.data);
        } else {
            std::vector<bool> transparent;
            shown = DecodeIcoBitmap(e.data, e.size, transparent);
            // Where alpha is ignored, the mask alone says what is see-through.
            for (size_t p = 0; p < transparent.size(); ++p)
                ASSERT_EQ(transparent[p], shown.rgba[p * 4 + 3] == 0) << e.size << " px, pixel " << p;
        }
        ASSERT_EQ(shown.size, e.size);
        EXPECT_TRUE(shown.rgba == pictures[i].rgba) << e.size << " px";
    }
}

// The emblem at every size: see-through corners, the opaque octagon symmetric about its middle,
// the warm sun in the window's centre, and a red ring around it.
TEST(Icon, EveryPngSizeShowsTheEmblem) {
    for (int size : kPngSizes) {
        const RgbaPicture p = DecodePng(EncodePng(DrawIcon(size)));
        ASSERT_EQ(p.size, size);
        EXPECT_EQ(Pixel(p, 0, 0)[3], 0) << size;
        EXPECT_EQ(Pixel(p, size - 1, size - 1)[3], 0) << size;
        const uint8_t* centre = Pixel(p, size / 2, size / 2);
        EXPECT_EQ(centre[3], 255) << size;
        EXPECT_GT(centre[0], 200) << size << ": the sun is bright";
        EXPECT_GT(centre[0], centre[2] + 60) << size << ": the sun is warm";
        // Along the middle row, between the window and the thin gap: the ring, red over blue.
        const uint8_t* ring = Pixel(p, int(size * 0.5 * (1 - 99.5 / 118.2)), size / 2);
        EXPECT_GT(ring[3], 200) << size;
        EXPECT_GT(int(ring[0]), int(ring[2])) << size;
        size_t left = 0, right = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) (x < size / 2 ? left : right) += Pixel(p, x, y)[3];
        EXPECT_NEAR(double(left) / double(right), 1.0, 0.02) << size;
    }
}

TEST(Icon, TwoRunsWriteTheSameFiles) {
    const fs::path a = ScratchDir("a"), b = ScratchDir("b");
    std::string error;
    ASSERT_TRUE(MakeIcons(a.string(), error)) << error;
    ASSERT_TRUE(MakeIcons(b.string(), error)) << error;
    size_t count = 0;
    for (const auto& entry : fs::directory_iterator(a)) {
        ++count;
        const std::vector<uint8_t> x = ReadAll(entry.path()), y = ReadAll(b / entry.path().filename());
        EXPECT_FALSE(x.empty()) << entry.path();
        EXPECT_TRUE(x == y) << entry.path().filename();
    }
    EXPECT_EQ(count, kPngSizes.size() + 1);
    EXPECT_TRUE(fs::exists(a / "vadurer.ico"));
    for (int size : kPngSizes)
        EXPECT_EQ(DecodePng(ReadAll(a / ("vadurer-" + std::to_string(size) + ".png"))).size, size);
    fs::remove_all(a.parent_path());
}

TEST(Icon, ThePageGetsAFaviconAndTheSizesItsManifestAsksFor) {
    const fs::path dir = ScratchDir("web");
    std::string error;
    ASSERT_TRUE(MakeWebIcons(dir.string(), error)) << error;
    const std::vector<IcoEntry> favicon = ReadIco(ReadAll(dir / "favicon.ico"));
    ASSERT_EQ(favicon.size(), kFaviconSizes.size());
    for (size_t i = 0; i < favicon.size(); ++i) EXPECT_EQ(favicon[i].size, kFaviconSizes[i]);
    for (int size : kWebPngSizes) {
        const RgbaPicture p = DecodePng(ReadAll(dir / ("icon-" + std::to_string(size) + ".png")));
        ASSERT_EQ(p.size, size);
        EXPECT_TRUE(p.rgba == DrawIcon(size).rgba) << size;
    }
    EXPECT_FALSE(MakeWebIcons("/nonexistent/folder/for/icons", error));
    EXPECT_NE(error.find("/nonexistent/folder/for/icons/favicon.ico"), std::string::npos) << error;
    fs::remove_all(dir.parent_path());
}

TEST(Icon, MissingFolderIsReported) {
    std::string error;
    EXPECT_FALSE(MakeIcons("/nonexistent/folder/for/icons", error));
    EXPECT_NE(error.find("/nonexistent/folder/for/icons/vadurer.ico"), std::string::npos) << error;
}
