#include <cstdio>

#include "sounds.h"

namespace assets {

// Interim: raw little-endian PCM until the system's own WAVE writer can be linked.
bool WriteSound(const std::string& path, const Sound& sound) {
    FILE* f = std::fopen((path + ".raw").c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(sound.pcm.data(), 2, sound.pcm.size(), f) == sound.pcm.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace assets
