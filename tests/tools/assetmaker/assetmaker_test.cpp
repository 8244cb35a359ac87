// Checks of the asset maker: the BMP layout it writes, the colour reduction, the palette
// arrangement the production's drawing relies on, the sounds' levels and lengths, and that two
// runs write the same bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

#include "app/Assets.h"
#include "bmp.h"
#include "fx/Blit.h"
#include "image/Image.h"
#include "screen/Screen.h"
#include "font.h"
#include "make.h"
#include "pictures.h"
#include "raster.h"
#include "sound/wave.h"
#include "sounds.h"
#include "synth.h"

namespace fs = std::filesystem;
using namespace assets;

namespace {

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

float Luma(Rgb c) { return c.r * 0.3f + c.g * 0.59f + c.b * 0.11f; }

float Distance(Rgb a, Rgb b) {
    return std::sqrt((a.r - b.r) * (a.r - b.r) + (a.g - b.g) * (a.g - b.g) + (a.b - b.b) * (a.b - b.b));
}

std::vector<uint8_t> ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

fs::path ScratchDir(const char* name) {
    fs::path dir = fs::temp_directory_path() / ("assetmaker_tests_" + std::to_string(::getpid())) / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

}  // namespace

TEST(Bmp, OddWidthIsStoredBottomUpWithPaddedRows) {
    IndexedPicture pic(301, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 301; ++x) pic.pixels[size_t(y) * 301 + x] = uint8_t(y * 10 + x % 7);
    pic.SetEntry(5, Rgb{1.0f, 0.5f, 0.0f});
    std::vector<uint8_t> b = EncodeBmp(pic);
    ASSERT_EQ(b.size(), 1078u + 304u * 3u);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(Le32(b, 2), b.size());
    EXPECT_EQ(Le32(b, 10), 1078u);
    EXPECT_EQ(Le32(b, 14), 40u);
    EXPECT_EQ(Le32(b, 18), 301u);
    EXPECT_EQ(int32_t(Le32(b, 22)), 3);  // positive height: bottom row first
    EXPECT_EQ(b[28], 8);
    EXPECT_EQ(Le32(b, 30), 0u);
    // Entry 5 in blue, green, red order.
    EXPECT_EQ(b[54 + 20], 0);
    EXPECT_EQ(b[54 + 21], 128);
    EXPECT_EQ(b[54 + 22], 255);
    for (int stored = 0; stored < 3; ++stored) {
        int row = 2 - stored;
        size_t at = 1078 + size_t(stored) * 304;
        for (int x = 0; x < 301; ++x) ASSERT_EQ(b[at + x], pic.pixels[size_t(row) * 301 + x]) << stored << "," << x;
        EXPECT_EQ(b[at + 301], 0);
        EXPECT_EQ(b[at + 303], 0);
    }
}

TEST(Quantize, FewColoursComeBackExactlyAndOnlyTheSelectionIsTouched) {
    Canvas c(64, 16);
    const Rgb colours[4] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 1}};
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 64; ++x) c.At(x, y) = colours[(x / 16 + y / 8) % 4];
    std::vector<uint8_t> select(c.px.size(), 1);
    for (int x = 0; x < 64; ++x) select[x] = 0;  // the top row stays as it is
    IndexedPicture pic(64, 16);
    std::fill(pic.pixels.begin(), pic.pixels.end(), 7);
    pic.SetEntry(3, Rgb{0.2f, 0.2f, 0.2f});
    Quantize(c, select, pic, 10, 4);
    EXPECT_EQ(pic.Entry(3).r, pic.Entry(3).g);  // outside the range: unchanged
    EXPECT_NEAR(pic.Entry(3).r, 0.2f, 0.01f);
    for (int x = 0; x < 64; ++x) EXPECT_EQ(pic.pixels[x], 7);
    for (int y = 1; y < 16; ++y)
        for (int x = 0; x < 64; ++x) {
            int idx = pic.pixels[size_t(y) * 64 + x];
            ASSERT_GE(idx, 10);
            ASSERT_LT(idx, 14);
            Rgb want = colours[(x / 16 + y / 8) % 4];
            ASSERT_LT(Distance(pic.Entry(idx), want), 0.01f) << x << "," << y;
        }
}

