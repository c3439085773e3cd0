#include "data/BoardJobs.h"

#include <cctype>

#include "parsing/VelaPageSearch.h"
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
    return a == b || Similarity(a, b) > 80;
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

// One alternative: its words and phrases, every one of which the title must hold.
bool HoldsAll(const TStrings& title, std::string_view alternative) {
    bool quoted = false;
    std::string piece;
    auto holds = [&](const std::string& text, bool phrase) {
        const TStrings words = UpperWords(text);
        if (phrase) return HoldsPhrase(title, words);
        for (const auto& w : words)
            if (!HoldsPhrase(title, {w})) return false;
        return true;
    };
    for (const char c : alternative) {
        if (c != '"') {
            piece += c;
            continue;
        }
        if (!holds(piece, quoted)) return false;
        piece.clear();
        quoted = !quoted;
    }
    return holds(piece, quoted);
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

// Copies the string opening at `at` into `out`, with escaped backslashes and quotes turned
// into "&#92;" and "&quot;" (the clean-up turns them back) and escaped slashes into plain
// ones, so the first quote after a key ends its value. Returns the position after the
// string, or npos when the text ends inside it.
size_t CopyString(std::string_view s, size_t at, std::string& out) {
    // Backslashes are looked for only up to the next quote, which ends the string unless
    // an escape takes it; other escapes stay in the run copied whole.
    size_t run = at, i = at + 1, quote = s.find('"', i);
    while (quote != std::string_view::npos) {
        const size_t to = s.substr(0, quote).find('\\', i);
        if (to == std::string_view::npos) {
            out.append(s, run, quote + 1 - run);
            return quote + 1;
        }
        const char next = s[to + 1];
        if (next == '\\' || next == '"' || next == '/') {
            out.append(s, run, to - run);
            out.append(next == '\\' ? "&#92;" : next == '"' ? "&quot;" : "/");
            run = to + 2;
        }
        i = to + 2;
        if (i > quote) quote = s.find('"', i);
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

}  // namespace

TStrings JsonArrayElements(std::string_view json, std::string_view key) {
    TStrings elements;
    size_t i = ArrayStart(json, key);
    if (i == std::string_view::npos) return elements;
    ++i;
    // The jobs of one board are much alike: each block starts with room for the last one.
    size_t room = 4096;
    while (true) {
        i = SkipBlanks(json, i);
        if (i >= json.size() || json[i] == ']') return elements;
        size_t end;
        if (json[i] == '{') {
            std::string block;
            block.reserve(room);
            end = CopyJobObject(json, i, block);
            if (end == std::string_view::npos) return elements;
            room = block.size() + block.size() / 8;
            elements.push_back(std::move(block));
        } else {
            end = ValueEnd(json, i);
            if (end == std::string_view::npos || end == i) return elements;
            elements.emplace_back(json.substr(i, end - i));
        }
        i = SkipBlanks(json, end);
        if (i >= json.size() || json[i] != ',') return elements;
        ++i;
    }
}

bool TitleHoldsKeywords(std::string_view title, std::string_view keywords) {
    const TStrings titleWords = UpperWords(title);
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
    bool anyWord = false;
    for (const auto& a : alternatives) {
        if (UpperWords(a).empty()) continue;
        anyWord = true;
        if (HoldsAll(titleWords, a)) return true;
    }
    return !anyWord;
}

bool LocationFitsRegion(std::string_view location, std::string_view names) {
    const std::string text = UpperCase(location);
    for (const char* remote : {"REMOTE", "ANYWHERE", "WORLDWIDE"})
        if (ContainsAtWordBounds(text, remote)) return true;
    for (const auto& name : Split(names, ","))
        if (ContainsAtWordBounds(text, UpperCase(Trim(name)))) return true;
    return false;
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
    for (int i = jobs.Count(); i-- > 0;) {
        const TVelaJob& job = jobs[i];
        const bool keep = TitleHoldsKeywords(job.Title, keywords) &&
                          (names.empty() || LocationFitsRegion(job.Location, names));
        if (!keep) jobs.DeleteJob(i);
    }
    return jobs.Count();
}

}  // namespace tessaly
