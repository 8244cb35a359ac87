#include "platform/host.h"

#include "platform/host_headless.h"

namespace host {

namespace {
// Never destroyed: objects that the system destroys at exit may still reach the stand-in then.
Host* g_pHost = nullptr;
}  // namespace

Host& Current()
{
    if (!g_pHost) {
        auto* p = new HeadlessHost;
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
