// RIFF/WAVE files through the platform's buffered multimedia file I/O: plain functions over
// handles and records that the caller holds. Every function but WaveCopyChunk returns 0 for
// success, a multimedia file I/O code passed through unchanged, or one of the codes below.
#pragma once

#include "platform/win32.h"

#define WAVEERR_MEMORY 0xE000
#define WAVEERR_OPEN 0xE100
#define WAVEERR_FORMAT 0xE101
#define WAVEERR_READ 0xE102
#define WAVEERR_TRUNCATED 0xE103
#define WAVEERR_WRITE 0xE104

int WaveOpenFile(const char* pszFileName, HMMIO* phmmioIn, WAVEFORMATEX** ppwfxInfo, MMCKINFO* pckInRIFF);
int WaveStartDataRead(HMMIO* phmmioIn, MMCKINFO* pckIn, MMCKINFO* pckInRIFF);
int WaveReadData(HMMIO hmmioIn, UINT cbRead, BYTE* pbDest, MMCKINFO* pckIn, UINT* pcbActualRead);
int WaveCloseInput(HMMIO* phmmio, WAVEFORMATEX** ppwfxSrc);
int WaveLoadFile(const char* pszFileName, UINT* pcbSize, DWORD* pcSamples, WAVEFORMATEX** ppwfxInfo, BYTE** ppbData);

int WaveOpenOutput(const char* pszFileName, HMMIO* phmmioOut, WAVEFORMATEX* pwfxDest, MMCKINFO* pckOut,
                   MMCKINFO* pckOutRIFF);
int WaveStartDataOutput(HMMIO* phmmioOut, MMCKINFO* pckOut, MMIOINFO* pmmioinfoOut);
int WaveWriteData(HMMIO hmmioOut, UINT cbWrite, const BYTE* pbSrc, MMCKINFO* pckOut, UINT* pcbActualWrite,
                  MMIOINFO* pmmioinfoOut);
int WaveCloseOutput(HMMIO* phmmioOut, MMCKINFO* pckOut, MMCKINFO* pckOutRIFF, MMIOINFO* pmmioinfoOut, DWORD cSamples);
int WaveStoreFile(const char* pszFileName, UINT cbSize, DWORD cSamples, WAVEFORMATEX* pwfxDest, const BYTE* pbData);

int WaveCopyExtraChunks(HMMIO* phmmioIn, MMCKINFO* pckIn, MMCKINFO* pckInRIFF, HMMIO* phmmioOut);
BOOL WaveCopyChunk(HMMIO hmmioIn, HMMIO hmmioOut, const MMCKINFO* pckIn);
