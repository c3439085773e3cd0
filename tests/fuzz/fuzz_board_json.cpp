// Arbitrary answers of a company's board and pasted addresses: cutting a JSON array into
// job blocks, the search's selection and the address reader never crash, every block is a
// value that starts where one may start, and an accepted address has a safe token.
#include <cstddef>
#include <cstdint>
#include <string>

#include "data/BoardJobs.h"
#include "data/Companies.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const size_t nul = text.find('\0');
    const std::string key = nul == std::string::npos ? "jobs" : text.substr(0, nul);
    const std::string json = nul == std::string::npos ? text : text.substr(nul + 1);
    for (const std::string& block : tessaly::JsonArrayElements(json, key)) {
        if (block.empty()) __builtin_trap();
        if (block[0] == ' ' || block[0] == ',' || block[0] == ']' || block[0] == '}')
            __builtin_trap();
    }
    (void)tessaly::TitleHoldsKeywords(json, key);
    (void)tessaly::LocationFitsRegion(json, key);
    static const std::vector<tessaly::TBoardFamily> families = [] {
        tessaly::TBoardFamily f;
        f.Name = "Board";
        f.Addresses = {"https://jobs.example.org/%board%", "https://%board%.example.net"};
        return std::vector<tessaly::TBoardFamily>{f};
    }();
    const auto ref = tessaly::ParseBoardAddress(json, families);
    if (ref.ok() && !tessaly::IsBoardToken(ref.value().Token)) __builtin_trap();
    return 0;
}