TEST(Quantize, GradientIsDitheredToTheRightAverage) {
    Canvas c(256, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 256; ++x) c.At(x, y) = Rgb{x / 255.0f, x / 255.0f, x / 255.0f};
    IndexedPicture pic(256, 8);
    Quantize(c, std::vector<uint8_t>(c.px.size(), 1), pic, 0, 8);
    // Eight grey levels for 256 shades: a band of 32 columns averages to its own shade.
    for (int band = 0; band < 8; ++band) {
        double sum = 0, want = 0;
        for (int y = 0; y < 8; ++y)
            for (int x = band * 32; x < band * 32 + 32; ++x)
                sum += pic.Entry(pic.pixels[size_t(y) * 256 + x]).g, want += x / 255.0;
        EXPECT_NEAR(sum / 256, want / 256, 0.03) << band;
    }
}

TEST(Shapes, PolygonCoverageSumsToItsAreaAndClipsAtTheEdges) {
    Mask m(64, 64);
    FillPolygon(m, {{10.5f, 10.25f}, {50.5f, 10.25f}, {30.5f, 40.25f}});  // area 600
    double sum = 0;
    for (float v : m.v) sum += v;
    EXPECT_NEAR(sum, 600.0, 3.0);
    Mask edge(16, 16);
    FillPolygon(edge, {{-10, -10}, {8, -10}, {8, 30}, {-10, 30}});  // reaches outside on three sides
    for (int y = 0; y < 16; ++y) {
        EXPECT_FLOAT_EQ(edge.At(7, y), 1.0f);
        EXPECT_FLOAT_EQ(edge.At(8, y), 0.0f);
    }
    FillPolygon(edge, {{1, 1}, {2, 2}});  // too few corners: nothing
}

TEST(Shapes, GrowAddsTheDistanceAroundInkAndKeepsTheInk) {
    Mask dot(41, 41);
    dot.At(20, 20) = 1;
    std::vector<float> d = DistanceToInk(dot);
    EXPECT_FLOAT_EQ(d[size_t(20) * 41 + 20], 0.0f);
    EXPECT_FLOAT_EQ(d[size_t(20) * 41 + 30], 10.0f);
    EXPECT_NEAR(d[size_t(28) * 41 + 26], 10.0f, 1e-4);  // a 6-8-10 triangle
    Mask grown = Grow(dot, 5.0f);
    EXPECT_FLOAT_EQ(grown.At(20, 24), 1.0f);
    EXPECT_FLOAT_EQ(grown.At(20, 25), 0.5f);  // the edge passes through this pixel's centre
    EXPECT_FLOAT_EQ(grown.At(20, 26), 0.0f);
    EXPECT_GT(grown.At(23, 23), 0.9f);  // 4.2 away: inside a radius of 5
    Mask empty(8, 8);
    for (float v : Grow(empty, 3.0f).v) ASSERT_EQ(v, 0.0f);  // no ink: nothing grows
}

class Pictures : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string error;
        ASSERT_TRUE(FontInit(error)) << error;
        s_pictures = new std::vector<NamedPicture>(MakePictures());
        FontDone();
    }
    static void TearDownTestSuite() { delete s_pictures; }
    static const IndexedPicture& Get(int i) { return (*s_pictures)[size_t(i)].picture; }
    static std::vector<NamedPicture>* s_pictures;
};
std::vector<NamedPicture>* Pictures::s_pictures = nullptr;

TEST_F(Pictures, NamesAndSizesAreThoseTheProductionLoads) {
    ASSERT_EQ(s_pictures->size(), size_t(ASSET_PICTURES));
    for (int i = 0; i < ASSET_PICTURES; ++i) EXPECT_EQ((*s_pictures)[size_t(i)].file, g_pszPictureFiles[i]);
    for (int i : {0, 4, 5, 6, 7, 8, 9}) {
        EXPECT_EQ(Get(i).w, 640) << i;
        EXPECT_EQ(Get(i).h, 480) << i;
    }
    EXPECT_EQ(Get(1).w, Get(1).h);
    EXPECT_EQ(Get(2).w, 640);
    EXPECT_LE(Get(2).h, 480);
    // The scroller crosses in 8 seconds: about 260 pixels a second at 1500 pixels.
    std::printf("scroller %d x %d pixels\n", Get(3).w, Get(3).h);
    EXPECT_GE(Get(3).w, 1200);
    EXPECT_LE(Get(3).w, 1800);
    EXPECT_LE(Get(3).h, 480);
}

