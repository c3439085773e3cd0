// Arbitrary bytes as a definitions file: loading must end, without a crash, either with
// the sites read or with a conversion error naming the line.
#include <cstddef>
#include <cstdint>
#include <string>

#include "data/VelaSources.h"
#include "platform/TextFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    tessaly::TVelaSourcesList list;
    // Half the inputs are taken as plain lines to scramble, so the key table is reached.
    std::string stored = text;
    if (size > 0 && (data[0] & 1)) {
        stored.clear();
        for (const auto& line : tessaly::SplitLines(text))
            stored += tessaly::ScrambleSourcesLine(line) + "\r\n";
    }
    try {
        list.LoadFromText(stored, "fuzz.def");
    } catch (const tessaly::EConvertError&) {
    }
    if (list.Count() > 10000) __builtin_trap();
    for (int i = 0; i < list.Count(); ++i)
        if (list[i].Index != i || list[i].EnabledChoice != list[i].Enabled) __builtin_trap();
    return 0;
}
