#include "platform/host/web/pack.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>

namespace host::web {

namespace {

// ---- The range decoder: probabilities of 11 bits, adapted by a fifth of the way each bit -------

constexpr uint32_t kTopValue = 1u << 24;
constexpr int kProbBits = 11;
constexpr uint16_t kProbInit = 1 << (kProbBits - 1);
constexpr int kMoveBits = 5;

class RangeDecoder {
public:
    RangeDecoder(const uint8_t* pData, size_t nSize) : m_p(pData), m_pEnd(pData + nSize)
    {
        // The first byte is always 0; the next four start the code.
        if (Next() != 0)
            m_bCorrupt = true;
        for (int i = 0; i < 4; ++i)
            m_nCode = (m_nCode << 8) | Next();
        if (m_nCode == m_nRange)
            m_bCorrupt = true;
    }

    int Bit(uint16_t& prob)
    {
        uint32_t nBound = (m_nRange >> kProbBits) * prob;
        int nBit;
        if (m_nCode < nBound) {
            m_nRange = nBound;
            prob = uint16_t(prob + (((1 << kProbBits) - prob) >> kMoveBits));
            nBit = 0;
        } else {
            m_nRange -= nBound;
            m_nCode -= nBound;
            prob = uint16_t(prob - (prob >> kMoveBits));
            nBit = 1;
        }
        Normalize();
        return nBit;
    }

    // Bits of equal probability, the highest first.
    uint32_t Direct(int nBits)
    {
        uint32_t nResult = 0;
        for (; nBits > 0; --nBits) {
            m_nRange >>= 1;
            uint32_t nBit = m_nCode >= m_nRange ? 1 : 0;
            m_nCode -= m_nRange & (0u - nBit);
            nResult = (nResult << 1) | nBit;
            Normalize();
        }
        return nResult;
    }

    // A symbol of nBits coded as a tree of probabilities, the highest bit first.
    uint32_t Tree(uint16_t* pProbs, int nBits)
    {
        uint32_t m = 1;
        for (int i = 0; i < nBits; ++i)
            m = (m << 1) | uint32_t(Bit(pProbs[m]));
        return m - (1u << nBits);
    }

    // The same with the lowest bit first.
    uint32_t ReverseTree(uint16_t* pProbs, int nBits)
    {
        uint32_t m = 1, nSymbol = 0;
        for (int i = 0; i < nBits; ++i) {
            uint32_t nBit = uint32_t(Bit(pProbs[m]));
            m = (m << 1) | nBit;
            nSymbol |= nBit << i;
        }
        return nSymbol;
    }

    bool Corrupt() const { return m_bCorrupt; }
    bool Overrun() const { return m_bOverrun; }
    // A stream closed by its end marker leaves the code at zero.
    bool FinishedCleanly() const { return m_nCode == 0; }

private:
    uint8_t Next()
    {
        if (m_p == m_pEnd) {
            m_bOverrun = true;
            return 0;
        }
        return *m_p++;
    }
    void Normalize()
    {
        if (m_nRange < kTopValue) {
            m_nRange <<= 8;
            m_nCode = (m_nCode << 8) | Next();
        }
    }

    const uint8_t* m_p;
    const uint8_t* m_pEnd;
    uint32_t m_nRange = 0xFFFFFFFFu;
    uint32_t m_nCode = 0;
    bool m_bCorrupt = false;
    bool m_bOverrun = false;
};

// ---- LZMA's models -------------------------------------------------------------------------

constexpr int kStates = 12;
constexpr int kPosBitsMax = 4;
constexpr int kLenToPosStates = 4;
constexpr int kEndPosModelIndex = 14;
constexpr int kFullDistances = 1 << (kEndPosModelIndex >> 1);
constexpr int kAlignBits = 4;
constexpr uint32_t kMatchMinLen = 2;

// Match lengths: 2 to 9 (by position state), 10 to 17 (likewise), 18 to 273.
struct LengthModel {
    uint16_t choice = kProbInit, choice2 = kProbInit;
    std::array<std::array<uint16_t, 1 << 3>, 1 << kPosBitsMax> low, mid;
    std::array<uint16_t, 1 << 8> high;