TEST_F(Pictures, BackgroundPaletteServesTheDrawing) {
    const IndexedPicture& back = Get(0);
    EXPECT_EQ(back.palette[0] | back.palette[1] | back.palette[2], 0);
    // The picture itself keeps to its own entries.
    for (uint8_t v : back.pixels) {
        ASSERT_GE(v, layout::kBackFirst);
        ASSERT_LT(v, layout::kBackFirst + layout::kBackCount);
    }
    // The flash and mask colour is bright and far from every colour of the picture and the cube.
    Rgb flash = back.Entry(layout::kFlash);
    EXPECT_GT(Luma(flash), 0.8f);
    for (int i = layout::kBackFirst; i < layout::kBackFirst + layout::kBackCount; ++i)
        EXPECT_GT(Distance(flash, back.Entry(i)), 0.35f) << i;
    for (int i = 0; i < 5; ++i) EXPECT_GT(Distance(flash, back.Entry(layout::kCubeFirst + i)), 0.35f) << i;
    // The cube's ramp: 119 (facing the viewer) brightest, darker with every step.
    for (int i = layout::kCubeFirst; i < layout::kCubeFirst + layout::kCubeCount - 1; ++i)
        EXPECT_GT(Luma(back.Entry(i)), Luma(back.Entry(i + 1))) << i;
    EXPECT_GT(Luma(back.Entry(123)), 0.08f);  // an edge-on face still shows
}

TEST_F(Pictures, BandAndScrollerUseTheirRangesOfTheBackgroundPalette) {
    const IndexedPicture &back = Get(0), &band = Get(2), &scroll = Get(3);
    EXPECT_EQ(band.palette, back.palette);
    EXPECT_EQ(scroll.palette, back.palette);
    for (uint8_t v : band.pixels) {
        if (v == 0) continue;
        ASSERT_GE(v, layout::kBandFirst);
        ASSERT_LT(v, layout::kBandFirst + layout::kBandCount);
    }
    size_t zeros = 0;
    for (uint8_t v : scroll.pixels) {
        if (v == 0) {
            ++zeros;
            continue;
        }
        ASSERT_GE(v, layout::kScrollFirst);
    }
    // Mostly black around the lettering, and lettering there is.
    EXPECT_GT(zeros, scroll.pixels.size() / 4);
    EXPECT_LT(zeros, scroll.pixels.size() * 9 / 10);
    // The scroller's top and bottom rows are black, so nothing is cut off at its edges.
    for (int x = 0; x < scroll.w; ++x) {
        ASSERT_EQ(scroll.pixels[size_t(x)], 0);
        ASSERT_EQ(scroll.pixels[size_t(scroll.h - 1) * scroll.w + x], 0);
    }
}

// Scene 3 draws the band at the top and the scroller over it at row 240 - height / 2: the band is
// black wherever the scroller passes, so no stale band shows beside the moving ground, and it
// shows something in the rows above and below, so the screen is used.
TEST_F(Pictures, BandLeavesTheScrollerItsLaneAndFillsTheRest) {
    const IndexedPicture &band = Get(2), &scroll = Get(3);
    int top = 240 - scroll.h / 2, bottom = top + scroll.h;
    ASSERT_GE(top, 0);
    for (int y = top; y < std::min(bottom, band.h); ++y)
        for (int x = 0; x < band.w; ++x) ASSERT_EQ(band.pixels[size_t(y) * band.w + x], 0) << x << "," << y;
    auto rowLit = [&](int y) {
        size_t lit = 0;
        for (int x = 0; x < band.w; ++x) lit += Luma(band.Entry(band.pixels[size_t(y) * band.w + x])) > 0.02f;
        return lit > size_t(band.w) / 2;
    };
    for (int y = 0; y < top; ++y) EXPECT_TRUE(rowLit(y)) << "row " << y;
    ASSERT_EQ(band.h, 480) << "the rows under the scroller would stay black";
    for (int y = bottom; y < band.h; ++y) EXPECT_TRUE(rowLit(y)) << "row " << y;
}

