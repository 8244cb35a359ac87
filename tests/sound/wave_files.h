// RIFF/WAVE files built byte by byte for the tests, so every layout is known exactly.
#pragma once

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "tests/test_files.h"

namespace wavefiles {

using testfiles::Bytes;
using testfiles::ReadAll;
using testfiles::WriteAll;

inline void Put16(Bytes& b, unsigned v)
{
    b.push_back((unsigned char)v);
    b.push_back((unsigned char)(v >> 8));
}
inline void Put32(Bytes& b, DWORD v)
{
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
inline void PutId(Bytes& b, const char* id)
{
    b.insert(b.end(), id, id + 4);
}

// A chunk with the size field given, padded to an even length.
inline void PutChunk(Bytes& b, const char* id, const Bytes& data, DWORD dwSize)
{
    PutId(b, id);
    Put32(b, dwSize);
    b.insert(b.end(), data.begin(), data.end());
    if (data.size() & 1)
        b.push_back(0);
}
inline void PutChunk(Bytes& b, const char* id, const Bytes& data)
{
    PutChunk(b, id, data, DWORD(data.size()));
}

// The 16 format fields, zero-filled to nTotal bytes.
inline Bytes Fmt(WORD wTag, WORD nChannels, DWORD nRate, WORD nBits, size_t nTotal = 16)
{
    Bytes b;
    WORD nAlign = WORD(nChannels * nBits / 8);
    Put16(b, wTag);
    Put16(b, nChannels);
    Put32(b, nRate);
    Put32(b, nRate * nAlign);
    Put16(b, nAlign);
    Put16(b, nBits);
    b.resize(nTotal, 0);
    return b;
}

// The same format as a record to hand to the writer.
inline WAVEFORMATEX FmtRecord(WORD wTag, WORD nChannels, DWORD nRate, WORD nBits)
{
    Bytes b = Fmt(wTag, nChannels, nRate, nBits, sizeof(WAVEFORMATEX));
    WAVEFORMATEX wfx;
    std::copy(b.begin(), b.end(), reinterpret_cast<unsigned char*>(&wfx));
    return wfx;
}

// Bytes that differ from their neighbours and do not repeat within a buffer's length.
inline Bytes Samples(size_t n)
{
    Bytes b(n);
    for (size_t i = 0; i < n; i++)
        b[i] = (unsigned char)(i * 7 + i / 251);
    return b;
}

inline Bytes Riff(const Bytes& body, const char* form = "WAVE", const char* id = "RIFF")
{
    Bytes b;
    PutId(b, id);
    Put32(b, DWORD(body.size() + 4));
    PutId(b, form);
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

// A minimal PCM file: "fmt " then "data".
inline Bytes PcmFile(const Bytes& data, WORD nChannels = 1, DWORD nRate = 8000, WORD nBits = 8)
{
    Bytes body;
    PutChunk(body, "fmt ", Fmt(1, nChannels, nRate, nBits));
    PutChunk(body, "data", data);
    return Riff(body);
}

}  // namespace wavefiles
