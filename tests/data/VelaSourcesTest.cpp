#include "data/VelaSources.h"

#include <gtest/gtest.h>

#include "data/Packer.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "support/TestSupport.h"

namespace tessaly {
namespace {

class Sources : public test::TLoopTest {
  protected:
    // Writes plain key/value lines as a scrambled definitions file and loads it.
    std::string Write(const TStrings& plain, const std::string& name = "sources.def") {
        auto encoded = EncodeSourcesLines(plain);
        EXPECT_TRUE(encoded.ok()) << encoded.error();
        const std::string path = Sandbox().File(name);
        WriteFileBytes(path, encoded.ok() ? encoded.value() : "");
        return path;
    }
    void Load(const TStrings& plain) { list.LoadFromFile(Write(plain)); }
    TVelaSourcesList list;
};

// ---------------------------------------------------------------- scrambler

TEST(SourcesScrambler, EachPassIsItsOwnInverse) {
    const std::string line = "JobTitleScript|12|3\xA7\x01\xFF";
    for (std::string_view key : {kSourcesKeyA, kSourcesKeyB, std::string_view("k")}) {
        std::string s = line;
        ScrambleLine(s, key);
        EXPECT_NE(s, line);
        ScrambleLine(s, key);
        EXPECT_EQ(s, line);
    }
    std::string s = line;
    ScrambleLine(s, "");
    EXPECT_EQ(s, line);
    std::string empty;
    ScrambleLine(empty, "Quokka");
    EXPECT_EQ(empty, "");
    // The two passes commute, since the masks depend only on the key length.
    std::string ab = line, ba = line;
    ScrambleLine(ab, "Quokka");
    ScrambleLine(ab, "Fennel");
    ScrambleLine(ba, "Fennel");
    ScrambleLine(ba, "Quokka");
    EXPECT_EQ(ab, ba);
    EXPECT_EQ(ScrambleSourcesLine(ScrambleSourcesLine(line)), line);
}

TEST(SourcesScrambler, KnownBytes) {
    // Worked by hand: a key of length 1 starts with mask 0. For one byte "A" (0x41) and
    // key "k" (0x6B): bit 3 of 0 is clear, so m = 1, then ~m = 0xFE, rotated 0x7F:
    // 0x41 ^ 0x6B ^ 0x7F = 0x55.
    std::string s = "A";
    ScrambleLine(s, "k");
    EXPECT_EQ(s, "\x55");
    // Two bytes with "Fennel": m0 = 5 -> (bit 3 clear) 4 -> ~ 0xFB -> rot 0xFD; key[5]='l'.
    // m1: 0xFD has bit 3 set -> ~ 0x02 -> rot 0x01; key[4]='e'.
    std::string t = std::string("\0\0", 2);
    ScrambleLine(t, "Fennel");
    EXPECT_EQ(t, std::string({static_cast<char>('l' ^ 0xFD), static_cast<char>('e' ^ 0x01)}));
}

TEST(SourcesScrambler, EncoderRefusesLinesThatWouldHoldALineEnd) {
    // Find a short line whose scrambled form holds CR: every first byte is tried.
    std::string bad;
    for (int c = 1; c < 256 && bad.empty(); ++c) {
        const std::string s(1, static_cast<char>(c));
        if (ScrambleSourcesLine(s).find_first_of("\r\n") != std::string::npos) bad = s;
    }
    ASSERT_FALSE(bad.empty());
    auto r = EncodeSourcesLines({"Version", "1", bad});
    ASSERT_FALSE(r.ok());
    EXPECT_NE(r.error().find("line 3"), std::string::npos) << r.error();
    auto good = EncodeSourcesLines({"Version", "1"});
    ASSERT_TRUE(good.ok());
    EXPECT_EQ(DecodeSourcesText(good.value()), (TStrings{"Version", "1"}));
}

// ---------------------------------------------------------------- file forms

TEST_F(Sources, MissingFileGivesAnEmptyListAndKeepsTheVersion) {
    Load({"Version", "7", "MRegions", "Texas"});
    ASSERT_EQ(list.Count(), 1);
    list.LoadFromFile(Sandbox().File("nothing.def"));
    EXPECT_EQ(list.Count(), 0);
    EXPECT_TRUE(list.MRegions.empty());
    EXPECT_EQ(list.Version, "7");
    EXPECT_TRUE(Said().messages.empty());
}

TEST_F(Sources, GlobalKeysAloneGiveOneDefaultSite) {
    Load({"Version", "1998.1", "MRegions", "Texas", "MRegions", "Utah", "MCategories", "Sales"});
    EXPECT_EQ(list.Version, "1998.1");
    EXPECT_EQ(list.MRegions, (TStrings{"Texas", "Utah"}));
    EXPECT_EQ(list.MCategories, (TStrings{"Sales"}));
    ASSERT_EQ(list.Count(), 1);
    const TVelaSource& s = list[0];
    EXPECT_EQ(s.Title, "New Source");
    EXPECT_FALSE(s.Enabled);
    EXPECT_FALSE(s.EnabledChoice);
    EXPECT_EQ(s.FirstPageURL, "http://");
    EXPECT_EQ(s.FirstPageMethod, TSubmitMethod::smGET);
    EXPECT_EQ(s.KeywordLanguage, "en");
    EXPECT_EQ(s.RegionMatchRelevancy, 1);
    EXPECT_EQ(s.RegionNoMatchRelevancy, -1);
    EXPECT_EQ(s.KeywordsFullMatchRelevancy, 2);
    EXPECT_EQ(s.MRegions, &list.MRegions);
    // A later load rebuilds everything.
    Load({"Title|1", "B"});
    EXPECT_EQ(list.Count(), 2);
    EXPECT_TRUE(list.MRegions.empty());
    EXPECT_EQ(list.Version, "1998.1");
}

TEST_F(Sources, LastValueLineMayBeMissingAndLoneLfIsALineEnd) {
    const std::string path = Sandbox().File("lf.def");
    WriteFileBytes(path, ScrambleSourcesLine("Title") + "\n" + ScrambleSourcesLine("Lone LF") +
                             "\n" + ScrambleSourcesLine("HomeURL|1"));
    list.LoadFromFile(path);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list[0].Title, "Lone LF");
    EXPECT_EQ(list[1].HomeURL, "");
}

TEST_F(Sources, BadSiteNumberStopsNamingTheLineAndKeepsWhatWasRead) {
    const std::string path =
        Write({"Title", "A", "Enabled", "True", "Title|1", "B", "Title|x1", "C", "Title|3", "D"});
    try {
        list.LoadFromFile(path);
        FAIL() << "no error";
    } catch (const EConvertError& e) {
        const std::string m = e.what();
        EXPECT_NE(m.find("sources.def, line 7"), std::string::npos) << m;
        EXPECT_NE(m.find("'x1'"), std::string::npos) << m;
    }
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list[1].Title, "B");
    EXPECT_TRUE(list[0].EnabledChoice);  // the sites read so far are usable

