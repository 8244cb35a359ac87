// The process entry on hosts other than Windows: the options (the system itself takes none), the
// SDL host (or, recording, the capture host, which needs no display), then WinMain with the
// module's instance, and exit with its result so that the atexit list runs as it does on Windows.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/host/capture/record.h"
#include "platform/host/sdl/sdl.h"
#include "platform/win32.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nShowCmd);

namespace {

// The production's usual length, for the recorder's progress line only.
constexpr double kProductionSeconds = 69.0;

void PrintUsage(FILE* pOut, const char* pszProgram)
{
    std::fprintf(pOut,
                 "usage: %s [--window | --record FILE.mp4] [--help]\n"
                 "  --window       show the 640 x 480 display in a desktop window (resizable) instead\n"
                 "                 of over the whole screen\n"
                 "  --record FILE  play nothing; write the whole production with its sound to the\n"
                 "                 video FILE (H.264 at 60 frames a second, AAC), through ffmpeg\n"
                 "  --help         show this text and exit\n",
                 pszProgram);
}

int RunWinMain()
{
    static char szCommandLine[] = "";
    return WinMain(GetModuleHandleA(nullptr), nullptr, szCommandLine, SW_SHOWDEFAULT);
}

}  // namespace

int main(int argc, char** argv)
{
    const char* pszProgram = argc > 0 && argv[0] ? argv[0] : "vadurer";
    host::SdlOptions options;
    const char* pszRecord = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--window") == 0) {
            options.bDisplayInWindow = true;
        } else if (std::strcmp(argv[i], "--record") == 0) {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                std::fprintf(stderr, "%s: --record needs the video file to write\n", pszProgram);
                PrintUsage(stderr, pszProgram);
                return 2;
            }
            pszRecord = argv[++i];
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            PrintUsage(stdout, pszProgram);
            return 0;
        } else {
            std::fprintf(stderr, "%s: unknown option '%s'\n", pszProgram, argv[i]);
            PrintUsage(stderr, pszProgram);
            return 2;
        }
    }
    if (pszRecord && options.bDisplayInWindow) {
        std::fprintf(stderr, "%s: --record shows nothing, so --window does not go with it\n", pszProgram);
        return 2;
    }
    if (pszRecord)
        std::exit(host::RecordToVideo(pszRecord, kProductionSeconds, pszProgram, RunWinMain));
    std::string error;
    auto pHost = host::MakeSdlHost(error, options);
    if (!pHost) {
        std::fprintf(stderr, "%s: %s\n", pszProgram, error.c_str());
        return 1;
    }
    host::Install(std::move(pHost));
    std::exit(RunWinMain());
}
