// Job texts, notes, tables and everything shown are UTF-8. Bytes from outside that are not
// UTF-8 (old tables and settings, pages in the Windows Latin-1 code page) are read as
// Windows-1252, its five undefined bytes as the Latin-1 control characters of the same
// value, so every byte maps to a character and back.
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

// The code point at `i`, moving `i` past it. A byte that does not start a well-formed
// sequence stands for its Windows-1252 character and moves `i` by one, so any bytes
// decode without loss.
char32_t NextUtf8(std::string_view s, size_t& i);

// Windows-1252 bytes as UTF-8.
std::string Utf8FromCp1252(std::string_view bytes);

// Bytes that should be UTF-8 but may hold stray bytes of another code page: well-formed
// sequences kept, every other byte read as Windows-1252.
std::string Utf8FromMixed(std::string_view bytes);

// A stored text (table, index, settings, definitions) as UTF-8: valid UTF-8 unchanged,
// anything else read as Windows-1252 as a whole (files of the program's first versions
// were written in that code page).
std::string Utf8FromStored(std::string_view bytes);

// The same rule for showing bytes whose origin is unknown.
inline std::string DisplayUtf8(std::string_view bytes) {
    return Utf8FromStored(bytes);
}

// A text cut out of a JSON string with its escapes undone: \" \\ \/ \b \f \n \r \t and
// \uXXXX (a surrogate pair gives one character, a lone surrogate the replacement
// character). An escape that is none of these stays as written.
std::string JsonUnescape(std::string_view text);

// A JSON text without the white space between its tokens: blanks, tabs and line ends
// outside strings are dropped, strings are kept byte for byte. Whether a feed is indented
// or written on one line, with or without a blank after its commas, it gives the same
// bytes. Works on any text: an unclosed string runs to the end.
std::string CompactJson(std::string_view text);

// The position after the closing quote of the JSON string whose opening quote is at
// `quote` (the first quote after an even run of backslashes), or npos when the text ends
// inside it.
size_t JsonStringEnd(std::string_view json, size_t quote);

}  // namespace tessaly
