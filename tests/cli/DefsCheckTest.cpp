// `defs check`, the readable form taken by every command that reads definitions, and the
// small workbench fixes that go with them.
#include <gtest/gtest.h>

#include "data/Packer.h"
#include "data/VelaSources.h"
#include "platform/TextFile.h"
#include "support/CliRun.h"
#include "support/TestSupport.h"

namespace tessaly::cli {
namespace {

using test::RunArgs;

// A clean two-site definition; tests break one thing in it at a time.
TStrings CleanLines() {
    return {"Version",
            "7",
            "MRegions",
            "Texas",
            "MRegions",
            "Ohio",
            "MCategories",
            "Trades",
            "Title",
            "Row Board",
            "Enabled",
            "True",
            "FirstPageURL",
            "http://rows.test/s?",
            "FirstPageParameters",
            "q=<keyword:+>|\xA7|&r=<region>",
            "Regions",
            "TX",
            "Regions",
            "OH",
            "JobsPerPage",
            "2",
            "MultiplePages",
            "True",
            "NextPageLinkScript",
            "Go(After, \"next=\");|\xA7|Get(4);",
            "JobBlockScript",
            "Go(Begin, \"<row>\");|\xA7|Cut(All, Backward);|\xA7|Go(After, "
            "\"</row>\");|\xA7|Get(All, Backward);|\xA7|Cut(All, Backward);",
            "JobTitleScript",
            "Go(After, \"<t>\");|\xA7|Cut(All, Backward);|\xA7|Go(Begin, "
            "\"</t>\");|\xA7|Get(All, Backward);",
            "JobCompanyScript",
            "Go(After, \"<c>\");|\xA7|Cut(All, Backward);|\xA7|Go(Begin, "
            "\"</c>\");|\xA7|Get(All, Backward);",
            "Charset|1",
            "windows-1252",
            "TextFormat|1",
            "JSON",
            "Title|1",
            "Feed",
            "KeywordsFullMatchRelevancy",
            "5"};
}

const char* kPage =
    "<row><t>Cook</t><c>Inn</c></row><row><t>Baker</t></row><row><t>7</t><c>X</c></row>"
    "next=p2&x";

class DefsCheck : public ::testing::Test {
  protected:
    std::string Write(const TStrings& lines, const std::string& name = "defs.plain") {
        const std::string path = dir.File(name);
        WriteTextLines(path, lines);
        return path;
    }
    // The check's output for `lines` with `key`'s value replaced (or the pair added).
    test::TCliRun CheckWith(const std::string& key, const std::string& value) {
        TStrings lines = CleanLines();
        bool found = false;
        for (size_t i = 0; i < lines.size(); i += 2)
            if (lines[i] == key) {
                lines[i + 1] = value;
                found = true;
            }
        if (!found) lines.insert(lines.end(), {key, value});
        return RunArgs({"defs", "check", Write(lines)});
    }
    test::TTempDir dir;
};

TEST_F(DefsCheck, ACleanFileSaysSoWithStatusZero) {
    auto c = RunArgs({"defs", "check", Write(CleanLines())});
    EXPECT_EQ(c.status, kExitOk) << c.out.str();
    EXPECT_NE(c.out.str().find("plain, 2 sites, 2 MRegions, 1 MCategories"), std::string::npos)
        << c.out.str();
    EXPECT_NE(c.out.str().find("no problems found"), std::string::npos);
    // The same file scrambled checks the same.
    const std::string def = dir.File("sources.def");
    WriteFileBytes(def, EncodeSourcesLines(CleanLines()).value());
    c = RunArgs({"defs", "check", def});
    EXPECT_EQ(c.status, kExitOk) << c.out.str();
    EXPECT_NE(c.out.str().find("scrambled, 2 sites"), std::string::npos) << c.out.str();
}

TEST_F(DefsCheck, KeysUnknownMisspeltOrReadOtherwise) {
    struct {
        const char* key;
        const char* value;
        const char* says;
    } cases[] = {
        {"Enabeld", "True", "unknown key \"Enabeld\": ignored (did you mean \"Enabled\"?)"},
        {"jobtitlescript", "Get(All);", "did you mean \"JobTitleScript\"? keys are case-sensitive"},
        {"Mascot|1", "owl", "unknown key \"Mascot\": ignored\n"},
        {"Enabled", "true", "Enabled \"true\" reads as False"},
        {"KeepCapitals", "yes", "KeepCapitals \"yes\" reads as False"},
        {"FirstPageMethod", "POST", "reads as GET"},
        {"JobsPerPage", "ten", "stops reading the file here"},
        {"KeywordsNoMatchRelevancy", "x", "reads as 0"},
        {"KeywordLanguage", "es", "sent as typed"},
        {"Charset|1", "klingon", "Charset \"klingon\" is not a charset"},
        {"TextFormat|1", "XML", "neither HTML nor JSON"},
        {"Title|x", "Third", "'x' in \"Title|x\" is not a site number"},
        {"Syntaxes.BaseURL|0|1", "http://a/", "sub-index 1 is ignored"},
        {"ParserScripts|0|2", "Get(All);||tail", "\"tail\" after the last \";||\" is dropped"},
        {"ParserScripts|0|7", "Get(All);||", "sub-index 7 is ignored"},
        {"MRegions|4", "Utah", "only creates empty sites up to it"},
        {"FirstPageParameters", "q=<Keyword>", "placeholder name \"Keyword\" gives nothing"},
        {"Title", "Row Board", "Title given again (first at line 9)"},
        {"Regions", "XX", "3 Regions codes for 2 MRegions"},
    };
    for (const auto& c : cases) {
        TStrings lines = CleanLines();
        lines.insert(lines.end(), {c.key, c.value});
        auto r = RunArgs({"defs", "check", Write(lines)});
        EXPECT_EQ(r.status, kExitFailed) << c.key << "\n" << r.out.str();
        EXPECT_NE(r.out.str().find(c.says), std::string::npos) << c.key << "\n" << r.out.str();
    }
    // Comment is the key for notes, on any site.
    auto r = CheckWith("Comment|1", "the feed's answers are JSON");
    EXPECT_EQ(r.status, kExitOk) << r.out.str();
    // Charset and TextFormat are known keys; their values are taken in any letter case.
    r = CheckWith("Charset|1", "utf-8");
    EXPECT_EQ(r.status, kExitOk) << r.out.str();
    r = CheckWith("TextFormat|1", "html");
    EXPECT_EQ(r.status, kExitOk) << r.out.str();
}

TEST_F(DefsCheck, StatementsThatWillBeSkippedArePlacedBySiteAndLine) {
    auto r = CheckWith("JobCompanyScript",
                       "Go(After, \"<c>\");|\xA7|Foo(1);|\xA7|Go(Before, "
                       "\"x\");|\xA7|Get(All)|\xA7|Add(\"it's\");");
    EXPECT_EQ(r.status, kExitFailed);
    const std::string out = r.out.str();
    EXPECT_NE(out.find("site 0 \"Row Board\":"), std::string::npos) << out;
    EXPECT_NE(out.find("line 32: JobCompanyScript line 2: Foo(1);\n      unknown statement 'Foo'"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("JobCompanyScript line 3: Go(Before, \"x\");\n      unknown option"),
              std::string::npos);
    EXPECT_NE(out.find("JobCompanyScript line 4: Get(All)\n      no ';'"), std::string::npos);
    EXPECT_NE(out.find("JobCompanyScript line 5: Add(\"it's\");\n      the ' before 's' ends"),
              std::string::npos);
    EXPECT_NE(out.find("\n4 problems\n"), std::string::npos) << out;
    // The UTF-8 form of the line-break mark splits the lines the same way.
    r = CheckWith("JobCompanyScript", "Go(After, \"<c>\");|\xC2\xA7|Foo(1);");
    EXPECT_NE(r.out.str().find("JobCompanyScript line 2: Foo(1);"), std::string::npos)
        << r.out.str();
}

TEST_F(DefsCheck, SitesThatCannotWork) {
    TStrings lines = CleanLines();
    lines.insert(lines.end(), {"Enabled|2", "True", "MultiplePages|2", "True"});
    auto r = RunArgs({"defs", "check", Write(lines)});
    const std::string out = r.out.str();
    EXPECT_NE(out.find("site 2 (no Title):\n  no Title"), std::string::npos) << out;
    EXPECT_NE(out.find("no JobBlockScript: the site finds no job"), std::string::npos);
    EXPECT_NE(out.find("no JobTitleScript"), std::string::npos);
    EXPECT_NE(out.find("MultiplePages is True, but there is no NextPageLinkScript"),
              std::string::npos);
}

// A blank line shifts every later pair; it is said once, by its line, whether it stands
// between two pairs or between a key and its value, and the pairs after it check clean.
TEST_F(DefsCheck, ABlankLineIsReportedOnceByItsLine) {
    const std::string says =
        ": blank line: the program reads every pair after it shifted by one line (keys as "
        "values, values as keys); remove it\n";
    for (const size_t at : {6u, 7u}) {
        TStrings lines = CleanLines();
        lines.insert(lines.begin() + static_cast<long>(at), "");
        lines.insert(lines.end(), {"", ""});  // blank lines at the end shift nothing
        auto r = RunArgs({"defs", "check", Write(lines)});
        EXPECT_EQ(r.status, kExitFailed);
        const std::string out = r.out.str();
        EXPECT_NE(out.find("file:\n  line " + std::to_string(at + 1) + says), std::string::npos)
            << out;
        EXPECT_NE(out.find("plain, 2 sites, 2 MRegions, 1 MCategories"), std::string::npos) << out;
        EXPECT_NE(out.find("\n1 problem\n"), std::string::npos) << out;
    }
    // An empty value followed by a key is no blank line too many.
    TStrings lines = CleanLines();
    lines.insert(lines.begin() + 8, {"Categories", ""});
    auto r = RunArgs({"defs", "check", Write(lines)});
    EXPECT_EQ(r.status, kExitOk) << r.out.str();
}

// The checker holds a file to the loader's limits: what it passes loads, and what the
// loader refuses it reports, naming the limit, without reading outside its own sites.
TEST_F(DefsCheck, KeyLinesTheLoaderRefusesAreReportedAsSuch) {
    struct {
        const char* key;
        bool refused;
        const char* says;
    } cases[] = {
        {"Title|700000|x", true, "site number 700000 in \"Title|700000|x\" is beyond the limit"},
        {"Title|10000", true, "beyond the limit of 10000 sites (0 to 9999)"},
        {"Title|2|x", true, "'x' in \"Title|2|x\" is not a sub-index"},
        {"Title|9999", false, "plain, 10000 sites"},
    };
    for (const auto& c : cases) {
        TStrings lines = CleanLines();
        lines.insert(lines.end(), {c.key, "Far"});
        const std::string path = Write(lines);
        auto r = RunArgs({"defs", "check", path});
        EXPECT_NE(r.out.str().find(c.says), std::string::npos) << c.key << "\n" << r.out.str();
        if (c.refused) {
            EXPECT_EQ(r.status, kExitFailed) << c.key << "\n" << r.out.str();
        }
        TVelaSourcesList list;
        bool threw = false;
        try {
            list.LoadFromText(ReadFileBytes(path), path);
        } catch (const EConvertError&) {
            threw = true;
        }
        EXPECT_EQ(threw, c.refused) << c.key;
    }
}

// A block script whose replacement holds its own search text lengthens the page on every
// run; the checker says so for block scripts only, and not for a replace in the output.
TEST_F(DefsCheck, ABlockScriptThatLengthensThePageIsReported) {
    struct {
        const char* key;
        const char* script;
        bool warned;
    } cases[] = {
        {"JobBlockScript", "Replace(\"/job\", \"h/job\");|\xA7|Get(All);", true},
        {"JobBlockScript", "Replace(\"/JOB\", \"h/job\", IgnoreCase);|\xA7|Get(All);", true},
        {"JobBlockScript", "Replace(\"/job\", \"h/job\", Out);|\xA7|Get(All);", false},
        {"JobBlockScript", "Replace(\"/job\", \"/j\");|\xA7|Get(All);", false},
        {"JobTitleScript", "Replace(\"/job\", \"h/job\");|\xA7|Get(All);", false},
    };
    for (const auto& c : cases) {
        auto r = CheckWith(c.key, c.script);
        const bool warned = r.out.str().find("holds its own search text") != std::string::npos;
        EXPECT_EQ(warned, c.warned) << c.key << " " << c.script << "\n" << r.out.str();
        if (c.warned) {
            EXPECT_EQ(r.status, kExitFailed);
        }
    }
}

TEST_F(DefsCheck, APageSaysWhatEachScriptGets) {
    const std::string page = dir.File("page.html");
    WriteFileBytes(page, kPage);
    auto r = RunArgs({"defs", "check", Write(CleanLines()), "--page", "Row Board", page});
    std::string out = r.out.str();
    // The block without <c> has no company: its script fails at its first statement, which
    // is no problem.
    EXPECT_EQ(r.status, kExitOk) << out;
    EXPECT_NE(out.find("JobBlockScript: found 3 blocks"), std::string::npos) << out;
    EXPECT_NE(out.find("JobTitleScript: found in 3 of 3 blocks (first: \"Cook\")"),
              std::string::npos);
    EXPECT_NE(out.find("JobCompanyScript: found in 2 of 3 blocks (first: \"Inn\"); absent in 1 of "
                       "3 blocks (its first statement finds nothing there)\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("JobLocationScript: no script, empty"), std::string::npos);
    // Completed against the site's FirstPageURL.
    EXPECT_NE(out.find("NextPageLinkScript: found \"http://rows.test/p2&x\""), std::string::npos);
    // The running number "7" is no title.
    EXPECT_NE(out.find("jobs: 2 "), std::string::npos);
    EXPECT_NE(out.find("\nno problems found\n"), std::string::npos) << out;
    // A script that fails after its first statement has failed: a problem.
    CheckWith("JobCompanyScript",
              "Go(After, \"<c>\");|\xA7|Go(Begin, \"</x>\");|\xA7|Get(All, Backward);");
    r = RunArgs({"defs", "check", dir.File("defs.plain"), "--page", "0", page});
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_NE(r.out.str().find("JobCompanyScript: absent in 1 of 3 blocks (its first statement "
                               "finds nothing there); failed in 2 of 3 blocks at line 2: "
                               "Go(Begin, \"</x>\");\n"),
              std::string::npos)
        << r.out.str();
    // --page may stand before the file too.
    EXPECT_EQ(RunArgs({"defs", "check", "--page", "0", page, dir.File("defs.plain")}).out.str(),
              RunArgs({"defs", "check", dir.File("defs.plain"), "--page", "0", page}).out.str());

    // A page without blocks: the block script fails at its first line.
    WriteFileBytes(page, "<p>no jobs today</p>");
    r = RunArgs({"defs", "check", Write(CleanLines()), "--page", "0", page});
    out = r.out.str();
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_NE(out.find("JobBlockScript: no block: failed at line 1: Go(Begin, \"<row>\");"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("NextPageLinkScript: failed at line 1: Go(After, \"next=\"); (no next "
                       "page)"),
              std::string::npos)
        << out;
    // A block script that never shortens the page.
    r = CheckWith("JobBlockScript", "Go(Begin, \"<row>\");|\xA7|Get(5);");
    r = RunArgs({"defs", "check", dir.File("defs.plain"), "--page", "0", page});
    WriteFileBytes(page, kPage);
    r = RunArgs({"defs", "check", dir.File("defs.plain"), "--page", "0", page});
    EXPECT_NE(r.out.str().find("no block: the run did not shorten the page"), std::string::npos)
        << r.out.str();

    EXPECT_EQ(RunArgs({"defs", "check", Write(CleanLines()), "--page", "9", page}).status,
              kExitUsage);
    EXPECT_EQ(RunArgs({"defs", "check", Write(CleanLines()), "--page", "0"}).status, kExitUsage);
    EXPECT_EQ(RunArgs({"defs", "check", dir.File("missing.def")}).status, kExitUsage);
}

// The previews read as the job will: cleaned, cut on a character boundary, the link
// completed against the page's address; --all lists every block.
TEST_F(DefsCheck, PreviewsShowCleanedValuesAndCompletedLinks) {
    std::string georgian;
    for (int i = 0; i < 70; ++i)
        georgian += "\xE1\x83\x90";  // U+10D0, three bytes
    const std::string page = dir.File("page.html");
    WriteFileBytes(page,
                   "<row><t><b>NIGHT NURSE</b></t><c>Inn &amp; Bar</c><u>/job/1</u></row>"
                   "<row><t>" +
                       georgian + "</t><u>https://x.test/j2</u></row>");
    TStrings lines = CleanLines();
    lines.insert(lines.end(), {"JobURLScript",
                               "Go(After, \"<u>\");|\xA7|Cut(All, Backward);|\xA7|"
                               "Go(Begin, \"</u>\");|\xA7|Get(All, Backward);"});
    const std::string def = Write(lines);
    auto r = RunArgs({"defs", "check", def, "--page", "0", page, "--all"});
    std::string out = r.out.str();
    const std::string cut = georgian.substr(0, 60 * 3) + "...";
    for (const std::string& says : std::vector<std::string>{
             "JobTitleScript: found in 2 of 2 blocks (first: \"Night Nurse\")\n"
             "    block 1: \"Night Nurse\"\n    block 2: \"" +
                 cut + "\"\n",
             "JobCompanyScript: found in 1 of 2 blocks (first: \"Inn & Bar\"); absent in 1 of 2 "
             "blocks (its first statement finds nothing there)\n    block 1: \"Inn & Bar\"\n"
             "    block 2: (absent)\n",
             "    block 1: \"http://rows.test/job/1\"\n    block 2: \"https://x.test/j2\"\n"})
        EXPECT_NE(out.find(says), std::string::npos) << says << "\n" << out;
    // The address the page was saved from, given.
    r = RunArgs({"defs", "check", def, "--page", "0", page, "--url", "http://saved.test/a/b?c"});
    EXPECT_NE(r.out.str().find("JobURLScript: found in 2 of 2 blocks (first: "
                               "\"http://saved.test/job/1\")"),
              std::string::npos)
        << r.out.str();
    r = RunArgs({"harvest", def, "0", page, "--url", "http://saved.test/a/b?c"});
    EXPECT_NE(r.out.str().find("\thttp://saved.test/job/1\n"), std::string::npos) << r.out.str();
    // A board that writes in capitals on purpose keeps them, in the preview as in the job.
    lines.insert(lines.end(), {"KeepCapitals", "True"});
    Write(lines);
    r = RunArgs({"defs", "check", def, "--page", "0", page});
    EXPECT_NE(r.out.str().find("(first: \"NIGHT NURSE\")"), std::string::npos) << r.out.str();
    r = RunArgs({"harvest", def, "0", page, "--clean"});
    EXPECT_NE(r.out.str().find("\nNIGHT NURSE\tInn & Bar\t"), std::string::npos) << r.out.str();
}

// A title matches in any letter case; a wrong one lists the sites there are.
TEST_F(DefsCheck, SitesAreFoundByTitleInAnyCaseOrListed) {
    const std::string def = Write(CleanLines());
    const std::string page = dir.File("page.html");
    WriteFileBytes(page, kPage);
    EXPECT_EQ(RunArgs({"harvest", def, "ROW board", page}).status, kExitOk);
    const std::string listed =
        def +
        ": no site titled \"Seek\"; the sites are 0 \"Row Board\", 1 "
        "\"Feed\" (a title matches in any letter case, or give the number)\n";
    auto r = RunArgs({"harvest", def, "Seek", page});
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_EQ(r.err.str(), "tessaly harvest: " + listed);
    r = RunArgs({"defs", "check", def, "--page", "Seek", page});
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_EQ(r.err.str(), "tessaly defs check: " + listed);
}

// --url must be an address links can be completed against.
TEST_F(DefsCheck, AUrlThatIsNoAddressIsBadUsage) {
    const std::string def = Write(CleanLines());
    const std::string page = dir.File("page.html");
    WriteFileBytes(page, kPage);
    const std::vector<std::vector<std::string>> commands = {
        {"harvest", def, "0", page},
        {"defs", "check", def, "--page", "0", page},
        {"query", "--next", def, "0", page},
        {"script", "run", page, page}};
    for (auto argv : commands) {
        argv.insert(argv.end(), {"--url", "rows.test/list"});
        auto r = RunArgs(argv);
        EXPECT_EQ(r.status, kExitUsage) << argv[0];
        EXPECT_NE(r.err.str().find("--url \"rows.test/list\" is not an absolute address"),
                  std::string::npos)
            << r.err.str();
    }
    EXPECT_EQ(RunArgs({"defs", "check", def, "--all"}).status, kExitUsage);
}

// Every command that reads definitions takes the readable form, as it is written.
TEST_F(DefsCheck, PlainFilesWorkEverywhere) {
    const std::string plain = Write(CleanLines());
    const std::string page = dir.File("page.html");
    WriteFileBytes(page, kPage);

    auto r = RunArgs({"harvest", plain, "Row Board", page});
    ASSERT_EQ(r.status, kExitOk) << r.err.str();
    EXPECT_EQ(SplitLines(r.out.str()),
              (TStrings{"Title\tCompany\tLocation\tURL", "Cook\tInn\t\t", "Baker\t\t\t"}));
    r = RunArgs({"harvest", plain, "1", page});
    EXPECT_EQ(r.status, kExitOk);
    r = RunArgs({"harvest", plain, "Nope", page});
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_NE(r.err.str().find("no site titled \"Nope\""), std::string::npos);

    r = RunArgs({"query", plain, "Row Board", "--region", "Ohio", "--category", "Trades",
                 "--keywords", "line cook"});
    ASSERT_EQ(r.status, kExitOk) << r.err.str();
    EXPECT_NE(r.out.str().find("Parameters: q=line+cook&r=OH"), std::string::npos) << r.out.str();

    r = RunArgs({"score", plain, "0", "--title", "Line Cook", "--location", "Dayton, Ohio",
                 "--region", "Ohio", "--keywords", "cook"});
    ASSERT_EQ(r.status, kExitOk) << r.err.str();
    EXPECT_EQ(r.out.str().rfind("6 ", 0), 0u) << r.out.str();  // 1 for Ohio, 5 from the file

    r = RunArgs({"defs", "show", plain});
    ASSERT_EQ(r.status, kExitOk) << r.err.str();
    EXPECT_NE(r.out.str().find("Site 0: Row Board"), std::string::npos) << r.out.str();
    EXPECT_NE(r.out.str().find("    Cut(All, Backward);"), std::string::npos);

    // The same lines scrambled and packed read the same.
    const std::string def = dir.File("sources.def");
    WriteFileBytes(def, EncodeSourcesLines(CleanLines()).value());
    auto scrambled = RunArgs({"defs", "show", def, "--json"});
    EXPECT_EQ(scrambled.out.str(), RunArgs({"defs", "show", plain, "--json"}).out.str());
    TPacker packer;
    packer.exceptionOnFileError = true;
    const std::string packed = dir.File("plain.pk");
    packer.Pack(packed, plain, TPackMethod::Lh5);
    EXPECT_EQ(RunArgs({"defs", "show", packed, "--json"}).out.str(), scrambled.out.str());

    // decode gives the plain lines back from either form.
    EXPECT_EQ(SplitLines(RunArgs({"defs", "decode", plain}).out.str()), CleanLines());
    EXPECT_EQ(SplitLines(RunArgs({"defs", "decode", def}).out.str()), CleanLines());
}

TEST_F(DefsCheck, PlainDetectionKeepsEveryScrambledFixture) {
    // A plain file saved with a byte-order mark, and with LF line ends.
    std::string text =
        "\xEF\xBB\xBFTitle\nBom Board\nJobTitleScript\nAdd(\"x\");|\xC2\xA7|Get(2);\n";
    TVelaSourcesList list;
    list.LoadFromText(text, "bom");
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list[0].Title, "Bom Board");
    EXPECT_EQ(list[0].JobTitleScript, (TStrings{"Add(\"x\");", "Get(2);"}));
    // Scrambled files stay scrambled, whatever their sites are called.
    const std::string boards =
        EncodeSourcesLines(ReadTextLines(test::FixturePath("boards.plain"))).value();
    EXPECT_FALSE(IsPlainSourcesText(boards));
    EXPECT_TRUE(IsPlainSourcesText(ReadFileBytes(test::FixturePath("boards.plain"))));
    const TStrings clean = CleanLines();
    EXPECT_FALSE(IsPlainSourcesText(EncodeSourcesLines(clean).value()));
    EXPECT_FALSE(IsPlainSourcesText(""));
}

// The definitions shipped with the demo boards (seven sites of different build) have
// nothing the program would skip: the checker does not cry wolf.
TEST(DefsCheckShipped, TheDemoDefinitionsAreClean) {
    std::string root = test::FixturePath("");
    root = root.substr(0, root.rfind("/tests/"));
    auto r = RunArgs({"defs", "check", root + "/demo/demo-sites.plain"});
    EXPECT_EQ(r.status, kExitOk) << r.out.str() << r.err.str();
    EXPECT_NE(r.out.str().find("7 sites"), std::string::npos) << r.out.str();
}

// The real job boards shipped in data/sources.plain are clean too, each board's feed
// (tests/fixtures/feeds) is in its format with every field found, and a page that is no
// feed is called out by the format script before anything else.
TEST(DefsCheckShipped, TheShippedBoardsAreCleanOverTheirFeeds) {
    std::string root = test::FixturePath("");
    root = root.substr(0, root.rfind("/tests/"));
    const std::string plain = root + "/data/sources.plain";
    auto r = RunArgs({"defs", "check", plain});
    EXPECT_EQ(r.status, kExitOk) << r.out.str() << r.err.str();
    EXPECT_NE(r.out.str().find("5 sites"), std::string::npos) << r.out.str();

    const std::pair<const char*, const char*> feeds[] = {{"We Work Remotely", "weworkremotely.rss"},
                                                         {"Remote OK", "remoteok.json"},
                                                         {"Remotive", "remotive.json"},
                                                         {"Jobicy", "jobicy.json"},
                                                         {"Arbeitnow", "arbeitnow.json"}};
    for (const auto& [board, feed] : feeds) {
        r = RunArgs({"defs", "check", plain, "--page", board, test::FixturePath("feeds/") + feed});
        EXPECT_NE(r.out.str().find("PageFormatScript: in the expected format"), std::string::npos)
            << board << r.out.str();
        EXPECT_NE(r.out.str().find("JobTitleScript: found in"), std::string::npos)
            << board << r.out.str();
    }
    r = RunArgs({"defs", "check", plain, "--page", "Jobicy",
                 test::FixturePath("feeds/challenge-page.html")});
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_NE(r.out.str().find("PageFormatScript: not in the expected format: failed at line "),
              std::string::npos)
        << r.out.str();
}

TEST(WorkbenchHelp, GroupsSummariseAndPointToTheGuide) {
    for (const char* group : {"defs", "script"}) {
        auto r = RunArgs({group, "--help"});
        EXPECT_EQ(r.status, kExitOk) << group << r.err.str();
        EXPECT_NE(r.out.str().find("docs/definitions.md"), std::string::npos) << group;
        EXPECT_NE(r.out.str().find(std::string(group) == "defs" ? "defs check" : "script run"),
                  std::string::npos)
            << r.out.str();
    }
    EXPECT_NE(RunArgs({"defs", "--help"}).out.str().find("Charset"), std::string::npos);
    auto r = RunArgs({"defs"});
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_NE(r.err.str().find("defs check"), std::string::npos);
    r = RunArgs({"defs", "frobnicate"});
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_NE(r.err.str().find("unknown command 'defs frobnicate'"), std::string::npos);
    EXPECT_EQ(RunArgs({"nonsense"}).status, kExitUsage);
}

TEST(WorkbenchTrace, MarksTheStatementThatFailedAndTheSkippedOnes) {
    test::TTempDir dir;
    const std::string script = dir.File("s.script"), text = dir.File("t.txt");
    WriteFileBytes(script, "Go(After, \"a\");\nGoto(\"b\");\nGo(\"zz\");\nGet(All);\n");
    WriteFileBytes(text, "abc\ndef");
    auto r = RunArgs({"script", "run", script, text, "--trace"});
    EXPECT_EQ(r.status, kExitOk);
    EXPECT_EQ(r.out.str(), "");
    const TStrings err = SplitLines(r.err.str());
    ASSERT_EQ(err.size(), 4u) << r.err.str();
    EXPECT_EQ(err[0].rfind("1 problem: Goto(\"b\");  -- unknown statement 'Goto'", 0), 0u);
    EXPECT_EQ(err[1], "0 2 bc def");  // the preview stays on one line
    EXPECT_EQ(err[2], "2 2 bc def");
    EXPECT_EQ(err[3].rfind("2 FAILED: Go(\"zz\");", 0), 0u) << err[3];
}

}  // namespace
}  // namespace tessaly::cli
