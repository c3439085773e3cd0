#include "parsing/VelaPageSearch.h"

#include <gtest/gtest.h>

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
    EXPECT_EQ(TVelaPageSearch::CompactText("a\r\nb  c   d\n e"), "ab c d e");
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
    EXPECT_EQ(ps.CountMatches(" , ", "anything", true), 0);
    // A page word over 255 bytes never matches.
    EXPECT_EQ(ps.CountMatches("AAA", std::string(300, 'A'), false), 0);
}

}  // namespace
}  // namespace tessaly
