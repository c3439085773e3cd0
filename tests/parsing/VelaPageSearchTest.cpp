#include "parsing/VelaPageSearch.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace tessaly {
namespace {

TEST(Similarity, KnownValuesAndBounds) {
    EXPECT_EQ(Similarity("AB", "BA"), 50);
    EXPECT_EQ(Similarity("ABCD", "ABXD"), 75);
    EXPECT_EQ(Similarity("MANAGERS", "MANAGER"), 93);
    EXPECT_EQ(Similarity("IT", "IT "), 80);        // not above 80: no match
    EXPECT_EQ(Similarity("NURSE", "NURSE,"), 91);  // longer words still match
    EXPECT_EQ(Similarity("SAME", "SAME"), 100);
    EXPECT_EQ(Similarity("ABC", "XYZ"), 0);
    EXPECT_EQ(Similarity("", "A"), 0);
    EXPECT_EQ(Similarity("A", ""), 0);
    EXPECT_EQ(Similarity("abc", "ABC"), 0);  // bytes compared exactly
    const std::string w255(255, 'A'), w256(256, 'A');
    EXPECT_EQ(Similarity(w255, w255), 100);
    EXPECT_EQ(Similarity(w256, w256), 0);
    EXPECT_EQ(Similarity(w256, "A"), 0);
}

TEST(Similarity, TieBreakAndRecursionOnBothSides) {
    // Longest common "AB" earliest in a and b; then "X" on the right; "Q" vs "Z" left.
    EXPECT_EQ(Similarity("QABX", "ZABX"), 75);
    // Equal-length candidates: taking the earliest in a ("AB" at 1) leaves "CD" right of
    // it against nothing in b's right piece, so M = 2: 200*2/8 = 50.
    EXPECT_EQ(Similarity("ABCD", "CDAB"), 50);
    // Rounding half up: 200*1/3 = 66.67 -> 67.
    EXPECT_EQ(Similarity("A", "AB"), 67);
    // Symmetric texts built from many small matches stay within the stack.
    std::string a, b;
    for (int i = 0; i < 127; ++i) {
        a += "a";
        a += static_cast<char>('0' + i % 10);
        b += "a";
        b += static_cast<char>('A' + i % 10);
    }
    EXPECT_EQ(Similarity(a, b), 50);
}

TEST(PageSearch, SplitWordsKeepsEmptyWords) {
    TVelaPageSearch ps;
    EXPECT_EQ(ps.SplitWords("nurse, manager."), (TStrings{"nurse", "", "manager", ""}));
    EXPECT_EQ(ps.SplitWords(""), (TStrings{""}));
    EXPECT_EQ(ps.SplitWords("a(b)c-d/e:f;g"), (TStrings{"a", "b", "c", "d", "e", "f", "g"}));
}

TEST(PageSearch, RemoveTagsAndCompact) {
    EXPECT_EQ(TVelaPageSearch::RemoveTags("a<b>b</b>c"), "abc");
    EXPECT_EQ(TVelaPageSearch::RemoveTags("x < y and more"), "x < y and more");
    EXPECT_EQ(TVelaPageSearch::RemoveTags("1 < 2 <b>bold</b>"), "1 < 2 bold");
    EXPECT_EQ(TVelaPageSearch::RemoveTags("<<b>"), "<");
    EXPECT_EQ(TVelaPageSearch::RemoveTags("<a><b>t"), "t");
    EXPECT_EQ(TVelaPageSearch::RemoveTags("t<unclosed"), "t<unclosed");
    EXPECT_EQ(TVelaPageSearch::CompactText("a\r\nb  c   d\n e\tf"), "a b c d e f");
}

TEST(PageSearch, CountMatches) {
    TVelaPageSearch ps;
    EXPECT_EQ(ps.CountMatches("manager", "<p>Managers wanted</p> MANAGER", false), 2);
    EXPECT_EQ(ps.CountMatches("manager nurse", "<p>Managers wanted</p>", false), 1);
    EXPECT_EQ(ps.CountMatches("manager nurse", "<p>Managers wanted</p>", true), 0);
    EXPECT_EQ(ps.CountMatches("manager nurse", "Manager; nurses", true), 2);
    // Tags split no words: "a<b>b</b>c" is the one word "abc".
    EXPECT_EQ(ps.CountMatches("abc", "a<b>b</b>c", true), 1);
    // Empty keywords from ", " or a trailing blank do not spoil require-all.
    EXPECT_EQ(ps.CountMatches("manager, nurse ", "Manager; nurses", true), 2);
    EXPECT_EQ(ps.CountMatches("", "anything", false), 0);
    // A keyword at the end of a line, or before a tab, is a word of its own.
    EXPECT_EQ(ps.CountMatches("autocad", "<li>Drafting in AutoCAD\r\nRevit</li>", true), 1);
    EXPECT_EQ(ps.CountMatches("autocad", "AutoCAD\nRevit\tAutoCAD", false), 2);
    EXPECT_EQ(ps.CountMatches(" , ", "anything", true), 0);
    // A page word over 255 bytes never matches.
    EXPECT_EQ(ps.CountMatches("AAA", std::string(300, 'A'), false), 0);
}

// The plain way of counting: every keyword against every page word, no shortcuts.
int ReferenceCountMatches(std::string_view keywords, std::string_view page, bool requireAll) {
    TVelaPageSearch ps;
    const TStrings sought = ps.SplitWords(keywords);
    const TStrings words =
        ps.SplitWords(TVelaPageSearch::CompactText(TVelaPageSearch::RemoveTags(page)));
    int total = 0;
    bool someMissing = false, anyKeyword = false;
    for (const auto& k : sought) {
        if (k.empty()) continue;
        anyKeyword = true;
        int hits = 0;
        for (const auto& w : words)
            if (Similarity(UpperCase(k), UpperCase(w)) > 80) ++hits;
        total += hits;
        if (hits == 0) someMissing = true;
    }
    if (!anyKeyword || (requireAll && someMissing)) return 0;
    return total;
}

// A word close to `base`: a few bytes changed, dropped, added or case-flipped.
std::string Mutate(std::string w, std::mt19937& rng) {
    static const std::string kBytes = "abcdeABCDE\xe9";
    const int edits = static_cast<int>(rng() % 3);
    for (int e = 0; e < edits; ++e) {
        const size_t at = w.empty() ? 0 : rng() % w.size();
        switch (rng() % 4) {
            case 0:
                if (!w.empty()) w[at] = kBytes[rng() % kBytes.size()];
                break;
            case 1:
                if (!w.empty()) w.erase(at, 1);
                break;
            case 2:
                w.insert(at, 1, kBytes[rng() % kBytes.size()]);
                break;
            default:
                if (!w.empty()) w[at] = static_cast<char>(w[at] ^ 0x20);
                break;
        }
    }
    return w;
}

std::string RandomWord(std::mt19937& rng) {
    static const std::string kBytes = "abcdeABCDE\xe9";
    std::string w;
    const size_t len = rng() % 40 == 0 ? 250 + rng() % 10 : rng() % 12;
    for (size_t i = 0; i < len; ++i)
        w += kBytes[rng() % kBytes.size()];
    return w;
}

TEST(PageSearch, CountMatchesAgreesWithThePlainWay) {
    static const char* kSeparators[] = {" ", ", ", "(", ")", "-", ".", "/", ":", ";", "  "};
    static const char* kNoise[] = {"<b>", "</p>", "\r\n", "\n", "<", ">", "<<i>", "\r"};
    std::mt19937 rng(20261208);
    TVelaPageSearch ps;
    int withHits = 0;
    for (int round = 0; round < 400; ++round) {
        std::vector<std::string> keys;
        std::string keywords;
        const int nk = 1 + static_cast<int>(rng() % 4);
        for (int i = 0; i < nk; ++i) {
            keys.push_back(RandomWord(rng));
            if (i > 0) keywords += rng() % 6 == 0 ? ", " : " ";
            keywords += keys.back();
        }
        if (rng() % 8 == 0) keywords += " ";
        std::string page;
        const int nw = static_cast<int>(rng() % 200);
        for (int i = 0; i < nw; ++i) {
            const auto r = rng() % 10;
            page += r < 4 ? Mutate(keys[rng() % keys.size()], rng)
                          : (r < 6 && !page.empty() ? page.substr(rng() % page.size(), 6)
                                                    : RandomWord(rng));
            page += rng() % 5 == 0 ? kNoise[rng() % 8] : kSeparators[rng() % 10];
        }
        for (const bool all : {false, true})
            ASSERT_EQ(ps.CountMatches(keywords, page, all),
                      ReferenceCountMatches(keywords, page, all))
                << "keywords [" << keywords << "] page [" << page << "] all " << all;
        if (ps.CountMatches(keywords, page, false) > 0) ++withHits;
    }
    // The pages must hold near misses and hits, not only words far from every keyword.
    EXPECT_GT(withHits, 100);
    EXPECT_LT(withHits, 400);
}

TEST(PageSearch, KeepGoingIsAskedAfterEveryComparisonAndCanEndTheCount) {
    TVelaPageSearch ps;
    std::string page;
    for (int i = 0; i < 100; ++i)
        page += "Managers nurse ";  // 201 words counting the empty last one
    int asked = 0;
    EXPECT_EQ(ps.CountMatches("manager nurse", page, true, [&] { return ++asked > 0; }), 200);
    // 2 keywords x 201 words compared, even though only three words are distinct.
    EXPECT_GE(asked, 2 * 201);
    asked = 0;
    EXPECT_EQ(ps.CountMatches("manager nurse", page, false, [&] { return ++asked < 300; }), 0);
    EXPECT_EQ(asked, 300);
}

}  // namespace
}  // namespace tessaly
