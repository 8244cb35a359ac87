// The process entry in the browser: the web host, then WinMain; its result goes to the page
// through exit, which ends the runtime (the atexit list, the workers) and tells the page.
#include <cstdlib>

#include "platform/host/web/web.h"
#include "platform/win32.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nShowCmd);

int main()
{
    host::Install(host::MakeWebHost());
    static char szCommandLine[] = "";
    std::exit(WinMain(GetModuleHandleA(nullptr), nullptr, szCommandLine, SW_SHOWDEFAULT));
}
