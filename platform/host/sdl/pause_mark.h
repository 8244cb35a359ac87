// The mark a paused display shows over its frame: drawn on the window after the frame, never into
// the frame itself, so that a screenshot and the production's own pixels stay as they were.
#pragma once

struct SDL_Renderer;

namespace host {

// Over the top left corner of the frame, whose nFrameWidth pixels sit at (x, y) nShownWidth wide on
// the renderer's output: a pause sign and the word "PAUSED" in white on a darkened box, at twice
// the frame's scale.
void DrawPauseMark(SDL_Renderer* pRenderer, int x, int y, int nShownWidth, int nFrameWidth);

}  // namespace host
