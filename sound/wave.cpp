#include "sound/wave.h"

#include <cstring>

#include "assert/Assert.h"

namespace {

const FOURCC kRiff = mmioFOURCC('R', 'I', 'F', 'F');
const FOURCC kWave = mmioFOURCC('W', 'A', 'V', 'E');
const FOURCC kFmt = mmioFOURCC('f', 'm', 't', ' ');
const FOURCC kFact = mmioFOURCC('f', 'a', 'c', 't');
const FOURCC kData = mmioFOURCC('d', 'a', 't', 'a');
const FOURCC kDisp = mmioFOURCC('D', 'I', 'S', 'P');
const FOURCC kPlst = mmioFOURCC('p', 'l', 's', 't');

// The 16 bytes of the format every WAVE file has, before the extra count.
const LONG kFormatFields = 16;

int ReadFormat(HMMIO hmmio, const MMCKINFO& ckFmt, WAVEFORMATEX** ppwfxInfo)
{
    WAVEFORMATEX wfx;
    std::memset(&wfx, 0, sizeof(wfx));
    if (ckFmt.cksize < DWORD(kFormatFields))
        return WAVEERR_FORMAT;
    if (mmioRead(hmmio, reinterpret_cast<HPSTR>(&wfx), kFormatFields) != kFormatFields)
        return WAVEERR_READ;
    WORD cbExtra = 0;
    if (wfx.wFormatTag != WAVE_FORMAT_PCM &&
        mmioRead(hmmio, reinterpret_cast<HPSTR>(&cbExtra), sizeof(cbExtra)) != LONG(sizeof(cbExtra)))
        return WAVEERR_READ;
    *ppwfxInfo = static_cast<WAVEFORMATEX*>(GlobalAlloc(GMEM_FIXED, sizeof(WAVEFORMATEX) + cbExtra));
    if (*ppwfxInfo == NULL)
        return WAVEERR_MEMORY;
    std::memcpy(*ppwfxInfo, &wfx, kFormatFields);
    (*ppwfxInfo)->cbSize = cbExtra;
    if (cbExtra != 0 &&
        mmioRead(hmmio, reinterpret_cast<HPSTR>(*ppwfxInfo) + sizeof(WAVEFORMATEX), cbExtra) != LONG(cbExtra))
        return WAVEERR_FORMAT;
    return 0;
}

// A data size beyond the end of the file could only end in WAVEERR_TRUNCATED after the whole
// block was allocated; a hostile size must not cost gigabytes first.
int CheckDataFits(HMMIO hmmio, const MMCKINFO& ckData)
{
    LONG lHere = mmioSeek(hmmio, 0, SEEK_CUR);
    LONG lEnd = mmioSeek(hmmio, 0, SEEK_END);
    if (lHere < 0 || lEnd < 0 || mmioSeek(hmmio, lHere, SEEK_SET) != lHere)
        return WAVEERR_READ;
    return ckData.cksize > DWORD(lEnd - lHere) ? WAVEERR_TRUNCATED : 0;
}

}  // namespace

int WaveOpenFile(const char* pszFileName, HMMIO* phmmioIn, WAVEFORMATEX** ppwfxInfo, MMCKINFO* pckInRIFF)
{
    *ppwfxInfo = NULL;
    int nError = 0;
    MMCKINFO ckIn;
    HMMIO hmmio = mmioOpenA(const_cast<LPSTR>(pszFileName), NULL, MMIO_ALLOCBUF | MMIO_READ);
    if (hmmio == NULL) {
        nError = WAVEERR_OPEN;
        goto failed;
    }
    if ((nError = int(mmioDescend(hmmio, pckInRIFF, NULL, 0))) != 0)
        goto failed;
    if (pckInRIFF->ckid != kRiff || pckInRIFF->fccType != kWave) {
        nError = WAVEERR_FORMAT;
        goto failed;
    }
    ckIn.ckid = kFmt;
    if ((nError = int(mmioDescend(hmmio, &ckIn, pckInRIFF, MMIO_FINDCHUNK))) != 0)
        goto failed;
    if ((nError = ReadFormat(hmmio, ckIn, ppwfxInfo)) != 0)
        goto failed;
    if ((nError = int(mmioAscend(hmmio, &ckIn, 0))) != 0)
        goto failed;
    *phmmioIn = hmmio;
    return 0;

failed:
    if (*ppwfxInfo != NULL) {
        GlobalFree(GlobalHandle(*ppwfxInfo));
        *ppwfxInfo = NULL;
    }
    if (hmmio != NULL)
        mmioClose(hmmio, 0);
    *phmmioIn = NULL;
    return nError;
}

