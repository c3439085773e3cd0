// The command line's runs and listing commands over the loopback boards.
#include <gtest/gtest.h>

#include <cstdlib>

#include "data/Packer.h"
#include "data/VelaSearches.h"
#include "data/VelaSources.h"
#include "platform/ByteString.h"
#include "platform/Home.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "support/CliRun.h"
#include "support/TestBoards.h"
#include "support/TestSupport.h"

namespace tessaly::cli {
namespace {

class SearchCommands : public test::TLoopTest {
  protected:
    SearchCommands() {
        home = Sandbox().Path();
        boards.WriteHome(home);
        test::DisableBoards(home);
    }
    test::TCliRun Run(std::vector<std::string> argv) {
        argv.insert(argv.begin(), {"--home", home});
        return test::RunArgs(argv);
    }
    std::string home;
    test::TTestBoards boards;
};

TEST_F(SearchCommands, SearchListShowAndChangeAJob) {
    auto r = Run({"search", "--region", "Boston", "--offline", "welder"});
    ASSERT_EQ(r.status, kExitOk) << r.err.str() << r.out.str();
    const std::string out = r.out.str();
    EXPECT_NE(out.find("Alpha Jobs: Done, found 3, kept 3"), std::string::npos) << out;
    EXPECT_NE(out.find("Beta Jobs: Unreachable"), std::string::npos) << out;
    EXPECT_NE(out.find("Gamma Jobs: Not Applicable"), std::string::npos) << out;
    EXPECT_NE(out.find("Search Completed."), std::string::npos) << out;
    EXPECT_NE(out.find("Saved as search 1"), std::string::npos) << out;

    r = Run({"list"});
    ASSERT_EQ(r.status, kExitOk);
    const TStrings lines = SplitLines(r.out.str());
    ASSERT_EQ(lines.size(), 1u) << r.out.str();
    EXPECT_EQ(Split(lines[0], "\t").front(), "1");
    EXPECT_EQ(Split(lines[0], "\t").back(), "3");

    r = Run({"show", "1", "--sort", "title"});
    ASSERT_EQ(r.status, kExitOk) << r.err.str();
    const TStrings shown = SplitLines(r.out.str());
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_NE(shown[0].find("Pipe Welder"), std::string::npos) << r.out.str();
    EXPECT_NE(shown[2].find("Welder Helper"), std::string::npos) << r.out.str();
    const std::string number = Split(shown[0], "\t").front();

    ASSERT_EQ(Run({"note", "1", number, "call back Monday"}).status, kExitOk);
    r = Run({"highlight", "1", number});
    ASSERT_EQ(r.status, kExitOk);
    EXPECT_NE(r.out.str().find("Highlighted \"Pipe Welder\""), std::string::npos);
    // By notes: the jobs without any first, whatever their relevancy.
    r = Run({"show", "1", "--sort", "NOTES"});
    ASSERT_EQ(r.status, kExitOk) << r.err.str();
    const TStrings byNotes = SplitLines(r.out.str());
    ASSERT_EQ(byNotes.size(), 3u);
    EXPECT_EQ(Split(byNotes[2], "\t").front(), number) << r.out.str();
    const TStrings byRelevancy = SplitLines(Run({"show", "1"}).out.str());
    ASSERT_EQ(byRelevancy.size(), 3u);
    EXPECT_NE(Split(byRelevancy[2], "\t").front(), number)
        << "the default order should differ, or the check above proves nothing";
    r = Run({"show", "1", "--json"});
    EXPECT_NE(r.out.str().find("\"Notes\": \"call back Monday\""), std::string::npos)
        << r.out.str();
    EXPECT_NE(r.out.str().find("\"High\": true"), std::string::npos);

    const std::string csv = JoinPath(home, "out.csv");
    ASSERT_EQ(Run({"export", "1", csv}).status, kExitOk);
    const TStrings rows = SplitLines(ReadFileBytes(csv));
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].rfind("Number,Title,", 0), 0u);
}

