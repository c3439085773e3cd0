#include <gtest/gtest.h>

#include "data/VelaJobs.h"
#include "data/VelaSearches.h"
#include "platform/TextFile.h"
#include "support/CliRun.h"
#include "support/TestSupport.h"

namespace tessaly::cli {
namespace {

using test::RunArgs;

TEST(BoxCommand, SetThenGetPackedWithEditionsAndLines) {
    test::TTempDir dir;
    const std::string box = dir.File("options.box");
    ASSERT_EQ(RunArgs({"box", "set", box, "Visual", "MaxJobs", "75"}).status, kExitOk);
    ASSERT_EQ(RunArgs({"box", "set", box, "Features", "Guide", "campus", "--edition", "C"}).status,
              kExitOk);
    EXPECT_EQ(ReadFileBytes(box).substr(0, 4), "TJPK");
    EXPECT_EQ(RunArgs({"box", "get", box, "Visual", "MaxJobs"}).out.str(), "75\n");
    // The qualified item is seen only under its edition.
    EXPECT_EQ(RunArgs({"box", "get", box, "Features", "Guide"}).out.str(), "");
    EXPECT_EQ(RunArgs({"box", "get", box, "Features", "Guide", "--edition", "C"}).out.str(),
              "campus\n");
    // A hand-written plain box with a multi-line value, read line by line.
    const std::string plain = dir.File("config.box");
    WriteFileBytes(plain, "[Popup]\nOnOpen=>>>\nfirst\nsecond\n<<<\n");
    EXPECT_EQ(RunArgs({"box", "get", plain, "Popup", "OnOpen", "--line", "1"}).out.str(),
              "second\n");
    auto bad = RunArgs({"box", "get", plain, "Popup", "OnOpen", "--line", "x"});
    EXPECT_EQ(bad.status, kExitUsage);
    EXPECT_EQ(RunArgs({"box", "get", plain, "Popup"}).status, kExitUsage);
}

TEST(TableCommand, ShowsEveryStoredField) {
    test::TTempDir dir;
    TVelaJobsList jobs;
    TVelaJob& j = jobs.AddJob();
    j.Title = "Welder";
    j.Company = "Smith & Sons";
    j.Location = "Boston";
    j.URL = "http://x.test/1";
    j.Notes = "  call = soon";
    j.Relevancy = 5;
    j.Status = 2;
    j.High = true;
    const std::string file = dir.File("velares~1.tbl");
    SaveJobTable(jobs, file, dir.Path());
    auto c = RunArgs({"table", "show", file});
    EXPECT_EQ(c.status, kExitOk);
    EXPECT_NE(c.out.str().find("Welder\tSmith & Sons\tBoston\thttp://x.test/1\t"),
              std::string::npos);
    EXPECT_NE(c.out.str().find("\t  call = soon\t5\t2\tTrue\tFalse\n"), std::string::npos);
    c = RunArgs({"table", "show", file, "--json"});
    EXPECT_NE(c.out.str().find("\"Notes\": \"  call = soon\", \"Relevancy\": 5, \"Status\": 2, "
                               "\"High\": true, \"Visited\": false"),
              std::string::npos);
    EXPECT_EQ(RunArgs({"table", "show", dir.File("none.tbl")}).status, kExitUsage);
}

}  // namespace
}  // namespace tessaly::cli
