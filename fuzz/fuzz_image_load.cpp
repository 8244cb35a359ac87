// Any bytes as a BMP file for CImage::Load: a result code, never a crash, a read outside the
// buffers it leaves, or a huge allocation. A picture that loaded holds every byte it claims.
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "image/Image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    static const std::string name = "/tmp/fuzz_image_load_" + std::to_string(getpid()) + ".bmp";
    std::FILE* f = std::fopen(name.c_str(), "wb");
    if (f == nullptr)
        return 0;
    std::fwrite(pData, 1, nSize, f);
    std::fclose(f);

    CImage image;
    int nCode = image.Load(name.c_str());
    if (nCode < 0 || nCode > 8)
        __builtin_trap();
    if (nCode == 1) {
        if (image.m_nHeight < 0 || image.m_nWidth < 0 || image.m_pPixels == nullptr)
            __builtin_trap();
        // Rows were read only for an 8-bit picture, so the buffer is width x height bytes.
        if (image.m_nHeight > 0 && image.m_nWidth > 0) {
            if (image.m_nBitCount != 8 || image.m_pPalette == nullptr)
                __builtin_trap();
            volatile BYTE sum = 0;
            int64_t nBytes = int64_t{image.m_nWidth} * image.m_nHeight;
            for (int64_t i = 0; i < nBytes; i++)
                sum = BYTE(sum + image.m_pPixels[i]);
            for (int n = 0; n < 256; n++)
                sum = BYTE(sum + image.m_pPalette[n].rgbRed);
        }
    }
    if (image.m_pPalette != nullptr && image.m_nBitCount > 16)
        __builtin_trap();
    // A second load of the same file into the same record gives the same answer.
    if (image.Load(name.c_str()) != nCode)
        __builtin_trap();
    return 0;
}
