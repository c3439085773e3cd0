// What the command line does with a user's data when something is wrong: a home given
// relatively, damaged files, failed saves, errors and their exit statuses.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <thread>

#include "data/PackedFile.h"
#include "data/VelaSearches.h"
#include "platform/ByteString.h"
#include "platform/Home.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "support/CliRun.h"
#include "support/TestBoards.h"
#include "support/TestSupport.h"

extern char** environ;

namespace tessaly::cli {
namespace {

// Changes the current directory for the life of the object.
class TChangeDir {
  public:
    explicit TChangeDir(const std::string& dir) : old_(std::filesystem::current_path()) {
        std::filesystem::current_path(dir);
    }
    ~TChangeDir() { std::filesystem::current_path(old_); }

  private:
    std::filesystem::path old_;
};

class DataSafety : public test::TLoopTest {
  protected:
    DataSafety() {
        home = Sandbox().File("home");
        ForceDirectories(home);
        boards.WriteHome(home);
        test::DisableBoards(home);
    }
    ~DataSafety() override { SetSaveFaultHook({}); }

    test::TCliRun Run(std::vector<std::string> argv) {
        argv.insert(argv.begin(), {"--home", home});
        return test::RunArgs(argv);
    }
    std::string Table(int n = 1) const {
        return JoinPath(home, "searches/velares~" + IntToStr(n) + ".tbl");
    }
    void Search() {
        auto r = Run({"search", "--offline", "--quiet", "welder"});
        ASSERT_EQ(r.status, kExitOk) << r.err.str() << r.out.str();
    }

