// The kernel of the stand-in. Events and threads are objects in one handle table; every wait
// and every change of a signal state happens under one lock with one condition, which is all
// a program with a handful of waiters needs and keeps "wait for all" atomic.
#include "platform/standin/kernel.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/standin/faults.h"
#include "platform/standin/testing.h"

namespace {

// The pseudo-handles that stand for the calling process and thread.
const HANDLE kCurrentProcess = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));
const HANDLE kCurrentThread = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-2));

struct Object {
    enum class Kind { Event, Thread } kind = Kind::Event;
    bool bManualReset = false;  // events; a thread stays signalled once it has ended
    bool bSignalled = false;
    DWORD dwExitCode = STILL_ACTIVE;
    // Threads made here: what the thread waits on while it is blocked in a wait.
    bool bWaiting = false, bWaitAll = false;
    std::vector<std::shared_ptr<Object>> waitingOn;
};

struct Kernel {
    std::mutex mutex;
    std::condition_variable changed;
    std::map<uintptr_t, std::shared_ptr<Object>> handles;
    uintptr_t nNext = 0x1000;                   // handle values are never used twice
    std::set<std::shared_ptr<Object>> running;  // threads made here that have not ended
};

Kernel& K()
{
    static Kernel* k = new Kernel;  // threads may still end while static objects are destroyed
    return *k;
}

thread_local DWORD t_dwLastError = ERROR_SUCCESS;
thread_local Object* t_pSelf = nullptr;  // the calling thread's object if it was made here

HANDLE AddLocked(std::shared_ptr<Object> p)
{
    uintptr_t n = K().nNext;
    K().nNext += 4;
    K().handles[n] = std::move(p);
    return reinterpret_cast<HANDLE>(n);
}

Object* FindLocked(HANDLE h)
{
    auto it = K().handles.find(reinterpret_cast<uintptr_t>(h));
    return it == K().handles.end() ? nullptr : it->second.get();
}

Object* FindEventLocked(HANDLE h)
{
    Object* p = FindLocked(h);
    if (!p || p->kind != Object::Kind::Event) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return p;
}

// A satisfied wait takes the signal of an auto-reset event.
void ConsumeLocked(Object& o)
{
    if (o.kind == Object::Kind::Event && !o.bManualReset)
        o.bSignalled = false;
}

// WAIT_OBJECT_0 + i if the wait is satisfied now, WAIT_TIMEOUT if not.
DWORD TryWaitLocked(const std::vector<std::shared_ptr<Object>>& objects, bool bAll)
{
    if (bAll) {
        for (const auto& p : objects)
            if (!p->bSignalled)
                return WAIT_TIMEOUT;
        for (const auto& p : objects)
            ConsumeLocked(*p);
        return WAIT_OBJECT_0;
    }
    for (size_t i = 0; i < objects.size(); ++i) {
        if (objects[i]->bSignalled) {
            ConsumeLocked(*objects[i]);
            return WAIT_OBJECT_0 + static_cast<DWORD>(i);
        }
    }
    return WAIT_TIMEOUT;
}

bool SatisfiableLocked(const Object& thread)
{
    if (thread.bWaitAll)
        return std::all_of(thread.waitingOn.begin(), thread.waitingOn.end(),
                           [](const auto& p) { return p->bSignalled; });
    return std::any_of(thread.waitingOn.begin(), thread.waitingOn.end(), [](const auto& p) { return p->bSignalled; });
}

bool SettledLocked()
{
    for (const auto& p : K().running)
        if (!p->bWaiting || SatisfiableLocked(*p))
            return false;
    return true;
}

struct ThreadStart {
    LPTHREAD_START_ROUTINE pfnRoutine;
    LPVOID pParameter;
    std::shared_ptr<Object> pThread;
};

void RunThread(ThreadStart start)
{
    t_pSelf = start.pThread.get();
    DWORD dwCode = start.pfnRoutine(start.pParameter);
    std::lock_guard<std::mutex> lock(K().mutex);
    K().running.erase(start.pThread);
    start.pThread->dwExitCode = dwCode;
    start.pThread->bSignalled = true;
    K().changed.notify_all();
}

}  // namespace

// The stand-in runs one process at the host's own priority; the calls succeed without effect,
// which is all the system asks of them.
HANDLE WINAPI GetCurrentProcess()
{
    return kCurrentProcess;
}

