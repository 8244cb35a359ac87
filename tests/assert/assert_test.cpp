// The assertion report, answered through the headless host; a stop and a host that cannot show
// a box run in child processes.
#ifndef _WIN32
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "assert/Assert.h"
#include "platform/host/headless/headless.h"
#include "platform/win32.h"
#include "tests/child.h"
#include "tests/test_files.h"

namespace {

const char* const kStderrFile = "assert_test_stderr.txt";

std::string ReadText(const char* pszName)
{
    const testfiles::Bytes b = testfiles::ReadAll(pszName);
    return std::string(b.begin(), b.end());
}

TEST(AssertReport, ShowsExpressionBaseNameAndLineAndGoesOnWhenIgnored)
{
    host::HeadlessHost& h = host::UseHeadless();
    h.QueueBoxAnswer(host::BoxAnswer::Ignore);
    h.QueueBoxAnswer(host::BoxAnswer::Retry);
    AssertReport("nCount > 0", "C:\\src\\sound\\wave.cpp", 188);
    AssertReport("FALSE", "/home/build/sound/stream.cpp", 42);
    ASSERT_EQ(h.Boxes().size(), 2u) << "both answers let the program go on";
    const auto box = h.Boxes()[0];
    EXPECT_EQ(box.caption, "Assertion failed");
    EXPECT_NE(box.text.find("Expression: nCount > 0"), std::string::npos) << box.text;
    EXPECT_NE(box.text.find("File: wave\n"), std::string::npos) << box.text;
    EXPECT_NE(box.text.find("Line: 188"), std::string::npos) << box.text;
    EXPECT_EQ(box.buttons, host::BoxButtons::AbortRetryIgnore);
    EXPECT_TRUE(box.bError);
    EXPECT_NE(h.Boxes()[1].text.find("File: stream\n"), std::string::npos) << "a Unix path loses its folders too";
}

// The check's own line goes into the report, and a check that holds shows nothing.
TEST(AssertReport, MacroReportsOnlyAFailedCheckWithItsLine)
{
    host::HeadlessHost& h = host::UseHeadless();
    int nAfter = 0;
    ASSERT_AT(1 + 1 == 2, 10);
    EXPECT_TRUE(h.Boxes().empty());
    h.QueueBoxAnswer(host::BoxAnswer::Ignore);
    ASSERT_AT(nAfter == 1, 590);
    nAfter++;
    EXPECT_EQ(nAfter, 1) << "went on after the check";
    ASSERT_EQ(h.Boxes().size(), 1u);
    EXPECT_NE(h.Boxes()[0].text.find("Expression: nAfter == 1"), std::string::npos) << h.Boxes()[0].text;
    EXPECT_NE(h.Boxes()[0].text.find("File: assert_test\n"), std::string::npos) << h.Boxes()[0].text;
    EXPECT_NE(h.Boxes()[0].text.find("Line: 590"), std::string::npos) << h.Boxes()[0].text;
}

CHILD_SCENARIO(AssertAbortStops)
{
    host::UseHeadless().QueueBoxAnswer(host::BoxAnswer::Abort);
    AssertReport("FALSE", "wave.cpp", 590);
    return 0;
}

CHILD_SCENARIO(AssertNoBoxStops)
{
    host::UseHeadless().QueueBoxAnswer(host::BoxAnswer::None);  // the box could not be shown
    AssertReport("FALSE", "wave.cpp", 590);
    return 0;
}

CHILD_SCENARIO(AssertIgnoreGoesOn)
{
    host::UseHeadless().QueueBoxAnswer(host::BoxAnswer::Ignore);
    AssertReport("FALSE", "wave.cpp", 590);
    return 42;
}

CHILD_SCENARIO(AssertWithoutADisplay)
{
    // Nobody installed a host: the stand-in's own cannot ask anyone.
    if (!std::freopen(kStderrFile, "w", stderr))
        return 1;
    host::Install(nullptr);
    AssertReport("pBuffer != NULL", "sound/wave.cpp", 77);
    return 0;
}

TEST(AssertReport, AbortOrNoBoxEndsTheProcessAndIgnoreGoesOn)
{
    EXPECT_EQ(RunChildProcess("AssertAbortStops"), 3);
    EXPECT_EQ(RunChildProcess("AssertNoBoxStops"), 3);
    EXPECT_EQ(RunChildProcess("AssertIgnoreGoesOn"), 42);
}

TEST(AssertReport, WithoutADisplayItIsOneLineOnStderrAndAStop)
{
    for (const char* pszScenario : {"AssertWithoutADisplay"}) {
        SCOPED_TRACE(pszScenario);
        std::remove(kStderrFile);
        int nCode = RunChildProcess(pszScenario);
        const std::string text = ReadText(kStderrFile);
        std::remove(kStderrFile);
        EXPECT_EQ(nCode, 3);
        ASSERT_FALSE(text.empty());
        EXPECT_EQ(text.find('\n'), text.size() - 1) << "one line: " << text;
        EXPECT_EQ(text.rfind("Assertion failed: ", 0), 0u) << text;
        EXPECT_NE(text.find("Expression: pBuffer != NULL"), std::string::npos) << text;
        EXPECT_NE(text.find("File: wave"), std::string::npos) << text;
        EXPECT_NE(text.find("Line: 77"), std::string::npos) << text;
    }
}

// A file that did not load is named on standard error too, beside the box: missing, or there
// but not what the program can play; a check about no file says nothing there.
TEST(AssertReport, AFileThatDidNotLoadIsNamedOnStderrWithWhy)
{
    host::HeadlessHost& h = host::UseHeadless();
    testfiles::WriteAll("assert_test_not_a_wave.wav", testfiles::Bytes{'n', 'o', 't', ' ', 'R', 'I', 'F', 'F'});
    std::remove("assert_test_missing.wav");
    for (int i = 0; i < 3; ++i)
        h.QueueBoxAnswer(host::BoxAnswer::Ignore);
    testing::internal::CaptureStderr();
    AssertReport("WaveOpenFile(...) == 0", "sound/StreamSound.cpp", 17, "assert_test_missing.wav");
    AssertReport("WaveOpenFile(...) == 0", "sound/StreamSound.cpp", 17, "assert_test_not_a_wave.wav");
    AssertReport("hr==DS_OK", "sound/StaticSound.cpp", 33);
    const std::string text = testing::internal::GetCapturedStderr();
    std::remove("assert_test_not_a_wave.wav");
    ASSERT_EQ(h.Boxes().size(), 3u) << "the boxes are shown all the same";
    EXPECT_NE(h.Boxes()[0].text.find("It was reading \"assert_test_missing.wav\""), std::string::npos);
    EXPECT_EQ(text,
              "vadurer: \"assert_test_missing.wav\" did not load: No such file or directory (the check "
              "\"WaveOpenFile(...) == 0\" failed in StreamSound, line 17)\n"
              "vadurer: \"assert_test_not_a_wave.wav\" did not load: it is not a file this program can play (the "
              "check \"WaveOpenFile(...) == 0\" failed in StreamSound, line 17)\n");
}

}  // namespace
#endif
