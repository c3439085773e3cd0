// Runs without anyone watching: updating every search at once, quiet unless something is
// new, over loopback boards whose answers change between runs.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "cli/Command.h"
#include "data/VelaSearches.h"
#include "platform/ByteString.h"
#include "platform/Home.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "platform/WindowChannel.h"
#include "support/CliRun.h"
#include "support/ScopedEnv.h"
#include "support/TestBoards.h"
#include "support/TestSessionBus.h"
#include "support/TestSupport.h"

namespace tessaly::cli {
namespace {

class UnattendedRun : public test::TLoopTest {
  protected:
    UnattendedRun() {
        home = Sandbox().Path();
        boards.WriteHome(home);
        test::DisableBoards(home);
    }
    test::TCliRun Run(std::vector<std::string> argv) {
        argv.insert(argv.begin(), {"--home", home});
        return test::RunArgs(argv);
    }
    // Saved searches over the same board, numbered from 1 in the order given.
    void Searches(const std::vector<std::string>& keywords) {
        for (const auto& k : keywords) {
            auto r = Run({"search", "--region", "Boston", "--offline", "--quiet", k});
            ASSERT_EQ(r.status, kExitOk) << r.err.str();
        }
    }
    std::string Table(int n) const {
        return JoinPath(home, "searches/velares~" + IntToStr(n) + ".tbl");
    }
    std::string home;
    test::TTestBoards boards;
};

TEST_F(UnattendedRun, QuietUpdateOfAllSearchesTellsExactlyTheNewJobs) {
    Searches({"welder", "pipe"});
    auto r = Run({"update", "--all", "--quiet", "--offline"});
    ASSERT_EQ(r.status, kExitOk) << r.err.str();
    EXPECT_EQ(r.out.str(), "") << "nothing is new: a timer's run must stay silent";
    EXPECT_EQ(r.err.str(), "");

    boards.extraRow = test::JobRow(7, "Night Welder", "Dock Co", "Salem, MA");
    r = Run({"update", "--all", "--quiet", "--offline"});
    ASSERT_EQ(r.status, kExitOk) << r.err.str();
    const TStrings lines = SplitLines(r.out.str());
    ASSERT_EQ(lines.size(), 4u) << r.out.str();
    EXPECT_EQ(lines[0], "welder: 1 new job");
    EXPECT_EQ(lines[2], "pipe: 1 new job");
    for (const size_t row : {1u, 3u}) {
        const TStrings fields = Split(lines[row], "\t");
        ASSERT_GE(fields.size(), 3u) << lines[row];
        EXPECT_EQ(fields[1], "New");
        EXPECT_EQ(fields[2], "Night Welder");
    }
    // The rows are those `show --new` prints.
    EXPECT_EQ(Run({"show", "1", "--new"}).out.str(), lines[1] + "\n");
    // Each search's feed was rewritten after its save, the new job first.
    r = Run({"feed", "2"});
    ASSERT_EQ(r.status, kExitOk) << r.err.str();
    EXPECT_EQ(r.out.str(), JoinPath(home, "feeds/velares~2.atom") + "\n");
    const std::string feed = ReadFileBytes(JoinPath(home, "feeds/velares~2.atom"));
    EXPECT_NE(feed.find("<entry>\n    <id>" + boards.Host() +
                        "/job/7</id>\n"
                        "    <title>Night Welder</title>"),
              std::string::npos)
        << feed;
    EXPECT_EQ(feed.find("<entry>"), feed.find("<entry>\n    <id>" + boards.Host() + "/job/7<"));

    // A search last run before feeds were written gets its feed when it is asked for.
    DeleteFile(JoinPath(home, "feeds/velares~1.atom"));
    r = Run({"feed", "1"});
    EXPECT_EQ(r.status, kExitOk) << r.err.str();
    EXPECT_NE(ReadFileBytes(JoinPath(home, "feeds/velares~1.atom")).find("Night Welder"),
              std::string::npos);

    // Several by number, in the order given; loud runs name every search, --new lists.
    boards.extraRow += test::JobRow(8, "Day Welder", "Dock Co", "Salem, MA");
    r = Run({"update", "2", "1", "--new", "--offline"});
    ASSERT_EQ(r.status, kExitOk) << r.err.str();
    const std::string out = r.out.str();
    const size_t pipe = out.find("\npipe: 1 new job\n");
    const size_t welder = out.find("\nwelder: 1 new job\n");
    ASSERT_NE(pipe, std::string::npos) << out;
    ASSERT_NE(welder, std::string::npos) << out;
    EXPECT_LT(pipe, welder) << out;
    EXPECT_NE(out.find("\tNew\tDay Welder\t", welder), std::string::npos) << out;
    r = Run({"update", "1", "--offline"});
    EXPECT_NE(r.out.str().find("\nwelder: nothing new\n"), std::string::npos) << r.out.str();
}

// No board answering (no network) is an error even when quiet, not "nothing new".
TEST_F(UnattendedRun, ReachingNoBoardIsAnErrorEvenWhenQuiet) {
    Searches({"welder"});
    TStrings options = ReadTextLines(JoinPath(home, "options.box"));
    options.push_back("Alpha Jobs=Disabled");  // Beta Jobs is unreachable
    WriteTextLines(JoinPath(home, "options.box"), options);
    const std::string said = "No job site could be reached. Check the connection settings.";
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"update", "--all", "--quiet", "--offline"},
          {"search", "--region", "Boston", "--offline", "--quiet", "welder"}}) {
        auto r = Run(args);
        EXPECT_EQ(r.status, kExitUsage) << args[0];
        EXPECT_NE(r.err.str().find(said), std::string::npos) << args[0] << r.err.str();
        EXPECT_EQ(r.out.str(), "") << args[0];
    }
}

