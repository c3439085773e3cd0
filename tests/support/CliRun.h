// Runs a `tessaly` command line in-process and keeps what it printed.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/Command.h"
#include "support/TestSupport.h"

namespace tessaly::test {

struct TCliRun {
    std::ostringstream out, err;
    int status = 0;
};

inline TCliRun RunArgs(const std::vector<std::string>& argv) {
    TCliRun c;
    cli::TCliIO io{c.out, c.err};
    c.status = cli::RunCli(argv, io);
    return c;
}

// Starts `args` (the program's path first) as a process of its own with its standard
// output written to `outFile`, for tests that signal it; -1 when it did not start.
inline pid_t SpawnWithOutput(const std::vector<std::string>& args, const std::string& outFile) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<std::string> copy = args;
    std::vector<char*> argv;
    for (auto& a : copy)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// A fixture for command tests that run many command lines over one sandbox: Run keeps
// the last command's output in `out` and `err`.
class TCliTest : public TLoopTest {
  protected:
    int Run(const std::vector<std::string>& argv) {
        out.str("");
        err.str("");
        cli::TCliIO io{out, err};
        return cli::RunCli(argv, io);
    }
    std::ostringstream out, err;
};

}  // namespace tessaly::test
