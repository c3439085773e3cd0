// Simple (one character to one character) case mapping for the scripts job texts are
// written in: Latin with its extensions, Greek, Cyrillic and Armenian. Other characters
// have no case here and map to themselves.
//
// Only capitalising for display uses this; comparisons that ignore case upper-case the
// letters a to z and nothing else.
#pragma once

#include <string>
#include <string_view>

namespace tessaly {

char32_t UnicodeLower(char32_t cp);
char32_t UnicodeUpper(char32_t cp);

// True when the UTF-8 text holds a lower-case letter (one whose upper case differs).
bool HasLowerCaseLetter(std::string_view utf8);

// The UTF-8 text in lower case; with `firstUpper` its first character in upper case.
std::string LowerUtf8(std::string_view utf8, bool firstUpper = false);

}  // namespace tessaly
