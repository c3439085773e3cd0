#include "data/VelaSearches.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>

#include "data/PackedFile.h"
#include "data/VelaSources.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "support/TestSupport.h"

namespace tessaly {
namespace {

class VelaSearchesTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(ForceDirectories(JoinPath(dir_.Path(), "searches"))); }
    void TearDown() override { SetSaveFaultHook(nullptr); }
    std::string Dir() const { return dir_.Path(); }
    std::string Table(int n) const {
        return JoinPath(Dir(), "searches/velares~" + std::to_string(n) + ".tbl");
    }
    void NoCompression() const { WriteFileBytes(JoinPath(Dir(), "compress.not"), ""); }

    test::TTempDir dir_;
};

void FillJob(TVelaJob& job, const std::string& tag) {
    job.Title = "Title " + tag;
    job.Company = "Company " + tag;
    job.Location = "Boston, Massachusetts";
    job.URL = "http://jobs.example/view?id=" + tag + "&x=1";
    job.LocalFile = "/home/u/searches/velares~1/index1.html";
    job.Source = "Site " + tag;
    job.Found = "12/08/2026 @ 08:52:00";
    job.Notes = "  call back = yes; \xc3\xa9t\xc3\xa9";  // UTF-8, as every stored text
    job.Relevancy = 5;
    job.Status = kStatusYellow;
    job.High = true;
    job.Visited = true;
}

bool LooksPacked(const std::string& path) {
    return ReadFileBytes(path).substr(0, 4) == "TJPK";
}

TEST_F(VelaSearchesTest, TableRoundTripKeepsEveryFieldAndDropsDeletedJobs) {
    for (bool plain : {false, true}) {
        if (plain) NoCompression();
        TVelaJobsList list;
        FillJob(list.AddJob(), "a");
        TVelaJob& deleted = list.AddJob();
        FillJob(deleted, "gone");
        deleted.Relevancy = kRelevancyDeleted;
        TVelaJob& empty = list.AddJob();  // empty texts, High set and Visited clear
        empty.High = true;
        empty.Relevancy = 7;
        empty.Pinned = true;

        SaveJobTable(list, Table(1), Dir());
        EXPECT_EQ(LooksPacked(Table(1)), !plain);
        EXPECT_EQ(list.Count(), 3);  // saving leaves the list alone
        EXPECT_FALSE(PathExists(Table(1) + ".tmp"));

        TVelaJobsList back;
        LoadJobTable(back, Table(1));
        EXPECT_EQ(back.FileName, Table(1));
        ASSERT_EQ(back.Count(), 2);
        const TVelaJob& a = back[0];
        TVelaJob want;
        FillJob(want, "a");
        EXPECT_EQ(a.Title, want.Title);
        EXPECT_EQ(a.Company, want.Company);
        EXPECT_EQ(a.Location, want.Location);
        EXPECT_EQ(a.URL, want.URL);
        EXPECT_EQ(a.LocalFile, want.LocalFile);
        EXPECT_EQ(a.Source, want.Source);
        EXPECT_EQ(a.Found, want.Found);
        EXPECT_EQ(a.Notes, want.Notes);
        EXPECT_EQ(a.Relevancy, 5);
        EXPECT_EQ(a.Status, kStatusYellow);
        EXPECT_TRUE(a.High);
        EXPECT_TRUE(a.Visited);
        const TVelaJob& e = back[1];
        EXPECT_EQ(e.Title, "");
        EXPECT_EQ(e.Notes, "");
        EXPECT_EQ(e.Relevancy, 7);
        EXPECT_TRUE(e.High);
        EXPECT_FALSE(e.Visited);
        EXPECT_FALSE(e.Pinned);  // not stored
        EXPECT_EQ(e.JobIndex, 1);
    }
}

TEST_F(VelaSearchesTest, PlainTableLinesAreTheStoredForm) {
    NoCompression();
    TVelaJobsList list;
    TVelaJob& job = list.AddJob();
    job.Title = "T";
    job.High = true;
    SaveJobTable(list, Table(1), Dir());
    EXPECT_EQ(ReadFileBytes(Table(1)),
              "V1.01\r\n1\r\nT\r\n\r\n\r\n\r\n\r\n\r\n\r\n0\r\n0\r\nHigh\r\n"
              "\r\n\r\n");
}

