// The translation service: address encoding, extracting answers, keyword translation with
// one language failing, the job translator's outcomes.
#include "services/Translation.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "net/HttpMachine.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "support/TestHttpServer.h"
#include "support/TestSupport.h"

namespace tessaly {
namespace {

using test::TTestHttpServer;

TEST(EscapeURLTest, EncodesOnlyItsCharactersAndPercentOnce) {
    EXPECT_EQ(EscapeURL("?a=b&c=d"), "%3Fa%3Db%26c%3Dd");
    EXPECT_EQ(EscapeURL("http://x/a%20b+$ c"), "http%3A%2F%2Fx%2Fa%2520b%2B%24 c");
}

TEST(ExtractTranslationTest, NeedsBothMarkers) {
    std::string out = "kept";
    EXPECT_FALSE(ExtractTranslation("Auf Deutsch: no font", "Auf Deutsch:", out));
    EXPECT_FALSE(ExtractTranslation("<font face=\"helvetica\">x", "Auf Deutsch:", out));
    EXPECT_EQ(out, "kept");
    EXPECT_TRUE(ExtractTranslation(
        "<font face=\"helvetica\">wrong\nAuf Deutsch:<font face=\"helvetica\">Schwei\xDF"
        "er\nrest",
        "Auf Deutsch:", out));
    EXPECT_EQ(out,
              "Schwei\xDF"
              "er");
}

class TranslationTest : public test::TLoopTest {
  protected:
    TranslationTest() {
        machine_.Timing = {10, 10, 10, 10};
        machine_.SetEnabled(true);
    }
    void TearDown() override {
        machine_.StopAll();
        WaitFor([this] { return !machine_.IsBusy(); });
    }
    THTTPMachine machine_;
};

TEST_F(TranslationTest, FailedLanguageKeepsTypedKeywords) {
    TTestHttpServer server([](const TTestHttpServer::TRequest& r) {
        if (r.body.find("en_fr") != std::string::npos) return TTestHttpServer::Drop();
        return TTestHttpServer::Normal(
            "<p>En Espa\xF1ol:</p><font face=\"helvetica\">soldador\r\n");
    });
    TKeyTranslator keys(machine_, "http://127.0.0.1:" + std::to_string(server.Port()));
    keys.CloseTickMs = 10;
    keys.Initialize();
    keys.Keywords = "welder arc";
    keys.Request(TKeyTranslator::klFrench);
    keys.Request(TKeyTranslator::klSpanish);
    keys.Start();
    ASSERT_TRUE(WaitFor([&] { return keys.Finished(); }));
    EXPECT_EQ(keys.Result(TKeyTranslator::klFrench), "welder arc");
    EXPECT_EQ(keys.Result(TKeyTranslator::klGerman), "welder arc");
    EXPECT_EQ(keys.Result(TKeyTranslator::klSpanish), "soldador");
    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    std::vector<std::string> bodies{requests[0].body, requests[1].body};
    std::sort(bodies.begin(), bodies.end());
    EXPECT_EQ(bodies[0], "doit=done&lp=en_fr&urltext=welder arc");
    EXPECT_EQ(bodies[1], "doit=done&lp=en_sp&urltext=welder arc");
    EXPECT_NE(requests[0].requestLine.find("/cgi-bin/translate?"), std::string::npos);
}

TEST_F(TranslationTest, JobTranslationSavedAndOpened) {
    TTestHttpServer server([](const TTestHttpServer::TRequest&) {
        return TTestHttpServer::Normal("<html>traduit</html>");
    });
    TJobTranslator job(machine_, "http://127.0.0.1:" + std::to_string(server.Port()),
                       Sandbox().Path());
    job.Selected = 6;
    std::string opened;
    std::vector<bool> running;
    job.OnOpenFile = [&](const std::string& p) { opened = p; };
    job.OnRunning = [&](bool on) { running.push_back(on); };
    job.TranslateJob("http://a/j?id=5");
    ASSERT_TRUE(WaitFor([&] { return running.size() == 2; }));
    EXPECT_EQ(opened, Sandbox().File("translation.html"));
    EXPECT_EQ(ReadFileBytes(opened), "<html>traduit</html>");
    EXPECT_EQ(server.Requests().at(0).body,
              "doit=done&lp=de_en&urltext=http%3A%2F%2Fa%2Fj%3Fid%3D5");
}

TEST_F(TranslationTest, TimeOutAndOtherFailuresHaveTheirMessages) {
    TTestHttpServer server([](const TTestHttpServer::TRequest& r) {
        if (r.body.find("slow") != std::string::npos)
            return TTestHttpServer::StallAfterHeader(3000);
        return TTestHttpServer::Status(503, "Service Unavailable", "busy");
    });
    TJobTranslator job(machine_, "http://127.0.0.1:" + std::to_string(server.Port()),
                       Sandbox().Path());
    std::vector<std::string> errors;
    int beeps = 0;
    job.OnError = [&](const std::string& e) { errors.push_back(e); };
    job.OnBeep = [&] { ++beeps; };
    machine_.TimeOut = 1;
    job.TranslateJob("http://slow/");
    ASSERT_TRUE(WaitFor([&] { return errors.size() == 1; }));
    EXPECT_EQ(errors[0], "Translation has timed out due to Internet congestion. Please try later.");
    job.TranslateJob("http://busy/");
    ASSERT_TRUE(WaitFor([&] { return errors.size() == 2; }));
    EXPECT_EQ(errors[1], "Translation could not be completed at this time. Please try later.");
    EXPECT_EQ(beeps, 2);
}

}  // namespace
}  // namespace tessaly
