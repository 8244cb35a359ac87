#include "mmio.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "faults.h"

// One open file: a standard stream and one I/O buffer. The buffer holds the file's bytes from
// info.lBufOffset on; [pchBuffer, pchEndRead) are valid, and when MMIO_DIRTY is set the bytes up
// to the furthest of pchNext and pchEndRead still have to reach the disk. The current position
// is always lBufOffset + (pchNext - pchBuffer).
//
// A file opened only for reading is read ahead in blocks of kReadAhead bytes, and its buffer is a
// window of cchBuffer bytes into the block: a refill inside the block only moves the window, so
// the file is read in a few large reads rather than one small one (and a seek) a buffer, and the
// block stays in the cache while the caller copies out of it. The window is as large as the
// buffer would be and refills the same way; only a change another writer makes to the part of
// the file already read ahead is seen later than it would be with the buffer alone.
struct HMMIO__ {
    std::FILE* pFile = nullptr;
    // The buffer (cleared), or the read-ahead block of a file opened for reading (not cleared:
    // nothing is taken from it that was not read into it first).
    std::unique_ptr<char[]> pBlock;
    size_t nBlock = 0;
    MMIOINFO info{};
    bool bReadAhead = false;
    long long nAheadOffset = 0;  // the file position of the block's first byte
    size_t nAheadValid = 0;      // the bytes of the file held from there
    bool bAheadAtEnd = false;    // the block ends where the file ended when it was read
};

