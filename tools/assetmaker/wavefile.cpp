#include <cstdio>

#include "sounds.h"

namespace assets {

namespace {

void Put16(std::vector<uint8_t>& b, uint32_t v) { b.push_back(uint8_t(v)), b.push_back(uint8_t(v >> 8)); }
void Put32(std::vector<uint8_t>& b, uint32_t v) { Put16(b, v & 0xFFFF), Put16(b, v >> 16); }
void Tag(std::vector<uint8_t>& b, const char* t) { b.insert(b.end(), t, t + 4); }

}  // namespace

// The layout the system's own writer produces: "RIFF"/"WAVE", a 16-byte PCM "fmt ", "fact" with
// the frame count, then "data". Written here until that writer can be linked into the tool.
bool WriteSound(const std::string& path, const Sound& sound) {
    const uint32_t dataBytes = uint32_t(sound.pcm.size() * 2);
    std::vector<uint8_t> b;
    b.reserve(56 + dataBytes);
    Tag(b, "RIFF");
    Put32(b, 4 + 24 + 12 + 8 + dataBytes);
    Tag(b, "WAVE");
    Tag(b, "fmt ");
    Put32(b, 16);
    Put16(b, 1);  // PCM
    Put16(b, 2);
    Put32(b, kRate);
    Put32(b, kRate * 4);
    Put16(b, 4);
    Put16(b, 16);
    Tag(b, "fact");
    Put32(b, 4);
    Put32(b, uint32_t(sound.Frames()));
    Tag(b, "data");
    Put32(b, dataBytes);
    for (int16_t s : sound.pcm) Put16(b, uint16_t(s));
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(b.data(), 1, b.size(), f) == b.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace assets