    std::string home;
    test::TTestBoards boards;
};

TEST_F(DataSafety, RelativeHomeStoresAbsolutePathsAndNeverReachesAnotherHome) {
    const std::string a = Sandbox().File("A");
    const std::string b = Sandbox().File("B");
    ForceDirectories(JoinPath(a, "h"));
    ForceDirectories(JoinPath(b, "h"));
    boards.WriteHome(JoinPath(a, "h"));
    boards.WriteHome(JoinPath(b, "h"));
    test::DisableBoards(JoinPath(a, "h"));
    test::DisableBoards(JoinPath(b, "h"));
    for (const std::string& dir : {a, b}) {
        TChangeDir in(dir);
        auto r = test::RunArgs({"--home", "h", "search", "--offline", "--quiet", "welder"});
        ASSERT_EQ(r.status, kExitOk) << r.err.str();
    }
    // The index names tables below its home; grabbed copies are stored with absolute paths.
    const std::string indexA = SearchesIndexPath(JoinPath(a, "h"));
    EXPECT_NE(ReadFileBytes(indexA).find("\r\nsearches/velares~1.tbl\r\n"), std::string::npos)
        << ReadFileBytes(indexA);
    {
        TChangeDir in(a);
        ASSERT_EQ(test::RunArgs({"--home", "h", "grab", "1", "--job", "1"}).status, kExitOk);
    }
    auto shown = test::RunArgs({"--home", a + "/h", "show", "1", "--json"});
    EXPECT_NE(shown.out.str().find("\"LocalFile\": \"" + a + "/h/searches/velares~1/"),
              std::string::npos)
        << shown.out.str();

    // Deleting from the folder of the other home touches only the named home.
    const std::string tableB = JoinPath(b, "h/searches/velares~1.tbl");
    const std::string before = ReadFileBytes(tableB);
    {
        TChangeDir in(b);
        ASSERT_EQ(test::RunArgs({"--home", a + "/h", "delete", "1"}).status, kExitOk);
    }
    EXPECT_FALSE(FileExists(JoinPath(a, "h/searches/velares~1.tbl")));
    EXPECT_EQ(ReadFileBytes(tableB), before);
}

TEST_F(DataSafety, CopiedMovedAndLineFeedHomesKeepToTheirOwnTables) {
    Search();
    // An index as earlier versions wrote it: absolute table paths.
    const std::string index = SearchesIndexPath(home);
    WriteFileBytes(index,
                   ReplaceAll(ReadFileBytes(index), "\r\nsearches/", "\r\n" + home + "/searches/"));
    const std::string table = ReadFileBytes(Table());
    const std::string copy = Sandbox().File("copy");
    std::filesystem::copy(home, copy, std::filesystem::copy_options::recursive);
    auto r = test::RunArgs({"--home", copy, "delete", "1"});
    ASSERT_EQ(r.status, kExitOk) << r.err.str();
    EXPECT_FALSE(FileExists(JoinPath(copy, "searches/velares~1.tbl")));
    EXPECT_EQ(ReadFileBytes(Table()), table) << "the original's table is untouched";

    const std::string moved = Sandbox().File("moved\nhome");  // a line feed in its path too
    std::filesystem::rename(home, moved);
    r = test::RunArgs({"--home", moved, "show", "1"});
    ASSERT_EQ(r.status, kExitOk) << r.err.str();
    EXPECT_EQ(SplitLines(r.out.str()).size(), 3u) << r.out.str();
    r = test::RunArgs({"--home", moved, "search", "--offline", "--quiet", "welder"});
    ASSERT_EQ(r.status, kExitOk) << r.err.str();
    r = test::RunArgs({"--home", moved, "list"});
    EXPECT_EQ(r.status, kExitOk) << r.err.str();  // no search's table is orphaned
    EXPECT_EQ(SplitLines(r.out.str()).size(), 2u) << r.out.str();

    // A path outside the home whose file this home lacks is told, and nothing is deleted.
    ForceDirectories(JoinPath(home, "searches"));
    WriteFileBytes(Table(), table);
    const std::string movedIndex = SearchesIndexPath(moved);
    WriteFileBytes(movedIndex, ReplaceAll(ReadFileBytes(movedIndex), "\r\nsearches/velares~1.tbl",
                                          "\r\n" + Table()));
    DeleteFile(JoinPath(moved, "searches/velares~1.tbl"));
    r = test::RunArgs({"--home", moved, "list"});
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_NE(r.err.str().find(Table() + " outside this home"), std::string::npos) << r.err.str();
    test::RunArgs({"--home", moved, "delete", "1"});
    EXPECT_EQ(ReadFileBytes(Table()), table);
}

TEST_F(DataSafety, NoteWithLineBreaksKeepsEveryJob) {
    Search();
    auto r = Run({"note", "1", "2", "first\nsecond\r\nthird"});
    ASSERT_EQ(r.status, kExitOk) << r.err.str();
    r = Run({"show", "1", "--json"});
    ASSERT_EQ(r.status, kExitOk) << r.err.str();
    EXPECT_NE(r.out.str().find("\"Notes\": \"first\\nsecond\\r\\nthird\""), std::string::npos)
        << r.out.str();
    r = Run({"show", "1"});
    const TStrings rows = SplitLines(r.out.str());
    ASSERT_EQ(rows.size(), 3u) << r.out.str();
    for (const std::string& row : rows)
        EXPECT_EQ(Split(row, "\t").size(), 8u) << row;  // every job keeps its title and fields
    EXPECT_NE(r.out.str().find("first\\nsecond"), std::string::npos) << r.out.str();
}

TEST_F(DataSafety, ControlCharactersOfPagesAreShownEscaped) {
    Search();
    TVelaJobsList jobs;
    LoadWholeJobTable(jobs, Table());
    jobs[0].Title = std::string("Evil\x1b]0;owned\x07 \x7f\xc2\x9b\x01") + '\0' + "end";
    jobs[0].Notes = "tab\there";
    SaveJobTable(jobs, Table(), home);
    const std::string defs = Sandbox().File("evil.plain");
    WriteFileBytes(defs, "Version\r\n1\r\nTitle|0\r\nBad\x1b[2J\x07\r\nNoSuchKey|0\r\nx\x1b\r\n");
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"--home", home, "show", "1"},
          std::vector<std::string>{"--home", home, "show", "1", "--csv"},
          std::vector<std::string>{"--home", home, "show", "1", "--json"},
          std::vector<std::string>{"defs", "check", defs}}) {
        auto r = test::RunArgs(command);
        const std::string out = r.out.str() + r.err.str();
        for (const char c : {'\x1b', '\x07', '\x7f', '\x01', '\0'})
            EXPECT_EQ(out.find(c), std::string::npos) << command.back() << ": byte " << int(c);
        EXPECT_EQ(out.find("\xc2\x9b"), std::string::npos) << command.back() << "\n" << out;
        const std::string shown = command[0] == "defs"         ? "Bad\\x1B[2J"
                                  : command.back() == "--json" ? "Evil\\u001b]0;owned"
                                                               : "Evil\\x1B]0;owned";
        EXPECT_NE(out.find(shown), std::string::npos) << out;
    }
}

