#include "platform/host/sdl/lettering.h"

#include <SDL.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>

namespace host {

namespace {

const char* const kFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// The next code point of UTF-8 text from i, which moves past it; a broken sequence reads as '?'.
uint32_t NextCodePoint(const std::string& text, size_t& i)
{
    auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
    uint8_t c = byte(i++);
    if (c < 0x80)
        return c;
    int nMore = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : -1;
    if (nMore < 0)
        return '?';
    uint32_t cp = c & (0x3F >> nMore);
    for (int k = 0; k < nMore; ++k) {
        if (i >= text.size() || (byte(i) & 0xC0) != 0x80)
            return '?';
        cp = (cp << 6) | (byte(i++) & 0x3F);
    }
    return cp;
}

}  // namespace

Lettering::~Lettering()
{
    if (m_pFace)
        FT_Done_Face(m_pFace);
    if (m_pLibrary)
        FT_Done_FreeType(m_pLibrary);
}

bool Lettering::Open(int nPixels)
{
    if (!m_pLibrary && FT_Init_FreeType(&m_pLibrary) != 0) {
        m_pLibrary = nullptr;
        return false;
    }
    if (!m_pFace && FT_New_Face(m_pLibrary, kFont, 0, &m_pFace) != 0) {
        m_pFace = nullptr;
        return false;
    }
    if (FT_Set_Pixel_Sizes(m_pFace, 0, static_cast<FT_UInt>(std::max(4, nPixels))) != 0)
        return false;
    m_nAscent = static_cast<int>(m_pFace->size->metrics.ascender >> 6);
    m_nLineHeight = static_cast<int>(m_pFace->size->metrics.height >> 6);
    return true;
}

int Lettering::Width(const std::string& text)
{
    if (!m_pFace)
        return 0;
    long nWidth = 0;
    for (size_t i = 0; i < text.size();) {
        if (FT_Load_Char(m_pFace, NextCodePoint(text, i), FT_LOAD_DEFAULT) == 0)
            nWidth += m_pFace->glyph->advance.x >> 6;
    }
    return static_cast<int>(nWidth);
}

std::vector<std::string> Lettering::Wrap(const std::string& text, int nMaxWidth)
{
    std::vector<std::string> lines;
    size_t nStart = 0;
    for (;;) {
        size_t nEnd = text.find('\n', nStart);
        std::string paragraph = text.substr(nStart, nEnd == std::string::npos ? std::string::npos : nEnd - nStart);
        // Words are added while the line fits; a word that fits no line is cut where it must be.
        std::string line;
        size_t i = 0;
        while (i < paragraph.size()) {
            size_t nSpace = paragraph.find(' ', i);
            std::string word = paragraph.substr(i, nSpace == std::string::npos ? std::string::npos : nSpace - i);
            i = nSpace == std::string::npos ? paragraph.size() : nSpace + 1;
            std::string tried = line.empty() ? word : line + " " + word;
            if (Width(tried) <= nMaxWidth) {
                line = tried;
                continue;
            }
            if (!line.empty())
                lines.push_back(line);
            line.clear();
            while (Width(word) > nMaxWidth && word.size() > 1) {
                size_t nCut = word.size() - 1;
                while (nCut > 1 && Width(word.substr(0, nCut)) > nMaxWidth)
                    --nCut;
                while (nCut > 1 && (static_cast<uint8_t>(word[nCut]) & 0xC0) == 0x80)
                    --nCut;  // never inside a character
                lines.push_back(word.substr(0, nCut));
                word.erase(0, nCut);
            }
            line = word;
        }
        lines.push_back(line);
        if (nEnd == std::string::npos)
            break;
        nStart = nEnd + 1;
    }
    return lines;
}

Mask Lettering::Draw(const std::vector<std::string>& lines)
{
    Mask mask;
    if (!m_pFace || lines.empty())
        return mask;
    for (const std::string& line : lines)
        mask.nWidth = std::max(mask.nWidth, Width(line));
    mask.nWidth = std::max(1, mask.nWidth);
    mask.nHeight = static_cast<int>(lines.size()) * m_nLineHeight;
    mask.coverage.assign(size_t(mask.nWidth) * size_t(mask.nHeight), 0);
    for (size_t n = 0; n < lines.size(); ++n) {
        const int nBaseline = static_cast<int>(n) * m_nLineHeight + m_nAscent;
        int x = 0;
        for (size_t i = 0; i < lines[n].size();) {
            if (FT_Load_Char(m_pFace, NextCodePoint(lines[n], i), FT_LOAD_RENDER) != 0)
                continue;
            const FT_GlyphSlot g = m_pFace->glyph;
            const FT_Bitmap& b = g->bitmap;
            for (unsigned row = 0; row < b.rows; ++row) {
                const int y = nBaseline - g->bitmap_top + static_cast<int>(row);
                if (y < 0 || y >= mask.nHeight)
                    continue;
                for (unsigned col = 0; col < b.width; ++col) {
                    const int px = x + g->bitmap_left + static_cast<int>(col);
                    if (px < 0 || px >= mask.nWidth)
                        continue;
                    uint8_t& dst = mask.coverage[size_t(y) * size_t(mask.nWidth) + size_t(px)];
                    dst = std::max(dst, b.buffer[row * b.pitch + col]);
                }
            }
            x += static_cast<int>(g->advance.x >> 6);
        }
    }
    return mask;
}

SDL_Texture* MaskTexture(SDL_Renderer* pRenderer, const Mask& mask, uint8_t r, uint8_t g, uint8_t b)
{
    if (mask.nWidth <= 0 || mask.nHeight <= 0)
        return nullptr;
    std::vector<uint32_t> pixels(mask.coverage.size());
    const uint32_t rgb = (uint32_t(r) << 16) | (uint32_t(g) << 8) | b;
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = (uint32_t(mask.coverage[i]) << 24) | rgb;
    SDL_Texture* pTexture =
        SDL_CreateTexture(pRenderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC, mask.nWidth, mask.nHeight);
    if (!pTexture)
        return nullptr;
    SDL_UpdateTexture(pTexture, nullptr, pixels.data(), mask.nWidth * 4);
    SDL_SetTextureBlendMode(pTexture, SDL_BLENDMODE_BLEND);
    return pTexture;
}

}  // namespace host
