// Send to a friend: the referral body byte for byte and the outcomes from the server.
#include "services/Referral.h"

#include <gtest/gtest.h>

#include "data/ConfigBox.h"
#include "data/VelaJobs.h"
#include "net/HttpMachine.h"
#include "support/TestHttpServer.h"
#include "support/TestSupport.h"

namespace tessaly {
namespace {

using test::TTestHttpServer;

TEST(ReferralBodyTest, JobModeReplacesFormCharactersAndBlanks) {
    TVelaJob job;
    job.Title = "Senior Welder";
    job.Company = "Arc & Co";
    job.Location = "Austin, TX";
    job.Source = "Table Board";
    job.URL = "http://x/job?id=5&x=1";
    TUserDetails user{"me@example.test", "Ann", "Lee"};
    EXPECT_EQ(ReferralBody("friend@example.test", user, "Standard", &job),
              "recipient=friend@example.test&email=me@example.test&realname=Ann+Lee"
              "&edition=Standard&jobtitle=Senior+Welder&jobcompany=Arc+&+Co"
              "&joblocation=Austin,+TX&jobsource=Table+Board"
              "&joburl=http://x/job?id\xA7"
              "5\xB6x\xA7"
              "1");
}

TEST(ReferralBodyTest, ProgramModeWithUnknownUserAndNoFriend) {
    EXPECT_EQ(ReferralBody("", TUserDetails{}, "Demo", nullptr),
              "recipient=&email=&realname=+&edition=Demo");
}

TEST(ReferralBodyTest, UserDetailsRoundTripThroughOptions) {
    TConfigBox options;
    WriteUserDetails(options, {"a@b", "First", "Last"});
    TUserDetails back = ReadUserDetails(options);
    EXPECT_EQ(back.Email, "a@b");
    EXPECT_EQ(back.FirstName, "First");
    EXPECT_EQ(back.LastName, "Last");
}

class ReferralTest : public test::TLoopTest {
  protected:
    ReferralTest() {
        machine_.Timing = {10, 10, 10, 10};
        machine_.SetEnabled(true);
    }
    void TearDown() override {
        machine_.StopAll();
        WaitFor([this] { return !machine_.IsBusy(); });
    }
    // Sends once against a server answering `answer`; returns the last status text.
    std::string SendTo(TTestHttpServer& server) {
        TReferral referral(machine_, "http://127.0.0.1:" + std::to_string(server.Port()));
        referral.PauseMs = 10;
        std::string status;
        bool finished = false;
        referral.OnStatus = [&](const std::string& s) { status = s; };
        referral.OnFinished = [&] { finished = true; };
        referral.Send("f@x", {"m@x", "A", "B"}, "Demo", nullptr);
        EXPECT_TRUE(referral.Busy());
        EXPECT_TRUE(WaitFor([&] { return finished; }));
        EXPECT_FALSE(referral.Busy());
        return status;
    }
    THTTPMachine machine_;
};

TEST_F(ReferralTest, OutcomeFollowsTheAnswer) {
    TTestHttpServer thanks([](const TTestHttpServer::TRequest&) {
        return TTestHttpServer::Normal("<h1>Thank You</h1>");
    });
    EXPECT_EQ(SendTo(thanks), "Done.");
    auto r = thanks.Requests().at(0);
    EXPECT_EQ(r.requestLine.rfind("POST ", 0), 0u);
    EXPECT_NE(r.requestLine.find("/cgi-bin/referal.asp"), std::string::npos);
    EXPECT_EQ(r.body, "recipient=f@x&email=m@x&realname=A+B&edition=Demo");

    TTestHttpServer other(
        [](const TTestHttpServer::TRequest&) { return TTestHttpServer::Normal("Sorry"); });
    EXPECT_EQ(SendTo(other), "Error. Try later.");
    TTestHttpServer dropped(
        [](const TTestHttpServer::TRequest&) { return TTestHttpServer::Drop(); });
    EXPECT_EQ(SendTo(dropped), "Error. Try later.");
}

// Closing the dialog on an idle machine must not swallow the next request.
TEST_F(ReferralTest, CloseOnAnIdleMachineKeepsTheNextSend) {
    TTestHttpServer thanks([](const TTestHttpServer::TRequest&) {
        return TTestHttpServer::Normal("<h1>Thank You</h1>");
    });
    TReferral first(machine_, thanks.Url(""));
    first.Close();
    EXPECT_FALSE(machine_.Stopping);
    EXPECT_EQ(SendTo(thanks), "Done.");
    EXPECT_EQ(thanks.Requests().size(), 1u);
}

// Closing while a request runs stops it (and any other request of the machine).
TEST_F(ReferralTest, CloseStopsRunningRequests) {
    TTestHttpServer slow(
        [](const TTestHttpServer::TRequest&) { return TTestHttpServer::StallAfterHeader(10000); });
    auto q = machine_.NewQuery();
    q->URL = slow.Url("/search");
    bool failed = false;
    q->OnEvent = [&](THTTPResult&, THTTPMachineEventType t) { failed |= t == meFailed; };
    machine_.AddQuery(std::move(q));
    ASSERT_TRUE(WaitFor([&] { return slow.Requests().size() == 1; }));
    TReferral referral(machine_, slow.Url(""));
    referral.Close();
    EXPECT_TRUE(WaitFor([&] { return failed; }));
}

}  // namespace
}  // namespace tessaly
