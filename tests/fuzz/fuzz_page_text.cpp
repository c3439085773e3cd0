// Arbitrary pages and headers through the charset rules, the JSON unescaping and the
// clean-up: whatever the bytes, the texts that come out are valid UTF-8.
#include <cstddef>
#include <cstdint>
#include <string>

#include "data/VelaJobs.h"
#include "platform/Charset.h"
#include "platform/UnicodeCase.h"
#include "platform/Utf8.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    // A header and a page, cut at the first NUL byte.
    const size_t cut = input.find('\0');
    const std::string header = cut == std::string::npos ? std::string() : input.substr(0, cut);
    const std::string page = cut == std::string::npos ? input : input.substr(cut + 1);
    using namespace tessaly;
    const TCharset charset = ResolvePageCharset("", header, page);
    if (charset == TCharset::Unknown) __builtin_trap();
    const std::string text = ToUtf8(page, charset);
    if (!IsValidUtf8(text)) __builtin_trap();
    const std::string json = JsonUnescape(text);
    if (!IsValidUtf8(json)) __builtin_trap();
    const std::string clean = CleanJobText(json);
    if (!IsValidUtf8(clean)) __builtin_trap();
    if (clean.find_first_of("\t\r\n") != std::string::npos) __builtin_trap();
    if (!IsValidUtf8(LowerUtf8(clean, true))) __builtin_trap();
    // What goes to a site in its charset reads back as the text, unless a character had to
    // travel as a reference.
    const std::string sent = FromUtf8(clean, TCharset::Windows1252);
    if (sent.find("%26%23") == std::string::npos && ToUtf8(sent, TCharset::Windows1252) != clean)
        __builtin_trap();
    return 0;
}