HANDLE WINAPI GetCurrentThread()
{
    return kCurrentThread;
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

DWORD WINAPI GetLastError()
{
    return t_dwLastError;
}

void WINAPI SetLastError(DWORD dwErrCode)
{
    t_dwLastError = dwErrCode;
}

HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState, LPCSTR)
{
    if (standin::ShouldFail("CreateEventA")) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto p = std::make_shared<Object>();
    p->kind = Object::Kind::Event;
    p->bManualReset = bManualReset != FALSE;
    p->bSignalled = bInitialState != FALSE;
    std::lock_guard<std::mutex> lock(K().mutex);
    return AddLocked(std::move(p));
}

BOOL WINAPI SetEvent(HANDLE hEvent)
{
    std::lock_guard<std::mutex> lock(K().mutex);
    Object* p = FindEventLocked(hEvent);
    if (!p)
        return FALSE;
    p->bSignalled = true;
    K().changed.notify_all();
    return TRUE;
}

BOOL WINAPI ResetEvent(HANDLE hEvent)
{
    std::lock_guard<std::mutex> lock(K().mutex);
    Object* p = FindEventLocked(hEvent);
    if (!p)
        return FALSE;
    p->bSignalled = false;
    return TRUE;
}

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds)
{
    return WaitForMultipleObjects(1, &hHandle, FALSE, dwMilliseconds);
}

DWORD WINAPI WaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll, DWORD dwMilliseconds)
{
    if (nCount == 0 || nCount > MAXIMUM_WAIT_OBJECTS || !lpHandles) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::unique_lock<std::mutex> lock(K().mutex);
    // The objects are held for the whole wait, so a handle closed meanwhile cannot pull them away.
    std::vector<std::shared_ptr<Object>> objects;
    for (DWORD i = 0; i < nCount; ++i) {
        auto it = K().handles.find(reinterpret_cast<uintptr_t>(lpHandles[i]));
        if (it == K().handles.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        objects.push_back(it->second);
    }
    bool bAll = bWaitAll != FALSE;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(dwMilliseconds);
    struct Waiting {
        Object* pSelf;
        ~Waiting()
        {
            if (pSelf) {
                pSelf->bWaiting = false;
                pSelf->waitingOn.clear();
            }
        }
    } waiting{t_pSelf};
    for (;;) {
        DWORD dwResult = TryWaitLocked(objects, bAll);
        if (dwResult != WAIT_TIMEOUT)
            return dwResult;
        if (t_pSelf && !t_pSelf->bWaiting) {
            t_pSelf->bWaiting = true;
            t_pSelf->bWaitAll = bAll;
            t_pSelf->waitingOn = objects;
            K().changed.notify_all();  // someone may be waiting for this thread to settle
        }
        if (dwMilliseconds == INFINITE)
            K().changed.wait(lock);
        else if (K().changed.wait_until(lock, deadline) == std::cv_status::timeout)
            return TryWaitLocked(objects, bAll);
    }
}

HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE lpStartAddress, LPVOID lpParameter,
                           DWORD dwCreationFlags, LPDWORD lpThreadId)
{
    // Threads that start suspended are not needed here.
    if (!lpStartAddress || (dwCreationFlags & CREATE_SUSPENDED)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (standin::ShouldFail("CreateThread")) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto p = std::make_shared<Object>();
    p->kind = Object::Kind::Thread;
    HANDLE h;
    DWORD dwId;
    {
        std::lock_guard<std::mutex> lock(K().mutex);
        h = AddLocked(p);
        K().running.insert(p);
        dwId = static_cast<DWORD>(reinterpret_cast<uintptr_t>(h));
    }
    // The thread runs on its own; its handle only watches it, as on Windows.
    try {
        std::thread(RunThread, ThreadStart{lpStartAddress, lpParameter, p}).detach();
    } catch (const std::system_error&) {
        std::lock_guard<std::mutex> lock(K().mutex);
        K().handles.erase(reinterpret_cast<uintptr_t>(h));
        K().running.erase(p);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (lpThreadId)
        *lpThreadId = dwId;
    return h;
}

BOOL WINAPI GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode)
{
    std::lock_guard<std::mutex> lock(K().mutex);
    Object* p = FindLocked(hThread);
    if (!p || p->kind != Object::Kind::Thread) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!lpExitCode) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *lpExitCode = p->dwExitCode;
    return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE hObject)
{
    std::lock_guard<std::mutex> lock(K().mutex);
    if (K().handles.erase(reinterpret_cast<uintptr_t>(hObject)) == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

namespace standin {

bool WaitForThreadsToSettle(DWORD dwTimeoutMs)
{
    std::unique_lock<std::mutex> lock(K().mutex);
    return K().changed.wait_for(lock, std::chrono::milliseconds(dwTimeoutMs), [] { return SettledLocked(); });
}

}  // namespace standin