    EXPECT_THROW(Load({"Title|1|z", "B"}), EConvertError);
    EXPECT_THROW(Load({"Title|-1", "B"}), EConvertError);
    EXPECT_THROW(Load({"Title|2000000000", "B"}), EConvertError);
    try {
        Load({"Title", "A", "JobsPerPage", "ten"});
        FAIL() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_NE(std::string(e.what()).find("line 4"), std::string::npos) << e.what();
    }
    EXPECT_EQ(list[0].Title, "A");
}

TEST_F(Sources, BinaryGarbageLoadsWithoutACrash) {
    std::string junk;
    uint32_t x = 12345;
    for (int i = 0; i < 20000; ++i) {
        x = x * 1103515245u + 12345u;
        junk += static_cast<char>(x >> 24);
    }
    const std::string path = Sandbox().File("junk.def");
    WriteFileBytes(path, junk);
    try {
        list.LoadFromFile(path);
    } catch (const EConvertError&) {
        // A garbled key line is a conversion error; anything else would be a fault.
    }
    EXPECT_LE(list.Count(), 10000);
}

// ---------------------------------------------------------------- keys

TEST_F(Sources, KeyLinesAddressSitesAndAppendDefaults) {
    Load({"Title|3", "Fourth", "Enabled|3", "true", "MultiplePages|3", "True",
          "NextPageLinkIsAForm|3", "False", "Enabled|2", "True", "Enabled|2", "False"});
    ASSERT_EQ(list.Count(), 4);
    EXPECT_EQ(list[0].Title, "New Source");
    EXPECT_EQ(list[2].Index, 2);
    EXPECT_EQ(list[3].Title, "Fourth");
    EXPECT_FALSE(list[3].Enabled);  // only "True" sets it
    EXPECT_TRUE(list[3].MultiplePages);
    EXPECT_FALSE(list[3].NextPageLinkIsAForm);
    EXPECT_TRUE(list[2].Enabled);  // nothing in the file clears it
    EXPECT_TRUE(list[2].EnabledChoice);
}

