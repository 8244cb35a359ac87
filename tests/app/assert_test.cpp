// The program-wide assertion report, seen through the headless host: the box it shows, going
// on after Ignore or Retry, and the process ending after Abort (in a child process). Under Wine
// the report is a real message box that no test can answer, so these run natively only.
#ifndef _WIN32
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/Assert.h"
#include "platform/host_headless.h"
#include "platform/host_sdl.h"
#include "platform/win32.h"
#include "tests/child.h"

namespace {

const char kStderrFile[] = "assert_test_stderr.txt";

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class AssertReportTest : public testing::Test {
protected:
    host::HeadlessHost* m_pHost = nullptr;
    void SetUp() override { m_pHost = &host::UseHeadless(); }
};

TEST_F(AssertReportTest, BoxShowsExpressionBaseNameAndLine)
{
    m_pHost->QueueBoxAnswer(IDIGNORE);
    AssertReport("hr==DS_OK", "C:\\src\\sound\\StreamSound.cpp", 412);
    m_pHost->QueueBoxAnswer(IDIGNORE);
    AssertReport("FALSE", "/home/build/sound/wave.cpp", 7);
    ASSERT_EQ(m_pHost->Boxes().size(), 2u);

    const host::HeadlessHost::Box& box = m_pHost->Boxes()[0];
    EXPECT_EQ(box.caption, "Assertion failed");
    EXPECT_EQ(box.type & 0xFu, MB_ABORTRETRYIGNORE);
    EXPECT_TRUE(Contains(box.text, "hr==DS_OK")) << box.text;
    EXPECT_TRUE(Contains(box.text, "StreamSound")) << box.text;
    EXPECT_TRUE(Contains(box.text, "412")) << box.text;
    EXPECT_FALSE(Contains(box.text, "src")) << "only the base name: " << box.text;
    EXPECT_FALSE(Contains(box.text, ".cpp")) << "only the base name: " << box.text;

    const std::string& text = m_pHost->Boxes()[1].text;
    EXPECT_TRUE(Contains(text, "FALSE")) << text;
    EXPECT_TRUE(Contains(text, "wave")) << text;
    EXPECT_FALSE(Contains(text, "build")) << text;
    EXPECT_FALSE(Contains(text, "wave.cpp")) << text;
}

// The check's own line goes into the report, and a check that holds shows nothing.
TEST_F(AssertReportTest, MacroReportsOnlyAFailedCheckAndGoesOnAfterRetryOrIgnore)
{
    int nAfter = 0;
    ASSERT_AT(1 + 1 == 2, 10);
    EXPECT_TRUE(m_pHost->Boxes().empty());

    m_pHost->QueueBoxAnswer(IDRETRY);
    ASSERT_AT(nAfter == 1, 188);
    nAfter++;
    m_pHost->QueueBoxAnswer(IDIGNORE);
    ASSERT_AT(nAfter == 2, 590);
    nAfter++;
    EXPECT_EQ(nAfter, 2);
    ASSERT_EQ(m_pHost->Boxes().size(), 2u);
    EXPECT_TRUE(Contains(m_pHost->Boxes()[0].text, "nAfter == 1"));
    EXPECT_TRUE(Contains(m_pHost->Boxes()[0].text, "188"));
    EXPECT_TRUE(Contains(m_pHost->Boxes()[0].text, "assert_test"));
    EXPECT_TRUE(Contains(m_pHost->Boxes()[1].text, "590"));
}

// Abort, or a box that could not be shown at all, stops the process on the spot.
CHILD_SCENARIO(assert_abort)
{
    host::Headless()->QueueBoxAnswer(IDABORT);
    AssertReport("hr==DS_OK", "SoundBase.cpp", 50);
    return 0;  // not reached
}

CHILD_SCENARIO(assert_no_box)
{
    host::Headless()->QueueBoxAnswer(0);
    AssertReport("hr==DS_OK", "SoundBase.cpp", 51);
    return 0;
}

CHILD_SCENARIO(assert_ignore)
{
    host::Headless()->QueueBoxAnswer(IDIGNORE);
    AssertReport("hr==DS_OK", "SoundBase.cpp", 52);
    return 42;  // went on after the check
}

// Without a display the SDL host can ask no one: the report is one line on standard error and
// the process stops.
CHILD_SCENARIO(assert_without_display)
{
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    std::string error;
    std::unique_ptr<host::Host> pHost = host::MakeSdlHost(error);
    if (!pHost)
        return 77;
    host::Install(std::move(pHost));
    if (std::freopen(kStderrFile, "w", stderr) == nullptr)
        return 78;
    AssertReport("m_lpDSBuffer!=NULL", "sound/StaticSoundBuffer.cpp", 99);
    return 0;
}

TEST(AssertReportProcess, AbortEndsTheProcessAndIgnoreGoesOn)
{
    EXPECT_EQ(RunChildProcess("assert_abort"), 3);
    EXPECT_EQ(RunChildProcess("assert_no_box"), 3);
    EXPECT_EQ(RunChildProcess("assert_ignore"), 42);
}

TEST(AssertReportProcess, WithoutADisplayOneLineOnStandardErrorAndTheProcessStops)
{
    std::remove(kStderrFile);
    int nCode = RunChildProcess("assert_without_display");
    if (nCode == 77)
        GTEST_SKIP() << "SDL's dummy video driver is not available";
    EXPECT_EQ(nCode, 3);
    std::string text;
    if (std::FILE* f = std::fopen(kStderrFile, "r")) {
        int c;
        while ((c = std::fgetc(f)) != EOF)
            text.push_back(char(c));
        std::fclose(f);
    }
    std::remove(kStderrFile);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.find('\n'), text.size() - 1) << "one line: " << text;
    EXPECT_TRUE(Contains(text, "Assertion failed")) << text;
    EXPECT_TRUE(Contains(text, "m_lpDSBuffer!=NULL")) << text;
    EXPECT_TRUE(Contains(text, "StaticSoundBuffer")) << text;
    EXPECT_TRUE(Contains(text, "99")) << text;
}

}  // namespace
#endif