TEST_F(UnattendedRun, DamagedTableIsSkippedAndTheOthersStillRun) {
    Searches({"welder", "pipe", "tig"});
    WriteFileBytes(Table(2), "V1.01\r\n\x01\xff\xfe\r\nTitle\r\n");
    boards.extraRow = test::JobRow(7, "Night Welder", "Dock Co", "Salem, MA");
    auto r = Run({"update", "--all", "--quiet", "--offline"});
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_NE(r.err.str().find(Table(2)), std::string::npos) << r.err.str();
    const TStrings lines = SplitLines(r.out.str());
    ASSERT_EQ(lines.size(), 4u) << r.out.str();
    EXPECT_EQ(lines[0], "welder: 1 new job");
    EXPECT_EQ(lines[2], "tig: 1 new job");
    EXPECT_EQ(ReadFileBytes(Table(2)), "V1.01\r\n\x01\xff\xfe\r\nTitle\r\n");
}

TEST_F(UnattendedRun, BadArgumentsAndABusyHome) {
    Searches({"welder"});
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"update"}, "expected N, or --all"},
        {{"update", "--all", "1"}, "--all takes no search numbers"},
        {{"update", "1", "1", "--keywords", "x"}, "give one N"},
        {{"update", "1", "2"}, "no search number 2"},
    };
    for (const auto& [argv, message] : cases) {
        auto r = Run(argv);
        EXPECT_EQ(r.status, kExitUsage) << argv.size();
        EXPECT_NE(r.err.str().find(message), std::string::npos) << r.err.str();
    }
    // A timer's run while another process holds the home: no failure, one line.
    TInstanceLock lock(home);
    ASSERT_TRUE(lock.Acquired());
    auto r = Run({"update", "--all", "--quiet", "--offline"});
    EXPECT_EQ(r.status, kExitOk) << r.err.str();
    EXPECT_EQ(SplitLines(r.out.str()).size(), 1u) << r.out.str();
    EXPECT_NE(r.out.str().find("is in use by process " + IntToStr(::getpid())), std::string::npos)
        << r.out.str();
    // The holder is the window: it will update.
    const std::string window = Sandbox().File("tessaly-jobs");
    WriteFileBytes(window, ReadFileBytes("/bin/sleep"));
    ::chmod(window.c_str(), 0755);
    const pid_t pid = test::SpawnWithOutput({window, "30"}, "/dev/null");
    ASSERT_GT(pid, 0);
    WriteFileBytes(JoinPath(home, ".lock"), IntToStr(pid) + "\n");
    r = Run({"update", "--all", "--quiet", "--offline"});
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    EXPECT_EQ(r.status, kExitOk) << r.err.str();
    // Nothing listens on its channel: the window will update on its own.
    EXPECT_EQ(r.out.str(), "tessaly update: the home " + home +
                               " is in use by the window (process " + IntToStr(pid) +
                               "); the window will update the searches.\n");
    EXPECT_EQ(Run({"update", "1", "--offline"}).status, kExitUsage)
        << "one search asked for by hand still says the home is locked";
}

