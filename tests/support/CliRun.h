// Runs a `tessaly` command line in-process and keeps what it printed.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/Command.h"

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

}  // namespace tessaly::test