int WaveStartDataRead(HMMIO* phmmioIn, MMCKINFO* pckIn, MMCKINFO* pckInRIFF)
{
    // The sub-chunks begin after the form type.
    if (mmioSeek(*phmmioIn, LONG(pckInRIFF->dwDataOffset + sizeof(FOURCC)), SEEK_SET) == -1)
        ASSERT_AT(FALSE, 188);
    pckIn->ckid = kData;
    return int(mmioDescend(*phmmioIn, pckIn, pckInRIFF, MMIO_FINDCHUNK));
}

int WaveReadData(HMMIO hmmioIn, UINT cbRead, BYTE* pbDest, MMCKINFO* pckIn, UINT* pcbActualRead)
{
    MMIOINFO mmioinfoIn;
    *pcbActualRead = 0;
    int nError = int(mmioGetInfo(hmmioIn, &mmioinfoIn, 0));
    if (nError != 0)
        return nError;
    UINT cbDataIn = cbRead;
    if (cbDataIn > pckIn->cksize)
        cbDataIn = pckIn->cksize;
    pckIn->cksize -= cbDataIn;

    // Bytes go straight from the buffer, a whole buffer's run at a time, so the only platform
    // calls are the refills.
    for (UINT cT = 0; cT < cbDataIn;) {
        if (mmioinfoIn.pchNext == mmioinfoIn.pchEndRead) {
            if ((nError = int(mmioAdvance(hmmioIn, &mmioinfoIn, MMIO_READ))) != 0)
                return nError;
            if (mmioinfoIn.pchNext == mmioinfoIn.pchEndRead)
                return WAVEERR_TRUNCATED;
        }
        UINT cbRun = UINT(mmioinfoIn.pchEndRead - mmioinfoIn.pchNext);
        if (cbRun > cbDataIn - cT)
            cbRun = cbDataIn - cT;
        std::memcpy(pbDest, mmioinfoIn.pchNext, cbRun);
        pbDest += cbRun;
        mmioinfoIn.pchNext += cbRun;
        cT += cbRun;
    }
    if ((nError = int(mmioSetInfo(hmmioIn, &mmioinfoIn, 0))) != 0)
        return nError;
    *pcbActualRead = cbDataIn;
    return 0;
}

int WaveCloseInput(HMMIO* phmmio, WAVEFORMATEX** ppwfxSrc)
{
    if (*ppwfxSrc != NULL) {
        GlobalFree(GlobalHandle(*ppwfxSrc));
        *ppwfxSrc = NULL;
    }
    if (*phmmio != NULL) {
        mmioClose(*phmmio, 0);
        *phmmio = NULL;
    }
    return 0;
}

int WaveLoadFile(const char* pszFileName, UINT* pcbSize, DWORD* pcSamples, WAVEFORMATEX** ppwfxInfo, BYTE** ppbData)
{
    (void)pcSamples;  // the sample count is not determined
    HMMIO hmmioIn = NULL;
    MMCKINFO ckInRiff, ckIn;
    UINT cbActualRead = 0;
    *ppbData = NULL;
    *ppwfxInfo = NULL;
    *pcbSize = 0;

    int nError = WaveOpenFile(pszFileName, &hmmioIn, ppwfxInfo, &ckInRiff);
    if (nError == 0)
        nError = WaveStartDataRead(&hmmioIn, &ckIn, &ckInRiff);
    if (nError == 0)
        nError = CheckDataFits(hmmioIn, ckIn);
    if (nError == 0) {
        *ppbData = static_cast<BYTE*>(GlobalAlloc(GMEM_FIXED, ckIn.cksize));
        if (*ppbData == NULL)
            nError = WAVEERR_MEMORY;
    }
    if (nError == 0)
        nError = WaveReadData(hmmioIn, ckIn.cksize, *ppbData, &ckIn, &cbActualRead);

    if (nError == 0) {
        *pcbSize = cbActualRead;
    } else {
        if (*ppbData != NULL) {
            GlobalFree(GlobalHandle(*ppbData));
            *ppbData = NULL;
        }
        if (*ppwfxInfo != NULL) {
            GlobalFree(GlobalHandle(*ppwfxInfo));
            *ppwfxInfo = NULL;
        }
    }
    if (hmmioIn != NULL)
        mmioClose(hmmioIn, 0);
    return nError;
}