TEST_F(DataSafety, FifoTablesAndStaleTemporariesOfKilledSaves) {
    Search();
    // What saves killed half-way leave; files of other names stay.
    const std::vector<std::string> stale = {
        "searches/velares~1.tbl.tmp",      "searches/velares~2.tbl.new",
        "searches/velares.idx.tmp.a1B2c3", "options.box.tmp",
        "config.box.tmp.Zz9yX8",           "sources.def.new"};
    const std::vector<std::string> kept = {"searches/notes.tmp", "options.box.backup",
                                           "searches/velares~x.tbl.tmp", "mine.txt.new"};
    for (const auto& name : stale)
        WriteFileBytes(JoinPath(home, name), "x");
    for (const auto& name : kept)
        WriteFileBytes(JoinPath(home, name), "x");
    ASSERT_EQ(Run({"list"}).status, kExitOk);
    for (const auto& name : stale)
        EXPECT_FALSE(PathExists(JoinPath(home, name))) << name;
    for (const auto& name : kept)
        EXPECT_TRUE(PathExists(JoinPath(home, name))) << name;

    // Not while another process holds the home.
    WriteFileBytes(JoinPath(home, stale[0]), "x");
    {
        TInstanceLock other(home);
        ASSERT_TRUE(other.Acquired());
        EXPECT_EQ(Run({"list"}).status, kExitUsage);
    }
    EXPECT_TRUE(PathExists(JoinPath(home, stale[0])));

    DeleteFile(Table());
    ASSERT_EQ(mkfifo(Table().c_str(), 0600), 0);
    auto r = Run({"show", "1"});
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_NE(r.err.str().find("not a regular file"), std::string::npos) << r.err.str();
}

TEST_F(DataSafety, HomeFromAnySourceIsAbsoluteAndCanonical) {
    TChangeDir in(Sandbox().Path());
    const std::string here = std::filesystem::current_path().string();
    ::setenv("TESSALY_HOME", "./x/../rel/", 1);
    EXPECT_EQ(ResolveHomeDirectory(""), here + "/rel");
    ::unsetenv("TESSALY_HOME");
    EXPECT_EQ(ResolveHomeDirectory("home/"), here + "/home");
    std::filesystem::create_directory_symlink(home, Sandbox().File("link"));
    EXPECT_EQ(ResolveHomeDirectory("link"), std::filesystem::canonical(home).string());
}

TEST_F(DataSafety, RelativeTablePathsInAnOldIndexAreTakenBelowTheHome) {
    Search();
    const std::string index = SearchesIndexPath(home);
    // As an index written with "--home h" holds them.
    WriteFileBytes(index, ReplaceAll(ReadFileBytes(index), "\r\nsearches/", "\r\nh/searches/"));
    ASSERT_NE(ReadFileBytes(index).find("h/searches/velares~1.tbl"), std::string::npos);
    TChangeDir elsewhere(Sandbox().Path());  // holds no "h"
    auto r = Run({"show", "1"});
    ASSERT_EQ(r.status, kExitOk) << r.err.str();
    EXPECT_EQ(SplitLines(r.out.str()).size(), 3u) << r.out.str();
    r = Run({"update", "1", "--offline", "--quiet"});
    ASSERT_EQ(r.status, kExitOk) << r.err.str();
    r = Run({"list"});
    EXPECT_EQ(Split(SplitLines(r.out.str()).at(0), "\t").back(), "3") << r.out.str();
    EXPECT_NE(ReadFileBytes(index).find("\r\nsearches/velares~1.tbl\r\n"), std::string::npos)
        << ReadFileBytes(index);

    EXPECT_EQ(ResolveStoredPath("h/searches/velares~2.tbl", "/x/h"), "/x/h/searches/velares~2.tbl");
    EXPECT_EQ(ResolveStoredPath("searches/velares~2/a.htm", "/x/h"),
              "/x/h/searches/velares~2/a.htm");
    EXPECT_EQ(ResolveStoredPath("/abs/t.tbl", "/x/h"), "/abs/t.tbl");
    EXPECT_EQ(ResolveStoredPath("old.tbl", "/x/h"), "/x/h/old.tbl");
}

