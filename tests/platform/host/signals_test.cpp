// The signals that end a run: noted, not acted on, so that the run ends by its own quit path; a
// second one ends the process at once, taking its unfinished file with it. Each in a child process,
// whose handlers they change.
#ifndef _WIN32
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/host/signals.h"
#include "tests/child.h"
#include "tests/test_files.h"

namespace {

const char* const kUnfinished = "signals_test_unfinished.mp4";

bool Readable(int fd)
{
    pollfd p = {fd, POLLIN, 0};
    return poll(&p, 1, 0) == 1;
}

}  // namespace

// Each of the three is noted (the first one only), and the process goes on.
CHILD_SCENARIO(signals_noted)
{
    const int nSignal = std::stoi(std::getenv("VADURER_TEST_SIGNAL"));
    if (host::EndSignal() != 0 || host::EndSignalFd() != -1)
        return 10;
    host::CatchEndSignals();
    if (host::EndSignalFd() < 0 || Readable(host::EndSignalFd()))
        return 11;
    raise(nSignal);
    if (host::EndSignal() != nSignal || !Readable(host::EndSignalFd()))
        return 12;
    return 0;
}

// Asked twice, the process ends by the signal at once and its unfinished file goes.
CHILD_SCENARIO(signals_twice)
{
    host::CatchEndSignals();
    host::RemoveOnSecondSignal(kUnfinished);
    raise(SIGINT);
    if (host::EndSignal() != SIGINT)
        return 20;
    raise(SIGTERM);
    return 21;  // not reached
}

// A file no longer named is left alone.
CHILD_SCENARIO(signals_twice_nothing_named)
{
    host::CatchEndSignals();
    host::RemoveOnSecondSignal(kUnfinished);
    host::RemoveOnSecondSignal("");
    raise(SIGHUP);
    raise(SIGHUP);
    return 31;
}

namespace {

TEST(EndSignals, EachIsNotedAndTheRunGoesOnToItsOwnEnd)
{
    for (int nSignal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(nSignal);
        setenv("VADURER_TEST_SIGNAL", std::to_string(nSignal).c_str(), 1);
        EXPECT_EQ(RunChildProcess("signals_noted"), 0);
    }
}

TEST(EndSignals, ASecondSignalEndsTheProcessAtOnceAndRemovesTheUnfinishedFile)
{
    ASSERT_TRUE(testfiles::WriteAll(kUnfinished, testfiles::Bytes{1}));
    EXPECT_EQ(RunChildProcess("signals_twice"), -1) << "ended by the signal, not by an exit";
    EXPECT_TRUE(testfiles::ReadAll(kUnfinished).empty()) << "the unfinished file is gone";
    std::remove(kUnfinished);

    ASSERT_TRUE(testfiles::WriteAll(kUnfinished, testfiles::Bytes{1}));
    EXPECT_EQ(RunChildProcess("signals_twice_nothing_named"), -1);
    EXPECT_EQ(testfiles::ReadAll(kUnfinished), testfiles::Bytes{1});
    std::remove(kUnfinished);
}

}  // namespace
#endif
