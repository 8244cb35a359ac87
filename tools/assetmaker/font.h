// Lettering through FreeType, as coverage masks that the designs then colour.
#pragma once

#include <string>

#include "raster.h"

namespace assets {

// Returns false with a message when FreeType or the font cannot be opened.
bool FontInit(std::string& error);
void FontDone();

enum class Face { SansBold, SansCondensedBold, Serif, SerifBoldItalic, SansExtraLight, MonoBold };

// The text set on one line at the given pixel size, in a mask `pad` pixels larger than its ink on
// every side. `tracking` adds pixels between letters.
Mask TextMask(Face face, int pixelSize, const std::string& text, int pad, int tracking = 0);

}  // namespace assets
