// Runs of bytes along one framebuffer row, the inner loops of the triangle filler and the masked
// quad: a run filled with one colour, a row merged with a coverage row, and the runs of set pixels
// in a row of a mask.
#pragma once

#include <cstdint>

// Bytes pDst[0] to pDst[nCount - 1] become colour; nothing when nCount <= 0.
void FillSpan(unsigned char* pDst, int nCount, unsigned char colour);

// Where pCover[i] is 0xFF, pDst[i] becomes colour; where it is 0, pDst[i] stays. Every cover byte
// must be one or the other.
void BlendSpan(unsigned char* pDst, const unsigned char* pCover, int nCount, unsigned char colour);

// Bit c of pBits (bit c % 64 of word c / 64) is set when pRow[c] is not 0, for c below nColumns;
// the bits past nColumns in the last word are clear. Returns the number of runs of set bits.
int MarkNonZeroBytes(const unsigned char* pRow, int nColumns, uint64_t* pBits);
