#include <iostream>
#include <string>
#include <vector>

#include "cli/Command.h"
#include "platform/DateTime.h"

int main(int argc, char** argv) {
    tessaly::InitLocaleFromEnvironment();
    std::ios::sync_with_stdio(false);
    std::vector<std::string> args(argv + 1, argv + argc);
    tessaly::cli::TCliIO io{std::cout, std::cerr};
    const int status = tessaly::cli::RunCli(args, io);
    std::cout.flush();
    return status;
}