// The mask as the production draws it when the zoom has ended, over the background: its window
// rings the sun with an even band of sky, and no part of the sun shows outside the window.
TEST_F(Pictures, FrozenMaskFramesTheSunEvenly) {
    CImage mask;
    const IndexedPicture& e = Get(1);
    mask.m_nWidth = e.w, mask.m_nHeight = e.h;
    std::vector<BYTE> pixels(e.pixels.begin(), e.pixels.end());
    mask.m_pPixels = pixels.data();
    std::vector<BYTE> frame(640 * 480, 0);
    BYTE* saved = g_pFramebuffer;
    g_pFramebuffer = frame.data();
    DrawMaskedQuad(&mask, 228, 148, 411, 331);
    g_pFramebuffer = saved;
    mask.m_pPixels = nullptr;
    EXPECT_NEAR(layout::kSunX, (228 + 411) / 2.0, 0.01);
    EXPECT_NEAR(layout::kSunY, (148 + 331) / 2.0, 0.01);
    double nearest = 1e9, farthest = 0;
    for (int a = 0; a < 360; a += 3) {
        double dx = std::cos(a * 3.14159265 / 180), dy = std::sin(a * 3.14159265 / 180);
        double r = 0;
        while (r < 200 && frame[size_t(int(layout::kSunY + dy * r)) * 640 + size_t(int(layout::kSunX + dx * r))] != 63)
            r += 0.25;
        nearest = std::min(nearest, r), farthest = std::max(farthest, r);
    }
    std::printf("window radius %.1f to %.1f pixels around a sun of %.0f\n", nearest, farthest,
                double(layout::kSunRadius));
    EXPECT_LT(farthest - nearest, 3.5);  // the nearest-pixel stretch moves an edge by a pixel or so
    EXPECT_GT(nearest - layout::kSunRadius, 6);
    EXPECT_LT(farthest - layout::kSunRadius, 20);
    // Beyond the window's edge the mask is solid for a while in every direction, so no sliver of
    // sky or sun breaks the ring.
    for (int a = 0; a < 360; a += 3) {
        double dx = std::cos(a * 3.14159265 / 180), dy = std::sin(a * 3.14159265 / 180);
        for (double r = farthest + 1.5; r < farthest + 8; r += 0.5)
            ASSERT_EQ(frame[size_t(int(layout::kSunY + dy * r)) * 640 + size_t(int(layout::kSunX + dx * r))], 63)
                << a << "," << r;
    }
}

TEST_F(Pictures, EmblemIsACentredShape) {
    const IndexedPicture& e = Get(1);
    size_t inside = std::count_if(e.pixels.begin(), e.pixels.end(), [](uint8_t v) { return v != 0; });
    EXPECT_GT(inside, e.pixels.size() / 5);
    EXPECT_LT(inside, e.pixels.size() * 4 / 5);
    // Balanced left and right, so it zooms into the middle of its square.
    size_t left = 0, right = 0;
    for (int y = 0; y < e.h; ++y)
        for (int x = 0; x < e.w; ++x)
            if (e.pixels[size_t(y) * e.w + x]) (x < e.w / 2 ? left : right)++;
    EXPECT_NEAR(double(left) / double(right), 1.0, 0.1);
    EXPECT_EQ(e.pixels[0], 0);  // the corners are outside the ring
}

// Drawn as the zoom draws it, from 640 pixels across down to 183, the silhouette keeps every
// part: each line through the middle crosses the same edges at every size, none merges or drops.
TEST_F(Pictures, EmblemKeepsItsSilhouetteAtEverySize) {
    const IndexedPicture& e = Get(1);
    CImage mask;
    mask.m_nWidth = e.w, mask.m_nHeight = e.h;
    std::vector<BYTE> pixels(e.pixels.begin(), e.pixels.end());
    mask.m_pPixels = pixels.data();
    std::vector<BYTE> frame(640 * 480);
    BYTE* saved = g_pFramebuffer;
    g_pFramebuffer = frame.data();
    auto edges = [&](int size, bool across) {
        std::fill(frame.begin(), frame.end(), BYTE(0));
        int left = 320 - size / 2, top = 240 - size / 2;
        DrawMaskedQuad(&mask, left, top, left + size, top + size);
        int count = 0;
        for (int i = 1; i < 478; ++i) {
            size_t a = across ? 240 * 640 + size_t(i) + 80 : size_t(i) * 640 + 320, b = across ? a + 1 : a + 640;
            if (across && i + 80 >= 638) break;
            count += (frame[a] == 63) != (frame[b] == 63);
        }
        return count;
    };
    int wantAcross = edges(183, true), wantDown = edges(183, false);
    EXPECT_GE(wantAcross, 6);  // outside, rim, gap, ring, window and out again on each side
    for (int size = 190; size <= 470; size += 7) {
        EXPECT_EQ(edges(size, true), wantAcross) << size;
        EXPECT_EQ(edges(size, false), wantDown) << size;
    }
    g_pFramebuffer = saved;
    mask.m_pPixels = nullptr;
}