TEST_F(DataSafety, DamagedTableIsNeverWrittenOver) {
    Search();
    const std::string packed = ReadFileBytes(Table());
    std::string flipped = packed;
    flipped[flipped.size() / 2] = static_cast<char>(flipped[flipped.size() / 2] ^ 0x5A);
    const std::vector<std::pair<const char*, std::string>> damages = {
        {"one byte flipped", flipped},
        {"truncated", packed.substr(0, packed.size() / 2)},
        {"zero-filled", std::string(packed.size(), '\0')},
        {"plain, bad count", "V1.01\r\n\x01\xff\xfe\r\nTitle\r\n"},
    };
    const std::vector<std::vector<std::string>> commands = {
        {"update", "1", "--offline", "--quiet"},
        {"refine", "1", "--keywords", "TIG", "--no-download", "--quiet"},
        {"grab", "1", "--quiet"},
        {"note", "1", "1", "call"},
        {"highlight", "1", "1"},
        {"clear-grabbed", "1"},
        {"delete", "1"},
    };
    for (const auto& [name, bytes] : damages) {
        WriteFileBytes(Table(), bytes);
        for (const auto& command : commands) {
            auto r = Run(command);
            EXPECT_EQ(r.status, kExitUsage) << name << ": " << command[0] << "\n" << r.out.str();
            EXPECT_NE(r.err.str().find(Table()), std::string::npos)
                << name << ": " << command[0] << "\n"
                << r.err.str();
            EXPECT_EQ(ReadFileBytes(Table()), bytes) << name << ": " << command[0];
        }
        // Shown as empty, with the error.
        auto r = Run({"show", "1"});
        EXPECT_EQ(r.status, kExitUsage) << name;
        EXPECT_EQ(r.out.str(), "") << name;
        EXPECT_EQ(Run({"list"}).status, kExitOk) << name;
    }
    // Binary bytes of a message are shown escaped.
    auto r = Run({"show", "1"});
    EXPECT_NE(r.err.str().find("\\x01\\xFF\\xFE"), std::string::npos) << r.err.str();
    EXPECT_EQ(r.err.str().find('\x01'), std::string::npos);
}

TEST_F(DataSafety, FailedSavesAreErrorsNotCompletedRuns) {
    // No space left when the new search's table is written.
    SetSaveFaultHook([](TSaveStep step, const std::string& file) {
        return step == TSaveStep::WriteTemp && file.find(".tbl") != std::string::npos ? ENOSPC : 0;
    });
    auto r = Run({"search", "--offline", "welder"});
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_EQ(r.out.str().find("Search Completed."), std::string::npos) << r.out.str();
    EXPECT_EQ(r.out.str().find("Saved as search"), std::string::npos) << r.out.str();
    EXPECT_NE(r.err.str().find("No space left on device"), std::string::npos) << r.err.str();
    EXPECT_NE(r.err.str().find("Search Failed"), std::string::npos) << r.err.str();

    SetSaveFaultHook({});
    Search();
    const std::string before = ReadFileBytes(Table());
    SetSaveFaultHook(
        [](TSaveStep step, const std::string&) { return step == TSaveStep::Rename ? EACCES : 0; });
    r = Run({"refine", "1", "--keywords", "TIG", "--no-download"});
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_EQ(r.out.str().find("Refining Completed."), std::string::npos) << r.out.str();
    EXPECT_NE(r.err.str().find("cannot replace"), std::string::npos) << r.err.str();
    r = Run({"note", "1", "1", "call"});
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_NE(r.err.str().find("cannot replace"), std::string::npos) << r.err.str();
    EXPECT_EQ(ReadFileBytes(Table()), before);
}

TEST_F(DataSafety, CutShortIndexIsToldAndKeptAndOrphanedTablesAreNamed) {
    Search();
    Search();
    const std::string index = SearchesIndexPath(home);
    TStrings lines = SplitLines(ReadFileBytes(index));
    ASSERT_EQ(lines.size(), 13u);
    lines.resize(7);  // the count still says 2
    const std::string cut = JoinLinesCrLf(lines);
    WriteFileBytes(index, cut);
    auto r = Run({"list"});
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_EQ(SplitLines(r.out.str()).size(), 1u) << r.out.str();
    EXPECT_NE(r.err.str().find("counts 2 searches but holds only 1"), std::string::npos)
        << r.err.str();
    EXPECT_NE(r.err.str().find(Table(2) + " belongs to no saved search"), std::string::npos)
        << r.err.str();
    EXPECT_EQ(ReadFileBytes(index), cut);  // listing writes nothing

    // The next command that writes the index keeps the damaged one first.
    r = Run({"highlight", "1", "1"});
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_EQ(ReadFileBytes(index + ".damaged"), cut);
    r = Run({"list"});
    EXPECT_EQ(r.status, kExitUsage);  // only damage leaves a table no search names
    EXPECT_EQ(r.err.str().find("is damaged"), std::string::npos) << r.err.str();
    EXPECT_NE(r.err.str().find(Table(2) + " belongs to no saved search"), std::string::npos);
}

