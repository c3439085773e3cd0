// Arbitrary bytes as a definitions file through `tessaly defs check`, and, when the input
// holds a NUL byte, the bytes after it as a saved page for the first site: the check ends
// with status 0 or 1 (2 only for a file it cannot read), without a crash or a hang.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/Command.h"
#include "platform/TextFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string dir = [] {
        char pattern[] = "/tmp/fuzz-defs-check-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        if (made == nullptr) std::abort();
        return std::string(made);
    }();
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    const size_t nul = all.find('\0');
    const std::string defs = dir + "/sources.def", page = dir + "/page.html";
    tessaly::WriteFileBytes(defs, std::string(all.substr(0, nul)));
    std::vector<std::string> argv = {"defs", "check", defs};
    if (nul != std::string_view::npos) {
        tessaly::WriteFileBytes(page, std::string(all.substr(nul + 1)));
        argv.insert(argv.end(), {"--page", "0", page});
    }
    std::ostringstream out, err;
    tessaly::cli::TCliIO io{out, err};
    const int status = tessaly::cli::RunCli(argv, io);
    // A page for a file without sites names no site: bad usage, said on standard error.
    if (status < 0 || status > 2 || (status == 2 && err.str().empty())) __builtin_trap();
    return 0;
}
