// Byte-string helpers with the edge behaviour the documents rely on.
//
// Texts are byte strings in the Windows Latin-1 code page. Positions count from 1
// and lengths count bytes; "not found" is position 0. Case folding touches only the
// letters a to z, so accented letters and every byte above 127 stay as they are.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

using TStrings = std::vector<std::string>;

// Substring from 1-based `start`, `count` bytes. A start below 1 is taken as 1 with the
// count unchanged; a start past the end or a negative count gives ""; a count running
// past the end is cut there.
std::string Copy(std::string_view s, int64_t start, int64_t count);

// Deletes `count` bytes from 1-based `start`. A start below 1 or past the end, or a
// count of 0 or less, deletes nothing; a count running past the end is cut there.
void Delete(std::string& s, int64_t start, int64_t count);

// Inserts `what` before 1-based position `pos`; below 1 inserts at the front, past the
// end appends.
void Insert(std::string_view what, std::string& s, int64_t pos);

// 1-based position of the first occurrence of `needle` at or after 1-based `from`,
// 0 when there is none. The empty needle is never found.
int64_t Pos(std::string_view needle, std::string_view haystack, int64_t from = 1);

// Upper-cases a to z only.
std::string UpperCase(std::string_view s);
void UpperCaseInPlace(std::string& s);
inline char UpperChar(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}
std::string LowerCase(std::string_view s);

// Case-insensitive equality (a to z only).
bool SameText(std::string_view a, std::string_view b);

std::string Reverse(std::string_view s);

// Removes bytes at or below the blank from both ends (or one end).
std::string Trim(std::string_view s);
std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);

// A whole decimal number: an optional sign and at least one digit, nothing else, within
// the signed 32-bit range. Anything else is not a number.
std::optional<int32_t> ParseInt(std::string_view s);
int32_t ParseIntOr(std::string_view s, int32_t fallback);
std::string IntToStr(int64_t v);

// Splits at every occurrence of `sep` (empty pieces kept).
TStrings Split(std::string_view s, std::string_view sep);
std::string Join(const TStrings& parts, std::string_view sep);

// Replaces every occurrence of `from` (non-empty) by `to`, in one pass.
std::string ReplaceAll(std::string_view s, std::string_view from, std::string_view to);
// `s` as HTML or XML text and attribute values: & < > " written as references.
std::string MarkupEscape(std::string_view s);

bool StartsWith(std::string_view s, std::string_view prefix);
bool EndsWith(std::string_view s, std::string_view suffix);

}  // namespace tessaly
