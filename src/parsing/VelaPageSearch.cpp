#include "parsing/VelaPageSearch.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace tessaly {

namespace {

struct TRangePair {
    uint8_t a0, a1, b0, b1;  // half-open ranges [a0, a1) of a and [b0, b1) of b
};

// Every pending pair holds at least one byte of a that no other pending pair or match
// holds, so 255 bytes never leave more than 128 pairs pending.
constexpr size_t kMaxPending = kMaxSimilarityLength / 2 + 1;

}  // namespace

int Similarity(std::string_view a, std::string_view b) {
    if (a.empty() || b.empty() || a.size() > kMaxSimilarityLength ||
        b.size() > kMaxSimilarityLength)
        return 0;

    std::array<TRangePair, kMaxPending> stack;
    size_t depth = 0;
    stack[depth++] = {0, static_cast<uint8_t>(a.size()), 0, static_cast<uint8_t>(b.size())};

    // Lengths of the common suffixes ending at (i, j), one row of b at a time.
    std::array<uint8_t, kMaxSimilarityLength + 1> prev{};
    std::array<uint8_t, kMaxSimilarityLength + 1> cur{};

    int matched = 0;
    while (depth > 0) {
        const TRangePair r = stack[--depth];
        // Longest common substring of the two ranges; scanning a then b in order and
        // taking only strictly longer ones keeps the earliest in a, then in b.
        int best = 0, bestA = 0, bestB = 0;
        const int bl = r.b1 - r.b0;
        for (int j = 0; j <= bl; ++j)
            prev[j] = 0;
        for (int i = r.a0; i < r.a1; ++i) {
            cur[0] = 0;
            const char ca = a[i];
            for (int j = 1; j <= bl; ++j) {
                if (b[r.b0 + j - 1] == ca) {
                    const int len = prev[j - 1] + 1;
                    cur[j] = static_cast<uint8_t>(len);
                    if (len > best) {
                        best = len;
                        bestA = i - len + 1;
                        bestB = r.b0 + j - len;
                    }
                } else {
                    cur[j] = 0;
                }
            }
            prev.swap(cur);
        }
        if (best == 0) continue;
        matched += best;
        if (bestA > r.a0 && bestB > r.b0)
            stack[depth++] = {r.a0, static_cast<uint8_t>(bestA), r.b0, static_cast<uint8_t>(bestB)};
        const int aRight = bestA + best, bRight = bestB + best;
        if (aRight < r.a1 && bRight < r.b1)
            stack[depth++] = {static_cast<uint8_t>(aRight), r.a1, static_cast<uint8_t>(bRight),
                              r.b1};
    }
    const int total = static_cast<int>(a.size() + b.size());
    return (matched * 2 * 1000 / total + 5) / 10;
}

namespace {

bool IsPageSeparator(char c) {
    switch (c) {
        case ' ':
        case '(':
        case ')':
        case ',':
        case '-':
        case '.':
        case '/':
        case ':':
        case ';':
            return true;
        default:
            return false;
    }
}

}  // namespace

TStrings TVelaPageSearch::SplitWords(std::string_view text) {
    TStrings words;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (!IsPageSeparator(text[i])) continue;
        words.emplace_back(text.substr(start, i - start));
        start = i + 1;
    }
    words.emplace_back(text.substr(start));
    return words;
}

std::string TVelaPageSearch::RemoveTags(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    const size_t n = text.size();
    // The next ">" at or after the scan, found once and reused while it lies ahead, so
    // long runs of unclosed "<" stay linear.
    size_t gt = 0;
    bool gtKnown = false;
    size_t i = 0;
    while (i < n) {
        if (text[i] != '<') {
            const size_t lt = text.find('<', i);
            const size_t end = lt == std::string_view::npos ? n : lt;
            out.append(text.substr(i, end - i));
            i = end;
            continue;
        }
        if (!gtKnown || (gt != std::string_view::npos && gt < i)) {
            gt = text.find('>', i + 1);
            gtKnown = true;
        }
        if (gt == std::string_view::npos) {
            out.append(text.substr(i));  // never closed: plain text to the end
            break;
        }
        const size_t nextLt = text.find('<', i + 1);
        if (nextLt != std::string_view::npos && nextLt < gt) {
            out.append(text.substr(i, nextLt - i));  // a stray "<": the next one opens
            i = nextLt;
            continue;
        }
        i = gt + 1;
    }
    return out;
}

