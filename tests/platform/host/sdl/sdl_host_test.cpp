// The SDL host where it has no display to show a box on (SDL's dummy video driver): a program of
// its own, so that the unit tests never link SDL.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/host/sdl/sdl.h"
#include "platform/standin/types.h"

namespace {

// Runs fn with standard error going to a file; returns what was written.
template <typename Fn>
std::string CaptureStderr(Fn fn)
{
    const char* pszFile = "sdl_host_test_stderr.txt";
    std::fflush(stderr);
    int nSaved = dup(2);
    FILE* pFile = std::fopen(pszFile, "w");
    dup2(fileno(pFile), 2);
    fn();
    std::fflush(stderr);
    dup2(nSaved, 2);
    close(nSaved);
    std::fclose(pFile);
    std::ifstream in(pszFile);
    std::stringstream text;
    text << in.rdbuf();
    std::remove(pszFile);
    return text.str();
}

TEST(SdlHost, ABoxThatCannotBeShownIsOneLineOnStderrAndItsFirstButton)
{
    std::string error;
    auto pHost = host::MakeSdlHost(error);
    ASSERT_TRUE(pHost) << error;
    int nAnswer = 0;
    std::string text = CaptureStderr([&] {
        nAnswer = pHost->MessageBox("Assertion failed!", "Expression: hr==DS_OK\nFile: StreamSound\nLine: 18",
                                    MB_ABORTRETRYIGNORE | MB_ICONERROR);
    });
    EXPECT_EQ(nAnswer, IDABORT);
    EXPECT_EQ(text, "Assertion failed!: Expression: hr==DS_OK File: StreamSound Line: 18\n");
}

TEST(SdlHost, ItsClockIsTheWallClock)
{
    std::string error;
    auto pHost = host::MakeSdlHost(error);
    ASSERT_TRUE(pHost) << error;
    long nStart = pHost->NowMs();
    usleep(30000);
    long nElapsed = pHost->NowMs() - nStart;
    EXPECT_GE(nElapsed, 30);
    EXPECT_LT(nElapsed, 1000);
}

}  // namespace
