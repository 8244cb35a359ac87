// The process entry on hosts other than Windows, and the one place that knows every host: it
// reads the options (the system itself takes none), installs the host they choose, runs WinMain
// with the module's instance, and ends the process through exit with its result, so that the
// atexit list runs as it does on Windows. A new host is a new choice here, and a case below.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "app/Timeline.h"
#include "platform/host/host.h"
#include "vadurer_version.h"
#ifdef __EMSCRIPTEN__
#include "platform/host/web/web.h"
#else
#include "platform/host/capture/benchmark.h"
#include "platform/host/capture/record.h"
#include "platform/host/sdl/sdl.h"
#include "platform/host/signals.h"
#endif
// The entry alone above the seam calls into the system and reads its timeline (app/Timeline.h);
// no host includes either.
#include "platform/win32.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nShowCmd);

namespace {

enum class HostChoice {
    Sdl,        // the demo: a window or the whole screen, the sound device
    Capture,    // --record: the video recorder
    Benchmark,  // --benchmark: the recorder's clock, measuring instead of recording
    Web,        // the page, the only host of the browser build
};

#ifdef __EMSCRIPTEN__
constexpr HostChoice kDefaultHost = HostChoice::Web;
#else
constexpr HostChoice kDefaultHost = HostChoice::Sdl;
#endif

struct Options {
    HostChoice host = kDefaultHost;
    bool bDisplayInWindow = false;
    std::string record;
    bool bForce = false;             // the render may replace a file already there
    const char* pszScale = nullptr;  // as given: fit or whole for a display, a factor for a video
#ifndef __EMSCRIPTEN__
    host::Scaling scaling = host::Scaling::Fit;
#endif
    int nRecordScale = 1;
};

#ifndef __EMSCRIPTEN__
double RealTimeMs()
{
    timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return double(ts.tv_sec) * 1000.0 + double(ts.tv_nsec) / 1e6;
}

// The start of this program's own code: the launch, where whoever started it did not say.
const double g_dStaticsMs = RealTimeMs();

// The SDL host's options: the viewer's choice, and the switches for measuring and testing, which
// come from the environment and are read here alone.
host::SdlOptions SdlOptionsFor(const Options& options)
{
    host::SdlOptions sdl;
    sdl.bDisplayInWindow = options.bDisplayInWindow;
    sdl.scaling = options.scaling;
    // VADURER_REPORT_FIRST_FRAME: the launch's steps to the first frame on standard error, from
    // VADURER_LAUNCHED_AT (nanoseconds of the real-time clock, as `date +%s%N` gives them, taken
    // by whoever started the program, so that loading it and its libraries counts too) where that
    // is set, else from the start of the program's own static objects.
    sdl.bReportFirstFrame = std::getenv("VADURER_REPORT_FIRST_FRAME") != nullptr;
    const char* pszLaunched = std::getenv("VADURER_LAUNCHED_AT");
    sdl.bLaunchGiven = pszLaunched != nullptr;
    sdl.dLaunchedAtMs = pszLaunched ? std::strtod(pszLaunched, nullptr) / 1e6 : g_dStaticsMs;
    // VADURER_FRAME_LOG=FILE: a line for each frame the display ends.
    if (const char* pszLog = std::getenv("VADURER_FRAME_LOG"))
        sdl.frameLog = pszLog;
    return sdl;
}
#endif

void PrintUsage(FILE* pOut, const char* pszProgram)
{
    std::fprintf(pOut,
                 "usage: %s [--window] [--scale fit | --scale whole]\n"
                 "       %s --record FILE [--scale N] [--force]\n"
                 "       %s --benchmark | --version | --help\n"
                 "  --window       show the 640 x 480 display in a desktop window (resizable) instead\n"
                 "                 of over the whole screen\n"
                 "  --scale fit    (the default) fill the screen or the window at the largest size of\n"
                 "                 the picture's 4:3 shape with its pixels kept sharp: enlarged by a\n"
                 "                 whole factor, each pixel a block, then smoothly to that size, so\n"
                 "                 that a block's edge is at most one pixel soft\n"
                 "  --scale whole  only whole factors (x1, x2, ...): exact pixels, black borders\n"
                 "  --record FILE  play nothing; write the whole production with its sound to the\n"
                 "                 video FILE through ffmpeg, at 60 frames a second and 48 kHz:\n"
                 "                 FILE.mp4, .mkv or .mov (H.264 and AAC) or .webm (VP9 and Opus); it\n"
                 "                 is written beside FILE as NAME.unfinished-PID.EXT and takes FILE's\n"
                 "                 name once whole\n"
                 "  --scale N      with --record: each pixel a block of N x N, N from 1 (640 x 480)\n"
                 "                 to 6; 3 gives 1920 x 1440, which video sites keep sharp\n"
                 "  --force        with --record: replace FILE if it is already there\n"
                 "  --benchmark    play nothing; run the whole production as fast as this machine\n"
                 "                 can, every frame of a real run (1/60 s each), and print what each\n"
                 "                 scene's frames cost to draw and to convert for a display\n"
                 "  --version      print the program's name and version and exit\n"
                 "  --help         show this text and exit\n"
                 "\n"
                 "While it plays:\n"
                 "  Escape, a left click, Alt+F4  end the run (also while paused)\n"
                 "  Q + Enter + Alt               held together in any order: end the program at once\n"
                 "  F11                           the whole screen or a window, and back\n"
                 "  Alt+Enter                     the same while Q is up (with Q held it is the exit\n"
                 "                                above; the keys still reach the production either way)\n"
                 "  F12                           a screenshot of the frame shown: a 640 x 480 PNG in\n"
                 "                                the production's own colours, written to the XDG\n"
                 "                                pictures folder (else the current folder)\n"
                 "  P or Pause                    pause the picture and the sound; again to go on\n"
                 "The window can be resized: the frame fills it as --scale says.\n"
                 "\n"
                 "Exit status:\n"
                 "  0      the run ended by itself, or by closing its window or Q + Enter + Alt\n"
                 "  27     Escape ended the run (the code of the last key it was sent)\n"
                 "  115    Alt+F4 ended the run\n"
                 "  1      a left click ended the run (the mouse button held); or the screen could\n"
                 "         not be opened (no display, a display step that failed), or the video\n"
                 "         could not be written\n"
                 "  2      an option it does not take, or a FILE it will not write (another ending,\n"
                 "         or a file already there without --force)\n"
                 "  3      a failed check in the sound code was answered Abort\n"
                 "  128+N  the signal N ended the run (129 SIGHUP, 130 SIGINT, 143 SIGTERM), as\n"
                 "         closing its window would\n"
                 "  A run that ends by itself after a key or mouse button was last used ends with\n"
                 "  that key's Windows virtual-key code, or the mouse buttons then held.\n"
                 "\n"
                 "Stop The Vadurer " VADURER_VERSION ": code, pictures and sounds under the MIT licence.\n",
                 pszProgram, pszProgram, pszProgram);
}

int Refuse(const char* pszProgram, const char* pszWhy)
{
    std::fprintf(stderr, "%s: %s\n", pszProgram, pszWhy);
    return 2;
}

// --scale's value for the host chosen: -1 when it goes with it, else the exit code.
int TakeScale(const char* pszProgram, Options& options)
{
    const std::string scale = options.pszScale;
    switch (options.host) {
    case HostChoice::Capture:
        if (scale.size() == 1 && scale[0] >= '1' && scale[0] <= '6') {
            options.nRecordScale = scale[0] - '0';
            return -1;
        }
        return Refuse(pszProgram, ("--scale with --record takes a factor from 1 to 6, not '" + scale + "'").c_str());
#ifndef __EMSCRIPTEN__
    case HostChoice::Sdl:
        if (scale == "fit" || scale == "whole") {
            options.scaling = scale == "fit" ? host::Scaling::Fit : host::Scaling::Whole;
            return -1;
        }
        return Refuse(
            pszProgram,
            ("--scale takes fit or whole (or, with --record, a factor from 1 to 6), not '" + scale + "'").c_str());
#endif
    case HostChoice::Benchmark: return Refuse(pszProgram, "--benchmark shows nothing, so --scale does not go with it");
    default: return Refuse(pszProgram, "this build takes no --scale");
    }
}

// -1 when the production is to run with these options; otherwise the process's exit code.
int ParseOptions(int argc, char** argv, const char* pszProgram, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--window") == 0) {
            options.bDisplayInWindow = true;
        } else if (std::strcmp(argv[i], "--record") == 0) {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                std::fprintf(stderr, "%s: --record needs the video file to write\n", pszProgram);
                PrintUsage(stderr, pszProgram);
                return 2;
            }
            if (options.host == HostChoice::Benchmark)
                return Refuse(pszProgram, "--record and --benchmark do not go together");
            options.host = HostChoice::Capture;
            options.record = argv[++i];
        } else if (std::strcmp(argv[i], "--force") == 0) {
            options.bForce = true;
        } else if (std::strcmp(argv[i], "--benchmark") == 0) {
            if (options.host == HostChoice::Capture)
                return Refuse(pszProgram, "--record and --benchmark do not go together");
            options.host = HostChoice::Benchmark;
        } else if (std::strcmp(argv[i], "--scale") == 0) {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                std::fprintf(stderr, "%s: --scale needs fit or whole, or with --record a factor from 1 to 6\n",
                             pszProgram);
                PrintUsage(stderr, pszProgram);
                return 2;
            }
            options.pszScale = argv[++i];
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            PrintUsage(stdout, pszProgram);
            return 0;
        } else if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("vadurer " VADURER_VERSION "\n");
            return 0;
        } else {
            std::fprintf(stderr, "%s: unknown option '%s'\n", pszProgram, argv[i]);
            PrintUsage(stderr, pszProgram);
            return 2;
        }
    }
    if (options.host != kDefaultHost && options.bDisplayInWindow)
        return Refuse(pszProgram, "--record and --benchmark show nothing, so --window does not go with them");
    if (options.bForce && options.host != HostChoice::Capture)
        return Refuse(pszProgram, "--force goes with --record, whose file it lets a render replace");
    return options.pszScale ? TakeScale(pszProgram, options) : -1;
}

