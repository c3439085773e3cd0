// `tessaly demo`, the command behind `make run`: the demo boards start, a home is prepared,
// a sample search runs over every board (the slow one times out) and its listing prints.
#include <gtest/gtest.h>

#include "platform/Paths.h"
#include "support/CliRun.h"
#include "support/TestSupport.h"

namespace tessaly::cli {
namespace {

TEST(DemoCommand, RunsTheSampleSearchOverTheDemoBoards) {
    test::TTempDir home;
    auto r = test::RunArgs({"--home", home.Path(), "demo"});
    ASSERT_EQ(r.status, kExitOk) << r.err.str() << r.out.str();
    const std::string out = r.out.str();
    EXPECT_NE(out.find("Demo job boards at http://127.0.0.1:"), std::string::npos) << out;
    EXPECT_NE(out.find("Search Completed."), std::string::npos) << out;
    EXPECT_NE(out.find("Lazy River Jobs: Timed Out"), std::string::npos) << out;
    EXPECT_NE(out.find("Harbor Line Careers: Unreachable"), std::string::npos) << out;
    EXPECT_NE(out.find("TechPost Careers: Done"), std::string::npos) << out;
    EXPECT_NE(out.find("Go on with: tessaly --home " + home.Path()), std::string::npos);
    EXPECT_TRUE(FileExists(JoinPath(home.Path(), "sources.def")));
    EXPECT_TRUE(FileExists(JoinPath(home.Path(), "searches/velares~1.tbl")));
    // The listing follows: numbered lines with the preferred board's jobs first.
    const size_t listing = out.find("The listing of the sample search:");
    ASSERT_NE(listing, std::string::npos);
    EXPECT_NE(out.find("\tTechPost Careers\t", listing), std::string::npos);
}

TEST(DemoCommand, TlsServesTheBoardsOverHttps) {
    test::TTempDir home;
    auto r = test::RunArgs({"--home", home.Path(), "demo", "--tls"});
    ASSERT_EQ(r.status, kExitOk) << r.err.str() << r.out.str();
    const std::string out = r.out.str();
    EXPECT_NE(out.find("Demo job boards at https://127.0.0.1:"), std::string::npos) << out;
    EXPECT_NE(out.find("Certificate authority: /"), std::string::npos) << out;
    // The update descriptor came over TLS too, trusted through the home's options.
    EXPECT_NE(out.find("No update needed."), std::string::npos) << out;
    EXPECT_NE(out.find("TechPost Careers: Done"), std::string::npos) << out;
    EXPECT_NE(out.find("CareerHub Online: Done"), std::string::npos) << out;
    EXPECT_NE(out.find("Search Completed."), std::string::npos) << out;
    const size_t listing = out.find("The listing of the sample search:");
    ASSERT_NE(listing, std::string::npos);
    EXPECT_NE(out.find("\tTechPost Careers\t", listing), std::string::npos);
}

}  // namespace
}  // namespace tessaly::cli
