// Fades through the palette alone: each is a frame loop of its own that returns when its time
// is over or the run has been ended.
#pragma once

#include "image/Image.h"

// One fade frame's palette: every colour of the source times dScale (0 to 1), truncated.
void ScalePalette(const BYTE* pSource, double dScale, BYTE* pOut);

void FadeInImage(CImage* pPicture, float fSeconds);
void FadeOutImage(CImage* pPicture, float fSeconds);
void FadeOutScreen(float fSeconds);
