// Test entry: one line per suite and a closing count, the same natively and under Wine.
// Natively the stand-in runs on the headless host, so no display or sound card is needed.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/child.h"
#include "tests/threaded.h"
#ifndef _WIN32
#include "platform/host/headless/headless.h"
#endif

namespace {

class SuiteLines : public testing::EmptyTestEventListener {
    void OnTestSuiteEnd(const testing::TestSuite& suite) override
    {
        std::printf("suite %-28s %3d passed, %d failed, %d skipped\n", suite.name(), suite.successful_test_count(),
                    suite.failed_test_count(), suite.skipped_test_count());
        std::fflush(stdout);
    }
    void OnTestProgramEnd(const testing::UnitTest& unit) override
    {
        const char* pszLabel = std::getenv("TESTS_LABEL");
        std::printf("%s: %d passed, %d failed, %d skipped\n", pszLabel ? pszLabel : TESTS_PLATFORM,
                    unit.successful_test_count(), unit.failed_test_count(), unit.skipped_test_count());
        std::fflush(stdout);
    }
};

}  // namespace

int main(int argc, char** argv)
{
    // The brief printer still reports every failure in full; passing tests get the suite lines.
    if (std::getenv("TESTS_VERBOSE") == nullptr)
        GTEST_FLAG_SET(brief, true);
    testing::InitGoogleTest(&argc, argv);
    SetTestProgramPath(argv[0]);
#ifndef _WIN32
    host::UseHeadless();
#endif
    if (argc >= 3 && std::strcmp(argv[1], "--child") == 0)
        return RunChild(argv[2]);

    // --threaded: only the suites whose code runs on more than one thread (ThreadSanitizer's run).
    if (argc >= 2 && std::strcmp(argv[1], "--threaded") == 0) {
        std::string error;
        std::string filter = ThreadedSuitesFilter(&error);
        if (filter.empty()) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 2;
        }
        GTEST_FLAG_SET(filter, filter);
    }
    WatchForUndeclaredThreads();
    testing::UnitTest::GetInstance()->listeners().Append(new SuiteLines);
    return RUN_ALL_TESTS();
}
