#include "tests/threaded.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>

#if defined(VADURER_COUNT_THREADS)
#include <dlfcn.h>
#include <pthread.h>
#endif

namespace {

std::set<std::string>& Declared()
{
    static std::set<std::string> s_suites;
    return s_suites;
}

std::atomic<long> g_nThreadsStarted{0};

#if defined(VADURER_COUNT_THREADS)
class UndeclaredThreads : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override { m_nAtStart = g_nThreadsStarted.load(); }
    void OnTestEnd(const testing::TestInfo& info) override
    {
        const long nStarted = g_nThreadsStarted.load() - m_nAtStart;
        EXPECT_TRUE(nStarted == 0 || Declared().count(info.test_suite_name()))
            << info.test_suite_name() << "." << info.name() << " started " << nStarted
            << " thread(s): add THREADED_SUITE(" << info.test_suite_name()
            << ") beside it so that the ThreadSanitizer run takes the suite";
    }
    long m_nAtStart = 0;
};
#endif

}  // namespace

#if defined(VADURER_COUNT_THREADS)
// Every thread of the test program starts here, whoever asks (std::thread, the stand-in's threads,
// a library): the program's own definition comes before the C library's.
extern "C" int pthread_create(pthread_t* pThread, const pthread_attr_t* pAttr, void* (*pfn)(void*), void* pArg)
{
    using Create = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
    static const Create s_real = reinterpret_cast<Create>(dlsym(RTLD_NEXT, "pthread_create"));
    g_nThreadsStarted.fetch_add(1);
    return s_real(pThread, pAttr, pfn, pArg);
}
#endif

bool DeclareThreadedSuite(const char* pszSuite)
{
    Declared().insert(pszSuite);
    return true;
}

std::string ThreadedSuitesFilter(std::string* pError)
{
    std::set<std::string> present;
    const testing::UnitTest& unit = *testing::UnitTest::GetInstance();
    for (int i = 0; i < unit.total_test_suite_count(); ++i)
        present.insert(unit.GetTestSuite(i)->name());
    std::string filter;
    for (const std::string& suite : Declared()) {
        if (!present.count(suite)) {
            *pError = "THREADED_SUITE(" + suite + ") names no suite";
            return "";
        }
        filter += (filter.empty() ? "" : ":") + suite + ".*";
    }
    if (filter.empty())
        *pError = "no suite is declared threaded";
    return filter;
}

void WatchForUndeclaredThreads()
{
#if defined(VADURER_COUNT_THREADS)
    testing::UnitTest::GetInstance()->listeners().Append(new UndeclaredThreads);
#endif
}