TEST_F(Pictures, CreditPagesHaveTheirOwnPalettes) {
    for (int i = 4; i < 10; ++i) {
        EXPECT_EQ(Get(i).palette[0] | Get(i).palette[1] | Get(i).palette[2], 0) << i;
        for (int j = i + 1; j < 10; ++j) EXPECT_NE(Get(i).palette, Get(j).palette) << i << "," << j;
        // Lettering on a darker ground: some pixels bright, most of them not.
        size_t bright = 0;
        for (uint8_t v : Get(i).pixels) bright += Luma(Get(i).Entry(v)) > 0.7f;
        EXPECT_GT(bright, 2000u) << i;
        EXPECT_LT(bright, Get(i).pixels.size() / 4) << i;
    }
}

// ------------------------------------------------------------------------------------ sounds

namespace {

struct Level {
    double peakDb, rmsDb;
};

Level Measure(const Sound& s, double from, double to) {
    size_t a = size_t(from * kRate) * 2, b = std::min(s.pcm.size(), size_t(to * kRate) * 2);
    double peak = 0, sum = 0;
    for (size_t i = a; i < b; ++i) {
        double v = s.pcm[i] / 32768.0;
        peak = std::max(peak, std::fabs(v));
        sum += v * v;
    }
    return {20 * std::log10(peak + 1e-12), 10 * std::log10(sum / double(std::max<size_t>(1, b - a)) + 1e-12)};
}

}  // namespace

class Sounds : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_sounds = new std::vector<NamedSound>(MakeSounds()); }
    static void TearDownTestSuite() { delete s_sounds; }
    static const Sound& Get(int i) { return (*s_sounds)[size_t(i)].sound; }
    static std::vector<NamedSound>* s_sounds;
};
std::vector<NamedSound>* Sounds::s_sounds = nullptr;

TEST_F(Sounds, LengthsLevelsAndNames) {
    const char* const* names = g_pszSoundFiles;
    const double minLen[] = {68.6, 6.5, 1, 0.8}, maxLen[] = {71, 7.5, 2, 1.2};
    ASSERT_EQ(s_sounds->size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ((*s_sounds)[size_t(i)].file, names[i]);
        double seconds = double(Get(i).Frames()) / kRate;
        EXPECT_GE(seconds, minLen[i]) << names[i];
        EXPECT_LE(seconds, maxLen[i]) << names[i];
        Level l = Measure(Get(i), 0, seconds);
        EXPECT_LT(l.peakDb, -3.0) << names[i] << ": room left for the other sounds";
        EXPECT_GT(l.peakDb, -10.0) << names[i];
        EXPECT_GT(l.rmsDb, -32.0) << names[i];
    }
}

// The production adds the effects' samples to the music's; a frame or two of lateness moves the
// cue, so the sum is checked around it as well.
TEST_F(Sounds, MusicPlusEachEffectAtItsCueStaysBelowMinusOneDbfs) {
    const Sound& music = Get(0);
    const double cues[] = {kThxCue, kBangCue, kDshoofCue};
    for (int e = 1; e < 4; ++e) {
        const Sound& effect = Get(e);
        double worst = -100, atCue = -100;
        for (int shiftMs = -60; shiftMs <= 60; shiftMs += 4) {
            double start = cues[e - 1] + shiftMs / 1000.0;
            if (start < 0) continue;
            size_t from = size_t(start * kRate) * 2;
            double peak = 0;
            for (size_t i = 0; i < effect.pcm.size() && from + i < music.pcm.size(); ++i)
                peak = std::max(peak, std::fabs(double(music.pcm[from + i]) + effect.pcm[i]) / 32768.0);
            double db = 20 * std::log10(peak);
            worst = std::max(worst, db);
            if (shiftMs == 0) atCue = db;
        }
        std::printf("music + %s: %.2f dBFS at the cue, %.2f dBFS at worst within 60 ms\n",
                    (*s_sounds)[size_t(e)].file.c_str(), atCue, worst);
        EXPECT_LT(atCue, -1.0) << (*s_sounds)[size_t(e)].file;
        EXPECT_LT(worst, -1.0) << (*s_sounds)[size_t(e)].file;
    }
}

