// The process entry on hosts other than Windows: the SDL host, then WinMain with the module's
// instance, and exit with its result so that the atexit list runs as it does on Windows.
#include <cstdio>
#include <cstdlib>

#include "platform/host/sdl/sdl.h"
#include "platform/win32.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nShowCmd);

int main(int, char**)
{
    std::string error;
    auto pHost = host::MakeSdlHost(error);
    if (!pHost) {
        std::fprintf(stderr, "vadurer: %s\n", error.c_str());
        return 1;
    }
    host::Install(std::move(pHost));
    static char szCommandLine[] = "";
    std::exit(WinMain(GetModuleHandleA(nullptr), nullptr, szCommandLine, SW_SHOWDEFAULT));
}
