#include "platform/host/signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace host {

namespace {

// Lock-free atomics, which a handler may touch.
static_assert(std::atomic<int>::is_always_lock_free, "the handler's atomics take no lock");
std::atomic<int> g_nSignal{0};
int g_fds[2] = {-1, -1};
// Read by the handler: a path written whole before the pointer to it is published.
char g_szRemove[2][4096];
std::atomic<int> g_nRemove{-1};  // which of the two holds the path; -1: none

void OnSignal(int nSignal)
{
    const int nSavedErrno = errno;
    if (g_nSignal.load() != 0) {
        // Asked twice: no more waiting on the quit path.
        const int nRemove = g_nRemove.load();
        if (nRemove >= 0)
            unlink(g_szRemove[nRemove]);
        signal(nSignal, SIG_DFL);
        raise(nSignal);
        return;
    }
    g_nSignal.store(nSignal);
    if (g_fds[1] >= 0) {
        char c = 1;
        ssize_t n = write(g_fds[1], &c, 1);
        (void)n;
    }
    errno = nSavedErrno;
}

}  // namespace

void CatchEndSignals()
{
    if (g_fds[0] >= 0)
        return;
    if (pipe2(g_fds, O_CLOEXEC | O_NONBLOCK) != 0)
        g_fds[0] = g_fds[1] = -1;
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = &OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int nSignal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(nSignal, &sa, nullptr);
}

int EndSignal()
{
    return g_nSignal.load();
}

int EndSignalFd()
{
    return g_fds[0];
}

void RemoveOnSecondSignal(const std::string& path)
{
    if (path.empty() || path.size() >= sizeof g_szRemove[0]) {
        g_nRemove = -1;
        return;
    }
    // Written into the copy the handler does not read, then handed over.
    const int nNext = g_nRemove.load() == 0 ? 1 : 0;
    std::memcpy(g_szRemove[nNext], path.c_str(), path.size() + 1);
    g_nRemove = nNext;
}

}  // namespace host
