// The recorder's encoder, where it fails before ffmpeg runs: the reason in one line, and nothing
// left open behind it.
#ifndef _WIN32
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/resource.h>

#include <set>
#include <string>

#include "platform/host/capture/encoder.h"

namespace {

std::set<int> OpenDescriptors()
{
    std::set<int> fds;
    DIR* pDir = opendir("/proc/self/fd");
    if (!pDir)
        return fds;
    int nOwn = dirfd(pDir);
    while (dirent* p = readdir(pDir))
        if (p->d_name[0] != '.' && std::stoi(p->d_name) != nOwn)
            fds.insert(std::stoi(p->d_name));
    closedir(pDir);
    return fds;
}

// Lowers the limit on open descriptors for its lifetime so that exactly nFree more can be made.
class DescriptorLimit {
public:
    explicit DescriptorLimit(int nFree)
    {
        getrlimit(RLIMIT_NOFILE, &m_saved);
        std::set<int> open = OpenDescriptors();
        int fd = 0;
        for (int n = 0; n < nFree; ++fd)
            if (!open.count(fd))
                ++n;
        rlimit lowered = m_saved;
        lowered.rlim_cur = rlim_t(fd);
        m_bSet = setrlimit(RLIMIT_NOFILE, &lowered) == 0;
    }
    ~DescriptorLimit() { setrlimit(RLIMIT_NOFILE, &m_saved); }
    bool Set() const { return m_bSet; }

private:
    rlimit m_saved = {};
    bool m_bSet = false;
};

TEST(Encoder, PipesThatCannotAllBeMadeAreAllClosedAgain)
{
    for (int nFree : {1, 2, 3, 5, 7}) {  // the first, second, third or fourth pipe fails
        SCOPED_TRACE(nFree);
        std::set<int> before = OpenDescriptors();
        host::Encoder encoder;
        std::string error;
        bool bStarted;
        {
            DescriptorLimit limit(nFree);
            ASSERT_TRUE(limit.Set());
            bStarted = encoder.Start("/tmp/encoder_test.mp4", error);
        }
        EXPECT_FALSE(bStarted);
        EXPECT_EQ(error.rfind("cannot make the pipes to ffmpeg: ", 0), 0u) << error;
        EXPECT_EQ(OpenDescriptors(), before) << "every pipe made was closed again";
    }
}

TEST(Encoder, AFolderThatIsNotThereIsSaidBeforeAnythingIsMade)
{
    std::set<int> before = OpenDescriptors();
    host::Encoder encoder;
    std::string error;
    EXPECT_FALSE(encoder.Start("/nonexistent/folder/video.mp4", error));
    EXPECT_EQ(error, "cannot write \"/nonexistent/folder/video.mp4\": there is no folder \"/nonexistent/folder\"");
    EXPECT_EQ(OpenDescriptors(), before);
}

}  // namespace
#endif
