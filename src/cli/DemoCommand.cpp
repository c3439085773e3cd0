// `tessaly demo`: the demo job boards on a loopback port, a fresh home directory for them
// and a sample search, so a newcomer sees the program work without the internet.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ostream>

#include "cli/Command.h"
#include "cli/Workspace.h"
#include "platform/ByteString.h"
#include "platform/Paths.h"

extern char** environ;

#ifndef TESSALY_DEMO_SITES
#define TESSALY_DEMO_SITES ""
#endif

namespace tessaly::cli {
namespace {

const char* kUsage =
    "Usage: tessaly demo [--region R] [--category C] [--keywords K] [--serve] [--tls]\n"
    "\n"
    "Starts the demo job boards (tessaly-demo-sites) on a free loopback port, prepares a\n"
    "fresh home directory for them (id.box, options.box and the sources.def for that\n"
    "port), runs a sample search there (by default \"engineer\" in Engineering, Nationwide)\n"
    "and prints its listing. With the global --home DIR the demo uses DIR instead of a\n"
    "new directory under /tmp.\n"
    "\n"
    "--serve keeps the boards running after the search, until Ctrl-C, so that the other\n"
    "commands (update, grab, refine) can be tried on the demo home directory.\n"
    "\n"
    "--tls serves the boards over https with a certificate made for this run (the openssl\n"
    "command makes it); the home's options trust it while the boards run.\n";

// The demo server program: $TESSALY_DEMO_SITES, beside this program, the build's copy,
// else the PATH.
std::string DemoSitesProgram() {
    if (const char* env = std::getenv("TESSALY_DEMO_SITES"); env && *env) return env;
    const std::string beside = JoinPath(ExecutableDirectory(), "tessaly-demo-sites");
    if (FileExists(beside)) return beside;
    if (FileExists(TESSALY_DEMO_SITES)) return TESSALY_DEMO_SITES;
    return "tessaly-demo-sites";
}

// A child process with its standard input and output on pipes; closing its input
// stops it (the server runs with --until-stdin-closes).
class TDemoServerProcess {
  public:
    bool Start(const std::string& home, bool tls, std::string& url, std::string& error) {
        int in[2], out[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) {
            error = std::string("cannot make a pipe: ") + std::strerror(errno);
            return false;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        const std::string program = DemoSitesProgram();
        std::vector<std::string> args = {program,  "--port", "0",
                                         "--home", home,     "--until-stdin-closes"};
        if (tls) args.push_back("--tls");
        std::vector<char*> argv;
        argv.reserve(args.size() + 1);
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const int rc =
            posix_spawnp(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(in[0]);
        ::close(out[1]);
        input_ = in[1];
        output_ = out[0];
        if (rc != 0) {
            pid_ = -1;
            error = "cannot start " + program + ": " + std::strerror(rc);
            return false;
        }
        // The server says where it listens once it is ready (and, over TLS, which
        // authority vouches for it).
        const std::string line = ReadLine();
        const std::string prefix = "listening on ";
        if (!StartsWith(line, prefix)) {
            error = program + " did not start (" + (line.empty() ? "no answer" : line) + ")";
            return false;
        }
        url = line.substr(prefix.size());
        if (tls) {
            const std::string authority = ReadLine();
            const std::string named = "certificate authority: ";
            if (StartsWith(authority, named)) caFile = authority.substr(named.size());
        }
        return true;
    }

    std::string caFile;  // the CA file of a TLS server

    ~TDemoServerProcess() {
        if (input_ >= 0) ::close(input_);
        if (output_ >= 0) ::close(output_);
        if (pid_ > 0) {
            int status = 0;
            // It leaves when its input closes; a stuck one is terminated.
            for (int i = 0; i < 50 && ::waitpid(pid_, &status, WNOHANG) == 0; ++i)
                usleep(20000);
            if (::waitpid(pid_, &status, WNOHANG) == 0) {
                ::kill(pid_, SIGTERM);
                ::waitpid(pid_, &status, 0);
            }
        }
    }

  private:
    std::string ReadLine() {
        std::string line;
        for (;;) {
            pollfd p{output_, POLLIN, 0};
            if (::poll(&p, 1, 10000) <= 0) break;
            char c;
            if (::read(output_, &c, 1) != 1) break;
            if (c == '\n') break;
            line += c;
        }
        return line;
    }

    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
};

std::atomic<bool> gStop{false};
extern "C" void OnServeInterrupt(int) {
    gStop = true;
}

int Demo(const std::vector<std::string>& argv, TCliIO& io) {
    TArgs args;
    std::string error;
    if (auto parsed = args.Parse(argv, {"serve", "tls"}, {"region", "category", "keywords"});
        !parsed)
        return UsageError(io, "demo", parsed.error());
    std::string home = HomeOption();
    if (home.empty()) {
        char dir[] = "/tmp/tessaly-demo-XXXXXX";
        if (!mkdtemp(dir)) {
            io.err << "tessaly demo: cannot make a directory under /tmp: " << std::strerror(errno)
                   << "\n";
            return kExitUsage;
        }
        home = dir;
    }
    TDemoServerProcess server;
    std::string url;
    if (!server.Start(home, args.Has("tls"), url, error)) {
        io.err << "tessaly demo: " << error << "\n";
        return kExitUsage;
    }
    io.out << "Demo job boards at " << url << "\nHome directory: " << home << "\n";
    if (!server.caFile.empty())
        io.out << "Certificate authority: " << server.caFile
               << " (the home's options trust it while the boards run)\n";
    io.out << "\n";
    const std::string keywords = args.Value("keywords").value_or("engineer");
    std::vector<std::string> search = {"--home", home, "search"};
    search.insert(search.end(), {"--region", args.Value("region").value_or("Nationwide")});
    search.insert(search.end(), {"--category", args.Value("category").value_or("Engineering")});
    search.push_back(keywords);
    const int status = RunCli(search, io);
    if (status != kExitOk && status != kExitAborted) return status;
    io.out << "\nThe listing of the sample search:\n";
    RunCli({"--home", home, "show", "1"}, io);
    io.out << "\nGo on with: tessaly --home " << home << " list | show 1 | grab 1 | refine 1 ...\n";
    if (args.Has("serve")) {
        io.out << "The boards keep running at " << url << "; Ctrl-C stops them.\n" << std::flush;
        struct sigaction sa {
        }, previous{};
        sa.sa_handler = OnServeInterrupt;
        sigaction(SIGINT, &sa, &previous);
        while (!gStop)
            ::pause();
        sigaction(SIGINT, &previous, nullptr);
    } else {
        io.out << "(The boards stop now; 'tessaly demo --serve' keeps them running.)\n";
    }
    return status;
}

TRegisterCommand reg({"demo", "the demo job boards, a demo home and a sample search", kUsage,
                      Demo});

}  // namespace
}  // namespace tessaly::cli
