// Files made by sox and ffmpeg, not by this program. Natively they are made in
// "wave_fixtures" under the working directory at test time, beside the raw sample bytes sox
// reports for each; the Windows build finds them there when a native run has made them first.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "sound/wave.h"
#include "tests/test_files.h"

namespace {

using namespace testfiles;

struct ToolFile {
    const char* pszName;
    const char* pszMake;  // shell line; %s is the output path
    WORD wTag, nChannels, nBits;
    DWORD nRate;
};

const ToolFile kFiles[] = {
    {"u8_mono_11025.wav", "sox -n -r 11025 -c 1 -b 8 -e unsigned-integer %s synth 0.3 sine 440", 1, 1, 8, 11025},
    {"s16_stereo_48000.wav", "sox -n -r 48000 -c 2 -b 16 -e signed-integer %s synth 0.25 sine 300 sine 500", 1, 2, 16,
     48000},
    {"u8_stereo_22050.wav", "sox -n -r 22050 -c 2 -b 8 -e unsigned-integer %s synth 0.2 square 200", 1, 2, 8, 22050},
    {"s16_mono_44100_list.wav",
     "ffmpeg -v error -y -f lavfi -i sine=f=330:d=0.2:r=44100 -metadata title=Fixture -c:a pcm_s16le %s", 1, 1, 16,
     44100},
    {"s24_ext_stereo_32000.wav", "sox -n -r 32000 -c 2 -b 24 -e signed-integer %s synth 0.2 sine 250", 0xFFFE, 2, 24,
     32000},
};

class ToolMadeWave : public testing::TestWithParam<ToolFile> {};

TEST_P(ToolMadeWave, LoadsTheSampleBytesSoxReports)
{
    const ToolFile& t = GetParam();
    std::string wav = std::string("wave_fixtures/") + t.pszName;
    std::string raw = wav + ".raw";
#ifndef _WIN32
    ASSERT_TRUE(MakeWithTool(t.pszMake, wav)) << wav;
    ASSERT_TRUE(RunShell("sox " + wav + " -t raw " + raw)) << wav;
#else
    if (ReadAll(wav).empty() || ReadAll(raw).empty())
        GTEST_SKIP() << wav << " is made by a native run of these tests first";
#endif
    std::vector<unsigned char> want = ReadAll(raw);
    ASSERT_FALSE(want.empty());

    UINT cb = 0;
    DWORD dwSamples = 0;
    BYTE* pb = NULL;
    WAVEFORMATEX* pwfx = NULL;
    ASSERT_EQ(WaveLoadFile(wav.c_str(), &cb, &dwSamples, &pwfx, &pb), 0) << wav;
    EXPECT_EQ(pwfx->wFormatTag, t.wTag);
    EXPECT_EQ(pwfx->nChannels, t.nChannels);
    EXPECT_EQ(pwfx->wBitsPerSample, t.nBits);
    EXPECT_EQ(pwfx->nSamplesPerSec, t.nRate);
    if (t.wTag == 0xFFFE) {
        EXPECT_EQ(pwfx->cbSize, 22);  // the extensible record's own fields
    }
    ASSERT_EQ(cb, want.size());
    EXPECT_TRUE(std::vector<unsigned char>(pb, pb + cb) == want);
    GlobalFree(GlobalHandle(pb));
    GlobalFree(GlobalHandle(pwfx));
}

INSTANTIATE_TEST_SUITE_P(SoxAndFfmpeg, ToolMadeWave, testing::ValuesIn(kFiles),
                         [](const testing::TestParamInfo<ToolFile>& info) { return TestName(info.param.pszName); });

}  // namespace
