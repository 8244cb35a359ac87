#include "bmp.h"

#include <cstdio>

namespace assets {

namespace {

void Put16(std::vector<uint8_t>& b, uint32_t v) { b.push_back(uint8_t(v)), b.push_back(uint8_t(v >> 8)); }
void Put32(std::vector<uint8_t>& b, uint32_t v) { Put16(b, v & 0xFFFF), Put16(b, v >> 16); }

}  // namespace

std::vector<uint8_t> EncodeBmp(const IndexedPicture& pic) {
    const uint32_t stride = (uint32_t(pic.w) + 3) & ~3u;
    const uint32_t offBits = 14 + 40 + 1024, imageSize = stride * uint32_t(pic.h);
    std::vector<uint8_t> b;
    b.reserve(offBits + imageSize);
    b.push_back('B'), b.push_back('M');
    Put32(b, offBits + imageSize);
    Put32(b, 0);
    Put32(b, offBits);
    Put32(b, 40);
    Put32(b, uint32_t(pic.w));
    Put32(b, uint32_t(pic.h));  // positive: the bottom row is stored first
    Put16(b, 1);
    Put16(b, 8);
    Put32(b, 0);  // uncompressed
    Put32(b, imageSize);
    Put32(b, 2835), Put32(b, 2835);  // 72 dpi
    Put32(b, 256), Put32(b, 256);
    b.insert(b.end(), pic.palette.begin(), pic.palette.end());
    for (int y = pic.h - 1; y >= 0; --y) {
        const uint8_t* row = pic.pixels.data() + size_t(y) * pic.w;
        b.insert(b.end(), row, row + pic.w);
        b.insert(b.end(), stride - uint32_t(pic.w), 0);
    }
    return b;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace assets
