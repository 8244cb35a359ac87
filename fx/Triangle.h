// One-colour triangles straight into the framebuffer, in 16.16 fixed point.
#pragma once

void FillTriangle(int x0, int y0, int x1, int y1, int x2, int y2, unsigned char colour);
