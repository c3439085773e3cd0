// tessaly-demo-sites as a parent starts it: one line on standard output when ready, the
// home written for the port it took, and an end when standard input closes or on SIGTERM.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "data/ConfigBox.h"
#include "data/VelaSources.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "support/TestSupport.h"
#include "tests/demo/DemoFixture.h"

namespace tessaly {
namespace {

const std::string kProgram = std::string(TESSALY_BINARY_DIR) + "/demo/tessaly-demo-sites";

class TChild {
  public:
    explicit TChild(std::vector<std::string> args) {
        int in[2], out[2];
        EXPECT_EQ(pipe2(in, O_CLOEXEC), 0);
        EXPECT_EQ(pipe2(out, O_CLOEXEC), 0);
        args.insert(args.begin(), kProgram);
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            std::vector<char*> argv;
            for (auto& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(kProgram.c_str(), argv.data());
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        stdin_ = in[1];
        stdout_ = out[0];
    }
    ~TChild() {
        if (stdin_ >= 0) close(stdin_);
        if (pid_ > 0 && !reaped_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(stdout_);
    }
    // Standard output until it closes or `lines` lines have come (generous bound).
    std::string ReadLines(int lines) {
        std::string got;
        char c;
        while (lines > 0) {
            pollfd p{stdout_, POLLIN, 0};
            if (poll(&p, 1, 30000) <= 0 || read(stdout_, &c, 1) != 1) break;
            got += c;
            if (c == '\n') --lines;
        }
        return got;
    }
    void CloseStdin() {
        close(stdin_);
        stdin_ = -1;
    }
    // The exit status, or -1 when it did not end within a generous bound.
    int Wait() {
        for (int i = 0; i < 600; ++i) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                reaped_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            usleep(50000);
        }
        return -1;
    }
    pid_t Pid() const { return pid_; }

  private:
    pid_t pid_ = -1;
    int stdin_ = -1;
    int stdout_ = -1;
    bool reaped_ = false;
};

int PortOf(const std::string& line) {
    const std::string prefix = "listening on http://127.0.0.1:";
    if (!StartsWith(line, prefix) || !EndsWith(line, "/\n")) return 0;
    return ParseIntOr(line.substr(prefix.size(), line.size() - prefix.size() - 2), 0);
}

class DemoProgram : public test::TLoopTest {};

TEST_F(DemoProgram, ReadyLineHomeAndEndAtStdinClose) {
    const std::string home = Sandbox().File("home");
    TChild child({"--home", home, "--until-stdin-closes", "--stall-ms", "100"});
    const std::string line = child.ReadLines(1);
    const int port = PortOf(line);
    ASSERT_GT(port, 0) << line;
    TVelaSourcesList list;
    list.LoadFromFile(JoinPath(home, "sources.def"));
    ASSERT_EQ(list.Count(), 7);
    EXPECT_TRUE(StartsWith(list[0].FirstPageURL, "http://127.0.0.1:" + IntToStr(port) + "/"));
    EXPECT_TRUE(FileExists(JoinPath(home, "id.box")));
    EXPECT_TRUE(FileExists(JoinPath(home, "options.box")));
    EXPECT_TRUE(FileExists(JoinPath(home, "config.box")));
    EXPECT_EQ(test::FetchPage("http://127.0.0.1:" + IntToStr(port) + "/").status, 200);
    child.CloseStdin();
    EXPECT_EQ(child.Wait(), 0);
    EXPECT_EQ(child.ReadLines(1), "");  // exactly one line was printed
}

TEST_F(DemoProgram, TlsWithACertificateOfItsOwnThatGoesAtTheEnd) {
    const std::string home = Sandbox().File("home");
    TChild child({"--home", home, "--until-stdin-closes", "--tls"});
    const std::string lines = child.ReadLines(2);
    const std::string https = "listening on https://127.0.0.1:";
    ASSERT_TRUE(StartsWith(lines, https)) << lines;
    const int port =
        ParseIntOr(lines.substr(https.size(), lines.find('/', https.size()) - https.size()), 0);
    ASSERT_GT(port, 0) << lines;
    const std::string caLine = "certificate authority: ";
    const size_t at = lines.find(caLine);
    ASSERT_NE(at, std::string::npos) << lines;
    const std::string ca = lines.substr(at + caLine.size(), lines.size() - at - caLine.size() - 1);
    ASSERT_TRUE(FileExists(ca)) << ca;

    TConfigBox options;
    options.LoadFromFile(JoinPath(home, "options.box"));
    EXPECT_EQ(options.ReadString("Connection", "CAFile"), ca);
    TVelaSourcesList list;
    list.LoadFromFile(JoinPath(home, "sources.def"));
    ASSERT_EQ(list.Count(), 7);
    EXPECT_TRUE(StartsWith(list[0].FirstPageURL, "https://127.0.0.1:" + IntToStr(port) + "/"));
    const std::string base = "https://127.0.0.1:" + IntToStr(port);
    EXPECT_EQ(test::FetchPage(base + "/", "", false, "", ca).status, 200);
    EXPECT_NE(test::FetchPage(base + "/").status, 200);  // the system store does not know it

    child.CloseStdin();
    EXPECT_EQ(child.Wait(), 0);
    // The authority's key does not outlive the server.
    EXPECT_FALSE(FileExists(ca));
    EXPECT_FALSE(DirectoryExists(DirName(ca)));
}

// Sets an environment variable for the children started meanwhile.
class TScopedEnv {
  public:
    TScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~TScopedEnv() {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST_F(DemoProgram, TlsWithoutTheOpensslCommandFailsAndLeavesNothing) {
    const std::string scratch = Sandbox().File("tmp");
    ASSERT_TRUE(ForceDirectories(scratch));
    TScopedEnv tmp("TMPDIR", scratch);
    TScopedEnv path("PATH", Sandbox().File("empty"));
    TChild child({"--home", Sandbox().File("home"), "--tls"});
    EXPECT_EQ(child.ReadLines(1), "");
    EXPECT_EQ(child.Wait(), 1);
    EXPECT_TRUE(std::filesystem::is_empty(scratch));  // no half-made certificate folder
}

TEST_F(DemoProgram, EndsOnSigterm) {
    TChild child({"--port", "0"});
    ASSERT_GT(PortOf(child.ReadLines(1)), 0);
    kill(child.Pid(), SIGTERM);
    EXPECT_EQ(child.Wait(), 0);
}

TEST_F(DemoProgram, BadArgumentsAreUsageErrors) {
    for (std::vector<std::string> args : {std::vector<std::string>{"--port", "x"},
                                          {"--port", "70000"},
                                          {"--stall-ms"},
                                          {"--stall-ms", "-1"},
                                          {"--home"},
                                          {"--bogus"}}) {
        TChild child(args);
        EXPECT_EQ(child.ReadLines(1), "");
        EXPECT_EQ(child.Wait(), 2) << args[0];
    }
}

TEST_F(DemoProgram, AHomeThatCannotBeWrittenFails) {
    WriteFileBytes(Sandbox().File("plainfile"), "x");
    TChild child({"--home", Sandbox().File("plainfile")});
    EXPECT_EQ(child.ReadLines(1), "");
    EXPECT_EQ(child.Wait(), 2);
}

}  // namespace
}  // namespace tessaly
