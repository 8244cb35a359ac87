// Any bytes as a WAVE file for WaveLoadFile: a code or a load, never a crash or a huge block.
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "sound/wave.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    static const std::string name = "/tmp/fuzz_wave_load_" + std::to_string(getpid()) + ".wav";
    std::FILE* f = std::fopen(name.c_str(), "wb");
    if (f == nullptr)
        return 0;
    std::fwrite(pData, 1, nSize, f);
    std::fclose(f);
    UINT cb = 0;
    DWORD dwSamples = 0;
    BYTE* pb = NULL;
    WAVEFORMATEX* pwfx = NULL;
    if (WaveLoadFile(name.c_str(), &cb, &dwSamples, &pwfx, &pb) == 0) {
        volatile BYTE sum = 0;
        for (UINT i = 0; i < cb; i++)
            sum = BYTE(sum + pb[i]);
        GlobalFree(GlobalHandle(pb));
        GlobalFree(GlobalHandle(pwfx));
    } else if (pb != NULL || pwfx != NULL || cb != 0) {
        __builtin_trap();  // a failed load must leave nothing behind
    }
    return 0;
}
