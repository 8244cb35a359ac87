#include "platform/host.h"

#include "platform/host_headless.h"

namespace host {

namespace {
std::unique_ptr<Host> g_pHost;
}

Host& Current()
{
    if (!g_pHost) {
        auto p = std::make_unique<HeadlessHost>();
        p->InstallClock();
        g_pHost = std::move(p);
    }
    return *g_pHost;
}

void Install(std::unique_ptr<Host> pHost)
{
    g_pHost = std::move(pHost);
}

}  // namespace host
