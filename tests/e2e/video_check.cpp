// Looks at a recorded video the way a viewer would, through ffmpeg's decoder: black at both ends,
// the flash of the mask's colour a little after 10 s with no quad before it, the "Bang.wav" effect
// heard within a frame of the frame on which the mask stops shrinking, and "THX.wav" heard from
// the first frame. The sounds are found by matching their own waveforms in the decoded sound. A
// video enlarged SCALE times is looked at through every SCALE-th pixel, and its pictures' luma
// checked to be square blocks of SCALE x SCALE.
//   video_check VIDEO ASSET_DIR [SCALE]
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "app/Assets.h"

namespace {

constexpr int kW = 640, kH = 480, kFps = 60, kRate = 44100, kPerFrame = kRate / kFps;
int g_nFailures = 0;

void Check(bool bOk, const std::string& what)
{
    std::printf("%s: %s\n", bOk ? "ok" : "FAILED", what.c_str());
    if (!bOk)
        ++g_nFailures;
}

// What ffmpeg writes to its standard output for these arguments.
std::vector<uint8_t> Run(const std::string& args)
{
    std::string command = "ffmpeg -v error -nostdin " + args;
    FILE* p = popen(command.c_str(), "r");
    std::vector<uint8_t> out;
    if (!p)
        return out;
    uint8_t buf[1 << 16];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out.insert(out.end(), buf, buf + n);
    pclose(p);
    return out;
}

struct Rgb {
    int r, g, b;
};

// Entry n of an 8-bit BMP's colour table (stored blue, green, red, reserved).
bool PaletteEntry(const std::string& path, int n, Rgb& rgb)
{
    std::ifstream f(path, std::ios::binary);
    std::vector<uint8_t> d((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    if (d.size() < 54)
        return false;
    uint32_t biSize = d[14] | d[15] << 8 | d[16] << 16 | uint32_t(d[17]) << 24;
    size_t at = 14 + biSize + size_t(n) * 4;
    if (at + 3 > d.size())
        return false;
    rgb = {d[at + 2], d[at + 1], d[at]};
    return true;
}

bool Near(const uint8_t* p, const Rgb& c, int nTolerance)
{
    return std::abs(p[0] - c.r) <= nTolerance && std::abs(p[1] - c.g) <= nTolerance &&
           std::abs(p[2] - c.b) <= nTolerance;
}

struct Look {
    int nMask = 0;      // pixels of the mask's colour
    bool bAll = false;  // every pixel of it
    int nLeft = kW, nTop = kH, nRight = 0, nBottom = 0;
    int nMax = 0;  // the brightest channel anywhere
};

Look Inspect(const uint8_t* p, const Rgb& mask)
{
    Look l;
    l.bAll = true;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x, p += 3) {
            l.nMax = std::max({l.nMax, int(p[0]), int(p[1]), int(p[2])});
            // Encoding noise: a flat area keeps within a few steps, an edge within more.
            if (!Near(p, mask, 12)) {
                l.bAll = false;
                continue;
            }
            ++l.nMask;
            l.nLeft = std::min(l.nLeft, x), l.nRight = std::max(l.nRight, x + 1);
            l.nTop = std::min(l.nTop, y), l.nBottom = std::max(l.nBottom, y + 1);
        }
    return l;
}

std::vector<float> Mono(const std::vector<uint8_t>& raw)
{
    std::vector<float> m(raw.size() / 4);
    for (size_t i = 0; i < m.size(); ++i) {
        int16_t l = int16_t(raw[4 * i] | raw[4 * i + 1] << 8), r = int16_t(raw[4 * i + 2] | raw[4 * i + 3] << 8);
        m[i] = (float(l) + float(r)) / 2.0f;
    }
    return m;
}

// The offset in [nFrom, nTo) at which the template matches the sound best (normalised correlation).
long BestMatch(const std::vector<float>& sound, const std::vector<float>& tmpl, long nFrom, long nTo)
{
    nFrom = std::max(0L, nFrom);
    nTo = std::min(nTo, long(sound.size()) - long(tmpl.size()));
    double dBest = -2;
    long nBest = -1;
    for (long at = nFrom; at < nTo; ++at) {
        double dot = 0, energy = 1e-9;
        for (size_t i = 0; i < tmpl.size(); ++i) {
            dot += double(sound[size_t(at) + i]) * tmpl[i];
            energy += double(sound[size_t(at) + i]) * sound[size_t(at) + i];
        }
        double c = dot / std::sqrt(energy);
        if (c > dBest)
            dBest = c, nBest = at;
    }
    return nBest;
}

// An enlarged video's luma at these moments: the share of pixels more than 8 steps off the middle
// pixel of their block (compression noise keeps well inside that; a picture enlarged by another
// factor, or shifted, or smoothed, has most of its edges there).
void CheckBlocks(const std::string& video, int nScale)
{
    const int nW = kW * nScale, nH = kH * nScale;
    for (double dAt : {3.0, 9.0, 11.5, 20.0, 40.0}) {
        char at[32];
        std::snprintf(at, sizeof at, "%.2f", dAt);
        std::vector<uint8_t> y =
            Run("-ss " + std::string(at) + " -i '" + video + "' -frames:v 1 -f rawvideo -pix_fmt gray -");
        if (y.size() != size_t(nW) * nH) {
            Check(false, "a picture of " + std::to_string(nW) + " x " + std::to_string(nH) + " at " + at + " s");
            continue;
        }
        long nOff = 0, nEdges = 0;
        for (int by = 0; by < kH; ++by)
            for (int bx = 0; bx < kW; ++bx) {
                const int c = y[size_t(by * nScale + nScale / 2) * nW + bx * nScale + nScale / 2];
                for (int dy = 0; dy < nScale; ++dy)
                    for (int dx = 0; dx < nScale; ++dx)
                        nOff += std::abs(y[size_t(by * nScale + dy) * nW + bx * nScale + dx] - c) > 8;
                if (bx > 0 &&
                    std::abs(c - y[size_t(by * nScale + nScale / 2) * nW + (bx - 1) * nScale + nScale / 2]) > 8)
                    ++nEdges;
            }
        const double dShare = 100.0 * double(nOff) / (double(nW) * nH);
        char text[200];
        std::snprintf(text, sizeof text,
                      "at %s s the picture is blocks of %d x %d: %.3f %% of its pixels more than 8 steps off their "
                      "block's middle (%ld edges between blocks)",
                      at, nScale, nScale, dShare, nEdges);
        Check(dShare < 0.2, text);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: video_check VIDEO ASSET_DIR [SCALE]\n");
        return 2;
    }
    const std::string video = argv[1], assets = argv[2];
    const int nScale = argc == 4 ? std::atoi(argv[3]) : 1;
    if (nScale < 1 || nScale > 6) {
        std::fprintf(stderr, "video_check: SCALE is 1 to 6\n");
        return 2;
    }
    // Every SCALE-th pixel, from the middle of each block.
    const std::string shrink = nScale == 1 ? std::string()
                                           : " -vf 'crop=iw-" + std::to_string(nScale / 2) + ":ih-" +
                                                 std::to_string(nScale / 2) + ":" + std::to_string(nScale / 2) + ":" +
                                                 std::to_string(nScale / 2) + ",scale=" + std::to_string(kW) + ":" +
                                                 std::to_string(kH) + ":flags=neighbor'";
    Rgb mask;
    const std::string background = assets + "/" + g_pszPictureFiles[0];
    if (!PaletteEntry(background, 63, mask)) {
        std::fprintf(stderr, "video_check: cannot read the palette of %s\n", background.c_str());
        return 2;
    }
    // The first 13 s of pictures (the opening, the flash, the zoom) and the last picture.
    const size_t cbFrame = size_t(kW) * kH * 3;
    std::vector<uint8_t> frames = Run("-i '" + video + "' -t 13" + shrink + " -f rawvideo -pix_fmt rgb24 -");
    std::vector<uint8_t> last =
        Run("-sseof -0.5 -i '" + video + "'" + shrink + " -update 1 -f rawvideo -pix_fmt rgb24 -");
    size_t nFrames = frames.size() / cbFrame;
    if (nFrames < 13 * kFps - 1 || last.size() < cbFrame) {
        std::fprintf(stderr, "video_check: could not decode the pictures of %s\n", video.c_str());
        return 2;
    }
    std::vector<Look> looks;
    for (size_t i = 0; i < nFrames; ++i)
        looks.push_back(Inspect(&frames[i * cbFrame], mask));
    Look end = Inspect(&last[last.size() - cbFrame], mask);
    Check(looks[0].nMax <= 6, "the first frame is black (brightest channel " + std::to_string(looks[0].nMax) + ")");
    Check(end.nMax <= 6, "the last frame is black (brightest channel " + std::to_string(end.nMax) + ")");

    // The flash: one of the frames shown between 10.0 and 10.1 s is the mask colour everywhere.
    int nFlash = -1;
    for (int i = 10 * kFps; i <= 10 * kFps + kFps / 10 && nFlash < 0; ++i)
        if (looks[size_t(i)].bAll)
            nFlash = i;
    Check(nFlash >= 0,
          "a frame between 10.0 and 10.1 s is colour 63 everywhere (frame " + std::to_string(nFlash) + ")");
    if (nFlash < 0)
        return 1;
    int nQuadBefore = -1;
    for (int i = 0; i < nFlash && nQuadBefore < 0; ++i)
        if (looks[size_t(i)].nMask > 200)
            nQuadBefore = i;
    Check(nQuadBefore < 0, "no quad before the flash" +
                               (nQuadBefore < 0 ? std::string() : " (frame " + std::to_string(nQuadBefore) + ")"));

    // The zoom: the mask's box shrinks frame by frame, then stays.
    int nFrozen = -1;
    for (size_t i = size_t(nFlash) + 2; i + 30 < nFrames && nFrozen < 0; ++i) {
        const Look &a = looks[i], &b = looks[i + 30];
        if (!a.bAll && a.nMask > 0 && a.nLeft == b.nLeft && a.nTop == b.nTop && a.nRight == b.nRight &&
            a.nBottom == b.nBottom)
            nFrozen = int(i);
    }
    Check(nFrozen > nFlash, "the mask stops shrinking at frame " + std::to_string(nFrozen));

    std::vector<float> sound = Mono(Run("-i '" + video + "' -vn -f s16le -ac 2 -ar 44100 -"));
    std::vector<float> bang = Mono(Run("-i '" + assets + "/Bang.wav' -f s16le -ac 2 -ar 44100 -"));
    std::vector<float> thx = Mono(Run("-i '" + assets + "/THX.wav' -f s16le -ac 2 -ar 44100 -"));
    if (sound.size() < size_t(69 * kRate) || bang.size() < 8192 || thx.size() < size_t(kRate)) {
        std::fprintf(stderr, "video_check: could not decode the sounds\n");
        return 2;
    }
    // Bang: its first 4096 samples, looked for from a second before the mask stops to a second after.
    bang.resize(4096);
    long nBang = BestMatch(sound, bang, long(nFrozen - kFps) * kPerFrame, long(nFrozen + kFps) * kPerFrame);
    double dBangFrame = double(nBang) / kPerFrame;
    char text[160];
    std::snprintf(text, sizeof text, "\"Bang.wav\" starts at %.2f frames, the mask stops at frame %d", dBangFrame,
                  nFrozen);
    Check(std::fabs(dBangFrame - nFrozen) <= 1.0, text);
    // THX: a second of it from its first sample, looked for in the first two seconds. It opens
    // quietly, so the match is over a stretch where it can be heard.
    std::vector<float> thxPart(thx.begin() + kRate, thx.begin() + kRate + 8192);
    long nThx = BestMatch(sound, thxPart, 0, 3 * kRate) - kRate;
    std::snprintf(text, sizeof text, "\"THX.wav\" starts at sample %ld (the first frame is samples 0 to %d)", nThx,
                  kPerFrame - 1);
    // The AAC round trip may place it a sample or so early.
    Check(nThx >= -kRate / 1000 && nThx < kPerFrame, text);
    if (nScale > 1)
        CheckBlocks(video, nScale);
    return g_nFailures == 0 ? 0 : 1;
}