TEST_F(VelaSearchesTest, CompressNotDecidesOnlyTheWritingForm) {
    TVelaJobsList list;
    FillJob(list.AddJob(), "x");
    NoCompression();
    SaveJobTable(list, Table(1), Dir());
    EXPECT_FALSE(LooksPacked(Table(1)));
    TVelaJobsList plainBack;
    LoadJobTable(plainBack, Table(1));

    ASSERT_TRUE(DeleteFile(JoinPath(Dir(), "compress.not")));
    SaveJobTable(list, Table(2), Dir());
    EXPECT_TRUE(LooksPacked(Table(2)));
    TVelaJobsList packedBack;
    LoadJobTable(packedBack, Table(2));
    ASSERT_EQ(plainBack.Count(), 1);
    ASSERT_EQ(packedBack.Count(), 1);
    EXPECT_EQ(JobTableText(plainBack), JobTableText(packedBack));
    EXPECT_EQ(JobTableText(plainBack), JobTableText(list));
}

// A table as the program's first versions wrote it (V1.01, texts in the Windows code page,
// a grabbed page under a Latin-1 file name) loads with the texts it showed, in UTF-8.
TEST_F(VelaSearchesTest, TablesOfTheWindowsCodePageLoadInUtf8) {
    const std::string oldTable =
        "V1.01\r\n2\r\n"
        "Ing\xe9nieur Qualit\xe9 \x96 Lyon\r\nSoci\xe9t\xe9 G\xe9n\xe9rale\r\nChamb\xe9ry\r\n"
        "http://x.test/j?t=Caf\xe9\r\n/home/u/searches/velares~1/caf\xe9.html\r\nBoard\r\n"
        "12/08/2026 @ 08:52:00\r\n4\r\n2\r\nHigh\r\nVisited\r\n\x93rappeler\x94 \x80 10\r\n"
        "Plain\r\nAcme\r\nBern\r\nhttp://x.test/2\r\n\r\nBoard\r\nd\r\n0\r\n0\r\n\r\n\r\n\r\n";
    for (const bool packed : {false, true}) {
        if (packed)
            SaveTextSafely(Table(1), oldTable, true);
        else
            WriteFileBytes(Table(1), oldTable);
        TVelaJobsList list;
        LoadJobTable(list, Table(1));
        ASSERT_EQ(list.Count(), 2);
        EXPECT_EQ(list[0].Title, "Ing\xc3\xa9nieur Qualit\xc3\xa9 \xe2\x80\x93 Lyon");
        EXPECT_EQ(list[0].Company, "Soci\xc3\xa9t\xc3\xa9 G\xc3\xa9n\xc3\xa9rale");
        EXPECT_EQ(list[0].Location, "Chamb\xc3\xa9ry");
        EXPECT_EQ(list[0].URL, "http://x.test/j?t=Caf\xc3\xa9");
        EXPECT_EQ(list[0].LocalFile, "/home/u/searches/velares~1/caf\xe9.html");  // a file name
        EXPECT_EQ(list[0].Notes, "\xe2\x80\x9crappeler\xe2\x80\x9d \xe2\x82\xac 10");
        EXPECT_EQ(list[0].Relevancy, 4);
        EXPECT_TRUE(list[0].High);
        EXPECT_EQ(list[1].Title, "Plain");
        // The workbench form keeps the bytes.
        TVelaJobsList stored;
        LoadJobTable(stored, Table(1), TTableTexts::Stored);
        EXPECT_EQ(stored[0].Company, "Soci\xe9t\xe9 G\xe9n\xe9rale");
        // Saved again, it is UTF-8 and reads back the same.
        NoCompression();
        SaveJobTable(list, Table(2), Dir());
        const std::string text = ReadFileBytes(Table(2));
        EXPECT_NE(text.find("\r\nSoci\xc3\xa9t\xc3\xa9 G\xc3\xa9n\xc3\xa9rale\r\n"),
                  std::string::npos);
        TVelaJobsList again;
        LoadJobTable(again, Table(2));
        EXPECT_EQ(JobTableText(again), JobTableText(list));
        std::remove(JoinPath(Dir(), "compress.not").c_str());
    }
    // The index of the first versions, too.
    WriteFileBytes(JoinPath(Dir(), "searches/velares.idx"),
                   "1\r\nQu\xe9"
                   "bec\r\nIng\xe9nierie\r\nsoudeur \xe9t\xe9\r\nd\r\n" +
                       Table(1) + "\r\n2\r\n");
    TVelaSearchesList index;
    index.LoadIndex(JoinPath(Dir(), "searches/velares.idx"));
    ASSERT_EQ(index.Count(), 1);
    EXPECT_EQ(index[0].Region,
              "Qu\xc3\xa9"
              "bec");
    EXPECT_EQ(index[0].Category, "Ing\xc3\xa9nierie");
    EXPECT_EQ(index[0].Keywords, "soudeur \xc3\xa9t\xc3\xa9");
    EXPECT_EQ(index[0].TableFile, Table(1));
}

