// The command line's keyword translation: the typed keywords go to the service for the
// wanted languages; a failed or unreadable answer, or no service at all, keeps them.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "cli/Workspace.h"
#include "data/ConfigBox.h"
#include "platform/Paths.h"
#include "search/SearchEngine.h"
#include "support/TestHttpServer.h"
#include "support/TestSupport.h"

namespace tessaly::cli {
namespace {

using test::TTestHttpServer;

class TranslateKeywords : public test::TLoopTest {
  protected:
    TranslateKeywords() : front(out, false, true), engine(Sandbox().Path(), front) {
        front.Attach(&engine);
        engine.Http().Timing = {10, 10, 10, 10};
        engine.Http().SetEnabled(true);
    }
    ~TranslateKeywords() override {
        engine.Http().StopAll();
        WaitFor([this] { return !engine.Http().IsBusy(); });
    }
    // The home's id.box names the translation service.
    void UseService(const std::string& url) {
        TConfigBox id;
        id.WriteString("ID", "TranslateURL", url);
        id.SaveToFile(JoinPath(Sandbox().Path(), "id.box"));
        ASSERT_TRUE(engine.LoadIdentity());
    }
    std::ostringstream out;
    TCliFrontEnd front;
    TSearchEngine engine;
};

TEST_F(TranslateKeywords, AnswersFillTheLanguagesAskedFor) {
    TTestHttpServer server([](const TTestHttpServer::TRequest& r) {
        if (r.body.find("lp=en_de") != std::string::npos)
            return TTestHttpServer::Normal("Auf Deutsch: <font face=\"helvetica\">Koch\r\n</font>");
        // No marker: the keywords stay as typed.
        return TTestHttpServer::Normal("<html>nothing here</html>");
    });
    UseService(server.Url(""));
    TKeywordTranslation t;
    t.Keywords = "cook";
    t.German = true;
    t.French = true;
    ASSERT_TRUE(front.TranslateKeywords(t));
    EXPECT_EQ(t.KeywordsDE, "Koch");
    EXPECT_EQ(t.KeywordsFR, "cook");
    EXPECT_EQ(t.KeywordsEN, "cook");
    EXPECT_EQ(t.KeywordsSP, "cook");
    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    for (auto& r : requests) {
        EXPECT_EQ(r.requestLine.rfind("POST /cgi-bin/translate? ", 0), 0u) << r.requestLine;
        EXPECT_EQ(r.body.rfind("doit=done&lp=en_", 0), 0u);
    }
    std::vector<std::string> bodies{requests[0].body, requests[1].body};
    std::sort(bodies.begin(), bodies.end());
    EXPECT_EQ(bodies[0], "doit=done&lp=en_de&urltext=cook");
    EXPECT_EQ(bodies[1], "doit=done&lp=en_fr&urltext=cook");
}

TEST_F(TranslateKeywords, FailuresKeepTheTypedKeywords) {
    TTestHttpServer server(
        [](const TTestHttpServer::TRequest&) { return TTestHttpServer::Drop(); });
    UseService(server.Url(""));
    TKeywordTranslation t;
    t.Keywords = "nurse aide";
    t.Spanish = true;
    ASSERT_TRUE(front.TranslateKeywords(t));
    EXPECT_EQ(t.KeywordsSP, "nurse aide");
}

TEST_F(TranslateKeywords, WithoutAServiceNothingIsTranslated) {
    TKeywordTranslation t;
    t.Keywords = "welder";
    t.French = true;
    EXPECT_FALSE(front.TranslateKeywords(t));
    EXPECT_TRUE(t.KeywordsFR.empty());
}

}  // namespace
}  // namespace tessaly::cli
