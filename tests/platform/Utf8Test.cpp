// Texts in UTF-8: stored texts of the first versions read as Windows-1252, any byte
// decoded without loss.
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
    std::string back;
    for (size_t i = 0; i < shown.size();)
        back.push_back(static_cast<char>(UnicodeToCp1252(NextUtf8(shown, i))));
    EXPECT_EQ(back, all);
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(UnicodeToCp1252(Cp1252ToUnicode(static_cast<unsigned char>(b))), b) << b;
    EXPECT_EQ(UnicodeToCp1252(0x3B1), -1);  // Greek alpha has no byte
}

TEST(Utf8, StoredAndMixedTexts) {
    // A stored text is UTF-8 or, as a whole, Windows-1252.
    EXPECT_EQ(Utf8FromStored("caf\xc3\xa9 \xe2\x82\xac"), "caf\xc3\xa9 \xe2\x82\xac");
    EXPECT_EQ(Utf8FromStored("caf\xe9 \x80"), "caf\xc3\xa9 \xe2\x82\xac");
    EXPECT_EQ(Utf8FromStored(""), "");
    // A page field that should be UTF-8: only the stray byte is read as Windows-1252.
    EXPECT_EQ(Utf8FromMixed("\xc3\xa9\xe9"), "\xc3\xa9\xc3\xa9");
    EXPECT_EQ(Utf8FromMixed("\xe2\x82"), "\xc3\xa2\xe2\x80\x9a");  // a sequence cut short
    size_t i = 0;
    EXPECT_EQ(static_cast<uint32_t>(NextUtf8("\xf0\x9f\x98\x80", i)), 0x1F600u);
    EXPECT_EQ(i, 4u);
}

}  // namespace
}  // namespace tessaly
