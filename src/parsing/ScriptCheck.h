// What the interpreter will skip or ignore in a script, said in words. The interpreter
// itself reports nothing (a site's scripts must never stop a search), so the people who
// write definitions get these findings from `tessaly defs check` and `script run --trace`.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/ByteString.h"

namespace tessaly {

struct TScriptProblem {
    int line = 0;  // 0-based line of the script
    std::string message;
};

// The problems of one statement: a name the interpreter does not know, no argument, quotes
// that do not pair up, options that do not exist or belong to another command, counts
// that are ignored, a missing ";". An empty list means the line runs as written. Blank
// lines run nothing and are no problem.
std::vector<std::string> CheckScriptLine(std::string_view line);

// What a statement does wrong in a script that is run repeatedly (a job-block script): a
// REPLACE on the content whose replacement holds its own search text lengthens the content
// on every run. Empty when nothing is wrong.
std::vector<std::string> CheckRepeatedScriptLine(std::string_view line);

// CheckScriptLine over every line, in order.
std::vector<TScriptProblem> CheckScript(const TStrings& script);

// The word of `known` nearest to `word` (letter case ignored), or "" when none is close
// enough to be a likely misspelling.
std::string NearestWord(std::string_view word, const std::vector<std::string>& known);

}  // namespace tessaly
