// Charsets of pages: where a page's charset comes from, and its bytes in UTF-8.
#include "platform/Charset.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "platform/UnicodeCase.h"
#include "platform/Utf8.h"

namespace tessaly {
namespace {

const std::string kUtf8Page = "<p>Ing\xC3\xA9nieur \xE2\x80\x93 Z\xC3\xBCrich</p>";
const std::string k1252Page = "<p>Ing\xE9nieur \x96 Z\xFCrich</p>";

TEST(Charset, NamesAndTheirAliases) {
    for (const char* n : {"UTF-8", "utf8", " \"Utf-8\" "})
        EXPECT_EQ(CharsetByName(n), TCharset::Utf8) << n;
    for (const char* n : {"windows-1252", "CP1252", "ISO-8859-1", "iso_8859-1", "latin1", "Latin-1",
                          "us-ascii", "ASCII"})
        EXPECT_EQ(CharsetByName(n), TCharset::Windows1252) << n;
    EXPECT_EQ(CharsetByName("ISO-8859-15"), TCharset::Latin9);
    for (const char* n : {"", "Shift_JIS", "koi8-r", "utf-16", "UFT-8"})
        EXPECT_EQ(CharsetByName(n), TCharset::Unknown) << n;
    EXPECT_EQ(CharsetName(TCharset::Windows1252), "windows-1252");
}

TEST(Charset, DeclarationsInHeaderAndPage) {
    EXPECT_EQ(ContentTypeCharset("text/html; charset=ISO-8859-1"), "ISO-8859-1");
    EXPECT_EQ(ContentTypeCharset("text/html;Charset=\"utf-8\";x=y"), "utf-8");
    EXPECT_EQ(ContentTypeCharset("text/html"), "");
    EXPECT_EQ(HeaderCharset("HTTP/1.0 200 OK\r\nServer: x; charset=koi8-r\r\n"
                            "content-type: text/html; charset=windows-1252\r\n\r\n"),
              "windows-1252");
    EXPECT_EQ(HeaderCharset("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n"), "");

    EXPECT_EQ(DeclaredPageCharset("\xEF\xBB\xBF<p>x"), "UTF-8");
    EXPECT_EQ(DeclaredPageCharset("<html><head><META CHARSET=utf-8></head>"), "utf-8");
    EXPECT_EQ(DeclaredPageCharset("<meta http-equiv=\"Content-Type\" "
                                  "content=\"text/html; charset=iso-8859-1\">"),
              "iso-8859-1");
    EXPECT_EQ(DeclaredPageCharset("<meta name='x' content='y'><meta charset='windows-1252'/>"),
              "windows-1252");
    EXPECT_EQ(DeclaredPageCharset("  <?xml version=\"1.0\" encoding='ISO-8859-1'?><rss>"),
              "ISO-8859-1");
    EXPECT_EQ(DeclaredPageCharset("<p>charset=utf-8 is only text here</p>"), "");
}

TEST(Charset, TheFirstDeclarationDecidesElseTheBytes) {
    const std::string latinHeader =
        "HTTP/1.0 200 OK\r\nContent-Type: text/html; charset=latin1\r\n";
    const std::string metaUtf8 = "<meta charset=utf-8>" + kUtf8Page;
    // No declaration: the bytes decide.
    EXPECT_EQ(ResolvePageCharset("", "", kUtf8Page), TCharset::Utf8);
    EXPECT_EQ(ResolvePageCharset("", "", k1252Page), TCharset::Windows1252);
    // The site's setting before the header, the header before the page.
    EXPECT_EQ(ResolvePageCharset("UTF-8", latinHeader, metaUtf8), TCharset::Utf8);
    EXPECT_EQ(ResolvePageCharset("", latinHeader, metaUtf8), TCharset::Windows1252);
    EXPECT_EQ(ResolvePageCharset("", "HTTP/1.0 200 OK\r\n", metaUtf8), TCharset::Utf8);
    EXPECT_EQ(ResolvePageCharset("", "", "<meta charset=windows-1252>" + kUtf8Page),
              TCharset::Windows1252);
    // A charset this program does not know: the bytes decide.
    EXPECT_EQ(ResolvePageCharset("Shift_JIS", "", k1252Page), TCharset::Windows1252);
    EXPECT_EQ(ResolvePageCharset("", "", "<meta charset=koi8-r>" + kUtf8Page), TCharset::Utf8);
}

TEST(Charset, BytesBecomeUtf8) {
    EXPECT_EQ(ToUtf8(k1252Page, TCharset::Windows1252), kUtf8Page);
    EXPECT_EQ(ToUtf8(kUtf8Page, TCharset::Utf8), kUtf8Page);
    EXPECT_EQ(ToUtf8(k1252Page, TCharset::Unknown), kUtf8Page);
    EXPECT_EQ(ToUtf8(kUtf8Page, TCharset::Unknown), kUtf8Page);
    // Declared UTF-8 with a stray Latin-1 byte: the byte alone is read as Windows-1252.
    EXPECT_EQ(ToUtf8("caf\xC3\xA9 & caf\xE9", TCharset::Utf8), "caf\xC3\xA9 & caf\xC3\xA9");
    // Latin-9 has the euro sign where Latin-1 has the currency sign.
    EXPECT_EQ(ToUtf8("5\xA4", TCharset::Latin9), "5\xE2\x82\xAC");
    EXPECT_EQ(ToUtf8("5\xA4", TCharset::Windows1252), "5\xC2\xA4");
    for (TCharset c : {TCharset::Utf8, TCharset::Windows1252, TCharset::Latin9, TCharset::Unknown})
        EXPECT_TRUE(IsValidUtf8(ToUtf8("\x80\xFF\xC3\x28\xF0", c)));
}

TEST(Charset, TextsSentInTheSitesCharset) {
    const std::string text = "caf\xC3\xA9 \xE2\x82\xAC \xCE\xB1";  // café € α
    EXPECT_EQ(FromUtf8(text, TCharset::Windows1252), "caf\xE9 \x80 %26%23945%3B");
    EXPECT_EQ(FromUtf8(text, TCharset::Latin9), "caf\xE9 \xA4 %26%23945%3B");
    EXPECT_EQ(FromUtf8(text, TCharset::Utf8), text);
    EXPECT_EQ(FromUtf8(text, TCharset::Unknown), text);
    // Bytes that are no UTF-8 are meant for the site already.
    EXPECT_EQ(FromUtf8("caf\xE9", TCharset::Windows1252), "caf\xE9");
}

TEST(UnicodeCase, LatinGreekCyrillic) {
    EXPECT_EQ(LowerUtf8("ING\xC3\x89NIEUR", true), "Ing\xC3\xA9nieur");
    EXPECT_EQ(LowerUtf8("\xC5\x81\xC3\x93"
                        "D\xC5\xB9",
                        true),
              "\xC5\x81\xC3\xB3"
              "d\xC5\xBA");  // ŁÓDŹ
    EXPECT_EQ(LowerUtf8("\xCE\x91\xCE\x98\xCE\x97\xCE\x9D\xCE\x91", true),
              "\xCE\x91\xCE\xB8\xCE\xB7\xCE\xBD\xCE\xB1");  // ΑΘΗΝΑ
    EXPECT_EQ(LowerUtf8("\xD0\x9C\xD0\x9E\xD0\xA1\xD0\x9A\xD0\x92\xD0\x90", true),
              "\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0");  // МОСКВА
    EXPECT_EQ(LowerUtf8("\xC5\xB8", false), "\xC3\xBF");            // Ÿ
    EXPECT_EQ(static_cast<uint32_t>(UnicodeUpper(0x00FF)), 0x0178u);
    EXPECT_EQ(static_cast<uint32_t>(UnicodeUpper(0x03C2)), 0x03A3u);  // final sigma
    EXPECT_EQ(static_cast<uint32_t>(UnicodeUpper(0x00DF)),
              0x00DFu);  // sharp s has no single capital
    EXPECT_EQ(static_cast<uint32_t>(UnicodeLower(0x00D7)),
              0x00D7u);  // the multiplication sign has no case
    EXPECT_EQ(static_cast<uint32_t>(UnicodeLower(0x0130)), 0x0069u);
    EXPECT_FALSE(
        HasLowerCaseLetter("STRA\xC3\x9F"
                           "E 12"));  // ß stays what it is
    EXPECT_TRUE(HasLowerCaseLetter("ING\xC3\xA9NIEUR"));
    EXPECT_FALSE(HasLowerCaseLetter("\xE2\x82\xAC 5 \xC3\x97"));
    // Every mapped letter maps back, but for the two whose lower case is a plain letter.
    for (char32_t c = 0x41; c < 0x1F00; ++c) {
        const char32_t l = UnicodeLower(c);
        if (l != c && c != 0x0130 && c != 0x1E9E) {
            EXPECT_EQ(static_cast<uint32_t>(UnicodeUpper(l)), static_cast<uint32_t>(c))
                << std::hex << static_cast<uint32_t>(c);
        }
    }
}

TEST(JsonText, CompactingDropsOnlyTheBlanksBetweenTokens) {
    EXPECT_EQ(CompactJson("{\n  \"a b\" : [ 1, \"x\\\" y\" ],\r\n\t\"c\": null }\n"),
              R"({"a b":[1,"x\" y"],"c":null})");
    // An escaped backslash ends before the quote that closes the string.
    EXPECT_EQ(CompactJson(R"(["a\\", "b"])"), R"(["a\\","b"])");
    // Not JSON, or cut short: nothing is lost but blanks outside quotes.
    EXPECT_EQ(CompactJson("<p> \"open  string"), "<p>\"open  string");
    EXPECT_EQ(CompactJson(""), "");
}

TEST(JsonText, EscapesAreUndone) {
    EXPECT_EQ(JsonUnescape(R"(https:\/\/x.test\/a?b=1)"), "https://x.test/a?b=1");
    EXPECT_EQ(JsonUnescape(R"(Le\u00f3n \"Sr\" \\ a\tb\nc\r\b\f)"),
              "Le\xC3\xB3n \"Sr\" \\ a\tb\nc\r\b\f");
    EXPECT_EQ(JsonUnescape(R"(\ud83d\ude00!)"), "\xF0\x9F\x98\x80!");  // a surrogate pair
    EXPECT_EQ(JsonUnescape(R"(\ud83d!)"), "\xEF\xBF\xBD!");            // a lone one
    EXPECT_EQ(JsonUnescape(R"(\u20AC \u00)"), "\xE2\x82\xAC \\u00");   // cut short: as written
    EXPECT_EQ(JsonUnescape(R"(\x \)"), R"(\x \)");
}

}  // namespace
}  // namespace tessaly
