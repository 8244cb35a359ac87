// Composes frames of the production from the asset files the way its script draws them, with
// the production's own loader, cube and blits, and writes each as a binary PPM, so the pictures
// can be judged where they are actually seen: under the cube, behind the zooming mask, beside the
// band and the scroller. The clock is simulated at a steady frame rate, so every run writes the
// same frames.
//   contactframes ASSET_FOLDER OUTPUT_FOLDER
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "app/Timeline.h"
#include "fx/Blit.h"
#include "fx/Cube.h"
#include "image/Image.h"
#include "screen/Screen.h"

namespace {

const int kW = SCREEN_WIDTH, kH = SCREEN_HEIGHT;
const int kFrameMs = 16;  // about 60 frames a second, the rate the per-frame steps were tuned for

std::vector<BYTE> g_frame(kW* kH);
std::string g_out;
int g_written = 0;

// The palette applied at a fraction of full strength, as a fade step shows it.
bool WritePpm(const std::string& name, const RGBQUAD* pPalette, double strength = 1.0)
{
    std::string path = g_out + "/" + name + ".ppm";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "contactframes: cannot write %s\n", path.c_str());
        return false;
    }
    std::fprintf(f, "P6\n%d %d\n255\n", kW, kH);
    std::vector<unsigned char> rgb(size_t(kW) * kH * 3);
    for (size_t i = 0; i < g_frame.size(); ++i) {
        const RGBQUAD& c = pPalette[g_frame[i]];
        rgb[3 * i] = (unsigned char)(c.rgbRed * strength);
        rgb[3 * i + 1] = (unsigned char)(c.rgbGreen * strength);
        rgb[3 * i + 2] = (unsigned char)(c.rgbBlue * strength);
    }
    bool ok = std::fwrite(rgb.data(), 1, rgb.size(), f) == rgb.size();
    ok = std::fclose(f) == 0 && ok;
    if (!ok)
        std::fprintf(stderr, "contactframes: cannot write %s\n", path.c_str());
    ++g_written;
    return ok;
}

struct Quad {
    float x[4] = {-100, 100, 100, -100}, y[4] = {-100, -100, 100, 100};
    int depth = 100, offset = 0;
    void Draw(CImage* pMask) const
    {
        // Corners 0 and 2 only, z = 0 for both.
        float sx0 = float(offset + 320) + 320.0f * x[0] / float(depth), sy0 = 320.0f * y[0] / float(depth) + 240;
        float sx2 = float(offset + 320) + 320.0f * x[2] / float(depth), sy2 = 320.0f * y[2] / float(depth) + 240;
        DrawMaskedQuad(pMask, int(sx0), int(sy0), int(sx2), int(sy2));
    }
};

std::string Name(const char* scene, int ms)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s_%05dms", scene, ms);
    return buf;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s ASSET_FOLDER OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    std::string in = argv[1];
    g_out = argv[2];
    const char* const files[] = {"3Z-ER-AVE.bmp", "SS.bmp", "Plimbrix.bmp", "Presents.bmp"};
    CImage pictures[4];
    for (int i = 0; i < 4; ++i) {
        std::string path = in + "/" + files[i];
        int result = pictures[i].Load(path.c_str());
        if (result != 1) {
            std::fprintf(stderr, "contactframes: %s does not load (result %d)\n", path.c_str(), result);
            return 1;
        }
    }
    CImage &back = pictures[0], &mask = pictures[1], &band = pictures[2], &scroller = pictures[3];
    if (back.m_nWidth != kW || back.m_nHeight != kH || band.m_nWidth != kW || band.m_nHeight > kH) {
        std::fprintf(stderr, "contactframes: the background or the band has the wrong size\n");
        return 1;
    }
    g_pFramebuffer = g_frame.data();
    g_nWidth = kW, g_nHeight = kH, g_nBits = 8;
    const RGBQUAD* pal = back.m_pPalette;
    bool ok = true;

    // The opening fade: the background rising out of black.
    std::memcpy(g_frame.data(), back.m_pPixels, g_frame.size());
    ok &= WritePpm("0_fade_03500ms", pal, 0.5);

    // Scene 1.
    CCube* pCube = new CCube(100.0f);
    Quad quad;
    bool bCubeOnly = true;
    const int shots1[] = {1000, 2500, 3000, 3300, 3700, 5500};
    size_t next = 0;
    for (int ms = 0; ms < timeline::kScene1Ms; ms += kFrameMs) {
        std::memcpy(g_frame.data(), back.m_pPixels, g_frame.size());
        g_fSceneProgress = float(ms / 1000.0 / (timeline::kScene1Ms / 1000.0));
        pCube->Update();
        pCube->Project();
        pCube->Draw();
        if (!bCubeOnly) {
            quad.Draw(&mask);
            if (!g_bZoomDone)
                quad.depth = int((ms - timeline::kFlashMs) * double(timeline::kZoomDepthPerSecond) / 1000 +
                                 timeline::kZoomNearDepth);
            if (quad.depth > timeline::kZoomFarDepth)
                quad.depth = timeline::kZoomFarDepth, g_bZoomDone = true;
        }
        bool flash = ms >= timeline::kFlashMs && bCubeOnly;
        if (flash) {
            bCubeOnly = false;
            std::memset(g_frame.data(), 63, g_frame.size());
        }
        if (next < std::size(shots1) && ms >= shots1[next]) {
            ok &= WritePpm(Name(flash ? "1_flash" : "1_scene", ms), pal);
            ++next;
        }
    }

    // Scene 2: the band hangs from the top edge, cube and mask leave to the right.
    const int nH = band.m_nHeight;
    int c = nH;
    const int shots2[] = {500, 1000, 1500, 1984};
    next = 0;
    for (int ms = 0; ms < timeline::kScene2Ms; ms += kFrameMs) {
        std::memcpy(g_frame.data(), back.m_pPixels, g_frame.size());
        for (int row = c - 1; row <= nH - 1; ++row)
            std::memcpy(g_frame.data() + (row - (c - 1)) * kW, band.m_pPixels + row * kW, kW);
        if (c > 1)
            c = nH + 1 - int(ms / 1000.0 / (timeline::kScene2Ms / 1000.0) * nH);
        pCube->Update();
        pCube->Project();
        pCube->Draw();
        pCube->m_nScreenX += 20;
        quad.offset += 20;
        quad.Draw(&mask);
        if (next < std::size(shots2) && ms >= shots2[next]) {
            ok &= WritePpm(Name("2_slide", ms), pal);
            ++next;
        }
    }

    // Scene 3: the band at the top, the scroller across the middle.
    const int shots3[] = {1000, 2500, 4000, 5500, 7000, 9000};
    next = 0;
    int x = kW;
    for (int ms = 0; ms < timeline::kScene3Ms; ms += kFrameMs) {
        std::memset(g_frame.data(), 0, g_frame.size());
        std::memcpy(g_frame.data(), band.m_pPixels, size_t(band.m_nWidth) * band.m_nHeight);
        DrawImageClipped(x, 240 - scroller.m_nHeight / 2, &scroller);
        if (next < std::size(shots3) && ms >= shots3[next]) {
            ok &= WritePpm(Name("3_scroll", ms), pal);
            ++next;
        }
        x = kW - int(ms / 1000.0 / (timeline::kScrollerCrossMs / 1000.0) * (scroller.m_nWidth + kW));
    }
    delete pCube;
    g_pFramebuffer = nullptr;
    std::printf("contactframes: %d frames in %s\n", g_written, g_out.c_str());
    return ok ? 0 : 1;
}
