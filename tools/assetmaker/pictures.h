// The production's ten pictures.
#pragma once

#include <string>
#include <vector>

#include "raster.h"

namespace assets {

// Where the background's colour table keeps the colours of the things drawn over it: the cube
// shades its faces with entries 119 (facing the viewer) to 127, the flash and the zooming mask
// use entry 63, scene 3 clears to entry 0, and the band and the scroller are stored as indices
// into this same table.
namespace layout {
constexpr int kBlack = 0;
constexpr int kBackFirst = 1, kBackCount = 62;
constexpr int kFlash = 63;
constexpr int kBandFirst = 64, kBandCount = 55;
constexpr int kCubeFirst = 119, kCubeCount = 9;
constexpr int kScrollFirst = 128, kScrollCount = 128;
// The band is a whole screen: its logo in the top rows, then the lane the scroller crosses
// (black, like the scroller's own ground, so the two meet without a seam), then a floor.
constexpr int kBandHeight = 480, kLogoRows = 160, kScrollHeight = 160;
constexpr int kLaneTop = 240 - kScrollHeight / 2, kLaneBottom = kLaneTop + kScrollHeight;
// The sun stands where the mask's rectangle ends its zoom, (228, 148)-(411, 331), and the mask's
// round window frames it with an even ring of sky.
constexpr int kEmblemSize = 256;
constexpr float kSunX = 319.5f, kSunY = 239.5f, kSunRadius = 54;
// The emblem in its own pixels: an octagon (the distance from its centre to each side) edged
// with a thin octagonal gap, and a round window.
constexpr float kEmblemApothem = 118.2f, kGapOuter = 112.0f, kGapInner = 106.5f;
constexpr float kWindowRadius = 92.5f;
}  // namespace layout

struct NamedPicture {
    std::string file;
    IndexedPicture picture;
};

// All ten, in the order the production loads them.
std::vector<NamedPicture> MakePictures();

}  // namespace assets
