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
        DisableStallingBoard(home);
    }
    ~DataSafety() override { SetSaveFaultHook({}); }

    static void DisableStallingBoard(const std::string& dir) {
        TStrings options = ReadTextLines(JoinPath(dir, "options.box"));
        options.push_back("Delta Jobs=Disabled");
        WriteTextLines(JoinPath(dir, "options.box"), options);
    }
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
    DisableStallingBoard(JoinPath(a, "h"));
    DisableStallingBoard(JoinPath(b, "h"));
    for (const std::string& dir : {a, b}) {
        TChangeDir in(dir);
        auto r = test::RunArgs({"--home", "h", "search", "--offline", "--quiet", "welder"});
        ASSERT_EQ(r.status, kExitOk) << r.err.str();
    }
    const std::string indexA = SearchesIndexPath(JoinPath(a, "h"));
    EXPECT_NE(ReadFileBytes(indexA).find("\r\n" + a + "/h/searches/velares~1.tbl\r\n"),
              std::string::npos)
        << ReadFileBytes(indexA);
    // Grabbed copies are stored with absolute paths too.
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
    WriteFileBytes(index, ReplaceAll(ReadFileBytes(index), home + "/", "h/"));
    ASSERT_NE(ReadFileBytes(index).find("h/searches/velares~1.tbl"), std::string::npos);
    TChangeDir elsewhere(Sandbox().Path());  // holds no "h"
    auto r = Run({"show", "1"});
    ASSERT_EQ(r.status, kExitOk) << r.err.str();
    EXPECT_EQ(SplitLines(r.out.str()).size(), 3u) << r.out.str();
    r = Run({"update", "1", "--offline", "--quiet"});
    ASSERT_EQ(r.status, kExitOk) << r.err.str();
    r = Run({"list"});
    EXPECT_EQ(Split(SplitLines(r.out.str()).at(0), "\t").back(), "3") << r.out.str();
    EXPECT_NE(ReadFileBytes(index).find(Table()), std::string::npos) << ReadFileBytes(index);

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
    WriteFileBytes(defs, "");
    r = Run({"list"});
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_NE(r.err.str().find(defs), std::string::npos) << r.err.str();
    WriteFileBytes(defs, plain);

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
        EXPECT_EQ(r.status, kExitFailed) << file;  // the workbench's status for a failed read
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
// first, held by a stalling server) stops the run as a later one does.
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
    const std::vector<std::string> args = {program, "--home", home.Path(), "search", "welder"};
    const pid_t pid = test::SpawnWithOutput(args, out);
    ASSERT_GT(pid, 0);
    for (int i = 0; i < 200 && boards.deltaHits == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_GT(boards.deltaHits, 0);  // the update waits for its answer
    kill(pid, SIGINT);
    const auto start = std::chrono::steady_clock::now();
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 3);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(6));
    EXPECT_NE(ReadFileBytes(out).find("Search Aborted."), std::string::npos) << ReadFileBytes(out);
    EXPECT_TRUE(FileExists(JoinPath(home.Path(), "searches/velares~1.tbl")));
}

}  // namespace
}  // namespace tessaly::cli