namespace {

constexpr FOURCC kFourccRiff = FOURCC_RIFF;
constexpr FOURCC kFourccList = FOURCC_LIST;

long long Position(const HMMIO__* pm)
{
    return pm->info.lBufOffset + (pm->info.pchNext - pm->info.pchBuffer);
}

char* ValidEnd(const MMIOINFO& info)
{
    return std::max(info.pchNext, info.pchEndRead);
}

bool Flush(HMMIO__* pm)
{
    MMIOINFO& info = pm->info;
    if (!(info.dwFlags & MMIO_DIRTY))
        return true;
    size_t nBytes = size_t(ValidEnd(info) - info.pchBuffer);
    if (std::fseek(pm->pFile, info.lBufOffset, SEEK_SET) != 0)
        return false;
    if (std::fwrite(info.pchBuffer, 1, nBytes, pm->pFile) != nBytes)
        return false;
    info.dwFlags &= ~MMIO_DIRTY;
    info.pchEndRead = ValidEnd(info);
    return true;
}

constexpr size_t kReadAhead = 256 * 1024;
constexpr long long kPage = 4096;

// Moves the empty buffer to a file position; nothing is read. When reading ahead, the window is
// placed over the block if the block holds that position and there is room for a whole window
// behind it; otherwise the block is emptied and moved there too.
void EmptyAt(HMMIO__* pm, long long nPos)
{
    MMIOINFO& info = pm->info;
    char* pWindow = pm->pBlock.get();
    if (pm->bReadAhead) {
        const long long nInto = nPos - pm->nAheadOffset;
        if (nInto >= 0 && nInto <= (long long)pm->nAheadValid && nInto + info.cchBuffer <= (long long)pm->nBlock) {
            pWindow += nInto;
        } else {
            pm->nAheadOffset = nPos;
            pm->nAheadValid = 0;
            pm->bAheadAtEnd = false;
        }
    }
    info.pchBuffer = pWindow;
    info.lBufOffset = LONG(nPos);
    info.pchNext = info.pchEndRead = info.pchBuffer;
    info.pchEndWrite = info.pchBuffer + info.cchBuffer;
}

// Reads up to nBytes at a file position; false on a read error.
bool ReadAt(HMMIO__* pm, long long nPos, char* pDst, size_t nBytes, size_t* pnRead)
{
    *pnRead = 0;
    if (std::fseek(pm->pFile, long(nPos), SEEK_SET) != 0)
        return false;
    size_t nRead = std::fread(pDst, 1, nBytes, pm->pFile);
    if (nRead == 0 && std::ferror(pm->pFile)) {
        std::clearerr(pm->pFile);
        return false;
    }
    std::clearerr(pm->pFile);
    pm->info.lDiskOffset = LONG(nPos + (long long)nRead);
    *pnRead = nRead;
    return true;
}

// Fills the buffer from the file at a position; at the end of the file it stays empty. When
// reading ahead, from the block if it holds a whole window there (or all the file had left when
// it was read, unless that was nothing); otherwise the block is read again, from the start of the
// page that holds the position.
bool FillAt(HMMIO__* pm, long long nPos)
{
    EmptyAt(pm, nPos);
    MMIOINFO& info = pm->info;
    const size_t nWindow = size_t(info.cchBuffer);
    if (!pm->bReadAhead) {
        size_t nRead;
        if (!ReadAt(pm, nPos, info.pchBuffer, nWindow, &nRead))
            return false;
        info.pchEndRead = info.pchBuffer + nRead;
        return true;
    }
    size_t nHeld = pm->nAheadValid - size_t(info.pchBuffer - pm->pBlock.get());
    if (nHeld < nWindow && (!pm->bAheadAtEnd || nHeld == 0)) {
        // Whole pages: the system copies them out of its cache much faster than reads that
        // start part way into a page (nearly half the time of a whole load, measured).
        const long long nStart = nPos - nPos % kPage;
        size_t nRead;
        pm->nAheadValid = 0;
        if (!ReadAt(pm, nStart, pm->pBlock.get(), pm->nBlock, &nRead)) {
            EmptyAt(pm, nPos);
            return false;
        }
        pm->nAheadOffset = nStart;
        pm->nAheadValid = nRead;
        pm->bAheadAtEnd = nRead < pm->nBlock;
        EmptyAt(pm, nPos);
        const size_t nInto = size_t(nPos - nStart);
        nHeld = nRead > nInto ? nRead - nInto : 0;
    }
    info.pchEndRead = info.pchBuffer + std::min(nHeld, nWindow);
    return true;
}

// Writes out what is dirty and moves the buffer on to the current position: filled from the
// file for reading (MMIO_READ), or left empty to be written into (MMIO_WRITE).
MMRESULT Refill(HMMIO__* pm, UINT uFor)
{
    long long nPos = Position(pm);
    if (!Flush(pm))
        return MMIOERR_CANNOTWRITE;
    if (uFor != MMIO_READ) {
        EmptyAt(pm, nPos);
        return 0;
    }
    return FillAt(pm, nPos) ? 0 : MMIOERR_CANNOTREAD;
}

long long FileSize(HMMIO__* pm)
{
    if (std::fseek(pm->pFile, 0, SEEK_END) != 0)
        return -1;
    long long nDisk = std::ftell(pm->pFile);
    long long nBuffered = pm->info.lBufOffset + (ValidEnd(pm->info) - pm->info.pchBuffer);
    return (pm->info.dwFlags & MMIO_DIRTY) ? std::max(nDisk, nBuffered) : nDisk;
}

LONG ReadBytes(HMMIO__* hmmio, char* pch, LONG cch)
{
    if (cch < 0)
        return -1;
    MMIOINFO& info = hmmio->info;
    LONG nDone = 0;
    while (nDone < cch) {
        if (info.pchNext >= info.pchEndRead) {
            if (Refill(hmmio, MMIO_READ) != 0)
                return -1;
            if (info.pchEndRead == info.pchBuffer)
                break;
        }
        LONG nPart = std::min(LONG(info.pchEndRead - info.pchNext), cch - nDone);
        std::memcpy(pch + nDone, info.pchNext, size_t(nPart));
        info.pchNext += nPart;
        nDone += nPart;
    }
    return nDone;
}

LONG WriteBytes(HMMIO__* hmmio, const char* pch, LONG cch)
{
    if (cch < 0)
        return -1;
    MMIOINFO& info = hmmio->info;
    LONG nDone = 0;
    while (nDone < cch) {
        if (info.pchNext >= info.pchEndWrite && Refill(hmmio, MMIO_WRITE) != 0)
            return -1;
        LONG nPart = std::min(LONG(info.pchEndWrite - info.pchNext), cch - nDone);
        std::memcpy(info.pchNext, pch + nDone, size_t(nPart));
        info.pchNext += nPart;
        info.pchEndRead = ValidEnd(info);
        info.dwFlags |= MMIO_DIRTY;
        nDone += nPart;
    }
    return nDone;
}

LONG SeekTo(HMMIO__* hmmio, LONG lOffset, int iOrigin)
{
    long long nTarget;
    switch (iOrigin) {
    case SEEK_SET: nTarget = lOffset; break;
    case SEEK_CUR: nTarget = Position(hmmio) + lOffset; break;
    case SEEK_END: {
        long long nSize = FileSize(hmmio);
        if (nSize < 0)
            return -1;
        nTarget = nSize + lOffset;
        break;
    }
    default: return -1;
    }
    if (nTarget < 0 || nTarget > 0x7FFFFFFF)
        return -1;
    MMIOINFO& info = hmmio->info;
    long long nBufEnd = info.lBufOffset + (ValidEnd(info) - info.pchBuffer);
    if (nTarget >= info.lBufOffset && nTarget <= nBufEnd) {
        // Inside the buffer: only the next-byte pointer moves, dirty bytes stay where they are.
        if (info.pchEndRead < info.pchNext)
            info.pchEndRead = info.pchNext;
        info.pchNext = info.pchBuffer + (nTarget - info.lBufOffset);
        return LONG(nTarget);
    }
    if (!Flush(hmmio))
        return -1;
    EmptyAt(hmmio, nTarget);
    return LONG(nTarget);
}

bool ReadDword(HMMIO__* pm, DWORD* pdw)
{
    return ReadBytes(pm, reinterpret_cast<char*>(pdw), 4) == 4;
}

}  // namespace