TEST_F(SearchCommands, TablesOfTheWindowsCodePageShowInUtf8AndAreSavedInUtf8) {
    ASSERT_EQ(Run({"search", "--offline", "--quiet", "welder"}).status, kExitOk);
    TVelaSearchesList searches;
    searches.LoadIndex(SearchesIndexPath(home));
    ASSERT_EQ(searches.Count(), 1);
    TVelaJobsList jobs;
    LoadJobTable(jobs, searches[0].TableFile);
    ASSERT_GT(jobs.Count(), 0);
    // The table as the first versions wrote it: texts in the Windows code page.
    jobs[0].Title = "Ing\xe9nieur soudeur \x96 \x93TIG\x94";
    jobs[0].Company = "Soci\xe9t\xe9 G\xe9n\xe9rale";
    SaveJobTable(jobs, searches[0].TableFile, home);

    const std::string title = "Ing\xc3\xa9nieur soudeur \xe2\x80\x93 \xe2\x80\x9cTIG\xe2\x80\x9d";
    auto r = Run({"show", "1"});
    ASSERT_EQ(r.status, kExitOk) << r.err.str();
    EXPECT_NE(r.out.str().find("1\t\t" + title + "\tSoci\xc3\xa9t\xc3\xa9"), std::string::npos)
        << r.out.str();
    // JSON for users holds the characters themselves, the CSV export the same UTF-8.
    r = Run({"show", "1", "--json"});
    EXPECT_NE(r.out.str().find("\"Title\": \"" + title + "\""), std::string::npos) << r.out.str();
    const std::string csv = JoinPath(home, "out.csv");
    ASSERT_EQ(Run({"export", "1", csv}).status, kExitOk);
    EXPECT_NE(ReadFileBytes(csv).find("," + title + ",Soci\xc3\xa9t\xc3\xa9"), std::string::npos);

    ASSERT_EQ(Run({"note", "1", "1", "rappeler \xc3\xa0 10 h"}).status, kExitOk);
    r = Run({"highlight", "1", "1"});
    EXPECT_NE(r.out.str().find("Highlighted \"" + title + "\""), std::string::npos) << r.out.str();
    // Written back, the whole table is UTF-8.
    TVelaJobsList saved;
    LoadJobTable(saved, searches[0].TableFile, TTableTexts::Stored);
    EXPECT_EQ(saved[0].Title, title);
    EXPECT_EQ(saved[0].Notes, "rappeler \xc3\xa0 10 h");
    // The workbench shows the bytes stored.
    r = Run({"table", "show", searches[0].TableFile, "--json"});
    EXPECT_NE(r.out.str().find("\"Notes\": \"rappeler \xc3\x83\xc2\xa0 10 h\""), std::string::npos)
        << r.out.str();
}

TEST_F(SearchCommands, GrabRefineClearAndDelete) {
    ASSERT_EQ(Run({"search", "--offline", "--quiet", "welder"}).status, kExitOk);
    auto r = Run({"grab", "1"});
    ASSERT_EQ(r.status, kExitOk) << r.err.str();
    EXPECT_NE(r.out.str().find("Grabbing Completed."), std::string::npos) << r.out.str();
    r = Run({"grab", "1", "--all"});
    EXPECT_EQ(r.status, kExitOk);
    EXPECT_NE(r.out.str().find("These jobs have already been grabbed."), std::string::npos);

    r = Run({"refine", "1", "--keywords", "TIG", "--no-download"});
    ASSERT_EQ(r.status, kExitOk) << r.err.str();
    EXPECT_NE(r.out.str().find("Refining Completed."), std::string::npos);
    r = Run({"show", "1"});
    int valid = 0, invalid = 0;
    for (const auto& line : SplitLines(r.out.str())) {
        valid += line.find("\tValidated\t") != std::string::npos;
        invalid += line.find("\tInvalidated\t") != std::string::npos;
    }
    EXPECT_EQ(valid, 1) << r.out.str();
    EXPECT_EQ(invalid, 2) << r.out.str();

    ASSERT_EQ(Run({"clear-grabbed", "1"}).status, kExitOk);
    EXPECT_EQ(Run({"show", "1", "--json"}).out.str().find("index"), std::string::npos);
    ASSERT_EQ(Run({"delete", "1"}).status, kExitOk);
    EXPECT_NE(Run({"list"}).out.str().find("No saved searches"), std::string::npos);
    EXPECT_TRUE(ListDirectory(JoinPath(home, "searches")).size() <= 1u) << "only the index is left";
}

