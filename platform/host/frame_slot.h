// A window's image as a host keeps it: the latest one handed over and the one on the screen. A
// new image replaces the latest whole; it becomes the one shown at the next frame end or the end
// of the next look at the input (Show), whichever comes first. Shared by the hosts that keep what
// they show (SDL for its screenshots and frame log, capture for the video, headless for the tests).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace host {

// One image as the host was handed it.
struct Picture {
    int nWidth = 0, nHeight = 0;
    std::vector<uint8_t> indices;  // nWidth × nHeight palette indices, rows top to bottom; or empty
    uint32_t palette[256] = {};    // 0x00RRGGBB, for the indices
    std::vector<uint32_t> xrgb;    // nWidth × nHeight pixels 0x00RRGGBB, where it came as colours instead
    bool Empty() const { return nWidth <= 0 || nHeight <= 0; }
    bool Paletted() const { return !indices.empty(); }
};

class FrameSlot {
public:
    // The latest image: nWidth × nHeight pixels 0x00RRGGBB, copied.
    void SetImage(const uint32_t* pXrgb, int nWidth, int nHeight);
    // The latest image: palette indices, rows nPitch bytes apart, and their 256 colours, copied.
    void SetPalettedImage(const uint8_t* pIndices, ptrdiff_t nPitch, const uint32_t* pPalette, int nWidth, int nHeight);
    // A frame end or the end of a look at the input: the latest image, where one came since the
    // last, becomes the one shown. True where it did.
    bool Show();
    bool Dirty() const { return m_bDirty; }
    const Picture& Shown() const { return m_shown; }

private:
    // Either way of setting the image rewrites the whole of the latest, so the one shown before
    // can go there unseen: a swap, not a copy.
    Picture m_latest, m_shown;
    bool m_bDirty = false;
};

}  // namespace host