TEST_F(VelaSearchesTest, BothVersionsRead) {
    // The old form without a version line, and with one in lower case; ten lines a job.
    const std::string oldJob = "T\r\nC\r\nL\r\nU\r\nF\r\nS\r\nD\r\n4\r\n2\r\nHigh\r\n";
    for (const std::string& head : {std::string("2\r\n"), std::string("v1.00\r\n2\r\n")}) {
        WriteFileBytes(Table(1), head + oldJob + oldJob);
        TVelaJobsList list;
        LoadJobTable(list, Table(1));
        ASSERT_EQ(list.Count(), 2) << head;
        EXPECT_EQ(list[1].Title, "T");
        EXPECT_EQ(list[1].Found, "D");
        EXPECT_EQ(list[1].Relevancy, 4);
        EXPECT_EQ(list[1].Status, kStatusGreen);
        EXPECT_TRUE(list[1].High);
        EXPECT_FALSE(list[1].Visited);
        EXPECT_EQ(list[1].Notes, "");
        NoCompression();
        SaveJobTable(list, Table(2), Dir());
        EXPECT_EQ(ReadFileBytes(Table(2)).substr(0, 10), "V1.01\r\n2\r\n");
    }
    // Values out of range read as 0; a file cut short reads the missing lines as empty.
    WriteFileBytes(Table(1), "V1.01\n2\nA\nB\nC\nD\nE\nF\nG\n8\n5\nhigh\nVisited\nN\nT2\n");
    TVelaJobsList list;
    LoadJobTable(list, Table(1));
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list[0].Relevancy, 0);
    EXPECT_EQ(list[0].Status, 0);
    EXPECT_FALSE(list[0].High);  // exactly "High" only
    EXPECT_TRUE(list[0].Visited);
    EXPECT_EQ(list[0].Notes, "N");
    EXPECT_EQ(list[1].Title, "T2");
    EXPECT_EQ(list[1].Company, "");
}

TEST_F(VelaSearchesTest, LineBreaksInFieldsReadBackAndShiftedTablesAreRefused) {
    NoCompression();
    TVelaJobsList list;
    FillJob(list.AddJob(), "a");
    TVelaJob& odd = list.AddJob();
    FillJob(odd, "b");
    odd.Title = "one\rtwo";
    odd.LocalFile = Dir() + "/line\nfeed/searches/velares~1/1.html";
    odd.Notes = "first\nsecond\r\nthird \\n is no break \\";
    FillJob(list.AddJob(), "c");
    SaveJobTable(list, Table(1), Dir());
    TVelaJobsList back;
    LoadWholeJobTable(back, Table(1));
    ASSERT_EQ(back.Count(), 3);
    for (int i = 0; i < 3; ++i)
        for (auto field : {&TVelaJob::Title, &TVelaJob::LocalFile, &TVelaJob::Notes, &TVelaJob::URL,
                           &TVelaJob::Found})
            EXPECT_EQ(back[i].*field, list[i].*field) << i;

    // Without a line break the table is written as before, backslashes as they are.
    odd.Title = odd.LocalFile = "";
    odd.Notes = "C:\\jobs\\new";
    SaveJobTable(list, Table(2), Dir());
    const std::string plain = ReadFileBytes(Table(2));
    EXPECT_EQ(plain.substr(0, 7), "V1.01\r\n");
    EXPECT_NE(plain.find("\r\nC:\\jobs\\new\r\n"), std::string::npos);

    // Earlier versions wrote a line break as it was: the fields after it shift (in the
    // first job, the numbers; in the last job's note, a line is left over).
    for (const std::string& shifted :
         {ReplaceAll(plain, "\r\nTitle a\r\n", "\r\nTitle\r\na\r\n"), plain + "more\r\n"}) {
        ASSERT_NE(shifted, plain);
        WriteFileBytes(Table(3), shifted);
        try {
            LoadJobTable(back, Table(3));
            FAIL() << shifted << ": read shifted";
        } catch (const EConvertError& e) {
            EXPECT_NE(std::string(e.what()).find(Table(3) + " is damaged"), std::string::npos)
                << e.what();
        }
        EXPECT_EQ(back.Count(), 3) << "the list stays as it was";
    }
}

