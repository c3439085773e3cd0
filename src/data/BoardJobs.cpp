#include "data/BoardJobs.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cstdint>

#include "parsing/VelaPageSearch.h"
#include "platform/ByteScan.h"
#include "platform/Utf8.h"

namespace tessaly {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The end of the JSON value starting at `at`, or npos when it is cut short.
size_t ValueEnd(std::string_view s, size_t at) {
    int depth = 0;
    for (size_t i = at; i < s.size();) {
        const char c = s[i];
        if (c == '"') {
            i = JsonStringEnd(s, i);
            if (i == std::string_view::npos) return i;
            if (depth == 0) return i;
            continue;
        }
        if (c == '{' || c == '[') {
            ++depth;
        } else if (c == '}' || c == ']') {
            if (--depth <= 0) return depth == 0 ? i + 1 : i;
        } else if (depth == 0 && (c == ',' || IsBlank(c))) {
            return i;  // the end of a number, true, false or null
        }
        ++i;
    }
    return depth == 0 ? s.size() : std::string_view::npos;
}

size_t SkipBlanks(std::string_view s, size_t i) {
    while (i < s.size() && IsBlank(s[i]))
        ++i;
    return i;
}

// The position of the "[" of the array under `key` in the top-level object.
size_t ArrayStart(std::string_view s, std::string_view key) {
    size_t i = SkipBlanks(s, 0);
    if (key == ".") return i < s.size() && s[i] == '[' ? i : std::string_view::npos;
    if (i >= s.size() || s[i] != '{') return std::string_view::npos;
    ++i;
    while (true) {
        i = SkipBlanks(s, i);
        if (i >= s.size() || s[i] != '"') return std::string_view::npos;
        const size_t nameEnd = JsonStringEnd(s, i);
        if (nameEnd == std::string_view::npos) return nameEnd;
        const std::string_view name = s.substr(i + 1, nameEnd - i - 2);
        i = SkipBlanks(s, nameEnd);
        if (i >= s.size() || s[i] != ':') return std::string_view::npos;
        i = SkipBlanks(s, i + 1);
        if (name == key) return i < s.size() && s[i] == '[' ? i : std::string_view::npos;
        i = ValueEnd(s, i);
        if (i == std::string_view::npos) return i;
        i = SkipBlanks(s, i);
        if (i >= s.size() || s[i] != ',') return std::string_view::npos;
        ++i;
    }
}

bool IsWordByte(unsigned char c) {
    return std::isalnum(c) || c >= 0x80 || c == '+' || c == '#';
}

TStrings UpperWords(std::string_view text) {
    TStrings words;
    std::string word;
    for (const char c : text) {
        if (IsWordByte(static_cast<unsigned char>(c))) {
            word += c;
        } else if (!word.empty()) {
            words.push_back(UpperCase(word));
            word.clear();
        }
    }
    if (!word.empty()) words.push_back(UpperCase(word));
    return words;
}

bool Alike(const std::string& a, const std::string& b) {
    if (a == b) return true;
    // Words of far apart lengths are never more than 80 % alike, however much of the
    // shorter the longer holds: not worth measuring.
    const size_t shorter = std::min(a.size(), b.size()), total = a.size() + b.size();
    if ((shorter * 2000 / total + 5) / 10 <= 80) return false;
    return Similarity(a, b) > 80;
}

// Whether `phrase` (one word or more) stands in `title` as words in a row.
bool HoldsPhrase(const TStrings& title, const TStrings& phrase) {
    if (phrase.empty()) return true;
    for (size_t i = 0; i + phrase.size() <= title.size(); ++i) {
        size_t k = 0;
        while (k < phrase.size() && Alike(title[i + k], phrase[k]))
            ++k;
        if (k == phrase.size()) return true;
    }
    return false;
}

// One alternative: its words and phrases as word groups, every one of which a title must
// hold in a row (a plain word is a group of its own).
std::vector<TStrings> WordGroups(std::string_view alternative) {
    std::vector<TStrings> groups;
    bool quoted = false;
    std::string piece;
    auto add = [&] {
        TStrings words = UpperWords(piece);
        if (quoted && !words.empty()) {
            groups.push_back(std::move(words));
        } else if (!quoted) {
            for (auto& w : words)
                groups.push_back({std::move(w)});
        }
        piece.clear();
    };
    for (const char c : alternative) {
        if (c != '"') {
            piece += c;
            continue;
        }
        add();
        quoted = !quoted;
    }
    add();
    return groups;
}

// A search's keywords read once for all the titles of a board: the alternatives that have
// a word. None: every title.
std::vector<std::vector<TStrings>> ReadKeywords(std::string_view keywords) {
    // Alternatives are parted by the word OR, in capitals, outside quotes.
    std::vector<std::string> alternatives(1);
    bool quoted = false;
    for (size_t i = 0; i < keywords.size(); ++i) {
        const char c = keywords[i];
        if (c == '"') quoted = !quoted;
        const bool orWord = !quoted && keywords.substr(i, 2) == "OR" &&
                            (i == 0 || IsBlank(keywords[i - 1])) &&
                            (i + 2 == keywords.size() || IsBlank(keywords[i + 2]));
        if (orWord) {
            alternatives.emplace_back();
            ++i;
            continue;
        }
        alternatives.back() += c;
    }
    std::vector<std::vector<TStrings>> read;
    for (const auto& a : alternatives)
        if (!UpperWords(a).empty()) read.push_back(WordGroups(a));
    return read;
}

bool TitleHolds(std::string_view title, const std::vector<std::vector<TStrings>>& alternatives) {
    if (alternatives.empty()) return true;
    const TStrings titleWords = UpperWords(title);
    for (const auto& groups : alternatives) {
        bool all = true;
        for (size_t g = 0; all && g < groups.size(); ++g)
            all = HoldsPhrase(titleWords, groups[g]);
        if (all) return true;
    }
    return false;
}

bool ContainsAtWordBounds(std::string_view text, std::string_view word) {
    if (word.empty()) return false;
    for (size_t at = text.find(word); at != std::string_view::npos; at = text.find(word, at + 1)) {
        const bool before = at == 0 || !std::isalnum(static_cast<unsigned char>(text[at - 1]));
        const size_t end = at + word.size();
        const bool after =
            end >= text.size() || !std::isalnum(static_cast<unsigned char>(text[end]));
        if (before && after) return true;
    }
    return false;
}

// Of the 16 bytes at `p`, those that may end a string or be part of an escape field scripts
// must not see: quotes, and slashes and backslashes after a backslash (bit k for byte k).
// `backslash` says whether the byte before `p` is one, and is set for the next 16.
uint32_t StringMarks(const char* p, bool& backslash) {
    const uint32_t backslashes = EqualBytes16(p, '\\');
    const uint32_t escaped = (backslashes << 1) | static_cast<uint32_t>(backslash);
    backslash = (backslashes >> 15) != 0;
    return EqualBytes16(p, '"') | ((EqualBytes16(p, '/') | backslashes) & escaped);
}

// Copies the string opening at `at` into `out`, with escaped backslashes and quotes turned
// into "&#92;" and "&quot;" (the clean-up turns them back) and escaped slashes into plain
// ones, so the first quote after a key ends its value. Returns the position after the
// string, or npos when the text ends inside it.
size_t CopyString(std::string_view s, size_t at, std::string& out) {
    // A job's description is long and full of escapes (\u003c, \n) that stay as written.
    // Only a quote, or a slash or backslash after a backslash, can end the string or need a
    // change; those are found sixteen bytes at a time, and the runs between them copied whole.
    // Whether one is escaped is told by the run of backslashes before it, counted from
    // `resume`, where the escapes already taken end.
    size_t run = at, resume = at + 1;
    enum { kOn, kEnd, kCut };
    auto take = [&](size_t p, size_t& end) {
        if (p < resume) return kOn;
        // Most marks are a quote after a lone backslash.
        if (s[p] == '"' && p > resume && s[p - 1] == '\\' &&
            (p - 1 == resume || s[p - 2] != '\\')) {
            out.append(s.data() + run, p - 1 - run);
            out.append("&quot;", 6);
            run = resume = p + 1;
            return kOn;
        }
        size_t first = p, last = p;
        while (first > resume && s[first - 1] == '\\')
            --first;
        while (last < s.size() && s[last] == '\\')
            ++last;
        if (last >= s.size()) return kCut;
        const size_t pairs = (last - first) / 2;
        if (pairs > 0) {
            out.append(s.data() + run, first - run);
            for (size_t k = 0; k < pairs; ++k)
                out.append("&#92;", 5);
            run = first + 2 * pairs;
        }
        const char c = s[last];
        resume = last + 1;
        if ((last - first) % 2 == 0) {
            if (c != '"') return kOn;
            out.append(s.data() + run, last + 1 - run);
            end = last + 1;
            return kEnd;
        }
        if (c == '"' || c == '/') {
            out.append(s.data() + run, last - 1 - run);
            if (c == '"')
                out.append("&quot;", 6);
            else
                out.push_back('/');
            run = last + 1;
        }
        return kOn;
    };
    size_t end = std::string_view::npos, i = at + 1;
    for (bool backslash = false; i + 16 <= s.size(); i += 16) {
        for (uint32_t marks = StringMarks(s.data() + i, backslash); marks != 0;
             marks &= marks - 1) {
            const auto taken = take(i + static_cast<size_t>(std::countr_zero(marks)), end);
            if (taken != kOn) return taken == kEnd ? end : std::string_view::npos;
        }
    }
    for (; i < s.size(); ++i) {
        const char c = s[i];
        if (c != '"' && !((c == '/' || c == '\\') && s[i - 1] == '\\')) continue;
        const auto taken = take(i, end);
        if (taken != kOn) return taken == kEnd ? end : std::string_view::npos;
    }
    return std::string_view::npos;
}

// Copies the object opening at `at` into `out` as field scripts read it: its strings as
// CopyString gives them and the arrays inside it emptied ("[]"). One pass finds its end
// too: the position after it, or npos when the text ends inside it.
size_t CopyJobObject(std::string_view s, size_t at, std::string& out) {
    int depth = 0;
    for (size_t i = at; i < s.size();) {
        size_t stop = i;
        while (stop < s.size() && s[stop] != '"' && s[stop] != '[' && s[stop] != '{' &&
               s[stop] != '}')
            ++stop;
        out.append(s.substr(i, stop - i));
        i = stop;
        if (i >= s.size()) break;
        const char c = s[i];
        if (c == '"') {
            i = CopyString(s, i, out);
        } else if (c == '[') {
            i = ValueEnd(s, i);
            out.append("[]");
        } else {
            out.push_back(c);
            ++i;
            depth += c == '{' ? 1 : -1;
            if (depth == 0) return i;
        }
        if (i == std::string_view::npos) break;
    }
    return std::string_view::npos;
}

// The names of a region in capitals, read once for all the locations of a board.
TStrings RegionNames(std::string_view names) {
    TStrings upper;
    for (const auto& name : Split(names, ","))
        upper.push_back(UpperCase(Trim(name)));
    return upper;
}

bool LocationFits(std::string_view location, const TStrings& upperNames) {
    const std::string text = UpperCase(location);
    for (const char* remote : {"REMOTE", "ANYWHERE", "WORLDWIDE"})
        if (ContainsAtWordBounds(text, remote)) return true;
    for (const auto& name : upperNames)
        if (ContainsAtWordBounds(text, name)) return true;
    return false;
}

}  // namespace

