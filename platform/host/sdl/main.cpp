// The process entry on hosts other than Windows: the options (the system itself takes none), the
// SDL host, then WinMain with the module's instance, and exit with its result so that the atexit
// list runs as it does on Windows.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/host/sdl/sdl.h"
#include "platform/win32.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nShowCmd);

namespace {

void PrintUsage(FILE* pOut, const char* pszProgram)
{
    std::fprintf(pOut,
                 "usage: %s [--window] [--help]\n"
                 "  --window  show the 640 x 480 display in a desktop window (resizable) instead of\n"
                 "            over the whole screen\n"
                 "  --help    show this text and exit\n",
                 pszProgram);
}

}  // namespace

int main(int argc, char** argv)
{
    const char* pszProgram = argc > 0 && argv[0] ? argv[0] : "vadurer";
    host::SdlOptions options;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--window") == 0) {
            options.bDisplayInWindow = true;
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            PrintUsage(stdout, pszProgram);
            return 0;
        } else {
            std::fprintf(stderr, "%s: unknown option '%s'\n", pszProgram, argv[i]);
            PrintUsage(stderr, pszProgram);
            return 2;
        }
    }
    std::string error;
    auto pHost = host::MakeSdlHost(error, options);
    if (!pHost) {
        std::fprintf(stderr, "%s: %s\n", pszProgram, error.c_str());
        return 1;
    }
    host::Install(std::move(pHost));
    static char szCommandLine[] = "";
    std::exit(WinMain(GetModuleHandleA(nullptr), nullptr, szCommandLine, SW_SHOWDEFAULT));
}