TEST_F(DataSafety, DamagedDefinitionsAndBoxesAreReported) {
    const std::string defs = JoinPath(home, "sources.def");
    const std::string plain = ReadFileBytes(defs);
    SaveTextSafely(defs, plain, true);
    ASSERT_EQ(Run({"list"}).status, kExitOk);
    std::string packed = ReadFileBytes(defs);
    packed[packed.size() - 3] = static_cast<char>(packed[packed.size() - 3] ^ 1);
    WriteFileBytes(defs, packed);
    auto r = Run({"list"});
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_NE(r.err.str().find(defs + " is damaged"), std::string::npos) << r.err.str();
    for (const std::string& bytes : {std::string(), std::string(plain.size(), '\0')}) {
        WriteFileBytes(defs, bytes);
        for (const char* command : {"list", "sources"}) {
            r = Run({command});
            EXPECT_EQ(r.status, kExitUsage) << command << " " << bytes.size();
            EXPECT_NE(r.err.str().find(defs + " holds no job-site definitions"), std::string::npos)
                << r.err.str();
        }
    }
    WriteFileBytes(defs, plain);

    // Boxes without NUL bytes that hold no settings: each told once, the defaults used.
    const std::string config = JoinPath(home, "config.box");
    for (const std::string& bytes : {std::string(), std::string("\r\n; only a comment\r\n"),
                                     std::string("\x7f\x45LF\x02\x01\x01 garbage\xff\r\n=x")}) {
        WriteFileBytes(config, bytes);
        r = Run({"list"});
        EXPECT_EQ(r.status, kExitUsage) << bytes;
        const size_t at = r.err.str().find(config + " is damaged");
        EXPECT_NE(at, std::string::npos) << r.err.str();
        EXPECT_EQ(r.err.str().find(config, at + 1), std::string::npos) << r.err.str();
        EXPECT_EQ(ReadFileBytes(config), bytes);
    }
    DeleteFile(config);

    const std::string options = JoinPath(home, "options.box");
    const std::string optionsText = ReadFileBytes(options);
    WriteFileBytes(options, std::string(300, '\0'));
    r = Run({"search", "--offline", "welder"});
    EXPECT_EQ(r.status, kExitUsage);
    const std::string err = r.err.str();
    const size_t first = err.find(options + " is damaged");
    ASSERT_NE(first, std::string::npos) << err;
    EXPECT_EQ(err.find(options, first + 1), std::string::npos) << "told once\n" << err;
    EXPECT_NE(err.find("default settings are used instead"), std::string::npos) << err;
    EXPECT_EQ(ReadFileBytes(options), std::string(300, '\0'));
    WriteFileBytes(options, optionsText);

    SaveTextSafely(JoinPath(home, "id.box"), ReadFileBytes(JoinPath(home, "id.box")), true);
    std::string id = ReadFileBytes(JoinPath(home, "id.box"));
    WriteFileBytes(JoinPath(home, "id.box"), id.substr(0, id.size() - 4));
    r = Run({"list"});
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_NE(r.err.str().find(JoinPath(home, "id.box") + " is damaged"), std::string::npos)
        << r.err.str();
}

TEST_F(DataSafety, UpdateWithNoSiteTakingPartSaysSoAndLeavesTheTable) {
    Search();
    const std::string before = ReadFileBytes(Table());
    TStrings options = ReadTextLines(JoinPath(home, "options.box"));
    for (const char* site : {"Alpha Jobs", "Beta Jobs", "Gamma Jobs"})
        options.push_back(std::string(site) + "=Disabled");
    WriteTextLines(JoinPath(home, "options.box"), options);
    auto r = Run({"update", "1", "--offline"});
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_NE(r.err.str().find("No job site takes part"), std::string::npos) << r.err.str();
    EXPECT_EQ(ReadFileBytes(Table()), before);
}

