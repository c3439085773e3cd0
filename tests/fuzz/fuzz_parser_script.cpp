// Arbitrary script lines and texts through Run and RunRepeated, and the lines through the
// checker that explains them: no crash, no hang.
// Input layout: the script, a NUL byte, the text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "parsing/ParserScript.h"
#include "parsing/ScriptCheck.h"
#include "platform/TextFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    const size_t nul = all.find('\0');
    const std::string_view script = all.substr(0, nul);
    const std::string_view text = nul == std::string_view::npos ? "" : all.substr(nul + 1);
    const tessaly::TStrings lines = tessaly::SplitLines(script);
    tessaly::TParserScript parser;
    (void)parser.Run(lines, text);
    (void)parser.RunRepeated(lines, text);
    (void)tessaly::CheckScript(lines);
    return 0;
}
