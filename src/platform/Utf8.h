// Job texts are bytes as the sites sent them: some UTF-8, most the Windows Latin-1 code
// page. A text that is valid UTF-8 is shown as UTF-8, anything else as Windows-1252
// (its five undefined bytes as the Latin-1 control characters of the same value, so every
// byte maps to a character and back).
#pragma once

#include <string>
#include <string_view>

namespace tessaly {

// True when `bytes` is well-formed UTF-8 (no overlongs, surrogates or values past
// U+10FFFF). Pure ASCII is valid UTF-8.
bool IsValidUtf8(std::string_view bytes);

// The character Windows-1252 gives a byte.
char32_t Cp1252ToUnicode(unsigned char byte);

// The Windows-1252 byte of a character (0-255), or -1 when the code page has none.
int UnicodeToCp1252(char32_t cp);

// Appends a code point in UTF-8.
void AppendUtf8(std::string& out, char32_t cp);

// A job text for a UTF-8 display: valid UTF-8 unchanged, anything else read as
// Windows-1252.
std::string DisplayUtf8(std::string_view bytes);

// An edited text (UTF-8) in the form of the texts it sits with (`sample`): kept as UTF-8
// when the sample holds non-ASCII UTF-8, else written in Windows-1252. A text that code
// page cannot hold, or one that is not UTF-8 at all, is kept as it is rather than losing
// characters.
std::string BytesLike(std::string_view utf8Text, std::string_view sample);

}  // namespace tessaly
