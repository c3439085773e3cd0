// What the commands that run searches and list their jobs share.
#pragma once

#include <iosfwd>
#include <string>

#include "data/VelaJobs.h"
#include "platform/ByteString.h"
#include "platform/Result.h"

namespace tessaly::cli {

// The closing paragraphs of the run commands' help: progress, Ctrl-C, exit status.
extern const char* const kRunNote;

// Fails with the choices when `value` is no entry of `list`.
TResult<void> CheckChoice(const TStrings& list, const std::string& value, const std::string& what);

// Job `i` of `jobs` as `tessaly show` prints it: number, status, title, company, location,
// source, relevancy and notes, tab-separated.
void PrintJobRow(std::ostream& os, const TVelaJobsList& jobs, int i);

}  // namespace tessaly::cli
