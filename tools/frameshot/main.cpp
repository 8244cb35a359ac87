// A frame of the production as a PNG, for the page's preview where its link is posted: the whole
// production runs on the headless host from the launch, its clock stepped 1/60 s a frame as the
// display paces it, until the first frame at or after the time asked for, which is written out.
//   frameshot ASSET_DIR TIME_MS OUT.png
#include <png.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/host/headless/headless.h"
#include "platform/win32.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nShowCmd);

namespace {

bool WritePng(const std::string& path, const host::HeadlessHost::Frame& frame)
{
    std::vector<uint8_t> rgb(frame.pixels.size() * 3);
    for (size_t i = 0; i < frame.pixels.size(); ++i) {
        rgb[3 * i] = uint8_t(frame.pixels[i] >> 16);
        rgb[3 * i + 1] = uint8_t(frame.pixels[i] >> 8);
        rgb[3 * i + 2] = uint8_t(frame.pixels[i]);
    }
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(frame.nWidth);
    image.height = png_uint_32(frame.nHeight);
    image.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr) != 0;
}

}  // namespace

int main(int argc, char** argv)
{
    char* pEnd = nullptr;
    const long nAt = argc == 4 ? std::strtol(argv[2], &pEnd, 10) : -1;
    if (argc != 4 || nAt < 0 || *pEnd != '\0') {
        std::fprintf(stderr, "usage: %s ASSET_DIR TIME_MS OUT.png\n", argv[0]);
        return 2;
    }
    const std::string out = argv[3][0] == '/' ? argv[3] : std::string(getcwd(nullptr, 0)) + "/" + argv[3];
    if (chdir(argv[1]) != 0) {
        std::perror(argv[1]);
        return 2;
    }
    host::HeadlessHost& h = host::UseHeadless();
    h.AnswerBoxesOnStderr();
    h.SetFrameStep(0);
    h.SetIdlePumpStep(1);
    h.SetKeptFrames(1);
    bool bTaken = false, bWritten = false;
    h.SetFrameHook([&](size_t nFrame) {
        if (!bTaken && h.Time() >= nAt) {
            std::vector<host::HeadlessHost::Frame> frames = h.Frames();
            bTaken = true;
            bWritten = !frames.empty() && WritePng(out, frames.back());
            h.PushKey(VK_ESCAPE, true);
        }
        h.SetTime(std::lround(double(nFrame) * 1000.0 / 60.0));
    });
    WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(""), SW_SHOWDEFAULT);
    if (!bWritten) {
        std::fprintf(stderr, "frameshot: %s\n",
                     bTaken ? ("cannot write " + out).c_str() : "the production ended first");
        std::exit(1);
    }
    std::exit(0);
}