TEST_F(VelaSearchesTest, OtherBoardsRideAlongAsDeletedRowsAfterTheJobs) {
    NoCompression();
    TVelaJobsList list;
    FillJob(list.AddJob(), "a");
    TVelaJob& deleted = list.AddJob();
    FillJob(deleted, "gone");
    deleted.Relevancy = kRelevancyDeleted;
    deleted.AlsoOn = {{"Other", "http://o/gone"}};
    FillJob(list.AddJob(), "b");
    list[0].AlsoOn = {{"Jobicy", "http://j/1"}, {"Acme careers", "http://a/1"}};
    list[2].AlsoOn = {{"Jobicy", "http://j/2"}};
    SaveJobTable(list, Table(1), Dir());

    // A reader that does not know them reads the two jobs first, as before, and three
    // rows marked deleted by the user, which it hides.
    const TStrings lines = SplitLines(ReadFileBytes(Table(1)));
    ASSERT_EQ(lines.size(), 2u + 5 * 12);
    EXPECT_EQ(lines[1], "5");
    EXPECT_EQ(lines[2], "Title a");
    EXPECT_EQ(lines[2 + 12], "Title b");
    for (size_t row = 0; row < 5; ++row)
        EXPECT_EQ(lines[2 + row * 12 + 7] == "1", row >= 2) << row;

    TVelaJobsList back;
    LoadWholeJobTable(back, Table(1));
    ASSERT_EQ(back.Count(), 2);
    EXPECT_EQ(back[0].AlsoOn, list[0].AlsoOn);
    EXPECT_EQ(back[1].AlsoOn, list[2].AlsoOn);
    EXPECT_EQ(back[1].JobIndex, 1);
    EXPECT_EQ(JobTableText(back), ReadFileBytes(Table(1)));
}

TEST_F(VelaSearchesTest, OldTablesLoadUngroupedAndStrayBoardRowsAreDropped) {
    auto row = [](const std::string& found, const std::string& relevancy,
                  const std::string& notes) {
        return "T\r\nC\r\nL\r\nU\r\n\r\nS\r\n" + found + "\r\n" + relevancy + "\r\n0\r\n\r\n\r\n" +
               notes + "\r\n";
    };
    const std::string job = row("D", "4", "N");
    const struct {
        std::string rows;
        int count, loaded;     // rows stated, rows loaded
        size_t first, second;  // the other boards of the two jobs
    } cases[] = {
        {"", 2, 2, 0, 0},  // a table written before grouping
        {row("2", "1", "AlsoOn"), 3, 2, 0, 1},
        {row("3", "1", "AlsoOn") + row("1", "1", "AlsoOn"), 4, 2, 1, 0},  // there is no row 3
        {row("x", "1", "AlsoOn"), 3, 3, 0, 0},                            // no row number
        {row("1", "4", "AlsoOn"), 3, 3, 0, 0},                            // a job, not deleted
        {row("1", "1", "note"), 3, 3, 0, 0},                              // deleted, no board
    };
    for (const auto& c : cases) {
        WriteFileBytes(Table(1),
                       "V1.01\r\n" + std::to_string(c.count) + "\r\n" + job + job + c.rows);
        TVelaJobsList list;
        LoadWholeJobTable(list, Table(1));
        ASSERT_EQ(list.Count(), c.loaded) << c.rows;
        EXPECT_EQ(list[1].Notes, "N") << c.rows;
        EXPECT_EQ(list[0].AlsoOn.size(), c.first) << c.rows;
        EXPECT_EQ(list[1].AlsoOn.size(), c.second) << c.rows;
    }
}