int WaveOpenOutput(const char* pszFileName, HMMIO* phmmioOut, WAVEFORMATEX* pwfxDest, MMCKINFO* pckOut,
                   MMCKINFO* pckOutRIFF)
{
    int nError;
    *phmmioOut = mmioOpenA(const_cast<LPSTR>(pszFileName), NULL, MMIO_ALLOCBUF | MMIO_READWRITE | MMIO_CREATE);
    if (*phmmioOut == NULL)
        return WAVEERR_WRITE;
    HMMIO hmmio = *phmmioOut;

    pckOutRIFF->fccType = kWave;
    pckOutRIFF->cksize = 0;
    if ((nError = int(mmioCreateChunk(hmmio, pckOutRIFF, MMIO_CREATERIFF))) != 0)
        return nError;

    pckOut->ckid = kFmt;
    pckOut->cksize = DWORD(kFormatFields);
    if ((nError = int(mmioCreateChunk(hmmio, pckOut, 0))) != 0)
        return nError;
    LONG cbFormat =
        pwfxDest->wFormatTag == WAVE_FORMAT_PCM ? kFormatFields : LONG(sizeof(WAVEFORMATEX)) + pwfxDest->cbSize;
    if (mmioWrite(hmmio, reinterpret_cast<const char*>(pwfxDest), cbFormat) != cbFormat)
        return WAVEERR_WRITE;
    if ((nError = int(mmioAscend(hmmio, pckOut, 0))) != 0)
        return nError;

    // The sample count is not known until the file is closed.
    MMCKINFO ckOut1;
    ckOut1.ckid = kFact;
    ckOut1.cksize = 0;
    if ((nError = int(mmioCreateChunk(hmmio, &ckOut1, 0))) != 0)
        return nError;
    DWORD dwFactSamples = 0xFFFFFFFF;
    if (mmioWrite(hmmio, reinterpret_cast<const char*>(&dwFactSamples), sizeof(dwFactSamples)) !=
        LONG(sizeof(dwFactSamples)))
        return WAVEERR_WRITE;
    if (mmioAscend(hmmio, &ckOut1, 0) != 0)
        return WAVEERR_WRITE;
    return 0;
}

int WaveStartDataOutput(HMMIO* phmmioOut, MMCKINFO* pckOut, MMIOINFO* pmmioinfoOut)
{
    pckOut->ckid = kData;
    pckOut->cksize = 0;
    int nError = int(mmioCreateChunk(*phmmioOut, pckOut, 0));
    if (nError != 0)
        return nError;
    return int(mmioGetInfo(*phmmioOut, pmmioinfoOut, 0));
}

int WaveWriteData(HMMIO hmmioOut, UINT cbWrite, const BYTE* pbSrc, MMCKINFO* pckOut, UINT* pcbActualWrite,
                  MMIOINFO* pmmioinfoOut)
{
    (void)pckOut;
    *pcbActualWrite = 0;
    for (UINT cT = 0; cT < cbWrite;) {
        if (pmmioinfoOut->pchNext == pmmioinfoOut->pchEndWrite) {
            pmmioinfoOut->dwFlags |= MMIO_DIRTY;
            int nError = int(mmioAdvance(hmmioOut, pmmioinfoOut, MMIO_WRITE));
            if (nError != 0)
                return nError;
        }
        UINT cbRun = UINT(pmmioinfoOut->pchEndWrite - pmmioinfoOut->pchNext);
        if (cbRun > cbWrite - cT)
            cbRun = cbWrite - cT;
        std::memcpy(pmmioinfoOut->pchNext, pbSrc, cbRun);
        pmmioinfoOut->pchNext += cbRun;
        pbSrc += cbRun;
        cT += cbRun;
        *pcbActualWrite += cbRun;
    }
    return 0;
}

