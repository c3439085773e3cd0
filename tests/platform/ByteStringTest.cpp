#include "platform/ByteString.h"

#include <gtest/gtest.h>

namespace tessaly {
namespace {

TEST(ByteString, CopyEdges) {
    EXPECT_EQ(Copy("abcdef", 2, 3), "bcd");
    EXPECT_EQ(Copy("abcdef", 0, 3), "abc");  // start below 1: taken as 1, count kept
    EXPECT_EQ(Copy("abcdef", -5, 2), "ab");
    EXPECT_EQ(Copy("abcdef", 7, 1), "");      // past the end
    EXPECT_EQ(Copy("abcdef", 3, -1), "");     // negative count
    EXPECT_EQ(Copy("abcdef", 5, 100), "ef");  // cut at the end
    EXPECT_EQ(Copy("", 1, 1), "");
}

TEST(ByteString, DeleteEdges) {
    std::string s = "abcdef";
    Delete(s, 0, 2);
    EXPECT_EQ(s, "abcdef");  // start below 1 deletes nothing
    Delete(s, 7, 2);
    EXPECT_EQ(s, "abcdef");
    Delete(s, 2, 0);
    EXPECT_EQ(s, "abcdef");
    Delete(s, 5, 100);
    EXPECT_EQ(s, "abcd");
    Delete(s, 1, 2);
    EXPECT_EQ(s, "cd");
}

TEST(ByteString, InsertEdges) {
    std::string s = "abc";
    Insert("X", s, -3);
    EXPECT_EQ(s, "Xabc");
    Insert("Y", s, 100);
    EXPECT_EQ(s, "XabcY");
    Insert("Z", s, 3);
    EXPECT_EQ(s, "XaZbcY");
}

TEST(ByteString, PosIsOneBasedAndNeverFindsEmpty) {
    EXPECT_EQ(Pos("b", "abcb"), 2);
    EXPECT_EQ(Pos("b", "abcb", 3), 4);
    EXPECT_EQ(Pos("x", "abc"), 0);
    EXPECT_EQ(Pos("", "abc"), 0);
    EXPECT_EQ(Pos("", ""), 0);
    EXPECT_EQ(Pos("a", "abc", 99), 0);
    EXPECT_EQ(Pos(std::string_view("\0", 1), std::string_view("a\0b", 3)), 2);
}

TEST(ByteString, CaseFoldingTouchesOnlyAtoZ) {
    EXPECT_EQ(UpperCase("abz{`\xe9\xff"), "ABZ{`\xe9\xff");
    EXPECT_TRUE(SameText("Title", "tITLE"));
    EXPECT_FALSE(SameText("\xe9", "\xc9"));  // accented letters are not folded
    EXPECT_EQ(LowerCase("ABC\xc9"), "abc\xc9");
}

TEST(ByteString, ReverseAndTrim) {
    EXPECT_EQ(Reverse("abc"), "cba");
    EXPECT_EQ(Reverse(""), "");
    EXPECT_EQ(Trim(" \t\r\n x y \x01"), "x y");
    EXPECT_EQ(TrimLeft("  x "), "x ");
    EXPECT_EQ(TrimRight("  x "), "  x");
    EXPECT_EQ(Trim("\xa0x\xa0"), "\xa0x\xa0");  // a no-break space is a character
}

TEST(ByteString, ParseIntIsStrictDecimal) {
    EXPECT_EQ(ParseInt("42"), 42);
    EXPECT_EQ(ParseInt("-7"), -7);
    EXPECT_EQ(ParseInt("+7"), 7);
    EXPECT_EQ(ParseInt("2147483647"), 2147483647);
    EXPECT_EQ(ParseInt("-2147483648"), -2147483647 - 1);
    EXPECT_FALSE(ParseInt("2147483648"));
    EXPECT_FALSE(ParseInt(""));
    EXPECT_FALSE(ParseInt("-"));
    EXPECT_FALSE(ParseInt(" 1"));
    EXPECT_FALSE(ParseInt("1x"));
    EXPECT_FALSE(ParseInt("99999999999999999999999"));
    EXPECT_EQ(ParseIntOr("x", 5), 5);
}

TEST(ByteString, SplitJoinReplace) {
    EXPECT_EQ(Split("a,,b", ","), (TStrings{"a", "", "b"}));
    EXPECT_EQ(Split("", ","), (TStrings{""}));
    EXPECT_EQ(Join({"a", "b"}, ";||"), "a;||b");
    EXPECT_EQ(ReplaceAll("aaa", "a", "aa"), "aaaaaa");  // replacements are not rescanned
    EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
}

}  // namespace
}  // namespace tessaly