TEST_F(UnattendedRun, ABusyHomeHandsTheUpdateToTheWindowsChannel) {
    Searches({"welder"});
    test::TTempDir runtime;
    test::TScopedEnv runtimeDir("XDG_RUNTIME_DIR", runtime.Path().c_str());
    const std::string path = WindowChannelPath(home);
    ASSERT_EQ(path.rfind(runtime.Path() + "/tessaly-jobs-", 0), 0u) << path;
    // A stand-in window: listens at the channel, records the request, answers "ok".
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 1), 0);
    std::string request;
    std::thread window([&] {
        const int c = ::accept(listener, nullptr, nullptr);
        char buffer[64];
        while (request.find('\n') == std::string::npos) {
            const ssize_t n = ::read(c, buffer, sizeof buffer);
            if (n <= 0) break;
            request.append(buffer, static_cast<size_t>(n));
        }
        [[maybe_unused]] ssize_t w = ::write(c, "ok\n", 3);
        ::close(c);
    });
    TInstanceLock lock(home);
    ASSERT_TRUE(lock.Acquired());
    auto r = Run({"update", "--all", "--quiet", "--offline"});
    window.join();
    ::close(listener);
    EXPECT_EQ(request, "update\n");
    EXPECT_EQ(r.status, kExitOk) << r.err.str();
    EXPECT_EQ(r.out.str(), "tessaly update: the home " + home +
                               " is in use by the window (process " + IntToStr(::getpid()) +
                               "); the window is updating the searches.\n");
}

TEST_F(UnattendedRun, OneNotificationPerRunOnAPrivateSessionBus) {
    if (!test::SessionBusAvailable()) GTEST_SKIP() << "dbus-daemon is not installed";
    test::TTempDir busDir;
    test::TPrivateSessionBus bus(busDir.Path());
    ASSERT_TRUE(bus.Started());
    // The window is installed: a program of its name on the PATH.
    test::TTempDir bin;
    const std::string window = JoinPath(bin.Path(), "tessaly-jobs");
    WriteFileBytes(window, "#!/bin/sh\n");
    ::chmod(window.c_str(), 0755);
    const char* path = std::getenv("PATH");
    test::TScopedEnv onPath("PATH", (bin.Path() + ":" + (path ? path : "")).c_str());
    Searches({"welder", "pipe"});

    // No session bus, then a bus without a notification server: the run goes on and says
    // so once, with --notify only.
    int id = 7;
    for (const std::string& address : {"unix:path=" + busDir.Path() + "/none", bus.Address()}) {
        test::TScopedEnv session("DBUS_SESSION_BUS_ADDRESS", address.c_str());
        boards.extraRow += test::JobRow(id++, "Night Welder", "Dock Co", "Salem, MA");
        auto r = Run({"update", "--all", "--quiet", "--notify", "--offline"});
        EXPECT_EQ(r.status, kExitOk) << r.err.str();
        EXPECT_EQ(SplitLines(r.out.str()).size(), 4u) << r.out.str();
        const TStrings said = SplitLines(r.err.str());
        ASSERT_EQ(said.size(), 1u) << r.err.str();
        EXPECT_NE(
            said[0].find(address == bus.Address() ? "no notification server" : "no session bus"),
            std::string::npos)
            << said[0];
    }

    test::TNotificationServer server(bus.Address(), {"body", "body-markup", "actions"});
    ASSERT_TRUE(server.Ready());
    test::TScopedEnv session("DBUS_SESSION_BUS_ADDRESS", bus.Address().c_str());
    boards.extraRow += test::JobRow(9, "Dock &amp; Yard Welder", "Dock Co", "Salem, MA");
    auto r = Run({"update", "--all", "--quiet", "--notify", "--offline"});
    EXPECT_EQ(r.status, kExitOk) << r.err.str();
    EXPECT_EQ(r.err.str(), "");
    // Nothing new: nothing told.
    EXPECT_EQ(Run({"update", "--all", "--quiet", "--notify", "--offline"}).out.str(), "");
    const auto calls = server.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].app, "Tessaly Jobs 98");
    EXPECT_EQ(calls[0].summary, "2 new jobs");
    // The server reads markup, so the body is escaped for it.
    EXPECT_EQ(calls[0].body, "welder: Dock &amp; Yard Welder\npipe: Dock &amp; Yard Welder");
    // Sent from this test program, without the command-line program's helper beside it:
    // nothing would hear a click, so no action is offered.
    EXPECT_TRUE(calls[0].actions.empty());
    EXPECT_EQ(calls[0].hints.count("x-tessaly-jobs-search"), 0u);
    EXPECT_EQ(calls[0].hints.at("desktop-entry"), "tessaly-jobs");
}