TEST_F(Sources, SyntaxesKeysTakeOnlySubIndexZeroAndTheLaterKeyWins) {
    Load({"Syntaxes.BaseURL|2|1", "http://one/", "FirstPageURL|2", "http://a/",
          "Syntaxes.BaseURL|2", "http://b/", "Syntaxes.Method|2|1", "smPOST", "FirstPageMethod|2",
          "POST", "Syntaxes.Parameters|2|0", "x=1", "Syntaxes.Parameters|2|3", "y=2",
          "Syntaxes.Parameters|2", "z=3"});
    EXPECT_EQ(list[2].FirstPageURL, "http://b/");
    EXPECT_EQ(list[2].FirstPageMethod, TSubmitMethod::smGET);
    EXPECT_EQ(list[2].FirstPageParameters, (TStrings{"x=1", "z=3"}));
    Load({"Syntaxes.BaseURL|2|0", "http://b/", "FirstPageURL|2", "http://a/", "Syntaxes.Method|2|0",
          "smPOST"});
    EXPECT_EQ(list[2].FirstPageURL, "http://a/");
    EXPECT_EQ(list[2].FirstPageMethod, TSubmitMethod::smPOST);
}

TEST_F(Sources, NumbersListsAndUnknownKeys) {
    Load({"JobsPerPage",
          "-3",
          "CategoryRelevancy",
          "4",
          "RegionMatchRelevancy",
          "x",
          "RegionNoMatchRelevancy",
          "1.5",
          "KeywordsFullMatchRelevancy",
          "",
          "KeywordsPartMatchRelevancy",
          "+7",
          "KeywordsNoMatchRelevancy",
          "-2",
          "Regions",
          "MA",
          "Regions",
          "",
          "Categories",
          "c1",
          "title",
          "lower-case key",
          "Bogus",
          "x"});
    const TVelaSource& s = list[0];
    EXPECT_EQ(s.JobsPerPage, -3);
    EXPECT_EQ(s.CategoryRelevancy, 4);
    EXPECT_EQ(s.RegionMatchRelevancy, 1);
    EXPECT_EQ(s.RegionNoMatchRelevancy, -1);
    EXPECT_EQ(s.KeywordsFullMatchRelevancy, 2);
    EXPECT_EQ(s.KeywordsPartMatchRelevancy, 7);
    EXPECT_EQ(s.KeywordsNoMatchRelevancy, -2);
    EXPECT_EQ(s.Regions, (TStrings{"MA", ""}));
    EXPECT_EQ(s.Categories, (TStrings{"c1"}));
    EXPECT_EQ(s.Title, "New Source");
}

