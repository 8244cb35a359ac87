#include <cstring>

#include "sound/wave.h"
#include "sounds.h"

namespace assets {

// Through the production's own writer, so the files have exactly the layout it reads back:
// "RIFF"/"WAVE", a PCM "fmt ", "fact" with the frame count, then "data".
bool WriteSound(const std::string& path, const Sound& sound) {
    WAVEFORMATEX wfx;
    std::memset(&wfx, 0, sizeof wfx);
    wfx.wFormatTag = WAVE_FORMAT_PCM;
    wfx.nChannels = 2;
    wfx.nSamplesPerSec = kRate;
    wfx.wBitsPerSample = 16;
    wfx.nBlockAlign = 4;
    wfx.nAvgBytesPerSec = kRate * 4;
    std::vector<BYTE> data(sound.pcm.size() * 2);
    for (size_t i = 0; i < sound.pcm.size(); ++i) {
        const uint16_t s = uint16_t(sound.pcm[i]);
        data[2 * i] = BYTE(s);
        data[2 * i + 1] = BYTE(s >> 8);
    }
    return WaveStoreFile(path.c_str(), UINT(data.size()), DWORD(sound.Frames()), &wfx, data.data()) == 0;
}

}  // namespace assets