HMMIO WINAPI mmioOpenA(LPSTR pszFileName, LPMMIOINFO lpmmioinfo, DWORD dwOpenFlags)
{
    if (lpmmioinfo)
        lpmmioinfo->wErrorRet = 0;
    if (pszFileName == nullptr)
        return nullptr;
    if (standin::ShouldFail("mmioOpenA")) {
        if (lpmmioinfo)
            lpmmioinfo->wErrorRet = MMIOERR_CANNOTOPEN;
        return nullptr;
    }
    const char* pszMode = "rb";
    if (dwOpenFlags & MMIO_CREATE)
        pszMode = (dwOpenFlags & MMIO_READWRITE) ? "w+b" : "wb";
    else if (dwOpenFlags & (MMIO_READWRITE | MMIO_WRITE))
        pszMode = "r+b";
    std::FILE* pFile = std::fopen(pszFileName, pszMode);
    if (pFile == nullptr) {
        if (lpmmioinfo)
            lpmmioinfo->wErrorRet = (dwOpenFlags & MMIO_CREATE) ? MMIOERR_CANNOTOPEN : MMIOERR_FILENOTFOUND;
        return nullptr;
    }
    // The I/O buffer below is the only one: what it flushes is in the file at once, as with the
    // platform's own calls, for any other reader of the file.
    std::setvbuf(pFile, nullptr, _IONBF, 0);
    HMMIO__* pm = new HMMIO__;
    pm->pFile = pFile;
    LONG cch = (lpmmioinfo && lpmmioinfo->cchBuffer > 0) ? lpmmioinfo->cchBuffer : MMIO_DEFAULTBUFFER;
    pm->bReadAhead = !(dwOpenFlags & (MMIO_WRITE | MMIO_READWRITE | MMIO_CREATE));
    // Room behind a page start for a whole window, whatever the buffer's size.
    pm->nBlock = pm->bReadAhead ? std::max(kReadAhead, size_t(cch) + size_t(kPage)) : size_t(cch);
    pm->pBlock.reset(pm->bReadAhead ? new char[pm->nBlock] : new char[pm->nBlock]());
    pm->info.dwFlags = dwOpenFlags & ~MMIO_DIRTY;
    pm->info.cchBuffer = cch;
    pm->info.pchBuffer = pm->pBlock.get();
    pm->info.hmmio = pm;
    EmptyAt(pm, 0);
    return pm;
}

MMRESULT WINAPI mmioClose(HMMIO hmmio, UINT)
{
    if (hmmio == nullptr)
        return MMSYSERR_INVALHANDLE;
    bool bFlushed = Flush(hmmio);
    bool bClosed = std::fclose(hmmio->pFile) == 0;
    delete hmmio;
    if (!bFlushed)
        return MMIOERR_CANNOTWRITE;
    return bClosed ? 0 : MMIOERR_CANNOTCLOSE;
}