TEST_F(VelaSearchesTest, MissingTableGivesEmptyListAndKeepsFileName) {
    TVelaJobsList list;
    list.AddJob();
    list.FileName = "previous";
    LoadJobTable(list, Table(9));
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.FileName, "previous");
    LoadJobTable(list, "");
    EXPECT_EQ(list.FileName, "previous");
}

TEST_F(VelaSearchesTest, DamagedCountLineNamesFileAndLineAndKeepsTheList) {
    TVelaJobsList list;
    list.AddJob().Title = "kept";
    list.FileName = "before";
    WriteFileBytes(Table(1), "V1.01\r\ntwelve\r\n");
    try {
        LoadJobTable(list, Table(1));
        FAIL() << "no error";
    } catch (const EConvertError& e) {
        const std::string what = e.what();
        EXPECT_NE(what.find(Table(1)), std::string::npos) << what;
        EXPECT_NE(what.find("line 2"), std::string::npos) << what;
        EXPECT_NE(what.find("twelve"), std::string::npos) << what;
    }
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list[0].Title, "kept");
    EXPECT_EQ(list.FileName, "before");

    WriteFileBytes(Table(2), "1x\r\n");  // the old form: the count is on line 1
    try {
        LoadJobTable(list, Table(2));
        FAIL() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_NE(std::string(e.what()).find("line 1"), std::string::npos) << e.what();
    }

    // A huge count in a short file builds only the jobs the file can hold.
    WriteFileBytes(Table(3), "V1.01\r\n2000000000\r\nOnly\r\n");
    LoadJobTable(list, Table(3));
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list[0].Title, "Only");
}

TEST_F(VelaSearchesTest, FailedTableSaveIsReportedAndKeepsOldFile) {
    TVelaJobsList list;
    FillJob(list.AddJob(), "old");
    SaveJobTable(list, Table(1), Dir());
    const std::string before = ReadFileBytes(Table(1));
    list[0].Title = "changed";
    for (TSaveStep failing : {TSaveStep::WriteTemp, TSaveStep::Pack, TSaveStep::Rename}) {
        SetSaveFaultHook(
            [failing](TSaveStep step, const std::string&) { return step == failing ? ENOSPC : 0; });
        EXPECT_THROW(SaveJobTable(list, Table(1), Dir()), EFileError);
        EXPECT_EQ(ReadFileBytes(Table(1)), before);
        EXPECT_EQ(list.Count(), 1);
        EXPECT_EQ(list[0].Title, "changed");
        EXPECT_FALSE(PathExists(Table(1) + ".tmp"));
    }
}

TEST_F(VelaSearchesTest, NewTablesTakeTheSmallestFreeNumber) {
    EXPECT_EQ(NewTableFileName(Dir()), Table(1));
    WriteFileBytes(Table(1), "0\r\n");
    EXPECT_EQ(NewTableFileName(Dir()), Table(2));
    WriteFileBytes(Table(2), "0\r\n");
    WriteFileBytes(Table(10), "0\r\n");
    EXPECT_EQ(NewTableFileName(Dir()), Table(3));
    ASSERT_TRUE(DeleteFile(Table(1)));
    EXPECT_EQ(NewTableFileName(Dir()), Table(1));
}

