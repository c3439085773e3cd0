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
    ASSERT_EQ(r.status, kExitOk) << r.err.str();
    EXPECT_NE(r.out.str().find("Updating job sources..."), std::string::npos);
    EXPECT_EQ(r.out.str().find("Job sources updated."), std::string::npos);
    EXPECT_EQ(ReadFileBytes(JoinPath(home, "sources.def")), before);
}

}  // namespace
}  // namespace tessaly::cli
