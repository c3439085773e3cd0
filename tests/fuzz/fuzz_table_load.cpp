// Job-table loading of arbitrary bytes must never crash; a damaged count may only raise
// the conversion error. What is written settles after one round: writing the loaded list,
// loading that and writing again gives the same text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "data/VelaSearches.h"
#include "data/VelaSources.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tessaly::TVelaJobsList list;
    try {
        tessaly::LoadJobTableText(list, std::string(reinterpret_cast<const char*>(data), size),
                                  "fuzz.tbl");
    } catch (const tessaly::EConvertError&) {
        return 0;
    }
    const std::string text = tessaly::JobTableText(list);
    tessaly::TVelaJobsList second;
    tessaly::LoadJobTableText(second, text, "fuzz.tbl");
    if (tessaly::JobTableText(second) != text) std::abort();
    return 0;
}