TEST_F(VelaSearchesTest, IndexRoundTripAndDamage) {
    TVelaSearchesList searches;
    for (int i = 0; i < 2; ++i) {
        TVelaSearch& s = searches.AddSearch();
        EXPECT_EQ(s.SearchIndex, i);
        s.Region = "Region " + std::to_string(i);
        s.Category = "IT = Software";
        s.Keywords = "  c++ -java";
        s.KeywordsEN = "not stored";
        s.Created = "12/08/2026 @ 08:5" + std::to_string(i) + ":00";
        s.TableFile = Table(i + 1);
        s.JobCount = 40 + i;
    }
    const std::string index = SearchesIndexPath(Dir());
    searches.SaveIndex(index);
    EXPECT_EQ(ReadFileBytes(index).substr(0, 18), "2\r\nRegion 0\r\nIT = ");

    TVelaSearchesList back;
    back.AddSearch();
    back.LoadIndex(index);
    ASSERT_EQ(back.Count(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(back[i].SearchIndex, i);
        EXPECT_EQ(back[i].Region, searches[i].Region);
        EXPECT_EQ(back[i].Category, searches[i].Category);
        EXPECT_EQ(back[i].Keywords, searches[i].Keywords);
        EXPECT_EQ(back[i].KeywordsEN, "");
        EXPECT_EQ(back[i].Created, searches[i].Created);
        EXPECT_EQ(back[i].TableFile, searches[i].TableFile);
        EXPECT_EQ(back[i].JobCount, searches[i].JobCount);
    }
    back.DeleteSearch(0);
    ASSERT_EQ(back.Count(), 1);
    EXPECT_EQ(back[0].SearchIndex, 1);  // the others keep their number

    WriteFileBytes(index, "1\nR\nC\nK\nD\nT\nmany\n");
    back.LoadIndex(index);
    ASSERT_EQ(back.Count(), 1);
    EXPECT_EQ(back[0].JobCount, 0);

    WriteFileBytes(index, "two\nR\n");
    try {
        back.LoadIndex(index);
        FAIL() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_NE(std::string(e.what()).find(index + ", line 1"), std::string::npos) << e.what();
    }
    EXPECT_EQ(back.Count(), 1);

    back.LoadIndex(JoinPath(Dir(), "missing.idx"));
    EXPECT_EQ(back.Count(), 0);

    // A failed index save is raised.
    EXPECT_THROW(searches.SaveIndex(JoinPath(Dir(), "no/such/dir/velares.idx")), EFileError);
}

TEST_F(VelaSearchesTest, IndexNamesTablesBelowItsHomeAndNeverOutsideIt) {
    TVelaSearchesList searches;
    searches.AddSearch().TableFile = Table(1);
    searches.AddSearch().TableFile = Table(2);
    const std::string index = SearchesIndexPath(Dir());
    searches.SaveIndex(index);
    EXPECT_EQ(ReadFileBytes(index).find(Dir()), std::string::npos) << ReadFileBytes(index);

    // As an earlier version wrote the index of the home this one was copied from.
    WriteFileBytes(Table(1), "V1.01\r\n0\r\n");
    const std::string record = "R\r\nC\r\nK\r\nD\r\n";
    WriteFileBytes(index, "3\r\n" + record + "/old/home/searches/velares~1.tbl\r\n0\r\n" + record +
                              "/old/home/searches/velares~2.tbl\r\n0\r\n" + record +
                              "/old/ho\r\n0\r\n");  // a path cut short
    TVelaSearchesList back;
    back.LoadIndex(index);
    ASSERT_EQ(back.Count(), 3);
    EXPECT_EQ(back[0].TableFile, Table(1));
    EXPECT_EQ(back[1].TableFile, Table(2));
    EXPECT_EQ(back[2].TableFile, Table(3));  // a new table of its own
    EXPECT_EQ(back.Damage.find("velares~1"), std::string::npos) << back.Damage;
    EXPECT_NE(back.Damage.find("/old/home/searches/velares~2.tbl outside this home"),
              std::string::npos)
        << back.Damage;
}

}  // namespace
}  // namespace tessaly

namespace tessaly {
namespace {

TEST(SearchIndex, LineBreaksInsideValuesDoNotShiftTheFields) {
    test::TTempDir dir;
    TVelaSearchesList list;
    TVelaSearch& s = list.AddSearch();
    s.Region = "Texas";
    s.Category = "Engineering";
    s.Keywords = "welder\r\npipe\nfitter";
    s.Created = "12/08/26 @ 10:00:00";
    s.TableFile = dir.File("velares~1.tbl");
    s.JobCount = 7;
    list.AddSearch().Keywords = "second";
    const std::string index = dir.File("velares.idx");
    list.SaveIndex(index);
    TVelaSearchesList back;
    back.LoadIndex(index);
    ASSERT_EQ(back.Count(), 2);
    EXPECT_EQ(back[0].Keywords, "welder pipe fitter");
    EXPECT_EQ(back[0].Created, "12/08/26 @ 10:00:00");
    EXPECT_EQ(back[0].TableFile, s.TableFile);
    EXPECT_EQ(back[0].JobCount, 7);
    EXPECT_EQ(back[1].Keywords, "second");
}

}  // namespace
}  // namespace tessaly
