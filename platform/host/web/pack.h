// The page's pictures travel as one pack, LZMA-compressed (the .lzma format xz writes with
// --format=lzma), and are restored in the module, before the production starts, to the very files
// the asset maker wrote. LZMA suits them: over the ten pictures it takes 20 % less than gzip and
// 3 % less than brotli at its best, which a static host may not offer anyway.
//
// The pack, once decompressed: "VPK1", the number of files (32 bits), then for each its name's
// length (16 bits), its name and its size (32 bits), then the files' bytes one after another; all
// numbers little-endian.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace host::web {

// Decompresses a whole .lzma stream: its 13-byte header (properties, dictionary size, the size
// decompressed or all ones where an end marker closes the data), then the range-coded data. False,
// with a reason in error, for a stream that is truncated, corrupt or larger than nLimit.
bool DecodeLzma(const uint8_t* pData, size_t nSize, std::vector<uint8_t>& out, std::string& error,
                size_t nLimit = size_t(256) << 20);

struct PackedFile {
    std::string name;
    std::vector<uint8_t> bytes;
};

// Reads a decompressed pack. False, with a reason, where it is not one or is cut short; a name
// that is empty, has a slash or is "." or ".." is refused too, so that nothing lands outside the
// folder it is unpacked into.
bool ReadPack(const std::vector<uint8_t>& pack, std::vector<PackedFile>& files, std::string& error);

// Decompresses the pack at archivePath and writes its files into folder. Empty on success, else
// what went wrong.
std::string UnpackFiles(const std::string& archivePath, const std::string& folder);

}  // namespace host::web