TEST_F(Sounds, MusicFollowsTheTimeline) {
    const Sound& m = Get(0);
    double opening = Measure(m, 0, 3).rmsDb, beforeBeat = Measure(m, 5, 6.9).rmsDb, cube = Measure(m, 7, 10).rmsDb;
    double drive = Measure(m, 16, 26).rmsDb, credits = Measure(m, 30, 60).rmsDb;
    EXPECT_LT(opening, beforeBeat - 6);  // a slow rise under the fade
    EXPECT_GT(cube, beforeBeat + 6);     // the beat enters with the cube
    EXPECT_GT(drive, credits + 2);       // calmer under the credits
    EXPECT_GT(credits, -30);
    // The impact as the zoom ends falls into a beat the music leaves free.
    EXPECT_LT(Measure(m, kBangCue + 0.05, kBangCue + 0.45).rmsDb, Measure(m, kBangCue - 1.0, kBangCue).rmsDb - 3);
}

TEST_F(Sounds, MusicEndsWithTheLastPicture) {
    const Sound& m = Get(0);
    // The final chord sounds as the last page fades in, then fades out before the page does.
    double chord = Measure(m, 62.0, 63.0).rmsDb, end = Measure(m, 68.0, 68.5).rmsDb;
    std::printf("final chord %.1f dBFS RMS, the last 0.5 s before 68.5 s %.1f dBFS RMS\n", chord, end);
    EXPECT_GT(chord, -30);
    EXPECT_LT(end, -40);
    EXPECT_LT(Measure(m, 68.5, double(m.Frames()) / kRate).peakDb, -60);  // no click after the fade
}

// Every page turn of the credits is marked: the second before it is busier than the seconds
// around it, and the first moment of the new page is louder than what came before.
TEST_F(Sounds, CreditPageTurnsAreHeard) {
    const Sound& m = Get(0);
    for (double turn : {29.0, 35.0, 41.0, 48.0, 55.0, 62.0}) {
        double before = Measure(m, turn - 1.5, turn - 0.6).rmsDb, at = Measure(m, turn, turn + 0.25).rmsDb;
        EXPECT_GT(at, before + 2) << turn;
    }
}

TEST_F(Sounds, EffectsHaveTheirShapes) {
    // The opening chord swells; the impact starts at once and dies; the whoosh rises and falls.
    EXPECT_LT(Measure(Get(1), 0, 1).rmsDb, Measure(Get(1), 4.5, 5.5).rmsDb - 15);
    EXPECT_GT(Measure(Get(2), 0, 0.2).rmsDb, Measure(Get(2), 1.2, 1.6).rmsDb + 15);
    Level start = Measure(Get(3), 0, 0.1), middle = Measure(Get(3), 0.3, 0.6), end = Measure(Get(3), 0.9, 1.0);
    EXPECT_GT(middle.rmsDb, start.rmsDb + 6);
    EXPECT_GT(middle.rmsDb, end.rmsDb + 6);
}

// A fourth-order low-pass at 150 Hz splits the impact's energy: most of it must lie above, where
// a laptop's speakers play it.
TEST_F(Sounds, ImpactCarriesAboveTheBass) {
    const Sound& bang = Get(2);
    Svf a, b;
    a.Set(150, 0.541f), b.Set(150, 1.307f);
    double low = 0, all = 0;
    for (size_t i = 0; i < bang.Frames(); ++i) {
        float v = (bang.pcm[2 * i] + bang.pcm[2 * i + 1]) / 65536.0f;
        float lp = b.Low(a.Low(v));
        low += double(lp) * lp, all += double(v) * v;
    }
    std::printf("Bang.wav: %.0f %% of its energy below 150 Hz\n", 100 * low / all);
    EXPECT_LT(low / all, 0.4);
}