    LengthModel()
    {
        for (auto& a : low)
            a.fill(kProbInit);
        for (auto& a : mid)
            a.fill(kProbInit);
        high.fill(kProbInit);
    }
    // The length less the shortest.
    uint32_t Decode(RangeDecoder& rc, uint32_t nPosState)
    {
        if (rc.Bit(choice) == 0)
            return rc.Tree(low[nPosState].data(), 3);
        if (rc.Bit(choice2) == 0)
            return 8 + rc.Tree(mid[nPosState].data(), 3);
        return 16 + rc.Tree(high.data(), 8);
    }
};

class LzmaDecoder {
public:
    LzmaDecoder(int lc, int lp, int pb)
        : m_lc(lc), m_lp(lp), m_pb(pb), m_literals(size_t(0x300) << (lc + lp), kProbInit)
    {
        for (auto* p : {&m_isMatch, &m_isRep0Long})
            p->fill(kProbInit);
        for (auto* p : {&m_isRep, &m_isRepG0, &m_isRepG1, &m_isRepG2})
            p->fill(kProbInit);
        for (auto& a : m_posSlot)
            a.fill(kProbInit);
        m_posSpecial.fill(kProbInit);
        m_align.fill(kProbInit);
    }

    // Decodes into out until nSize bytes (nSize all ones: until the end marker).
    bool Decode(RangeDecoder& rc, uint64_t nSize, size_t nLimit, std::vector<uint8_t>& out, std::string& error)
    {
        const bool bSized = nSize != ~uint64_t(0);
        if (bSized && nSize > nLimit) {
            error = "the data would be larger than allowed";
            return false;
        }
        // The output grows in steps, written by index (a byte at a time through push_back costs
        // the page's module a third of its time here).
        out.resize(bSized ? size_t(nSize) : std::min(nLimit, size_t(1) << 20));
        size_t nPos = 0;
        auto room = [&](size_t n) {
            if (out.size() - nPos >= n)
                return true;
            if (bSized || nPos + n > nLimit)
                return false;
            out.resize(std::min(nLimit, std::max(out.size() * 2, nPos + n)));
            return true;
        };
        uint32_t state = 0, rep0 = 0, rep1 = 0, rep2 = 0, rep3 = 0;
        for (;;) {
            if (bSized && nPos == nSize)
                return true;
            if (rc.Corrupt() || rc.Overrun()) {
                error = rc.Overrun() ? "the data ends too soon" : "the data is corrupt";
                return false;
            }
            if (!room(1)) {
                error =
                    bSized ? "the data is corrupt (it runs past its stated size)" : "the data is larger than allowed";
                return false;
            }
            uint8_t* const pOut = out.data();
            const uint32_t nPosState = uint32_t(nPos) & ((1u << m_pb) - 1);
            if (rc.Bit(m_isMatch[(state << kPosBitsMax) + nPosState]) == 0) {
                pOut[nPos] = Literal(rc, state, rep0, pOut, nPos);
                ++nPos;
                state = state < 4 ? 0 : state < 10 ? state - 3 : state - 6;
                continue;
            }
            uint32_t nLen;
            if (rc.Bit(m_isRep[state]) != 0) {
                if (nPos == 0) {
                    error = "the data is corrupt (a repeat before any byte)";
                    return false;
                }
                if (rc.Bit(m_isRepG0[state]) == 0) {
                    if (rc.Bit(m_isRep0Long[(state << kPosBitsMax) + nPosState]) == 0) {
                        // One byte from the last distance.
                        state = state < 7 ? 9 : 11;
                        pOut[nPos] = pOut[nPos - rep0 - 1];
                        ++nPos;
                        continue;
                    }
                } else {
                    uint32_t nDist;
                    if (rc.Bit(m_isRepG1[state]) == 0) {
                        nDist = rep1;
                    } else {
                        if (rc.Bit(m_isRepG2[state]) == 0) {
                            nDist = rep2;
                        } else {
                            nDist = rep3;
                            rep3 = rep2;
                        }
                        rep2 = rep1;
                    }
                    rep1 = rep0;
                    rep0 = nDist;
                }
                nLen = m_repLength.Decode(rc, nPosState);
                state = state < 7 ? 8 : 11;
            } else {
                rep3 = rep2;
                rep2 = rep1;
                rep1 = rep0;
                nLen = m_length.Decode(rc, nPosState);
                state = state < 7 ? 7 : 10;
                rep0 = Distance(rc, nLen);
                if (rep0 == 0xFFFFFFFFu) {
                    // The end marker.
                    if (bSized && nPos != nSize) {
                        error = "the data ends before its stated size";
                        return false;
                    }
                    if (!rc.FinishedCleanly() || rc.Overrun()) {
                        error = "the data is corrupt at its end";
                        return false;
                    }
                    out.resize(nPos);
                    return true;
                }
            }
            if (rep0 >= nPos) {
                error = "the data is corrupt (a match reaches before its start)";
                return false;
            }
            nLen += kMatchMinLen;
            if (!room(nLen)) {
                error = bSized ? "the data is corrupt (a match runs past its stated size)"
                               : "the data is larger than allowed";
                return false;
            }
            uint8_t* const pDst = out.data() + nPos;
            const uint8_t* pSrc = pDst - rep0 - 1;
            for (uint32_t i = 0; i < nLen; ++i)
                pDst[i] = pSrc[i];
            nPos += nLen;
        }
    }

private:
    uint8_t Literal(RangeDecoder& rc, uint32_t state, uint32_t rep0, const uint8_t* pOut, size_t nPos)
    {
        const uint32_t nPrev = nPos == 0 ? 0 : pOut[nPos - 1];
        const uint32_t nLitState = ((uint32_t(nPos) & ((1u << m_lp) - 1)) << m_lc) + (nPrev >> (8 - m_lc));
        uint16_t* pProbs = &m_literals[size_t(0x300) * nLitState];
        uint32_t nSymbol = 1;
        if (state >= 7 && rep0 < nPos) {
            // After a match: the byte at the last distance guides the bits while they agree.
            uint32_t nMatch = pOut[nPos - rep0 - 1];
            while (nSymbol < 0x100) {
                uint32_t nMatchBit = (nMatch >> 7) & 1;
                nMatch <<= 1;
                uint32_t nBit = uint32_t(rc.Bit(pProbs[((1 + nMatchBit) << 8) + nSymbol]));
                nSymbol = (nSymbol << 1) | nBit;
                if (nMatchBit != nBit)
                    break;
            }
        }
        while (nSymbol < 0x100)
            nSymbol = (nSymbol << 1) | uint32_t(rc.Bit(pProbs[nSymbol]));
        return uint8_t(nSymbol - 0x100);
    }

