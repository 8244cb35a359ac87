#include "platform/host/frame_slot.h"

#include <cstring>
#include <utility>

namespace host {

void FrameSlot::SetImage(const uint32_t* pXrgb, int nWidth, int nHeight)
{
    m_latest.nWidth = nWidth;
    m_latest.nHeight = nHeight;
    m_latest.indices.clear();
    const size_t n = nWidth > 0 && nHeight > 0 ? size_t(nWidth) * size_t(nHeight) : 0;
    m_latest.xrgb.assign(pXrgb, pXrgb + n);
    m_bDirty = true;
}

void FrameSlot::SetPalettedImage(const uint8_t* pIndices, ptrdiff_t nPitch, const uint32_t* pPalette, int nWidth,
                                 int nHeight)
{
    m_latest.nWidth = nWidth;
    m_latest.nHeight = nHeight;
    m_latest.xrgb.clear();
    const size_t nRow = nWidth > 0 ? size_t(nWidth) : 0;
    m_latest.indices.resize(nHeight > 0 ? nRow * size_t(nHeight) : 0);
    for (int y = 0; nRow > 0 && y < nHeight; ++y)
        std::memcpy(&m_latest.indices[size_t(y) * nRow], pIndices + nPitch * y, nRow);
    std::memcpy(m_latest.palette, pPalette, sizeof m_latest.palette);
    m_bDirty = true;
}

bool FrameSlot::Show()
{
    if (!m_bDirty)
        return false;
    std::swap(m_latest, m_shown);
    m_bDirty = false;
    return true;
}

}  // namespace host
