// Job texts as bytes on a UTF-8 display, and edited texts written back like their
// neighbours.
#include "platform/Utf8.h"

#include <gtest/gtest.h>

namespace tessaly {
namespace {

TEST(Utf8, DisplayKeepsUtf8AndReadsTheRestAsWindows1252) {
    EXPECT_EQ(DisplayUtf8("plain"), "plain");
    EXPECT_EQ(DisplayUtf8("Soci\xc3\xa9t\xc3\xa9"), "Soci\xc3\xa9t\xc3\xa9");
    EXPECT_EQ(DisplayUtf8("Ing\xe9nieur"), "Ing\xc3\xa9nieur");
    // 0x80 is the euro sign, 0x93/0x94 curly quotes, 0x81 undefined (kept as U+0081).
    EXPECT_EQ(DisplayUtf8("\x80 \x93x\x94 \x81"),
              "\xe2\x82\xac \xe2\x80\x9cx\xe2\x80\x9d \xc2\x81");
    // One stray byte makes the whole text Windows-1252, UTF-8-looking pairs included.
    EXPECT_EQ(DisplayUtf8("\xc3\xa9\xe9"), "\xc3\x83\xc2\xa9\xc3\xa9");
    EXPECT_FALSE(IsValidUtf8("\xed\xa0\x80"));  // a surrogate is no UTF-8
}

TEST(Utf8, EveryByteComesBackThroughTheDisplay) {
    std::string all;
    for (int b = 1; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    const std::string shown = DisplayUtf8(all);
    EXPECT_TRUE(IsValidUtf8(shown));
    EXPECT_EQ(BytesLike(shown, "Acme"), all);
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(UnicodeToCp1252(Cp1252ToUnicode(static_cast<unsigned char>(b))), b) << b;
    EXPECT_EQ(UnicodeToCp1252(0x3B1), -1);  // Greek alpha has no byte
}

TEST(Utf8, EditedTextsAreWrittenLikeTheirNeighbours) {
    const std::string text = "caf\xc3\xa9 \xe2\x82\xac";
    EXPECT_EQ(BytesLike(text, "Le Petit Caf\xe9"), "caf\xe9 \x80");
    // Plain ASCII neighbours are no sign of UTF-8: the program's own code page.
    EXPECT_EQ(BytesLike(text, "Acme"), "caf\xe9 \x80");
    EXPECT_EQ(BytesLike(text, "Soci\xc3\xa9t\xc3\xa9"), text);
    // Nothing is lost: characters the code page lacks, and bytes that are no UTF-8.
    EXPECT_EQ(BytesLike("\xce\xb1\xce\xb2", "Acme"), "\xce\xb1\xce\xb2");
    EXPECT_EQ(BytesLike("caf\xe9", "Acme"), "caf\xe9");
    EXPECT_EQ(BytesLike("", "Acme"), "");
}

}  // namespace
}  // namespace tessaly
