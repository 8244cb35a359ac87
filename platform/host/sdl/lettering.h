// Lines of text in DejaVu Sans, drawn through FreeType as coverage masks that the SDL host's own
// boxes and its notices over the frame colour and put on a window.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SDL_Renderer;
struct SDL_Texture;
struct FT_LibraryRec_;
struct FT_FaceRec_;

namespace host {

// One byte a pixel: how much of it the letters cover, 0 to 255; rows top to bottom.
struct Mask {
    int nWidth = 0, nHeight = 0;
    std::vector<uint8_t> coverage;
};

class Lettering {
public:
    Lettering() = default;
    ~Lettering();
    Lettering(const Lettering&) = delete;
    Lettering& operator=(const Lettering&) = delete;

    // The font at nPixels a line (its em); false when FreeType or the font is not there.
    bool Open(int nPixels);
    bool IsOpen() const { return m_pFace != nullptr; }
    int LineHeight() const { return m_nLineHeight; }
    // How wide a line of UTF-8 text is drawn, in pixels.
    int Width(const std::string& text);
    // The text in lines no wider than nMaxWidth: broken at its own line breaks, then between
    // words, and a word too wide on its own where it must.
    std::vector<std::string> Wrap(const std::string& text, int nMaxWidth);
    // The lines, each from the mask's left edge, one line height apart.
    Mask Draw(const std::vector<std::string>& lines);

private:
    FT_LibraryRec_* m_pLibrary = nullptr;
    FT_FaceRec_* m_pFace = nullptr;
    int m_nLineHeight = 0, m_nAscent = 0;
};

// The mask as a texture of one colour whose alpha is the coverage, blended where it is drawn; null
// where the renderer cannot make one.
SDL_Texture* MaskTexture(SDL_Renderer* pRenderer, const Mask& mask, uint8_t r, uint8_t g, uint8_t b);

}  // namespace host
