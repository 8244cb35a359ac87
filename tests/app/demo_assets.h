// The production's fourteen files, made small and plain for the tests: every picture one flat
// colour of its own and every sound one steady level of its own, so that a frame tells which step
// drew it and the audio tells which sounds are playing.
#pragma once

#include <cstdio>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <direct.h>
#else
#include <sys/stat.h>
#endif

#include "app/Assets.h"
#include "tests/sound/wave_files.h"
#include "tests/test_files.h"

namespace demoassets {

inline const char* const kAssetDir = "demo_test_assets";
// Colour indices that mark each picture in the framebuffer.
inline const BYTE kBackground = 10, kMask = 1, kBand = 200, kScroller = 201, kCredit0 = 20;

inline testfiles::Bytes FlatBmp(int nWidth, int nHeight, BYTE nIndex, BYTE nRed)
{
    const int nRow = (nWidth + 3) & ~3;
    testfiles::Bytes b;
    auto put = [&b](uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            b.push_back(static_cast<unsigned char>(v >> (8 * i)));
    };
    const uint32_t nOffset = 14 + 40 + 1024;
    b.push_back('B');
    b.push_back('M');
    put(nOffset + nRow * nHeight, 4);
    put(0, 4);
    put(nOffset, 4);
    put(40, 4);
    put(static_cast<uint32_t>(nWidth), 4);
    put(static_cast<uint32_t>(nHeight), 4);
    put(1, 2);
    put(8, 2);
    put(0, 4);
    put(static_cast<uint32_t>(nRow * nHeight), 4);
    put(0, 4);
    put(0, 4);
    put(256, 4);
    put(0, 4);
    for (int i = 0; i < 256; ++i) {
        // blue, green, red, reserved: every entry its own colour, the picture's own a red of its own
        b.push_back(static_cast<unsigned char>(i));
        b.push_back(static_cast<unsigned char>(255 - i));
        b.push_back(i == nIndex ? nRed : static_cast<unsigned char>(i / 2));
        b.push_back(0);
    }
    for (int y = 0; y < nHeight; ++y)
        for (int x = 0; x < nRow; ++x)
            b.push_back(x < nWidth ? nIndex : 0);
    return b;
}

// 44100 Hz 16-bit stereo at one steady level.
inline testfiles::Bytes Level(int nLevel, double dSeconds)
{
    size_t nFrames = static_cast<size_t>(44100 * dSeconds);
    testfiles::Bytes data;
    for (size_t i = 0; i < nFrames * 2; ++i) {
        data.push_back(static_cast<unsigned char>(nLevel & 0xFF));
        data.push_back(static_cast<unsigned char>((nLevel >> 8) & 0xFF));
    }
    return wavefiles::PcmFile(data, 2, 44100, 16);
}

// The levels add up to a different sum for every set of sounds playing.
inline const int kMusicLevel = 500, kThxLevel = 1000, kBangLevel = 2000, kDshoofLevel = 4000;

inline void WriteAssets(const char* pszSkip = nullptr)
{
#ifdef _WIN32
    _mkdir(kAssetDir);
#else
    mkdir(kAssetDir, 0755);
#endif
    auto write = [pszSkip](const char* pszName, const testfiles::Bytes& b) {
        if (!pszSkip || std::strcmp(pszSkip, pszName) != 0)
            testfiles::WriteAll(std::string(kAssetDir) + "/" + pszName, b);
        else
            std::remove((std::string(kAssetDir) + "/" + pszName).c_str());
    };
    // Under the program's own names (app/Assets.h), in its order.
    write(g_pszPictureFiles[0], FlatBmp(640, 480, kBackground, 250));
    write(g_pszPictureFiles[1], FlatBmp(64, 64, kMask, 0));
    write(g_pszPictureFiles[2], FlatBmp(640, 100, kBand, 0));
    write(g_pszPictureFiles[3], FlatBmp(300, 40, kScroller, 0));
    for (int i = 0; i < 6; ++i)
        write(g_pszPictureFiles[4 + i],
              FlatBmp(640, 480, static_cast<BYTE>(kCredit0 + i), static_cast<BYTE>(100 + 20 * i)));
    write(g_pszSoundFiles[0], Level(kMusicLevel, 75.0));
    write(g_pszSoundFiles[1], Level(kThxLevel, 3.0));
    write(g_pszSoundFiles[2], Level(kBangLevel, 3.0));
    write(g_pszSoundFiles[3], Level(kDshoofLevel, 3.0));
}

}  // namespace demoassets
