// Wakes the SDL host wherever it waits (a pause, a box, a wait for a message) once a signal has
// asked the run to end (platform/host/signals.h): a thread of its own waits on the signals'
// descriptor and puts an event of its own in SDL's queue, which the waits return for and then
// find the signal noted.
#pragma once

#include <cstdint>
#include <thread>

namespace host {

class SignalWake {
public:
    // Needs SDL's events; does nothing where the signals are not caught.
    SignalWake();
    ~SignalWake();
    SignalWake(const SignalWake&) = delete;
    SignalWake& operator=(const SignalWake&) = delete;

private:
    void Wait();

    uint32_t m_nType = 0;
    int m_stop[2] = {-1, -1};
    std::thread m_thread;
};

}  // namespace host