int RunWinMain()
{
    static char szCommandLine[] = "";
    return WinMain(GetModuleHandleA(nullptr), nullptr, szCommandLine, SW_SHOWDEFAULT);
}

int Run(const Options& options, const char* pszProgram)
{
    switch (options.host) {
#ifdef __EMSCRIPTEN__
    case HostChoice::Web: host::Install(host::MakeWebHost()); return RunWinMain();
#else
    case HostChoice::Sdl: {
        std::string error;
        auto pHost = host::MakeSdlHost(error, SdlOptionsFor(options));
        if (!pHost) {
            std::fprintf(stderr, "%s: %s\n", pszProgram, error.c_str());
            return 1;
        }
        host::Install(std::move(pHost));
        return RunWinMain();
    }
    case HostChoice::Capture:
        // Its length run through, for the progress line only.
        return host::RecordToVideo(options.record, options.nRecordScale, options.bForce, timeline::kLengthMs / 1000.0,
                                   pszProgram, RunWinMain);
    case HostChoice::Benchmark: {
        std::vector<host::BenchmarkPart> parts;
        for (const timeline::Part& part : timeline::kParts)
            parts.push_back({part.pszName, part.nFromMs});
        return host::RunBenchmark(pszProgram, parts, RunWinMain);
    }
#endif
    default: std::fprintf(stderr, "%s: this build has no such host\n", pszProgram); return 1;
    }
}

}  // namespace

int main(int argc, char** argv)
{
    const char* pszProgram = argc > 0 && argv[0] ? argv[0] : "vadurer";
    Options options;
    int nCode = ParseOptions(argc, argv, pszProgram, options);
    if (nCode >= 0)
        return nCode;
#ifdef __EMSCRIPTEN__
    std::exit(Run(options, pszProgram));
#else
    host::CatchEndSignals();
    nCode = Run(options, pszProgram);
    // A run a signal ended ends as shells expect of one.
    if (int nSignal = host::EndSignal())
        nCode = 128 + nSignal;
    std::exit(nCode);
#endif
}
