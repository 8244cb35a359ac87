// Putting pictures into the framebuffer: an unscaled copy clipped to the screen, and a picture
// stretched over a rectangle as a mask in colour 63.
#pragma once

#include "image/Image.h"

void DrawImageClipped(int x, int y, CImage* pPicture);
void DrawMaskedQuad(CImage* pMask, int nLeft, int nTop, int nRight, int nBottom);