TEST_F(DataSafety, CommandLineRefusesDevicesAndPipesAndBadOptions) {
    const std::string fifo = Sandbox().File("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& file : {std::string("/dev/zero"), std::string("/dev/urandom"), fifo}) {
        auto r = test::RunArgs({"container", "list", file});
        EXPECT_EQ(r.status, kExitUsage) << file;
        EXPECT_NE(r.err.str().find("not a regular file"), std::string::npos) << r.err.str();
    }
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"box", "get", fifo, "ID", "Product"},
          std::vector<std::string>{"box", "set", "/dev/zero", "ID", "Product", "x"},
          std::vector<std::string>{"table", "show", fifo},
          std::vector<std::string>{"script", "run", "/dev/zero", fifo}}) {
        auto r = test::RunArgs(command);
        EXPECT_EQ(r.status, kExitUsage) << command[0] << " " << command[1];
        EXPECT_NE(r.err.str().find("not a regular file"), std::string::npos) << r.err.str();
    }
    auto r = test::RunArgs({"--home", "", "list"});
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_EQ(r.err.str(), "tessaly: option --home needs a directory\n");
    r = test::RunArgs({"--home"});
    EXPECT_EQ(r.err.str(), "tessaly: option --home needs a directory\n");
    r = Run({"show", "1", "--json", "--csv"});
    EXPECT_EQ(r.status, kExitUsage);

    // Every field of a site, the user's choice and the user id included.
    r = test::RunArgs({"defs", "show", JoinPath(home, "sources.def"), "--json"});
    ASSERT_EQ(r.status, kExitOk) << r.err.str();
    EXPECT_NE(r.out.str().find("\"EnabledChoice\": true"), std::string::npos) << r.out.str();
    EXPECT_NE(r.out.str().find("\"UserID\": \"\""), std::string::npos) << r.out.str();

    const std::string missing = Sandbox().File("not/yet");
    r = test::RunArgs({"--home", missing, "list"});
    EXPECT_EQ(r.status, kExitOk);
    EXPECT_NE(r.out.str().find("No saved searches"), std::string::npos);
    EXPECT_FALSE(PathExists(missing));
}

// Ctrl-C while the run is still being started (here: the job-source update that comes
// first, held by a stalling server) stops the run as a later one does; update-sources
// and fetch held by that server stop with the same status.
TEST(Interrupt, CtrlCWhileTheRunStartsAbortsAndSavesTheSearch) {
    const std::string program = std::string(TESSALY_BINARY_DIR) + "/src/cli/tessaly";
    if (!FileExists(program)) GTEST_SKIP() << "no " << program;
    test::TTempDir home;
    test::TTestBoards boards;
    boards.WriteHome(home.Path());
    TStrings id = ReadTextLines(JoinPath(home.Path(), "id.box"));
    id.push_back("ConfigURL=" + boards.Host() + "/delta/config.box");
    WriteTextLines(JoinPath(home.Path(), "id.box"), id);
    const std::string out = home.File("out.txt");
    const std::vector<std::vector<std::string>> commands = {
        {program, "--home", home.Path(), "search", "welder"},
        {program, "--home", home.Path(), "update-sources"},
        {program, "fetch", boards.Host() + "/delta/page"},
    };
    for (const std::vector<std::string>& args : commands) {
        const int hits = boards.deltaHits;
        const pid_t pid = test::SpawnWithOutput(args, out);
        ASSERT_GT(pid, 0);
        for (int i = 0; i < 200 && boards.deltaHits == hits; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ASSERT_GT(boards.deltaHits, hits) << args.back();  // waits for its answer
        kill(pid, SIGINT);
        const auto start = std::chrono::steady_clock::now();
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status)) << args.back() << ": ended by signal " << WTERMSIG(status);
        EXPECT_EQ(WEXITSTATUS(status), 3) << args.back();
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(6));
        if (args.back() == "welder") {
            EXPECT_NE(ReadFileBytes(out).find("Search Aborted."), std::string::npos)
                << ReadFileBytes(out);
        }
    }
    EXPECT_TRUE(FileExists(JoinPath(home.Path(), "searches/velares~1.tbl")));
}

}  // namespace
}  // namespace tessaly::cli