// Each call can be made to fail from a test (standin::FailCall) the way a failing disk would
// make it fail; the calls the stand-in makes of its own inside another do not count.
LONG WINAPI mmioRead(HMMIO hmmio, HPSTR pch, LONG cch)
{
    if (hmmio == nullptr || standin::ShouldFail("mmioRead"))
        return -1;
    return ReadBytes(hmmio, pch, cch);
}

LONG WINAPI mmioWrite(HMMIO hmmio, const char* pch, LONG cch)
{
    if (hmmio == nullptr || standin::ShouldFail("mmioWrite"))
        return -1;
    return WriteBytes(hmmio, pch, cch);
}

LONG WINAPI mmioSeek(HMMIO hmmio, LONG lOffset, int iOrigin)
{
    if (hmmio == nullptr || standin::ShouldFail("mmioSeek"))
        return -1;
    return SeekTo(hmmio, lOffset, iOrigin);
}

MMRESULT WINAPI mmioGetInfo(HMMIO hmmio, LPMMIOINFO lpmmioinfo, UINT)
{
    if (hmmio == nullptr || lpmmioinfo == nullptr)
        return MMSYSERR_INVALHANDLE;
    *lpmmioinfo = hmmio->info;
    return 0;
}

MMRESULT WINAPI mmioSetInfo(HMMIO hmmio, LPCMMIOINFO lpmmioinfo, UINT)
{
    if (hmmio == nullptr || lpmmioinfo == nullptr)
        return MMSYSERR_INVALHANDLE;
    MMIOINFO& info = hmmio->info;
    char* pEnd = info.pchBuffer + info.cchBuffer;
    auto inside = [&](const char* p) { return p >= info.pchBuffer && p <= pEnd; };
    if (!inside(lpmmioinfo->pchNext) || !inside(lpmmioinfo->pchEndRead) || !inside(lpmmioinfo->pchEndWrite))
        return MMSYSERR_INVALPARAM;
    info.pchNext = lpmmioinfo->pchNext;
    info.pchEndRead = lpmmioinfo->pchEndRead;
    info.pchEndWrite = lpmmioinfo->pchEndWrite;
    info.dwFlags = (info.dwFlags & ~MMIO_DIRTY) | (lpmmioinfo->dwFlags & MMIO_DIRTY);
    if (info.dwFlags & MMIO_DIRTY)
        info.pchEndRead = ValidEnd(info);
    return 0;
}

MMRESULT WINAPI mmioAdvance(HMMIO hmmio, LPMMIOINFO lpmmioinfo, UINT uFlags)
{
    if (hmmio == nullptr)
        return MMSYSERR_INVALHANDLE;
    if (uFlags != MMIO_READ && uFlags != MMIO_WRITE)
        return MMSYSERR_INVALPARAM;
    MMRESULT mr = lpmmioinfo ? mmioSetInfo(hmmio, lpmmioinfo, 0) : 0;
    if (mr == 0 && standin::ShouldFail("mmioAdvance"))
        mr = uFlags == MMIO_READ ? MMIOERR_CANNOTREAD : MMIOERR_CANNOTWRITE;
    if (mr == 0)
        mr = Refill(hmmio, uFlags);
    if (mr != 0)
        return mr;
    if (lpmmioinfo)
        *lpmmioinfo = hmmio->info;
    return 0;
}

