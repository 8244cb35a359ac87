// Any bytes as a WAVE file read in pieces the way the streamed sound reads it: open, start,
// reads of sizes taken from the input, starting over once, close.
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

#include "sound/wave.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    if (nSize < 2)
        return 0;
    static const std::string name = "/tmp/fuzz_wave_pieces_" + std::to_string(getpid()) + ".wav";
    std::FILE* f = std::fopen(name.c_str(), "wb");
    if (f == nullptr)
        return 0;
    std::fwrite(pData + 2, 1, nSize - 2, f);
    std::fclose(f);
    UINT cbPiece = 1 + (UINT(pData[0]) << 6 | pData[1]) % 20000;
    HMMIO hmmio = NULL;
    WAVEFORMATEX* pwfx = NULL;
    MMCKINFO ckRiff, ck;
    if (WaveOpenFile(name.c_str(), &hmmio, &pwfx, &ckRiff) != 0)
        return (hmmio == NULL && pwfx == NULL) ? 0 : (__builtin_trap(), 0);
    std::vector<BYTE> piece(cbPiece);
    for (int nPass = 0; nPass < 2; nPass++) {
        if (WaveStartDataRead(&hmmio, &ck, &ckRiff) != 0)
            break;
        UINT cb = 0;
        while (WaveReadData(hmmio, cbPiece, piece.data(), &ck, &cb) == 0 && cb != 0)
            if (cb > cbPiece)
                __builtin_trap();
    }
    WaveCloseInput(&hmmio, &pwfx);
    return 0;
}
