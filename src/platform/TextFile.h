// Whole-file reading and writing. Text files are written with CR LF line ends; readers
// accept CR LF and lone LF. A file is replaced atomically: the bytes go to a temporary
// file beside it, which is renamed over the old one, so a failure leaves the old file.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/ByteString.h"

namespace tessaly {

// A file operation that failed; the message names the file and the reason.
class EFileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Writes all of `bytes` to the descriptor, retrying short writes; false (errno set) on error.
bool WriteAll(int fd, std::string_view bytes);

// Reads the whole file; throws EFileError when it cannot be opened or read.
std::string ReadFileBytes(const std::string& path);
// Same, but returns false (errno set) instead of throwing.
bool TryReadFileBytes(const std::string& path, std::string& out);

// Writes `bytes` to `path` through a temporary file beside it and a rename. Throws
// EFileError (with nothing left behind and the old file intact) on any failure.
void WriteFileAtomic(const std::string& path, std::string_view bytes);
// Writes `bytes` to `path` directly (creating or truncating it). Throws EFileError.
void WriteFileBytes(const std::string& path, std::string_view bytes);

// Splits a text into lines at CR LF or lone LF. A final line end does not start an
// empty last line. A lone CR inside a line is kept.
TStrings SplitLines(std::string_view text);
// Joins lines with CR LF after every line.
std::string JoinLinesCrLf(const TStrings& lines);

TStrings ReadTextLines(const std::string& path);
void WriteTextLines(const std::string& path, const TStrings& lines);

}  // namespace tessaly