MMRESULT WINAPI mmioDescend(HMMIO hmmio, LPMMCKINFO lpck, LPCMMCKINFO lpckParent, UINT uFlags)
{
    if (hmmio == nullptr || lpck == nullptr)
        return MMSYSERR_INVALHANDLE;
    if (standin::ShouldFail("mmioDescend"))
        return MMIOERR_CHUNKNOTFOUND;
    long long nStart = Position(hmmio);
    long long nPos = nStart;
    long long nParentEnd = lpckParent ? (long long)lpckParent->dwDataOffset + lpckParent->cksize : -1;
    if (lpckParent && (nPos < lpckParent->dwDataOffset || nPos >= nParentEnd))
        return MMIOERR_CHUNKNOTFOUND;

    FOURCC fccWanted = 0, fccType = 0;
    if (uFlags & MMIO_FINDCHUNK)
        fccWanted = lpck->ckid;
    else if (uFlags & MMIO_FINDRIFF)
        fccWanted = kFourccRiff, fccType = lpck->fccType;
    else if (uFlags & MMIO_FINDLIST)
        fccWanted = kFourccList, fccType = lpck->fccType;

    for (;;) {
        MMCKINFO ck{};
        if (lpckParent && nPos + 8 > nParentEnd)
            break;
        if (SeekTo(hmmio, LONG(nPos), SEEK_SET) < 0 || !ReadDword(hmmio, &ck.ckid) || !ReadDword(hmmio, &ck.cksize))
            break;
        ck.dwDataOffset = DWORD(nPos + 8);
        bool bForm = ck.ckid == kFourccRiff || ck.ckid == kFourccList;
        if (bForm && !ReadDword(hmmio, &ck.fccType))
            break;
        if (fccWanted == 0 || (ck.ckid == fccWanted && (fccType == 0 || ck.fccType == fccType))) {
            SeekTo(hmmio, LONG(ck.dwDataOffset + (bForm ? 4 : 0)), SEEK_SET);
            *lpck = ck;
            return 0;
        }
        nPos = (long long)ck.dwDataOffset + ck.cksize + (ck.cksize & 1);
        if (nPos > 0x7FFFFFFF)
            break;
    }
    // Left where the search began, so a failed search changes nothing.
    SeekTo(hmmio, LONG(nStart), SEEK_SET);
    return MMIOERR_CHUNKNOTFOUND;
}

MMRESULT WINAPI mmioAscend(HMMIO hmmio, LPMMCKINFO lpck, UINT)
{
    if (hmmio == nullptr || lpck == nullptr)
        return MMSYSERR_INVALHANDLE;
    if (standin::ShouldFail("mmioAscend"))
        return MMIOERR_CANNOTSEEK;
    if (lpck->dwFlags & MMIO_DIRTY) {
        long long nEnd = Position(hmmio);
        DWORD dwSize = DWORD(nEnd - lpck->dwDataOffset);
        if (dwSize != lpck->cksize) {
            lpck->cksize = dwSize;
            if (SeekTo(hmmio, LONG(lpck->dwDataOffset - 4), SEEK_SET) < 0 ||
                WriteBytes(hmmio, reinterpret_cast<const char*>(&dwSize), 4) != 4)
                return MMIOERR_CANNOTWRITE;
        }
        if (dwSize & 1) {
            // The pad byte of an odd chunk belongs to the file, so it is written, not skipped.
            char chPad = 0;
            if (SeekTo(hmmio, LONG(nEnd), SEEK_SET) < 0 || WriteBytes(hmmio, &chPad, 1) != 1)
                return MMIOERR_CANNOTWRITE;
        }
        lpck->dwFlags &= ~MMIO_DIRTY;
    }
    long long nNext = (long long)lpck->dwDataOffset + lpck->cksize + (lpck->cksize & 1);
    if (nNext > 0x7FFFFFFF || SeekTo(hmmio, LONG(nNext), SEEK_SET) < 0)
        return MMIOERR_CANNOTSEEK;
    return 0;
}

MMRESULT WINAPI mmioCreateChunk(HMMIO hmmio, LPMMCKINFO lpck, UINT uFlags)
{
    if (hmmio == nullptr || lpck == nullptr)
        return MMSYSERR_INVALHANDLE;
    if (standin::ShouldFail("mmioCreateChunk"))
        return MMIOERR_CANNOTWRITE;
    long long nPos = Position(hmmio);
    if (uFlags & MMIO_CREATERIFF)
        lpck->ckid = kFourccRiff;
    else if (uFlags & MMIO_CREATELIST)
        lpck->ckid = kFourccList;
    LONG nHeader = (uFlags & (MMIO_CREATERIFF | MMIO_CREATELIST)) ? 12 : 8;
    DWORD header[3] = {lpck->ckid, lpck->cksize, lpck->fccType};
    if (WriteBytes(hmmio, reinterpret_cast<const char*>(header), nHeader) != nHeader) {
        SeekTo(hmmio, LONG(nPos), SEEK_SET);
        return MMIOERR_CANNOTWRITE;
    }
    lpck->dwDataOffset = DWORD(nPos + 8);
    lpck->dwFlags = MMIO_DIRTY;
    return 0;
}
