// A home whose boards and maker's server speak https only: the demo program serves it with
// a certificate of its own, and the global --cafile is what makes the commands trust it.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "data/ConfigBox.h"
#include "platform/ByteString.h"
#include "platform/Paths.h"
#include "support/CliRun.h"
#include "support/TestSupport.h"

extern char** environ;

namespace tessaly::cli {
namespace {

// tessaly-demo-sites --tls for the test's home; it ends when its input closes.
class TTlsDemo {
  public:
    explicit TTlsDemo(const std::string& home) {
        int in[2], out[2];
        EXPECT_EQ(pipe2(in, O_CLOEXEC), 0);
        EXPECT_EQ(pipe2(out, O_CLOEXEC), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        std::string program = std::string(TESSALY_BINARY_DIR) + "/demo/tessaly-demo-sites";
        std::vector<std::string> args = {program,      "--tls",  "--home",
                                         home,         "--port", "0",
                                         "--stall-ms", "0",      "--until-stdin-closes"};
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        EXPECT_EQ(posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        close(in[0]);
        close(out[1]);
        input_ = in[1];
        output_ = out[0];
        const std::string listening = Line();
        const std::string authority = Line();
        EXPECT_TRUE(StartsWith(listening, "listening on https://127.0.0.1:")) << listening;
        const std::string prefix = "certificate authority: ";
        EXPECT_TRUE(StartsWith(authority, prefix)) << authority;
        if (StartsWith(authority, prefix)) caFile = authority.substr(prefix.size());
    }
    ~TTlsDemo() {
        close(input_);
        int status = 0;
        for (int i = 0; i < 200 && waitpid(pid_, &status, WNOHANG) == 0; ++i)
            usleep(25000);
        if (waitpid(pid_, &status, WNOHANG) == 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
        }
        close(output_);
    }
    std::string caFile;

  private:
    std::string Line() {
        std::string line;
        char c;
        for (;;) {
            pollfd p{output_, POLLIN, 0};
            if (poll(&p, 1, 20000) <= 0 || read(output_, &c, 1) != 1 || c == '\n') return line;
            line += c;
        }
    }
    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
};

class HttpsHome : public test::TLoopTest {
  protected:
    HttpsHome() : home(Sandbox().File("home")), demo(home) {
        // The home names no CA of its own: only the command line can make it trusted.
        TConfigBox options;
        options.LoadFromFile(JoinPath(home, "options.box"));
        options.WriteString("Connection", "CAFile", "");
        options.SaveToFile(JoinPath(home, "options.box"));
    }
    test::TCliRun Run(std::vector<std::string> argv, bool trusted) {
        argv.insert(argv.begin(), {"--home", home});
        if (trusted) argv.insert(argv.begin(), {"--cafile", demo.caFile});
        return test::RunArgs(argv);
    }
    std::string OptionsCAFile() {
        TConfigBox options;
        options.LoadFromFile(JoinPath(home, "options.box"));
        return options.ReadString("Connection", "CAFile");
    }
    std::string home;
    TTlsDemo demo;
};

TEST_F(HttpsHome, ASearchSucceedsWithTheCaFileAndFailsWithout) {
    ASSERT_TRUE(FileExists(demo.caFile)) << demo.caFile;
    const std::vector<std::string> search = {"search",      "--region",  "Nationwide", "--category",
                                             "Engineering", "--offline", "engineer"};
    auto refused = Run(search, false);
    std::string out = refused.out.str();
    EXPECT_EQ(out.find(": Done"), std::string::npos) << out;
    // No board trusted is no board reached: said, and a failure.
    EXPECT_EQ(refused.status, kExitUsage);
    EXPECT_NE(refused.err.str().find("No job site could be reached."), std::string::npos)
        << refused.err.str();

    auto trusted = Run(search, true);
    ASSERT_EQ(trusted.status, kExitOk) << trusted.err.str() << trusted.out.str();
    out = trusted.out.str();
    for (const char* board : {"CareerHub Online: Done", "JobFair Weekly: Done",
                              "TechPost Careers: Done", "Lazy River Jobs: Done"})
        EXPECT_NE(out.find(board), std::string::npos) << board << "\n" << out;
    EXPECT_NE(out.find("Harbor Line Careers: Unreachable"), std::string::npos) << out;

    // The second search found the jobs; the listing points at the https boards.
    auto shown = Run({"show", "2"}, false);
    ASSERT_EQ(shown.status, kExitOk) << shown.err.str();
    EXPECT_NE(shown.out.str().find("\tTechPost Careers\t"), std::string::npos) << shown.out.str();
    // --cafile is for the one run: the home's options do not keep it.
    EXPECT_EQ(OptionsCAFile(), "");
}

TEST_F(HttpsHome, TheUpdateReachesTheMakersServerWithTheCaFile) {
    auto refused = Run({"update-sources"}, false);
    EXPECT_EQ(refused.out.str().find("No update needed."), std::string::npos) << refused.out.str();
    auto trusted = Run({"update-sources"}, true);
    EXPECT_EQ(trusted.status, kExitOk) << trusted.err.str();
    EXPECT_NE(trusted.out.str().find("No update needed."), std::string::npos) << trusted.out.str();
}

}  // namespace
}  // namespace tessaly::cli
