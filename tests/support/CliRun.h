// Runs a `tessaly` command line in-process and keeps what it printed.
#pragma once

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
