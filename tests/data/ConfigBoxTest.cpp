#include "data/ConfigBox.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>

#include "data/PackedFile.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "support/TestSupport.h"

namespace tessaly {
namespace {

TEST(ConfigBoxSyntax, CommentsHeadersKeysAndLaterLinesReplaceInPlace) {
    TConfigBox box;
    box.LoadFromText(
        "top=1\n;comment=x\n\n[Net]junk\nURL=http://a/?q=1&r=2\nKey=a\nkey=b\n"
        "[Net,Gold]\nKey=gold\n[Net]\nKey=c\nnoequals\n[broken\nx=y\n");
    EXPECT_EQ(box.ReadString("", "top"), "1");
    EXPECT_EQ(box.ReadString("", ";comment"), "");
    EXPECT_EQ(box.ReadString("Net", "URL"), "http://a/?q=1&r=2");
    EXPECT_EQ(box.ReadString("Net", "Key"), "c");
    EXPECT_EQ(box.ReadString("Net", "key"), "b");
    EXPECT_EQ(box.ReadString("Net", ""), "noequals");
    EXPECT_EQ(box.ReadString("", "x"), "y");  // a header without "]" names no section
    EXPECT_EQ(box.Items()[2].Key, "Key");     // the replaced value kept its place
    EXPECT_FALSE(box.Modified);
}

TEST(ConfigBoxSyntax, TextsThatHoldNoSettingsAreTold) {
    const std::pair<std::string, std::string> cases[] = {
        {"; c\r\n[A]\r\nK=>>>\r\nany text\r\n<<<\r\n[B,Pro]\r\nL=\r\n", ""},
        {"K=>>>\r\nnever closed", ""},
        {"", "it holds no settings"},
        {"\r\n; only a comment\r\n[Section]\r\n", "it holds no settings"},
        {"[A]\r\nK=1\r\nno equals sign\r\n", "line 3 is no setting"},
        {"K=1\r\nL=\x1b\x02\r\n", "line 2 is no setting"},
    };
    for (const auto& [text, problem] : cases)
        EXPECT_EQ(BoxTextProblem(text), problem) << text;
}

TEST(ConfigBoxEditions, QualifiedItemsSeenOnlyUnderTheirEdition) {
    TConfigBox box;
    box.LoadFromText("[S,Gold]\nA=gold\nOnly=g\n[S]\nA=plain\n");
    EXPECT_EQ(box.Edition, "");  // the last key line was unqualified
    EXPECT_EQ(box.ReadString("S", "Only"), "");
    EXPECT_EQ(box.ReadString("S", "A"), "plain");
    box.Edition = "Gold";
    EXPECT_EQ(box.ReadString("S", "Only"), "g");
    EXPECT_EQ(box.ReadString("S", "A"), "gold");  // earlier in the box's order
    box.WriteString("S", "New", "v");
    box.Edition = "";
    EXPECT_EQ(box.ReadString("S", "New"), "");

    TConfigBox last;
    last.LoadFromText("[S]\nA=1\n[S,Gold]\nB=2\n");
    EXPECT_EQ(last.Edition, "Gold");
}

TEST(ConfigBoxMultiLine, FramesEmptyLinesAndMissingClose) {
    TConfigBox box;
    box.LoadFromText(
        "[M]\nList=>>>\none\n\nthree\n<<<\nEmpty=>>>\n<<<\nBlank=\n"
        "Open=>>>\na\nb");
    EXPECT_EQ(box.ReadString("M", "List"), "one\r\n\r\nthree\r\n");
    EXPECT_EQ(box.ReadLine(2, "M", "List"), "three");
    EXPECT_EQ(box.ReadLine(3, "M", "List"), "");
    EXPECT_EQ(box.ReadLine(-1, "M", "List"), "");
    EXPECT_EQ(box.ReadString("M", "Empty"), "");
    EXPECT_EQ(box.ReadString("M", "Blank"), "");
    EXPECT_EQ(box.ReadString("M", "Open"), "a\r\nb\r\n");

    box.WriteString("M", "x", "y");
    TConfigBox again;
    again.LoadFromText(box.SaveToText());
    EXPECT_EQ(again.ReadString("M", "List"), "one\r\nthree\r\n");  // the empty line is lost
    EXPECT_EQ(again.ReadString("M", "Open"), "a\r\nb\r\n");
}

TEST(ConfigBoxSaveForms, SortedWrittenFormAndValuesThatNeedAFrame) {
    TConfigBox box;
    box.WriteString("B", "k", "v");
    box.WriteString("A", "z", "one\r\n");
    box.Edition = "Gold";
    box.WriteString("A", "a", "g");
    box.Edition = "";
    box.WriteString("", "top", "");
    box.WriteString("A", "lf", "x\ny=1");  // a stray LF must not make a key "y"
    box.WriteString("A", "arrows", ">>>");
    EXPECT_EQ(box.SaveToText(),
              // "A" "Gold" "a" sorts before "A" "" "arrows": upper case first.
              "\r\n[A,Gold]\r\na=g\r\n\r\n[A]\r\narrows=>>>\r\n>>>\r\n<<<\r\nlf=>>>\r\nx\r\ny="
              "1\r\n<<<\r\n"
              "z=>>>\r\none\r\n<<<\r\n\r\n[B]\r\nk=v\r\n"
              "\r\n[]\r\ntop=\r\n");
    TConfigBox again;
    again.LoadFromText(box.SaveToText());
    EXPECT_EQ(again.ReadString("A", "y"), "");
    EXPECT_EQ(again.ReadString("A", "z"), "one\r\n");
    EXPECT_EQ(again.ReadString("B", "k"), "v");
}

TEST(ConfigBoxFiles, HandWrittenLfFileLoadsAndUnmodifiedSaveWritesNothing) {
    test::TTempDir dir;
    const std::string path = dir.File("options.box");
    WriteFileBytes(path, "[Options]\nMax=50\n");
    TConfigBox box;
    box.LoadFromFile(path);
    EXPECT_EQ(box.ReadString("Options", "Max"), "50");
    box.SaveToFile(path);
    EXPECT_EQ(ReadFileBytes(path), "[Options]\nMax=50\n");

    box.WriteString("Options", "Max", "60");
    box.SaveToFile(path);
    EXPECT_FALSE(box.Modified);
    TConfigBox again;
    again.LoadFromFile(path);
    EXPECT_EQ(again.ReadString("Options", "Max"), "60");

    TConfigBox missing;
    missing.Modified = true;
    missing.LoadFromFile(dir.File("none.box"));
    EXPECT_TRUE(missing.Items().empty());
    EXPECT_FALSE(missing.Modified);
}

// A failure at each step of a save leaves the old file, no temporary file, and reaches
// the caller.
TEST(ConfigBoxFiles, FailedSaveKeepsThePreviousFile) {
    test::TTempDir dir;
    const std::string path = dir.File("id.box");
    WriteFileBytes(path, "old");
    for (TSaveStep failing : {TSaveStep::WriteTemp, TSaveStep::Pack, TSaveStep::Rename}) {
        SetSaveFaultHook(
            [failing](TSaveStep s, const std::string&) { return s == failing ? ENOSPC : 0; });
        TConfigBox box;
        box.WriteString("S", "k", "v");
        EXPECT_THROW(box.SaveToFile(path), EFileError);
        EXPECT_TRUE(box.Modified);
        EXPECT_EQ(ReadFileBytes(path), "old");
        EXPECT_EQ(ListDirectory(dir.Path()), std::vector<std::string>{"id.box"});
    }
    SetSaveFaultHook(nullptr);

    // A directory in the way of the target.
    const std::string blocked = dir.File("blocked.box");
    ASSERT_TRUE(ForceDirectories(blocked));
    TConfigBox box;
    box.WriteString("S", "k", "v");
    EXPECT_THROW(box.SaveToFile(blocked), EFileError);
    EXPECT_TRUE(DirectoryExists(blocked));
    EXPECT_FALSE(FileExists(blocked + ".tmp"));
    // A folder that does not exist.
    EXPECT_THROW(box.SaveToFile(dir.File("no/such.box")), EFileError);
}

}  // namespace
}  // namespace tessaly