TEST_F(UnattendedRun, ClickingTheNotificationOpensTheWindowOnTheSearchAfterTheRunEnded) {
    const std::string program = std::string(TESSALY_BINARY_DIR) + "/src/cli/tessaly";
    if (!FileExists(program)) GTEST_SKIP() << "no " << program;
    if (!test::SessionBusAvailable()) GTEST_SKIP() << "dbus-daemon is not installed";
    test::TStandInDesktop desktop({"body", "actions"});
    ASSERT_TRUE(desktop.Ready());
    test::TNotificationServer& server = desktop.Server();
    // A stand-in window on the PATH writes down how it was started.
    test::TTempDir bin;
    const std::string started = JoinPath(bin.Path(), "started.txt");
    const std::string window = JoinPath(bin.Path(), "tessaly-jobs");
    WriteFileBytes(window,
                   "#!/bin/sh\nprintf '%s\\n' \"$@\" \"$XDG_ACTIVATION_TOKEN\" \"$DISPLAY\" > " +
                       started + ".tmp && mv " + started + ".tmp " + started + "\n");
    ::chmod(window.c_str(), 0755);
    // Run from cron: no display but the one the user's service manager knows.
    const std::string systemctl = JoinPath(bin.Path(), "systemctl");
    WriteFileBytes(systemctl, "#!/bin/sh\necho HOME=/x\necho DISPLAY=:42\n");
    ::chmod(systemctl.c_str(), 0755);
    test::TScopedEnv noDisplay("DISPLAY", nullptr);
    test::TScopedEnv noWayland("WAYLAND_DISPLAY", nullptr);
    const char* path = std::getenv("PATH");
    test::TScopedEnv onPath("PATH", (bin.Path() + ":" + (path ? path : "")).c_str());
    Searches({"welder", "pipe"});
    boards.extraRow = test::JobRow(7, "Night Welder", "Dock Co", "Salem, MA");

    const pid_t pid = test::SpawnWithOutput(
        {program, "--home", home, "update", "2", "--quiet", "--notify", "--offline"},
        Sandbox().File("out.txt"));
    ASSERT_GT(pid, 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), kExitOk);
    EXPECT_EQ(SplitLines(ReadFileBytes(Sandbox().File("out.txt"))).size(), 2u);
    const auto calls = server.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].actions, (std::vector<std::string>{"default", "Show the new jobs"}));
    EXPECT_EQ(calls[0].hints.at("x-tessaly-jobs-search"), "2");
    EXPECT_FALSE(FileExists(started));

    // The run has ended and search 1 was deleted since: the click still opens the window
    // on the search with news, number 1 now.
    ASSERT_EQ(Run({"delete", "1"}).status, kExitOk);
    server.Answer(1, "default", "click-token");
    for (int i = 0; i < 200 && !FileExists(started); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(FileExists(started));
    EXPECT_EQ(ReadFileBytes(started), "--home\n" + home + "\n--search\n1\nclick-token\n:42\n");
}

TEST_F(UnattendedRun, KilledMidwayEveryTableIsWholeAndFeedsFollowTheSaves) {
    const std::string program = std::string(TESSALY_BINARY_DIR) + "/src/cli/tessaly";
    if (!FileExists(program)) GTEST_SKIP() << "no " << program;
    Searches({"welder", "pipe"});
    const std::string feed1 = JoinPath(home, "feeds/velares~1.atom");
    const std::string feed2 = JoinPath(home, "feeds/velares~2.atom");
    // The stalling board holds each search for its whole stall.
    TStrings options = ReadTextLines(JoinPath(home, "options.box"));
    options.pop_back();
    WriteTextLines(JoinPath(home, "options.box"), options);
    boards.extraRow = test::JobRow(7, "Night Welder", "Dock Co", "Salem, MA");
    // A run saves a table before it starts too (dropping deleted jobs): compare the jobs.
    auto jobsOf = [](const std::string& table) {
        TVelaJobsList jobs;
        LoadJobTable(jobs, table);
        std::string titles;
        for (int i = 0; i < jobs.Count(); ++i)
            titles += jobs[i].Title + "\n";
        return titles;
    };
    auto waitForHits = [&](int hits) {
        for (int i = 0; i < 400 && boards.deltaHits < hits; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return boards.deltaHits >= hits;
    };

    const std::string before = jobsOf(Table(2));
    const std::vector<std::string> args = {program, "--home", home, "update", "--all", "--offline"};
    pid_t pid = test::SpawnWithOutput(args, Sandbox().File("out.txt"));
    ASSERT_GT(pid, 0);
    // The second search has started: the first is saved, then its feed written.
    ASSERT_TRUE(waitForHits(2));
    EXPECT_NE(jobsOf(Table(1)).find("Night Welder\n"), std::string::npos);
    EXPECT_NE(ReadFileBytes(feed1).find("Night Welder"), std::string::npos);
    ::kill(pid, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_EQ(jobsOf(Table(2)), before);
    EXPECT_EQ(ReadFileBytes(feed2).find("Night Welder"), std::string::npos);

    // Ctrl-C stops the run in progress and the searches after it do not start.
    pid = test::SpawnWithOutput(args, Sandbox().File("out.txt"));
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(waitForHits(3));
    ::kill(pid, SIGINT);
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), kExitAborted);
    EXPECT_EQ(boards.deltaHits, 3);
    EXPECT_EQ(jobsOf(Table(2)), before);
}

}  // namespace
}  // namespace tessaly::cli
