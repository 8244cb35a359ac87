// What a render may write to, decided before anything starts, and the name it writes under until
// the video is whole.
#ifndef _WIN32
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "platform/host/capture/record.h"
#include "tests/test_files.h"

namespace {

bool Refused(const std::string& path, bool bReplace, std::string& error)
{
    error.clear();
    return !host::CheckVideoTarget(path, bReplace, error);
}

TEST(RecordTarget, TheFourKindsAreTakenInAnyCaseAndAnyOtherEndingIsRefusedWithTheList)
{
    std::string error;
    for (const char* pszPath : {"a.mp4", "a.mkv", "a.mov", "a.webm", "A.MP4", "dir.v1/clip.WebM", "/tmp/x.y.mov"})
        EXPECT_FALSE(Refused(pszPath, false, error)) << pszPath << ": " << error;
    for (const char* pszPath : {"a.gif", "a.avi", "a.mp3", "a", "a.", ".mp4", "dir.mp4/clip", "a.mp4.part"}) {
        ASSERT_TRUE(Refused(pszPath, true, error)) << pszPath;
        EXPECT_EQ(error,
                  std::string("cannot write \"") + pszPath + "\": a video file's name ends in " + host::kVideoKinds);
    }
    EXPECT_STREQ(host::kVideoKinds, ".mp4, .mkv, .mov (H.264 and AAC) or .webm (VP9 and Opus)");
}

TEST(RecordTarget, AFileAlreadyThereIsReplacedOnlyWhenAskedAndAFolderNever)
{
    const std::string file = "record_test_there.mp4", folder = "record_test_folder.mkv";
    ASSERT_TRUE(testfiles::WriteAll(file, testfiles::Bytes{1, 2, 3}));
    mkdir(folder.c_str(), 0755);
    std::string error;
    EXPECT_TRUE(Refused(file, false, error));
    EXPECT_EQ(error, "\"" + file + "\" is already there; give --force to replace it");
    EXPECT_FALSE(Refused(file, true, error)) << error;
    EXPECT_TRUE(Refused(folder, true, error));
    EXPECT_EQ(error, "cannot write \"" + folder + "\": it is there and is no file");
    EXPECT_EQ(testfiles::ReadAll(file), (testfiles::Bytes{1, 2, 3})) << "a check changes nothing";
    std::remove(file.c_str());
    rmdir(folder.c_str());
}

TEST(RecordTarget, TheUnfinishedFileSitsBesideTheTargetWithItsEndingAndSaysWhatItIs)
{
    EXPECT_EQ(host::UnfinishedVideo("clip.mp4", 4242), "clip.unfinished-4242.mp4");
    EXPECT_EQ(host::UnfinishedVideo("/videos/Run.v2.WEBM", 7), "/videos/Run.v2.unfinished-7.WEBM");
    EXPECT_EQ(host::UnfinishedVideo("out/a.mkv", 1), "out/a.unfinished-1.mkv");
}

}  // namespace
#endif
