#include "font.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <climits>

namespace assets {

namespace {

const char* const kFontDir = "/usr/share/fonts/truetype/dejavu/";
const char* const kFiles[] = {"DejaVuSans-Bold.ttf",        "DejaVuSansCondensed-Bold.ttf", "DejaVuSerif.ttf",
                              "DejaVuSerif-BoldItalic.ttf", "DejaVuSans-ExtraLight.ttf",    "DejaVuSansMono-Bold.ttf"};
constexpr int kFaces = 6;

FT_Library g_library = nullptr;
FT_Face g_faces[kFaces] = {};

struct Glyph {
    int x, y;  // top-left of the bitmap relative to the pen on the baseline
    FT_Bitmap bitmap;
};

}  // namespace

bool FontInit(std::string& error) {
    if (FT_Init_FreeType(&g_library) != 0) {
        error = "FreeType could not be started";
        return false;
    }
    for (int i = 0; i < kFaces; ++i) {
        std::string path = std::string(kFontDir) + kFiles[i];
        if (FT_New_Face(g_library, path.c_str(), 0, &g_faces[i]) != 0) {
            error = "cannot open the font " + path;
            return false;
        }
    }
    return true;
}

void FontDone() {
    for (FT_Face& f : g_faces)
        if (f) FT_Done_Face(f), f = nullptr;
    if (g_library) FT_Done_FreeType(g_library), g_library = nullptr;
}

Mask TextMask(Face which, int pixelSize, const std::string& text, int pad, int tracking) {
    FT_Face face = g_faces[int(which)];
    FT_Set_Pixel_Sizes(face, 0, FT_UInt(pixelSize));
    struct Placed {
        int x, y, w, h;
        std::vector<uint8_t> ink;
    };
    std::vector<Placed> placed;
    int pen = 0, minX = INT_MAX, minY = INT_MAX, maxX = INT_MIN, maxY = INT_MIN;
    FT_UInt previous = 0;
    for (unsigned char ch : text) {
        FT_UInt index = FT_Get_Char_Index(face, ch);
        if (previous && index && FT_HAS_KERNING(face)) {
            FT_Vector k;
            FT_Get_Kerning(face, previous, index, FT_KERNING_DEFAULT, &k);
            pen += int(k.x >> 6);
        }
        previous = index;
        if (FT_Load_Glyph(face, index, FT_LOAD_RENDER) != 0) continue;
        FT_GlyphSlot g = face->glyph;
        Placed p{pen + g->bitmap_left, -g->bitmap_top, int(g->bitmap.width), int(g->bitmap.rows), {}};
        p.ink.resize(size_t(p.w) * p.h);
        for (int y = 0; y < p.h; ++y)
            std::copy_n(g->bitmap.buffer + y * g->bitmap.pitch, p.w, p.ink.begin() + long(y) * p.w);
        if (p.w > 0 && p.h > 0) {
            minX = std::min(minX, p.x), minY = std::min(minY, p.y);
            maxX = std::max(maxX, p.x + p.w), maxY = std::max(maxY, p.y + p.h);
            placed.push_back(std::move(p));
        }
        pen += int(g->advance.x >> 6) + tracking;
    }
    if (placed.empty()) return Mask(2 * pad + 1, 2 * pad + 1);
    Mask m(maxX - minX + 2 * pad, maxY - minY + 2 * pad);
    for (const Placed& p : placed)
        for (int y = 0; y < p.h; ++y)
            for (int x = 0; x < p.w; ++x) {
                float& dst = m.At(p.x - minX + pad + x, p.y - minY + pad + y);
                dst = std::max(dst, p.ink[size_t(y) * p.w + x] / 255.0f);
            }
    return m;
}

}  // namespace assets