TEST_F(Sources, KeepCapitalsIsAFlagOnlyTrueSets) {
    Load({"KeepCapitals", "True", "KeepCapitals|1", "true", "Title|2", "x"});
    EXPECT_TRUE(list[0].KeepCapitals);
    EXPECT_FALSE(list[1].KeepCapitals);
    EXPECT_FALSE(list[2].KeepCapitals);
}

// ---------------------------------------------------------------- scripts

TEST_F(Sources, LineBreakMarksAndStatementSeparators) {
    Load({"JobBlockScript", "Go(\"a\");|\xA7|Cut(All, Backward);|\xA7|Get(All);",
          "FirstPageParameters", "q=%keywords%|\xA7|page=1", "ParserScripts|0|1",
          "A(1);||B(2);||C(3);", "ParserScripts|0|1", "D(\"||\");||", "ParserScripts|0|5", "E();||",
          "ParserScripts|0|4", "no separator;", "JobTitleScript|1", "x|\xA7||\xA7|y",
          "JobURLScript|1", "first", "JobURLScript|1", "second|\xA7|"});
    EXPECT_EQ(list[0].JobBlockScript, (TStrings{"Go(\"a\");", "Cut(All, Backward);", "Get(All);"}));
    EXPECT_EQ(list[0].FirstPageParameters, (TStrings{"q=%keywords%", "page=1"}));
    // Statements are cut at ";||" without regard to quotes, as the file format has it.
    EXPECT_EQ(list[0].JobTitleScript, (TStrings{"A(1);", "B(2);", "D(\"||\");"}));
    EXPECT_TRUE(list[0].JobURLScript.empty());
    EXPECT_EQ(list[1].JobTitleScript, (TStrings{"x", "", "y"}));
    EXPECT_EQ(list[1].JobURLScript, (TStrings{"second"}));  // replaces earlier lines
}

TEST_F(Sources, TheFixtureDefinitionsReadAsWritten) {
    const TStrings plain = ReadTextLines(test::FixturePath("boards.plain"));
    Load(plain);
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Version, "1998.11.03");
    EXPECT_EQ(list.MRegions, (TStrings{"Massachusetts", "Texas", "Nationwide"}));
    EXPECT_EQ(list[0].Title, "Table Board");
    EXPECT_EQ(list[0].JobsPerPage, 25);
    EXPECT_EQ(list[0].RegionNoMatchRelevancy, -1);
    EXPECT_EQ(list[0].JobBlockScript.size(), 5u);
    EXPECT_EQ(list[1].FirstPageMethod, TSubmitMethod::smPOST);
    EXPECT_TRUE(list[1].NextPageLinkIsAForm);
    EXPECT_TRUE(list[1].EnabledChoice);
    EXPECT_FALSE(list[2].Enabled);
    EXPECT_EQ(list[2].FirstPageURL, "http://list.example.test/results.cgi");
    EXPECT_EQ(list[2].FirstPageParameters, (TStrings{"kw=<keyword:+>", "&area=<region>"}));
    EXPECT_EQ(list[2].JobLocationScript.size(), 4u);
    EXPECT_EQ(list[2].JobURLScript.back(), "Get(All, Backward);");
}

TEST_F(Sources, PackedDefinitionsLoadLikePlainOnesAndLeaveNoCopy) {
    const TStrings plain = ReadTextLines(test::FixturePath("boards.plain"));
    const std::string plainPath = Write(plain, "plain.def");
    const std::string packed = Sandbox().File("sources.def");
    PackBytesToFile(ReadFileBytes(plainPath), "sources.def", packed);
    ASSERT_NE(ReadFileBytes(packed).substr(0, 4), ReadFileBytes(plainPath).substr(0, 4));
    DeleteFile(plainPath);
    list.LoadFromFile(packed);
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list[1].Title, "Card Board");
    EXPECT_EQ(list[2].JobURLScript.back(), "Get(All, Backward);");
    EXPECT_EQ(ListDirectory(Sandbox().Path()), (std::vector<std::string>{"sources.def"}));
}

}  // namespace
}  // namespace tessaly