std::string TVelaPageSearch::CompactText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        // A line break or a tab parts words as a blank does: the last word of a line and
        // the first of the next stay two words.
        if (c == '\r' || c == '\n' || c == '\t') c = ' ';
        if (c == ' ' && !out.empty() && out.back() == ' ') continue;
        out.push_back(c);
    }
    return out;
}

namespace {

// How many bytes the two texts have in common, counted as multisets. Every byte that the
// measure matches is paired with an equal byte of the other text, so this bounds the
// matched count from above.
int CommonBytes(const std::array<uint8_t, 256>& keyCounts, std::string_view word) {
    std::array<uint8_t, 256> left = keyCounts;
    int common = 0;
    for (char c : word) {
        uint8_t& n = left[static_cast<unsigned char>(c)];
        if (n > 0) {
            --n;
            ++common;
        }
    }
    return common;
}

// The percentage the measure would give for `matched` bytes, with the same rounding.
int PercentOf(size_t matched, size_t total) {
    return static_cast<int>((matched * 2000 / total + 5) / 10);
}

}  // namespace

int TVelaPageSearch::CountMatches(std::string_view keywords, std::string_view page, bool requireAll,
                                  const TKeepGoing& keepGoing) {
    TStrings sought = SplitWords(keywords);
    for (auto& w : sought)
        UpperCaseInPlace(w);

    // Upper-casing touches letters only, never a separator, so the whole text can be
    // upper-cased before it is cut into words. The words are views into it.
    std::string text = CompactText(RemoveTags(page));
    UpperCaseInPlace(text);
    std::vector<std::string_view> words;
    {
        const std::string_view all(text);
        size_t start = 0;
        for (size_t i = 0; i < all.size(); ++i) {
            if (!IsPageSeparator(all[i])) continue;
            words.push_back(all.substr(start, i - start));
            start = i + 1;
            if (!AskKeepGoing(keepGoing)) return 0;
        }
        words.push_back(all.substr(start));
    }

    // A page repeats its words a lot: each distinct word is compared once per keyword and
    // every further occurrence reuses the verdict.
    std::vector<uint32_t> ids;
    ids.reserve(words.size());
    std::vector<std::string_view> distinct;
    {
        std::unordered_map<std::string_view, uint32_t> seen;
        seen.reserve(words.size());
        for (const auto w : words) {
            auto [it, added] = seen.try_emplace(w, static_cast<uint32_t>(distinct.size()));
            if (added) distinct.push_back(w);
            ids.push_back(it->second);
        }
    }

    int total = 0;
    bool someMissing = false;
    bool anyKeyword = false;
    std::vector<int8_t> verdict;  // per distinct word: -1 unknown, 0 no hit, 1 hit
    for (const auto& keyword : sought) {
        if (keyword.empty()) continue;
        anyKeyword = true;
        std::array<uint8_t, 256> keyCounts{};
        if (keyword.size() <= kMaxSimilarityLength)
            for (char c : keyword)
                ++keyCounts[static_cast<unsigned char>(c)];
        verdict.assign(distinct.size(), -1);
        int hits = 0;
        for (const uint32_t id : ids) {
            int8_t& v = verdict[id];
            if (v < 0) {
                const std::string_view word = distinct[id];
                const size_t sum = keyword.size() + word.size();
                // At best every byte of the shorter text matches, and never more bytes
                // than the two have in common; when even that is not above 80 the full
                // measure is not needed.
                const size_t shorter = std::min(keyword.size(), word.size());
                bool hit = false;
                if (keyword.size() <= kMaxSimilarityLength && word.size() <= kMaxSimilarityLength &&
                    PercentOf(shorter, sum) > 80 &&
                    PercentOf(static_cast<size_t>(CommonBytes(keyCounts, word)), sum) > 80)
                    hit = Similarity(keyword, word) > 80;
                v = hit ? 1 : 0;
            }
            hits += v;
            if (!AskKeepGoing(keepGoing)) return 0;
        }
        total += hits;
        if (hits == 0) someMissing = true;
    }
    if (!anyKeyword) return 0;
    if (requireAll && someMissing) return 0;
    return total;
}

}  // namespace tessaly