TJsonArrayReader::TJsonArrayReader(std::string_view json, std::string_view key)
    : json_(json), at_(ArrayStart(json, key)) {
    if (at_ != std::string_view::npos) ++at_;
}

bool TJsonArrayReader::Next(std::string& element) {
    element.clear();
    if (at_ == std::string_view::npos) return false;
    size_t i = SkipBlanks(json_, at_);
    at_ = std::string_view::npos;
    if (i >= json_.size() || json_[i] == ']') return false;
    size_t end;
    if (json_[i] == '{') {
        end = CopyJobObject(json_, i, element);
    } else {
        end = ValueEnd(json_, i);
        if (end != std::string_view::npos && end > i) element.assign(json_.substr(i, end - i));
    }
    if (end == std::string_view::npos || end == i) {
        element.clear();
        return false;
    }
    readTo_ = end;
    // The array goes on only after a comma.
    i = SkipBlanks(json_, end);
    if (i < json_.size() && json_[i] == ',') at_ = i + 1;
    return true;
}

TStrings JsonArrayElements(std::string_view json, std::string_view key) {
    TStrings elements;
    TJsonArrayReader reader(json, key);
    // The jobs of one board are much alike: each block starts with room for the last one
    // (within bounds: one huge job must not make every later block huge).
    constexpr size_t kMostRoom = size_t{64} * 1024;
    size_t room = 4096;
    std::string block;
    while (true) {
        block.reserve(room);
        if (!reader.Next(block)) return elements;
        room = std::min(block.size() + block.size() / 8, kMostRoom);
        elements.push_back(std::move(block));
        block = std::string();
    }
}

bool TitleHoldsKeywords(std::string_view title, std::string_view keywords) {
    return TitleHolds(title, ReadKeywords(keywords));
}

bool LocationFitsRegion(std::string_view location, std::string_view names) {
    return LocationFits(location, RegionNames(names));
}

int SelectBoardJobs(TVelaJobsList& jobs, std::string_view keywords, std::string_view region,
                    const TStrings& masterRegions, const TStrings& regionNames) {
    // The first master region is the one without a place ("Anywhere").
    std::string names;
    for (size_t i = masterRegions.size(); i-- > 1;) {
        if (masterRegions[i] != region) continue;
        names = i < regionNames.size() && !Trim(regionNames[i]).empty() ? regionNames[i]
                                                                        : std::string(region);
        break;
    }
    const auto alternatives = ReadKeywords(keywords);
    const TStrings upperNames = RegionNames(names);
    for (int i = jobs.Count(); i-- > 0;) {
        const TVelaJob& job = jobs[i];
        const bool keep = TitleHolds(job.Title, alternatives) &&
                          (names.empty() || LocationFits(job.Location, upperNames));
        if (!keep) jobs.DeleteJob(i);
    }
    return jobs.Count();
}

}  // namespace tessaly
