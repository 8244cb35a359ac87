#include "platform/standin/kernel.h"

#include <chrono>
#include <thread>

// The stand-in runs one process at the host's own priority; the calls succeed without effect,
// which is all the system asks of them.
HANDLE WINAPI GetCurrentProcess()
{
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));
}

HANDLE WINAPI GetCurrentThread()
{
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-2));
}

BOOL WINAPI SetPriorityClass(HANDLE, DWORD)
{
    return TRUE;
}

BOOL WINAPI SetThreadPriority(HANDLE, int)
{
    return TRUE;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName)
{
    // The program's own module; other modules are not known here.
    static char s_module;
    return lpModuleName ? nullptr : reinterpret_cast<HMODULE>(&s_module);
}

void WINAPI Sleep(DWORD dwMilliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds));
}
