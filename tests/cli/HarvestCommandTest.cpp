#include <gtest/gtest.h>

#include <sstream>

#include "cli/Command.h"
#include "data/VelaSources.h"
#include "platform/TextFile.h"
#include "support/CliRun.h"
#include "support/TestSupport.h"

namespace tessaly::cli {
namespace {

using HarvestCommand = test::TCliTest;

TEST_F(HarvestCommand, JsonTableAndBadSite) {
    const std::string def = Sandbox().File("sources.def");
    auto enc = EncodeSourcesLines(ReadTextLines(test::FixturePath("boards.plain")));
    ASSERT_TRUE(enc.ok());
    WriteFileBytes(def, enc.value());
    const std::string page = test::FixturePath("boards/list.html");
    ASSERT_EQ(Run({"harvest", def, "2", page, "--clean", "--us", "--json"}), kExitOk) << err.str();
    EXPECT_EQ(out.str().rfind(
                  "[{\"Title\": \"Programmer/Analyst (Cobol, Db2)\", \"Company\": \"Acme Corp.\", "
                  "\"Location\": \"Chicago, Illinois\", \"URL\": "
                  "\"http://list.example.test/detail.cgi?id=9001\"}, {",
                  0),
              0u)
        << out.str();
    ASSERT_EQ(Run({"harvest", def, "2", page}), kExitOk);
    const TStrings rows = SplitLines(out.str());
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], "Title\tCompany\tLocation\tURL");
    EXPECT_EQ(rows[1].rfind("PROGRAMMER/ANALYST (COBOL, DB2)\tAcme Corp.\tChicago, IL\t", 0), 0u);
    EXPECT_EQ(Run({"harvest", def, "9", page}), kExitUsage);
    EXPECT_NE(err.str().find("no site number 9"), std::string::npos) << err.str();
}

}  // namespace
}  // namespace tessaly::cli
