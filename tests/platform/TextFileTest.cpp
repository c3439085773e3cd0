#include "platform/TextFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/DateTime.h"
#include "platform/Paths.h"
#include "support/TestSupport.h"

namespace tessaly {
namespace {

TEST(TextFile, LinesAcceptCrLfAndLoneLf) {
    EXPECT_EQ(SplitLines("a\r\nb\nc"), (TStrings{"a", "b", "c"}));
    EXPECT_EQ(SplitLines("a\r\n"), (TStrings{"a"}));
    EXPECT_EQ(SplitLines("a\r\n\r\n"), (TStrings{"a", ""}));
    EXPECT_EQ(SplitLines("a\rb\n"), (TStrings{"a\rb"}));  // a lone CR stays in the line
    EXPECT_TRUE(SplitLines("").empty());
    EXPECT_EQ(JoinLinesCrLf({"a", ""}), "a\r\n\r\n");
}

TEST(TextFile, WriteIsAtomicAndKeepsPermissions) {
    test::TTempDir dir;
    const std::string path = dir.File("options.box");
    WriteTextLines(path, {"[Visual]", "MaxJobs=75"});
    EXPECT_EQ(ReadFileBytes(path), "[Visual]\r\nMaxJobs=75\r\n");
    chmod(path.c_str(), 0600);
    WriteFileAtomic(path, "x");
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(ListDirectory(dir.Path()), (std::vector<std::string>{"options.box"}));
}

TEST(TextFile, FailedWriteLeavesOldFileAndNoTemporary) {
    test::TTempDir dir;
    const std::string sub = dir.File("sub");
    ASSERT_TRUE(ForceDirectories(sub));
    const std::string path = JoinPath(sub, "a.txt");
    WriteFileAtomic(path, "old");
    if (geteuid() == 0) GTEST_SKIP() << "root ignores directory permissions";
    chmod(sub.c_str(), 0500);
    EXPECT_THROW(WriteFileAtomic(path, "new"), EFileError);
    chmod(sub.c_str(), 0700);
    EXPECT_EQ(ReadFileBytes(path), "old");
    EXPECT_EQ(ListDirectory(sub).size(), 1u);
}

TEST(TextFile, RenameOntoDirectoryFailsCleanly) {
    // Works as root too: a directory cannot be replaced by a file.
    test::TTempDir dir;
    const std::string target = dir.File("target");
    ASSERT_TRUE(ForceDirectories(JoinPath(target, "inner")));
    EXPECT_THROW(WriteFileAtomic(target, "data"), EFileError);
    EXPECT_TRUE(DirectoryExists(target));
    EXPECT_EQ(ListDirectory(dir.Path()), (std::vector<std::string>{"target"}));
}

TEST(TextFile, MissingFileIsAnErrorNamingIt) {
    try {
        ReadFileBytes("/nonexistent/x.box");
        FAIL();
    } catch (const EFileError& e) {
        EXPECT_NE(std::string(e.what()).find("/nonexistent/x.box"), std::string::npos);
    }
}

TEST(Paths, JoinAndSplit) {
    EXPECT_EQ(JoinPath("a/", "/b"), "a/b");
    EXPECT_EQ(JoinPath("", "b"), "b");
    EXPECT_EQ(BaseName("a/b/c.tbl"), "c.tbl");
    EXPECT_EQ(DirName("a/b/c.tbl"), "a/b");
    EXPECT_EQ(DirName("c.tbl"), "");
    EXPECT_EQ(DirName("/c"), "/");
}

TEST(DateTime, TextJoinsDateAndTimeWithAt) {
    // 2001-02-03 04:05:06 UTC in the C locale.
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ(DateTimeText(981173106), "02/03/01 @ 04:05:06");
}

}  // namespace
}  // namespace tessaly