    // The match's distance less one; all ones for the end marker.
    uint32_t Distance(RangeDecoder& rc, uint32_t nLen)
    {
        uint32_t nLenState = nLen < kLenToPosStates - 1 ? nLen : kLenToPosStates - 1;
        uint32_t nSlot = rc.Tree(m_posSlot[nLenState].data(), 6);
        if (nSlot < 4)
            return nSlot;
        int nDirectBits = int(nSlot >> 1) - 1;
        uint32_t nDist = (2 | (nSlot & 1)) << nDirectBits;
        if (nSlot < kEndPosModelIndex)
            return nDist + rc.ReverseTree(&m_posSpecial[nDist - nSlot], nDirectBits);
        nDist += rc.Direct(nDirectBits - kAlignBits) << kAlignBits;
        return nDist + rc.ReverseTree(m_align.data(), kAlignBits);
    }

    const int m_lc, m_lp, m_pb;
    std::vector<uint16_t> m_literals;
    std::array<uint16_t, kStates << kPosBitsMax> m_isMatch, m_isRep0Long;
    std::array<uint16_t, kStates> m_isRep, m_isRepG0, m_isRepG1, m_isRepG2;
    std::array<std::array<uint16_t, 1 << 6>, kLenToPosStates> m_posSlot;
    // Indexed from 1 by the reverse trees, as their base moves with the slot.
    std::array<uint16_t, 1 + kFullDistances - kEndPosModelIndex> m_posSpecial;
    std::array<uint16_t, 1 << kAlignBits> m_align;
    LengthModel m_length, m_repLength;
};

uint32_t Le32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace

bool DecodeLzma(const uint8_t* pData, size_t nSize, std::vector<uint8_t>& out, std::string& error, size_t nLimit)
{
    out.clear();
    constexpr size_t kHeader = 13;
    if (nSize < kHeader + 5) {
        error = "too short for LZMA data";
        return false;
    }
    int nProps = pData[0];
    if (nProps >= 9 * 5 * 5) {
        error = "not LZMA data (its properties byte is out of range)";
        return false;
    }
    const int lc = nProps % 9, lp = (nProps / 9) % 5, pb = nProps / 45;
    uint64_t nUnpacked = 0;
    for (int i = 0; i < 8; ++i)
        nUnpacked |= uint64_t(pData[5 + i]) << (8 * i);
    RangeDecoder rc(pData + kHeader, nSize - kHeader);
    if (rc.Corrupt()) {
        error = "the data is corrupt at its start";
        return false;
    }
    LzmaDecoder decoder(lc, lp, pb);
    return decoder.Decode(rc, nUnpacked, nLimit, out, error);
}

bool ReadPack(const std::vector<uint8_t>& pack, std::vector<PackedFile>& files, std::string& error)
{
    files.clear();
    size_t nAt = 0;
    auto need = [&](size_t n) {
        if (pack.size() - nAt >= n)
            return true;
        error = "the pack ends too soon";
        return false;
    };
    if (!need(8) || std::memcmp(pack.data(), "VPK1", 4) != 0) {
        error = "not a pack of the page's files";
        return false;
    }
    const uint32_t nCount = Le32(&pack[4]);
    nAt = 8;
    std::vector<std::pair<std::string, uint32_t>> entries;
    for (uint32_t i = 0; i < nCount; ++i) {
        if (!need(2))
            return false;
        size_t nName = size_t(pack[nAt]) | size_t(pack[nAt + 1]) << 8;
        nAt += 2;
        if (!need(nName + 4))
            return false;
        std::string name(reinterpret_cast<const char*>(&pack[nAt]), nName);
        nAt += nName;
        if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos ||
            name.find('\\') != std::string::npos || name.find('\0') != std::string::npos) {
            error = "the pack names a file it may not write: \"" + name + "\"";
            return false;
        }
        entries.emplace_back(std::move(name), Le32(&pack[nAt]));
        nAt += 4;
    }
    for (auto& [name, nBytes] : entries) {
        if (!need(nBytes))
            return false;
        files.push_back(
            {name, std::vector<uint8_t>(pack.begin() + ptrdiff_t(nAt), pack.begin() + ptrdiff_t(nAt + nBytes))});
        nAt += nBytes;
    }
    if (nAt != pack.size()) {
        error = "the pack has bytes after its last file";
        return false;
    }
    return true;
}

// (C's files rather than streams: in the page's module, iostreams would double its size.)
std::string UnpackFiles(const std::string& archivePath, const std::string& folder)
{
    using File = std::unique_ptr<FILE, int (*)(FILE*)>;
    File in(std::fopen(archivePath.c_str(), "rb"), &std::fclose);
    if (!in)
        return "cannot open " + archivePath;
    std::vector<uint8_t> packed;
    uint8_t buffer[65536];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, in.get())) > 0;)
        packed.insert(packed.end(), buffer, buffer + n);
    if (std::ferror(in.get()))
        return "cannot read " + archivePath;
    std::vector<uint8_t> pack;
    std::vector<PackedFile> files;
    std::string error;
    if (!DecodeLzma(packed.data(), packed.size(), pack, error) || !ReadPack(pack, files, error))
        return archivePath + ": " + error;
    for (const PackedFile& f : files) {
        std::string path = folder + "/" + f.name;
        File out(std::fopen(path.c_str(), "wb"), &std::fclose);
        if (!out || std::fwrite(f.bytes.data(), 1, f.bytes.size(), out.get()) != f.bytes.size() ||
            std::fclose(out.release()) != 0)
            return "cannot write " + path;
    }
    return {};
}

}  // namespace host::web