TEST_F(SearchCommands, ErrorsNameWhatIsWrong) {
    auto r = Run({"search", "--region", "Paris", "welder"});
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_NE(r.err.str().find("unknown region \"Paris\"; the definitions offer: Boston, Austin"),
              std::string::npos)
        << r.err.str();
    r = Run({"show", "4"});
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_NE(r.err.str().find("no search number 4"), std::string::npos) << r.err.str();
    r = Run({"search"});
    EXPECT_EQ(r.status, kExitUsage);
    r = Run({"export", "1", "x.txt"});
    EXPECT_NE(r.err.str().find(".csv or .json"), std::string::npos);

    // A missing file is seeded again from the shipped ones, so point those elsewhere.
    DeleteFile(JoinPath(home, "sources.def"));
    setenv("TESSALY_DATA_DIR", JoinPath(home, "nothing").c_str(), 1);
    r = Run({"list"});
    unsetenv("TESSALY_DATA_DIR");
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_NE(r.err.str().find("no sources.def in " + home), std::string::npos) << r.err.str();
}

TEST_F(SearchCommands, SecondProcessIsToldWhoHoldsTheHome) {
    TInstanceLock held(home);
    ASSERT_TRUE(held.Acquired());
    auto r = Run({"list"});
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_NE(r.err.str().find("already running on " + home), std::string::npos) << r.err.str();
    EXPECT_NE(r.err.str().find("(process "), std::string::npos) << r.err.str();
}

TEST(HomeDirectory, ResolvesAndSeedsWithoutReplacing) {
    test::TTempDir dir;
    EXPECT_EQ(ResolveHomeDirectory(dir.Path()), dir.Path());
    const std::string shipped = dir.File("shipped");
    ForceDirectories(shipped);
    WriteFileBytes(JoinPath(shipped, "id.box"), "shipped");
    WriteFileBytes(JoinPath(shipped, "sources.def"), "defs");
    const std::string home = dir.File("home");
    ForceDirectories(home);
    WriteFileBytes(JoinPath(home, "id.box"), "mine");
    PrepareHomeDirectory(home, shipped);
    EXPECT_EQ(ReadFileBytes(JoinPath(home, "id.box")), "mine");
    EXPECT_EQ(ReadFileBytes(JoinPath(home, "sources.def")), "defs");
    EXPECT_TRUE(DirectoryExists(JoinPath(home, "searches")));
    EXPECT_TRUE(DirectoryExists(JoinPath(home, "temp")));
    // A home that cannot be made is an error, not a silent start.
    WriteFileBytes(dir.File("file"), "x");
    EXPECT_THROW(PrepareHomeDirectory(dir.File("file/home"), shipped), EFileError);
}

// A build run from the tree seeds a new home with the sources.def it made from
// data/sources.plain: packed as the program stores it, holding the shipped job boards.
TEST(HomeDirectory, FreshHomeGetsTheShippedJobBoards) {
    ASSERT_EQ(std::getenv("TESSALY_DATA_DIR"), nullptr);
    const std::string shipped = ShippedDataDirectory();
    EXPECT_EQ(shipped, JoinPath(TESSALY_BINARY_DIR, "data"));
    test::TTempDir dir;
    const std::string home = dir.File("fresh");
    PrepareHomeDirectory(home, shipped);
    const std::string def = JoinPath(home, "sources.def");

    TPacker packer;
    TPackedMembers members;
    packer.ListMembers(def, members);
    ASSERT_EQ(members.size(), 1u);
    EXPECT_EQ(members[0].name, "sources.def.tmp");

    auto plain = EncodeSourcesLines(ReadTextLines(test::FixturePath("../../data/sources.plain")));
    ASSERT_TRUE(plain.ok());
    TVelaSourcesList fromPlain, seeded;
    fromPlain.LoadFromText(plain.value(), "sources.plain");
    seeded.LoadFromFile(def);
    ASSERT_EQ(seeded.Count(), fromPlain.Count());
    EXPECT_EQ(seeded.Version, fromPlain.Version);
    EXPECT_EQ(seeded.MCategories, fromPlain.MCategories);
    for (int i = 0; i < seeded.Count(); ++i) {
        EXPECT_EQ(seeded[i].Title, fromPlain[i].Title);
        EXPECT_EQ(seeded[i].JobBlockScript, fromPlain[i].JobBlockScript);
        EXPECT_EQ(seeded[i].PageFormatScript, fromPlain[i].PageFormatScript);
    }

    const auto r = test::RunArgs({"--home", home, "sources"});
    ASSERT_EQ(r.status, kExitOk) << r.err.str();
    for (const char* board : {"We Work Remotely", "Remote OK", "Remotive", "Jobicy", "Arbeitnow"})
        EXPECT_NE(r.out.str().find(std::string(board) + "\tenabled"), std::string::npos) << board;
}

}  // namespace
}  // namespace tessaly::cli
