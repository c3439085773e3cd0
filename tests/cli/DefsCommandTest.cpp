#include <gtest/gtest.h>

#include <sstream>

#include "cli/Command.h"
#include "data/VelaSources.h"
#include "platform/TextFile.h"
#include "support/CliRun.h"
#include "support/TestSupport.h"

namespace tessaly::cli {
namespace {

class DefsCommand : public test::TCliTest {
  protected:
    std::string Encoded() {
        const std::string def = Sandbox().File("sources.def");
        EXPECT_EQ(Run({"defs", "encode", test::FixturePath("boards.plain"), def}), kExitOk)
            << err.str();
        return def;
    }
};

TEST_F(DefsCommand, EncodeThenDecodeGivesThePlainLinesBack) {
    const std::string def = Encoded();
    const TStrings plain = ReadTextLines(test::FixturePath("boards.plain"));
    const std::string stored = ReadFileBytes(def);
    EXPECT_EQ(stored.find("Table Board"), std::string::npos);  // scrambled on disk
    EXPECT_EQ(DecodeSourcesText(stored), plain);
    ASSERT_EQ(Run({"defs", "decode", def}), kExitOk);
    EXPECT_EQ(SplitLines(out.str()), plain);
}

TEST_F(DefsCommand, EncodeRefusesALineThatWouldHoldALineEnd) {
    std::string bad;
    for (int c = 1; c < 256 && bad.empty(); ++c) {
        const std::string s = "Title|" + std::string(1, static_cast<char>(c));
        if (ScrambleSourcesLine(s).find_first_of("\r\n") != std::string::npos) bad = s;
    }
    ASSERT_FALSE(bad.empty());
    const std::string plain = Sandbox().File("bad.plain");
    WriteTextLines(plain, {"Version", "1", bad, "x"});
    const std::string def = Sandbox().File("out.def");
    EXPECT_EQ(Run({"defs", "encode", plain, def}), kExitFailed);
    EXPECT_NE(err.str().find("bad.plain, line 3"), std::string::npos) << err.str();
    std::string ignored;
    EXPECT_FALSE(TryReadFileBytes(def, ignored));  // nothing written
}

TEST_F(DefsCommand, ShowJsonHasEveryFieldAndMethodNames) {
    const std::string def = Encoded();
    ASSERT_EQ(Run({"defs", "show", def, "--json"}), kExitOk) << err.str();
    const std::string j = out.str();
    for (const char* piece :
         {"\"Version\": \"1998.11.03\"",
          "\"MRegions\": [\"Massachusetts\", \"Texas\", \"Nationwide\"]",
          "\"MCategories\": [\"Engineering\", \"Hospitality\"]", "\"Sites\": [",
          "\"FirstPageMethod\": \"GET\"", "\"FirstPageMethod\": \"POST\"",
          "\"FirstPageParameters\": [\"kw=<keyword:+>\", \"&area=<region>\"]",
          "\"JobURLScript\": "
          "[\"Add(\\\"http://cards.example.test/view?job=%title%&at=%company%\\\");\"]",
          "\"RegionNoMatchRelevancy\": -1", "\"KeywordLanguage\": \"fr\"",
          "\"NextPageLinkIsAForm\": true", "\"Enabled\": false"})
        EXPECT_NE(j.find(piece), std::string::npos) << piece;
}

TEST_F(DefsCommand, ShowReportsTheBadLineAndTheSitesBeforeIt) {
    const std::string def = Sandbox().File("broken.def");
    auto enc = EncodeSourcesLines({"Title", "Kept", "Title|one", "Lost"});
    ASSERT_TRUE(enc.ok());
    WriteFileBytes(def, enc.value());
    EXPECT_EQ(Run({"defs", "show", def}), kExitFailed);
    EXPECT_NE(err.str().find("broken.def, line 3"), std::string::npos) << err.str();
    EXPECT_NE(out.str().find("Site 0: Kept"), std::string::npos);

    EXPECT_EQ(Run({"defs", "show"}), kExitUsage);
    EXPECT_EQ(Run({"defs", "decode", Sandbox().File("none.def")}), kExitUsage);
    EXPECT_NE(err.str().find("none.def"), std::string::npos) << err.str();
}

TEST_F(DefsCommand, ShowHasTheExpectedFormatOfTheShippedBoards) {
    const std::string def = Sandbox().File("shipped.def");
    ASSERT_EQ(Run({"defs", "encode", test::FixturePath("../../data/sources.plain"), def}), kExitOk)
        << err.str();
    ASSERT_EQ(Run({"defs", "show", def, "--json"}), kExitOk) << err.str();
    EXPECT_NE(out.str().find("\"PageFormatScript\": [\"Go(After, \\\"<rss\\\", IgnoreCase);\""),
              std::string::npos)
        << out.str();
    ASSERT_EQ(Run({"defs", "show", def}), kExitOk) << err.str();
    EXPECT_NE(out.str().find("  PageFormatScript:\n    Go(Begin, \"[\", \"{\", \"<\");"),
              std::string::npos)
        << out.str();
}

}  // namespace
}  // namespace tessaly::cli