// The files go through the production's own writer and come back through its own loader.
TEST_F(Sounds, FilesLoadBackWithTheProductionsLoader) {
    fs::path dir = ScratchDir("sounds");
    for (const NamedSound& s : *s_sounds) {
        std::string path = (dir / s.file).string();
        ASSERT_TRUE(WriteSound(path, s.sound)) << s.file;
        std::vector<uint8_t> file = ReadAll(path);
        ASSERT_EQ(file.size(), 56 + s.sound.pcm.size() * 2) << s.file;
        EXPECT_EQ(Le32(file, 44), uint32_t(s.sound.Frames())) << "the fact chunk's sample count, " << s.file;

        UINT cb = 0;
        DWORD dwSamples = 0;
        BYTE* pb = NULL;
        WAVEFORMATEX* pwfx = NULL;
        ASSERT_EQ(WaveLoadFile(path.c_str(), &cb, &dwSamples, &pwfx, &pb), 0) << s.file;
        EXPECT_EQ(pwfx->wFormatTag, WAVE_FORMAT_PCM);
        EXPECT_EQ(pwfx->nChannels, 2);
        EXPECT_EQ(pwfx->nSamplesPerSec, DWORD(kRate));
        EXPECT_EQ(pwfx->wBitsPerSample, 16);
        EXPECT_EQ(pwfx->nBlockAlign, 4);
        EXPECT_EQ(pwfx->nAvgBytesPerSec, DWORD(kRate * 4));
        ASSERT_EQ(cb, s.sound.pcm.size() * 2) << s.file;
        bool bSame = true;
        for (size_t i = 0; i < s.sound.pcm.size() && bSame; ++i)
            bSame = int16_t(pb[2 * i] | pb[2 * i + 1] << 8) == s.sound.pcm[i];
        EXPECT_TRUE(bSame) << s.file;
        GlobalFree(GlobalHandle(pb));
        GlobalFree(GlobalHandle(pwfx));
    }
    fs::remove_all(dir.parent_path());
}

// ------------------------------------------------------------------------------ whole runs

TEST(MakeAll, TwoRunsWriteTheSameFourteenFiles) {
    fs::path a = ScratchDir("a"), b = ScratchDir("b");
    std::string error;
    ASSERT_TRUE(MakeAll(a.string(), error)) << error;
    ASSERT_TRUE(MakeAll(b.string(), error)) << error;
    size_t count = 0;
    for (const auto& entry : fs::directory_iterator(a)) {
        ++count;
        std::vector<uint8_t> x = ReadAll(entry.path()), y = ReadAll(b / entry.path().filename());
        EXPECT_FALSE(x.empty()) << entry.path();
        EXPECT_TRUE(x == y) << entry.path().filename();
    }
    EXPECT_EQ(count, 14u);
    fs::remove_all(a.parent_path());
}

TEST(MakeAll, EveryPictureLoadsWithTheProductionsLoader) {
    fs::path dir = ScratchDir("load");
    std::string error;
    ASSERT_TRUE(MakeAll(dir.string(), error)) << error;
    for (const char* name : g_pszPictureFiles) {
        CImage image;
        ASSERT_EQ(image.Load((dir / name).string().c_str()), 1) << name;
        EXPECT_EQ(image.m_nBitCount, 8) << name;
        EXPECT_EQ(image.m_nColors, 256) << name;
        EXPECT_EQ(image.m_bmih.biSize, 40u) << name;
        std::string file = name;
        if (file == "SS.bmp") {
            EXPECT_EQ(image.m_nWidth, image.m_nHeight);
        } else if (file == "Plimbrix.bmp") {
            EXPECT_EQ(image.m_nWidth, 640);
            EXPECT_LE(image.m_nHeight, 480);
        } else if (file != "Presents.bmp") {
            EXPECT_EQ(image.m_nWidth, 640) << name;
            EXPECT_EQ(image.m_nHeight, 480) << name;
        }
    }
    fs::remove_all(dir.parent_path());
}

TEST(MakeAll, MissingFolderIsReported) {
    std::string error;
    EXPECT_FALSE(MakeAll("/nonexistent/folder/for/assets", error));
    EXPECT_NE(error.find("/nonexistent/folder/for/assets/"), std::string::npos) << error;
}
