#include "platform/host/sdl/signal_wake.h"

#include <SDL.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include "platform/host/signals.h"

namespace host {

SignalWake::SignalWake()
{
    if (EndSignalFd() < 0)
        return;
    m_nType = SDL_RegisterEvents(1);
    if (m_nType == static_cast<uint32_t>(-1) || pipe2(m_stop, O_CLOEXEC) != 0)
        return;
    m_thread = std::thread([this] { Wait(); });
}

SignalWake::~SignalWake()
{
    if (m_thread.joinable()) {
        char c = 1;
        ssize_t n = write(m_stop[1], &c, 1);
        (void)n;
        m_thread.join();
    }
    for (int fd : m_stop)
        if (fd >= 0)
            close(fd);
}

void SignalWake::Wait()
{
    pollfd fds[2] = {{EndSignalFd(), POLLIN, 0}, {m_stop[0], POLLIN, 0}};
    for (;;) {
        if (poll(fds, 2, -1) < 0)
            continue;  // interrupted by the very signal, or another: look again
        if (fds[1].revents != 0)
            return;
        if (fds[0].revents != 0 && EndSignal() != 0) {
            // One wake is enough: the signal stays noted for every later look.
            SDL_Event e = {};
            e.type = m_nType;
            SDL_PushEvent(&e);
            return;
        }
    }
}

}  // namespace host
