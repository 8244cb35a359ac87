// The program's icon, drawn from the production's emblem: the octagon with the setting sun in its
// round window, on a transparent ground. One Windows .ico that holds several sizes for the
// executable, and PNG files in the sizes desktops look for in the icon theme.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace assets {

// A square picture with straight (not premultiplied) alpha: red, green, blue, alpha per pixel,
// rows top to bottom.
struct RgbaPicture {
    int size = 0;
    std::vector<uint8_t> rgba;
};

// Windows picks from these for the title bar, the taskbar, Explorer's views and high DPI.
constexpr std::array<int, 5> kIcoSizes = {16, 24, 32, 48, 256};
// The freedesktop hicolor theme's usual application sizes.
constexpr std::array<int, 8> kPngSizes = {16, 22, 24, 32, 48, 64, 128, 256};

RgbaPicture DrawIcon(int size);

// A PNG file of the picture (empty if libpng refused it).
std::vector<uint8_t> EncodePng(const RgbaPicture& picture);

// A Windows icon file: each picture below 256 pixels as a 32-bit bitmap with its transparency
// mask, which every Windows reads; the 256-pixel one as PNG, which Windows reads from Vista on
// and which keeps the file small.
std::vector<uint8_t> EncodeIco(const std::vector<RgbaPicture>& pictures);

// Writes "vadurer.ico" and "vadurer-SIZE.png" for each of kPngSizes into `folder`, which must
// exist. On failure returns false and names the file.
bool MakeIcons(const std::string& folder, std::string& error);

// The page's: the tab's favicon and the sizes its web app manifest and a phone's home screen ask for.
constexpr std::array<int, 3> kFaviconSizes = {16, 32, 48};
constexpr std::array<int, 3> kWebPngSizes = {180, 192, 512};

// Writes "favicon.ico" (kFaviconSizes) and "icon-SIZE.png" for each of kWebPngSizes into `folder`,
// which must exist. On failure returns false and names the file.
bool MakeWebIcons(const std::string& folder, std::string& error);

}  // namespace assets
