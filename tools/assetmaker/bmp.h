// Writes an 8-bit picture as an uncompressed Windows BMP: 14-byte file header, 40-byte info
// header, 256 colour entries, rows bottom-up and padded to 4 bytes.
#pragma once

#include <string>
#include <vector>

#include "raster.h"

namespace assets {

std::vector<uint8_t> EncodeBmp(const IndexedPicture& pic);
bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace assets
