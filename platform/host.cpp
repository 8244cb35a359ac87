#include "platform/host.h"

#include "platform/host_headless.h"

#include <cstdio>

#include "platform/types.h"

namespace host {

namespace {
// Never destroyed: objects that the system destroys at exit may still reach the stand-in then.
Host* g_pHost = nullptr;
}  // namespace

int AnswerOnStderr(const std::string& caption, const std::string& text, unsigned type)
{
    std::string line = text;
    for (char& c : line)
        if (c == '\n' || c == '\r')
            c = ' ';
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), line.c_str());
    switch (type & 0xF) {
    case MB_ABORTRETRYIGNORE: return IDABORT;
    case MB_YESNO:
    case MB_YESNOCANCEL: return IDYES;
    case MB_RETRYCANCEL: return IDRETRY;
    default: return IDOK;
    }
}

Host& Current()
{
    if (!g_pHost) {
        auto* p = new HeadlessHost;
        p->AnswerBoxesOnStderr();
        p->InstallClock();
        g_pHost = p;
    }
    return *g_pHost;
}

void Install(std::unique_ptr<Host> pHost)
{
    delete g_pHost;
    g_pHost = pHost.release();
}

}  // namespace host
