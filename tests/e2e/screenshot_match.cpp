// Whether a screenshot the SDL host wrote is a frame the production really presents: the whole
// production runs on the headless host from the launch, its clock moving one millisecond a frame,
// until one of its frames equals the screenshot pixel for pixel (or the opening fade is over).
// Prints the production's time of that frame.
//   screenshot_match SCREENSHOT.png ASSET_DIR
#include <png.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/host/headless/headless.h"
#include "platform/win32.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nShowCmd);

namespace {

constexpr long kGiveUpMs = 7500;  // the opening fade and a little more

// The picture as 0x00RRGGBB pixels; empty where it cannot be read.
std::vector<uint32_t> ReadPng(const char* pszPath, int& nWidth, int& nHeight)
{
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, pszPath))
        return {};
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr))
        return {};
    nWidth = static_cast<int>(image.width);
    nHeight = static_cast<int>(image.height);
    std::vector<uint32_t> xrgb(rgb.size() / 3);
    for (size_t i = 0; i < xrgb.size(); ++i)
        xrgb[i] = uint32_t(rgb[3 * i]) << 16 | uint32_t(rgb[3 * i + 1]) << 8 | rgb[3 * i + 2];
    return xrgb;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SCREENSHOT.png ASSET_DIR\n", argv[0]);
        return 2;
    }
    int nWidth = 0, nHeight = 0;
    const std::vector<uint32_t> shot = ReadPng(argv[1], nWidth, nHeight);
    if (shot.empty() || nWidth != 640 || nHeight != 480) {
        std::fprintf(stderr, "%s: not a 640 x 480 PNG (%d x %d)\n", argv[1], nWidth, nHeight);
        return 1;
    }
    if (chdir(argv[2]) != 0) {
        std::perror(argv[2]);
        return 2;
    }
    host::HeadlessHost& h = host::UseHeadless();
    h.SetFrameStep(1);
    h.SetIdlePumpStep(1);
    h.SetKeptFrames(1);
    long nMatchedAt = -1;
    bool bQuitting = false;
    h.SetFrameHook([&](size_t) {
        if (bQuitting)
            return;
        std::vector<host::HeadlessHost::Frame> frames = h.Frames();
        if (!frames.empty() && frames.back().pixels == shot)
            nMatchedAt = frames.back().nTime;
        if (nMatchedAt >= 0 || h.Time() > kGiveUpMs) {
            h.PushKey(VK_ESCAPE, true);
            bQuitting = true;
        }
    });
    WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(""), SW_SHOWDEFAULT);
    if (nMatchedAt < 0) {
        std::printf("screenshot_match: no frame of the first %.1f s equals %s\n", kGiveUpMs / 1000.0, argv[1]);
        std::exit(1);
    }
    std::printf("screenshot_match: %s equals the headless host's frame at %ld ms\n", argv[1], nMatchedAt);
    std::exit(0);
}
