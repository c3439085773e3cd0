// tessaly update-sources against a scripted maker's server.
#include <gtest/gtest.h>

#include "data/ConfigBox.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "support/CliRun.h"
#include "support/TestBoards.h"
#include "support/TestHttpServer.h"
#include "support/TestSupport.h"

namespace tessaly::cli {
namespace {

using test::TTestHttpServer;

class UpdateSourcesCommand : public test::TLoopTest {
  protected:
    UpdateSourcesCommand()
        : server([this](const TTestHttpServer::TRequest& r) {
              if (r.requestLine.find("/config.box") != std::string::npos)
                  return TTestHttpServer::Normal(descriptor);
              if (r.requestLine.find("/fail") != std::string::npos)
                  return TTestHttpServer::Status(500, "Internal Server Error", "down");
              return TTestHttpServer::Drop();
          }) {
        home = Sandbox().Path();
        boards.WriteHome(home);
        TConfigBox id;
        id.LoadFromFile(JoinPath(home, "id.box"));
        id.WriteString("ID", "ConfigURL", server.Url("/config.box"));
        id.WriteString("ID", "SourcesURL", server.Url("/sources.def"));
        id.SaveToFile(JoinPath(home, "id.box"));
    }
    test::TCliRun Run() { return test::RunArgs({"--home", home, "update-sources"}); }

    std::string descriptor;
    TTestHttpServer server;
    std::string home;
    test::TTestBoards boards;
};

TEST_F(UpdateSourcesCommand, EqualVersionAndFailedDownload) {
    TConfigBox box;
    box.WriteString("DEFFile", "Version", "2026.12.08");
    descriptor = box.SaveToText();
    auto r = Run();
    ASSERT_EQ(r.status, kExitOk) << r.err.str();
    EXPECT_NE(r.out.str().find("Contacting Tessaly Technologies. Please wait..."),
              std::string::npos);
    EXPECT_NE(r.out.str().find("No update needed."), std::string::npos) << r.out.str();

    const std::string before = ReadFileBytes(JoinPath(home, "sources.def"));
    box.WriteString("DEFFile", "Version", "2027.01.01");
    descriptor = box.SaveToText();
    r = Run();
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_NE(r.out.str().find("Updating job sources..."), std::string::npos);
    EXPECT_EQ(r.out.str().find("Job sources updated."), std::string::npos);
    EXPECT_NE(r.err.str().find("Cannot fetch the job sources from " + server.Url("/sources.def")),
              std::string::npos)
        << r.err.str();
    EXPECT_EQ(ReadFileBytes(JoinPath(home, "sources.def")), before);
}

TEST_F(UpdateSourcesCommand, UnreachableOrFailingServerIsAnError) {
    struct TCase {
        std::string url, why;
    };
    const TCase cases[] = {
        {"http://127.0.0.1:" + std::to_string(TTestHttpServer::UnusedPort()) + "/config.box", ""},
        {server.Url("/fail.box"), "the server answered \"500 Internal Server Error\""},
    };
    for (const TCase& c : cases) {
        TConfigBox id;
        id.LoadFromFile(JoinPath(home, "id.box"));
        id.WriteString("ID", "ConfigURL", c.url);
        id.SaveToFile(JoinPath(home, "id.box"));
        auto r = Run();
        EXPECT_EQ(r.status, kExitUsage) << c.url;
        EXPECT_NE(
            r.err.str().find("Cannot fetch the update descriptor from " + c.url + ": " + c.why),
            std::string::npos)
            << r.err.str();
    }
    // No address at all: nothing to update from, said by update-sources, not by a search.
    TConfigBox id;
    id.LoadFromFile(JoinPath(home, "id.box"));
    id.WriteString("ID", "ConfigURL", "");
    id.SaveToFile(JoinPath(home, "id.box"));
    auto r = Run();
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_NE(r.err.str().find("names no update address"), std::string::npos) << r.err.str();
    r = test::RunArgs({"--home", home, "search", "--offline", "welder"});
    EXPECT_EQ(r.out.str().find("update address"), std::string::npos) << r.out.str();
}

}  // namespace
}  // namespace tessaly::cli