namespace tessaly {
namespace {

TEST(ConfigBoxFiles, SavedBoxIsPackedAndLoadsBack) {
    test::TTempDir dir;
    const std::string path = dir.File("options.box");
    TConfigBox box;
    box.WriteString("Visual", "MaxJobs", "75");
    box.WriteString("Connection", "Proxy", "proxy.example.test");
    box.SaveToFile(path);
    EXPECT_EQ(ReadFileBytes(path).substr(0, 4), "TJPK");
    EXPECT_EQ(ListDirectory(dir.Path()), (std::vector<std::string>{"options.box"}));
    TConfigBox again;
    again.LoadFromFile(path);
    EXPECT_EQ(again.ReadString("Visual", "MaxJobs"), "75");
    EXPECT_EQ(again.ReadString("Connection", "Proxy"), "proxy.example.test");
}

}  // namespace
// A box that may hold a proxy password is private from its first save on, and a file
// left readable by an older version is made private when it is next written.
TEST(ConfigBoxFiles, PrivateModeIsGivenToNewAndReplacedFiles) {
    test::TTempDir dir;
    const std::string path = JoinPath(dir.Path(), "options.box");
    ::umask(022);
    TConfigBox box;
    box.WriteString("Connection", "ProxyPassword", "secret");
    box.SaveToFile(path, 0600);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);

    ::chmod(path.c_str(), 0644);
    box.WriteString("Connection", "ProxyUsername", "me");
    box.SaveToFile(path, 0600);
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);

    // Without a mode the permissions of the replaced file are kept.
    ::chmod(path.c_str(), 0640);
    box.WriteString("Visual", "Yellow", "True");
    box.SaveToFile(path);
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    TConfigBox back;
    back.LoadFromFile(path);
    EXPECT_EQ(back.ReadString("Connection", "ProxyPassword"), "secret");
}

}  // namespace tessaly