int WaveCloseOutput(HMMIO* phmmioOut, MMCKINFO* pckOut, MMCKINFO* pckOutRIFF, MMIOINFO* pmmioinfoOut, DWORD cSamples)
{
    if (*phmmioOut == NULL)
        return 0;
    HMMIO hmmio = *phmmioOut;
    int nError;
    MMCKINFO ckOut1;

    pmmioinfoOut->dwFlags |= MMIO_DIRTY;
    if ((nError = int(mmioSetInfo(hmmio, pmmioinfoOut, 0))) != 0)
        goto done;
    if ((nError = int(mmioAscend(hmmio, pckOut, 0))) != 0)
        goto done;
    if ((nError = int(mmioAscend(hmmio, pckOutRIFF, 0))) != 0)
        goto done;

    // Back to the top to put the real sample count into the "fact" chunk.
    mmioSeek(hmmio, 0, SEEK_SET);
    if ((nError = int(mmioDescend(hmmio, pckOutRIFF, NULL, 0))) != 0)
        goto done;
    ckOut1.ckid = kFact;
    if (mmioDescend(hmmio, &ckOut1, pckOutRIFF, MMIO_FINDCHUNK) == 0) {
        mmioWrite(hmmio, reinterpret_cast<const char*>(&cSamples), sizeof(DWORD));
        mmioAscend(hmmio, &ckOut1, 0);
    } else {
        ASSERT_AT(FALSE, 590);
    }
    nError = int(mmioAscend(hmmio, pckOutRIFF, 0));

done:
    mmioClose(hmmio, 0);
    *phmmioOut = NULL;
    return nError;
}

int WaveStoreFile(const char* pszFileName, UINT cbSize, DWORD cSamples, WAVEFORMATEX* pwfxDest, const BYTE* pbData)
{
    HMMIO hmmioOut = NULL;
    MMCKINFO ckOut, ckOutRIFF;
    MMIOINFO mmioinfoOut;
    UINT cbActualWrite = 0;

    int nError = WaveOpenOutput(pszFileName, &hmmioOut, pwfxDest, &ckOut, &ckOutRIFF);
    if (nError == 0)
        nError = WaveStartDataOutput(&hmmioOut, &ckOut, &mmioinfoOut);
    if (nError == 0)
        nError = WaveWriteData(hmmioOut, cbSize, pbData, &ckOut, &cbActualWrite, &mmioinfoOut);
    if (nError == 0)
        return WaveCloseOutput(&hmmioOut, &ckOut, &ckOutRIFF, &mmioinfoOut, cSamples);
    // What was written stays in the file, but the file must not stay open.
    if (hmmioOut != NULL)
        mmioClose(hmmioOut, 0);
    return nError;
}

int WaveCopyExtraChunks(HMMIO* phmmioIn, MMCKINFO* pckIn, MMCKINFO* pckInRIFF, HMMIO* phmmioOut)
{
    LONG lOffset = LONG(pckInRIFF->dwDataOffset + sizeof(FOURCC));
    if (mmioSeek(*phmmioIn, lOffset, SEEK_SET) == -1)
        return WAVEERR_READ;
    DWORD dwRiffEnd = pckInRIFF->dwDataOffset + pckInRIFF->cksize;
    while (mmioDescend(*phmmioIn, pckIn, pckInRIFF, 0) == 0) {
        if (pckIn->cksize > dwRiffEnd || pckIn->dwDataOffset > dwRiffEnd - pckIn->cksize)
            break;
        if (pckIn->ckid == kDisp || pckIn->ckid == kPlst)
            WaveCopyChunk(*phmmioIn, *phmmioOut, pckIn);
        mmioAscend(*phmmioIn, pckIn, 0);
    }
    mmioSeek(*phmmioIn, lOffset, SEEK_SET);
    return 0;
}

BOOL WaveCopyChunk(HMMIO hmmioIn, HMMIO hmmioOut, const MMCKINFO* pckIn)
{
    MMCKINFO ck;
    BOOL bOk = FALSE;
    HGLOBAL hMem = GlobalAlloc(GHND, pckIn->cksize);
    if (hMem == NULL)
        return FALSE;
    char* pBuffer = static_cast<char*>(GlobalLock(hMem));
    if (pBuffer != NULL) {
        ck.ckid = pckIn->ckid;
        ck.cksize = pckIn->cksize;
        ck.fccType = 0;
        LONG cb = LONG(pckIn->cksize);
        bOk = mmioCreateChunk(hmmioOut, &ck, 0) == 0 && mmioRead(hmmioIn, pBuffer, cb) == cb &&
              mmioWrite(hmmioOut, pBuffer, cb) == cb && mmioAscend(hmmioOut, &ck, 0) == 0;
        GlobalUnlock(hMem);
    }
    GlobalFree(hMem);
    return bOk;
}
