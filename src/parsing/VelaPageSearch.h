// Fuzzy keyword matching of downloaded job pages, used by the refinement.
//
// A page word is a hit for a keyword when the two are more than 80 % alike by the
// Ratcliff/Obershelp measure, so plurals, small typing errors and case still match. The
// measure is shared with relevancy scoring.
#pragma once

#include <string>
#include <string_view>

#include "platform/ByteString.h"
#include "platform/KeepGoing.h"

namespace tessaly {

// Ratcliff/Obershelp similarity of two texts, 0 to 100, rounded half up. Bytes are
// compared exactly. Empty texts and texts longer than 255 bytes give 0. Runs in
// O(|a|·|b|) per compared range and allocates nothing.
int Similarity(std::string_view a, std::string_view b);

// Texts longer than this are never similar to anything.
inline constexpr size_t kMaxSimilarityLength = 255;

class TVelaPageSearch {
  public:
    // The number of keyword hits in the page (HTML). With `requireAll`, 0 when some
    // keyword has no hit. Empty keywords (between two adjacent separators, or after a
    // trailing one) are not keywords: they count nothing and do not spoil `requireAll`.
    // `keepGoing` is asked after each page word is cut out and after each keyword/page-word
    // pair, also when the verdict for a repeated page word is reused rather than measured
    // again; when it answers false the count ends and gives 0.
    int CountMatches(std::string_view keywords, std::string_view page, bool requireAll,
                     const TKeepGoing& keepGoing = {});

    // The words of the text: a blank, "(", ")", ",", "-", ".", "/", ":" or ";" ends a
    // word (the separator is dropped); empty words are kept, the last word too.
    TStrings SplitWords(std::string_view text);

    // The text without its HTML tags. A "<" followed by another "<" before any ">" is
    // plain text up to that next "<"; a "<" never closed stays with all that follows.
    static std::string RemoveTags(std::string_view text);

    // The text with CR, LF and tabs turned into blanks, and runs of blanks made one.
    static std::string CompactText(std::string_view text);

    static int Similarity(std::string_view a, std::string_view b) {
        return tessaly::Similarity(a, b);
    }
};

}  // namespace tessaly
