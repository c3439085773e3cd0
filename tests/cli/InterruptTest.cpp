// Ctrl-C during a run of the real program: the first one stops the run, which drains and
// ends as aborted with exit status 3.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "support/CliRun.h"
#include "support/TestBoards.h"
#include "support/TestSupport.h"

extern char** environ;

namespace tessaly {
namespace {

TEST(Interrupt, FirstCtrlCStopsTheRunAndKeepsTheMergedJobs) {
    const std::string program = std::string(TESSALY_BINARY_DIR) + "/src/cli/tessaly";
    if (!FileExists(program)) GTEST_SKIP() << "no " << program;
    test::TTempDir home;
    test::TTestBoards boards;
    boards.WriteHome(home.Path());
    const std::string out = home.File("out.txt");

    const std::vector<std::string> args = {program,  "--home",    home.Path(),
                                           "search", "--offline", "welder"};
    const pid_t pid = test::SpawnWithOutput(args, out);
    ASSERT_GT(pid, 0);

    // The stalling board holds the run (its time-out is 15 s); stop once it is reached.
    for (int i = 0; i < 200 && boards.deltaHits == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_GT(boards.deltaHits, 0);
    kill(pid, SIGINT);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3);
    const std::string text = ReadFileBytes(out);
    EXPECT_NE(text.find("Search Aborted."), std::string::npos) << text;
    EXPECT_NE(text.find("Delta Jobs: Aborted"), std::string::npos) << text;
    EXPECT_TRUE(FileExists(JoinPath(home.Path(), "searches/velares~1.tbl")));
}

// Long work inside one step of the run (a site's script grinding through a huge page)
// still answers Ctrl-C within about a second.
TEST(Interrupt, CtrlCStopsLongWorkOnOnePageAtOnce) {
    const std::string program = std::string(TESSALY_BINARY_DIR) + "/src/cli/tessaly";
    if (!FileExists(program)) GTEST_SKIP() << "no " << program;
    test::TTempDir home;
    test::TTestBoards boards;
    boards.WriteHome(home.Path());
    const std::string page(16 << 20, 'a');
    std::atomic<bool> served{false};
    boards.extraAnswer = [&](const test::TTestHttpServer::TRequest&) {
        served = true;
        return test::TTestHttpServer::Normal(page);
    };
    // Each statement looks through the whole page for what is not there: minutes of work.
    std::string script = "Go(\"zzz\", Optionnal);";
    for (int i = 0; i < 60000; ++i)
        script += "|\xA7|Go(\"zzz\", Optionnal);";
    WriteTextLines(JoinPath(home.Path(), "sources.def"),
                   {"MRegions", "Boston", "MCategories", "Trades", "Title", "Slow Jobs", "Enabled",
                    "True", "FirstPageURL", boards.Host() + "/extra", "FirstPageParameters",
                    "?q=<keyword>", "JobBlockScript", script, "JobTitleScript", "Get(All);"});
    const std::string out = home.File("out.txt");
    const pid_t pid = test::SpawnWithOutput(
        {program, "--home", home.Path(), "search", "--offline", "welder"}, out);
    ASSERT_GT(pid, 0);
    for (int i = 0; i < 400 && !served; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(served);
    // The page arrives, and the script is well into it.
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const auto sent = std::chrono::steady_clock::now();
    kill(pid, SIGINT);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    const auto took = std::chrono::steady_clock::now() - sent;
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3) << ReadFileBytes(out);
    EXPECT_LT(took, std::chrono::seconds(3));
    EXPECT_NE(ReadFileBytes(out).find("Search Aborted."), std::string::npos);
}

}  // namespace
}  // namespace tessaly
