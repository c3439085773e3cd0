// Box loading of arbitrary bytes: reading, writing and reading back must never crash.
// Writing drops empty lines of multi-line values, so the written form settles after one
// more round and must then stay as it is.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "data/ConfigBox.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tessaly::TConfigBox box;
    box.LoadFromText(std::string(reinterpret_cast<const char*>(data), size));
    box.Modified = true;
    const std::string text = box.SaveToText();
    tessaly::TConfigBox second;
    second.LoadFromText(text);
    second.Modified = true;
    const std::string settled = second.SaveToText();
    tessaly::TConfigBox third;
    third.LoadFromText(settled);
    if (third.SaveToText() != settled) std::abort();
    return 0;
}
