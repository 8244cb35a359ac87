// Events, waits and threads: the same tests against the stand-in and, under Wine, kernel32.
#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "platform/win32.h"
#include "tests/threaded.h"
#ifndef _WIN32
#include "platform/standin/testing.h"
#endif

namespace {

struct Handle {
    HANDLE h;
    explicit Handle(HANDLE handle) : h(handle) {}
    ~Handle()
    {
        if (h)
            CloseHandle(h);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    operator HANDLE() const { return h; }
};

HANDLE AutoEvent(bool bSignalled = false)
{
    return CreateEventA(nullptr, FALSE, bSignalled ? TRUE : FALSE, nullptr);
}

HANDLE ManualEvent(bool bSignalled = false)
{
    return CreateEventA(nullptr, TRUE, bSignalled ? TRUE : FALSE, nullptr);
}

TEST(KernelEvents, AutoResetIsTakenByOneWaitManualResetStaysUntilReset)
{
    Handle autoEvent(AutoEvent(true));
    Handle manual(ManualEvent(true));
    ASSERT_TRUE(autoEvent.h && manual.h);
    EXPECT_EQ(WaitForSingleObject(autoEvent, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(autoEvent, 0), WAIT_TIMEOUT) << "the first wait took the signal";
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0) << "a manual-reset event stays set";
    EXPECT_TRUE(ResetEvent(manual));
    EXPECT_EQ(WaitForSingleObject(manual, 10), WAIT_TIMEOUT);
    EXPECT_TRUE(SetEvent(autoEvent));
    EXPECT_TRUE(SetEvent(autoEvent)) << "setting a set event is no error";
    EXPECT_EQ(WaitForSingleObject(autoEvent, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(autoEvent, 0), WAIT_TIMEOUT) << "two sets are one signal";
}

TEST(KernelEvents, WaitForAnyGivesTheLowestSignalledIndexAndTakesOnlyThat)
{
    Handle a(AutoEvent()), b(AutoEvent(true)), c(AutoEvent(true));
    HANDLE handles[] = {a, b, c};
    EXPECT_EQ(WaitForMultipleObjects(3, handles, FALSE, 0), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(WaitForMultipleObjects(3, handles, FALSE, 0), WAIT_OBJECT_0 + 2);
    EXPECT_EQ(WaitForMultipleObjects(3, handles, FALSE, 0), WAIT_TIMEOUT);
    SetEvent(a);
    SetEvent(c);
    EXPECT_EQ(WaitForMultipleObjects(3, handles, FALSE, 5), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(c, 0), WAIT_OBJECT_0) << "c kept its signal";
}

TEST(KernelEvents, WaitForAllTakesNothingUntilEveryObjectIsSignalled)
{
    Handle a(AutoEvent(true)), b(AutoEvent()), m(ManualEvent(true));
    HANDLE handles[] = {a, b, m};
    EXPECT_EQ(WaitForMultipleObjects(3, handles, TRUE, 10), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(a, 0), WAIT_OBJECT_0) << "a kept its signal through the failed wait";
    SetEvent(a);
    SetEvent(b);
    EXPECT_EQ(WaitForMultipleObjects(3, handles, TRUE, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(a, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(b, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_OBJECT_0);
}

TEST(KernelEvents, ClosedNullAndForeignHandlesFailWithInvalidHandle)
{
    // Made first: Windows may give a closed handle's value to the next object made.
    Handle live(AutoEvent(true));
    HANDLE h = AutoEvent(true);
    ASSERT_TRUE(h);
    EXPECT_TRUE(CloseHandle(h));
    SetLastError(0);
    EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    SetLastError(0);
    EXPECT_FALSE(SetEvent(h));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(ResetEvent(h));
    EXPECT_FALSE(CloseHandle(h)) << "a handle closes once";
    EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
    HANDLE foreign = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x7FFC));
    EXPECT_EQ(WaitForSingleObject(foreign, 0), WAIT_FAILED);
    DWORD dwCode = 0;
    EXPECT_FALSE(GetExitCodeThread(foreign, &dwCode));

    HANDLE mixed[] = {live, h};
    EXPECT_EQ(WaitForMultipleObjects(2, mixed, FALSE, 0), WAIT_FAILED) << "one bad handle fails the whole wait";
    EXPECT_EQ(WaitForSingleObject(live, 0), WAIT_OBJECT_0) << "and takes no signal";
    HANDLE none[1] = {live};
    EXPECT_EQ(WaitForMultipleObjects(0, none, FALSE, 0), WAIT_FAILED);
}

struct TwoEvents {
    HANDLE events[2];
    HANDLE ack;
    std::vector<DWORD> woken;
    int nWakes = 0;
};

DWORD WINAPI WaitTwice(LPVOID p)
{
    auto* s = static_cast<TwoEvents*>(p);
    for (int i = 0; i < s->nWakes; ++i) {
        s->woken.push_back(WaitForMultipleObjects(2, s->events, FALSE, 5000));
        SetEvent(s->ack);
    }
    return 7;
}

THREADED_SUITE(KernelThreads);  // the stand-in's threads and waits

TEST(KernelThreads, AThreadWaitingOnTwoEventsWakesOncePerSetWithItsIndex)
{
    Handle a(AutoEvent()), b(AutoEvent()), ack(AutoEvent());
    TwoEvents s{{a, b}, ack, {}, 5};
    Handle thread(CreateThread(nullptr, 0, WaitTwice, &s, 0, nullptr));
    ASSERT_TRUE(thread.h);
    for (HANDLE h : {a.h, b.h, b.h, a.h, b.h}) {
        SetEvent(h);
        ASSERT_EQ(WaitForSingleObject(ack, 5000), WAIT_OBJECT_0);
    }
    ASSERT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    std::vector<DWORD> expected = {WAIT_OBJECT_0, WAIT_OBJECT_0 + 1, WAIT_OBJECT_0 + 1, WAIT_OBJECT_0,
                                   WAIT_OBJECT_0 + 1};
    EXPECT_EQ(s.woken, expected);
}

struct Held {
    HANDLE release;
    std::atomic<bool> bRan{false};
};

DWORD WINAPI ReturnWhenReleased(LPVOID p)
{
    auto* s = static_cast<Held*>(p);
    s->bRan = true;
    WaitForSingleObject(s->release, INFINITE);
    return 42;
}

TEST(KernelThreads, ExitCodeIsStillActiveUntilTheRoutineReturnsThenItsResult)
{
    Handle release(ManualEvent());
    Held s{release};
    DWORD dwId = 0;
    Handle thread(CreateThread(nullptr, 0, ReturnWhenReleased, &s, 0, &dwId));
    ASSERT_TRUE(thread.h);
    EXPECT_NE(dwId, 0u);
    DWORD dwCode = 0;
    ASSERT_TRUE(GetExitCodeThread(thread, &dwCode));
    EXPECT_EQ(dwCode, static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_EQ(WaitForSingleObject(thread, 20), WAIT_TIMEOUT);
    SetEvent(release);
    ASSERT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    EXPECT_TRUE(s.bRan);
    ASSERT_TRUE(GetExitCodeThread(thread, &dwCode));
    EXPECT_EQ(dwCode, 42u);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0) << "an ended thread stays signalled";
}

struct PingPong {
    HANDLE ping, pong;
    int nRounds;
    int nSeen = 0;
};

DWORD WINAPI Ponger(LPVOID p)
{
    auto* s = static_cast<PingPong*>(p);
    for (int i = 0; i < s->nRounds; ++i) {
        if (WaitForSingleObject(s->ping, 5000) != WAIT_OBJECT_0)
            return 1;
        ++s->nSeen;
        SetEvent(s->pong);
    }
    return 0;
}

TEST(KernelThreads, TenThousandRoundTripsLoseNone)
{
    Handle ping(AutoEvent()), pong(AutoEvent());
    PingPong s{ping, pong, 10000};
    Handle thread(CreateThread(nullptr, 0, Ponger, &s, 0, nullptr));
    ASSERT_TRUE(thread.h);
    int nBack = 0;
    for (int i = 0; i < s.nRounds; ++i) {
        SetEvent(ping);
        if (WaitForSingleObject(pong, 5000) != WAIT_OBJECT_0)
            break;
        ++nBack;
    }
    ASSERT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    DWORD dwCode = 99;
    GetExitCodeThread(thread, &dwCode);
    EXPECT_EQ(dwCode, 0u);
    EXPECT_EQ(nBack, 10000);
    EXPECT_EQ(s.nSeen, 10000);
}

struct Relay {
    HANDLE release, done;
};

DWORD WINAPI SignalWhenReleased(LPVOID p)
{
    auto* s = static_cast<Relay*>(p);
    WaitForSingleObject(s->release, INFINITE);
    SetEvent(s->done);
    return 0;
}

TEST(KernelThreads, ClosingAThreadHandleLeavesTheThreadRunning)
{
    Handle release(ManualEvent()), done(ManualEvent());
    Relay s{release, done};
    HANDLE thread = CreateThread(nullptr, 0, SignalWhenReleased, &s, 0, nullptr);
    ASSERT_TRUE(thread);
    EXPECT_TRUE(CloseHandle(thread));
    SetEvent(release);
    EXPECT_EQ(WaitForSingleObject(done, 5000), WAIT_OBJECT_0);
}

#ifndef _WIN32
// The recorder's lockstep with the music thread: a woken thread has settled only once it has done
// its work and waits again, and a thread busy for longer than the timeout is reported.
struct Worker {
    HANDLE wake;
    std::atomic<int> nDone{0};
    std::atomic<bool> bStop{false};
    std::atomic<bool> bHold{false};  // busy until the test lets go, however slow the machine
};

DWORD WINAPI WorkWhenWoken(LPVOID p)
{
    auto* w = static_cast<Worker*>(p);
    while (WaitForSingleObject(w->wake, INFINITE) == WAIT_OBJECT_0 && !w->bStop) {
        Sleep(30);  // long enough that a settle which does not wait for it sees nothing done
        while (w->bHold)
            Sleep(1);
        ++w->nDone;
    }
    return 0;
}

TEST(KernelThreads, ThreadsSettleOnlyOnceEveryWokenThreadWaitsAgain)
{
    Handle wake(AutoEvent());
    Worker w{wake};
    Handle thread(CreateThread(nullptr, 0, WorkWhenWoken, &w, 0, nullptr));
    ASSERT_TRUE(thread.h);
    ASSERT_TRUE(standin::WaitForThreadsToSettle(5000));
    for (int i = 1; i <= 5; ++i) {
        SetEvent(wake);
        ASSERT_TRUE(standin::WaitForThreadsToSettle(5000));
        EXPECT_EQ(w.nDone, i) << "settled before the woken thread had done its work";
    }
    // Busy past the timeout: not settled, and said so.
    w.bHold = true;
    SetEvent(wake);
    EXPECT_FALSE(standin::WaitForThreadsToSettle(5));
    w.bHold = false;
    ASSERT_TRUE(standin::WaitForThreadsToSettle(5000));
    w.bStop = true;
    SetEvent(wake);
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    EXPECT_TRUE(standin::WaitForThreadsToSettle(5000)) << "an ended thread counts as settled";
}
#endif

}  // namespace
