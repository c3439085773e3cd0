// Sponsor banners: the weighted choice, banner pages, undecodable images, rotation and
// the two click flows against a scripted ad server.
#include "services/Banner.h"

#include <gtest/gtest.h>

#include <deque>

#include "data/ConfigBox.h"
#include "net/HttpMachine.h"
#include "support/TestHttpServer.h"
#include "support/TestSupport.h"

namespace tessaly {
namespace {

using test::TTestHttpServer;

TEST(BannerChoiceTest, WeightsGiveTheirShareOfDraws) {
    THTTPMachine machine;
    TConfigBox box;
    box.WriteString("InBanner", "Ratios", "20\r\n30\r\n50\r\n");
    TBanner banner(machine, box, "InBanner");
    int counts[4] = {};
    for (int r = 0; r < 100; ++r)
        ++counts[banner.ChooseEntry(r)];
    EXPECT_EQ(counts[0], 20);
    EXPECT_EQ(counts[1], 30);
    EXPECT_EQ(counts[2], 50);
    EXPECT_EQ(counts[3], 0);
    box.WriteString("InBanner", "Ratios", "20\r\nx\r\n");  // a sum below 100
    EXPECT_EQ(banner.ChooseEntry(50), 1);
}

TEST(BannerChoiceTest, TriggersAreSubstrings) {
    EXPECT_EQ(ParseBannerTriggers("AtStart,AtTimer"), btAtStart | btAtTimer);
    EXPECT_EQ(ParseBannerTriggers("xAtGrabRefinex AtSearch"), btAtGrabRefine | btAtSearch);
    EXPECT_EQ(ParseBannerTriggers("atstart"), 0);
}

TEST(BannerPageTest, QuotedAndUnquotedValues) {
    auto v = ParseBannerPage(
        "junk src=\"no\" <!--B--><a href=http://ad/go?1 x><img SRC=\"pic.gif\" alt=\"Buy "
        "now\"></a><!--E--> tail",
        "<!--B-->|<!--E-->");
    EXPECT_EQ(v.Src, "pic.gif");
    EXPECT_EQ(v.Href, "http://ad/go?1");
    EXPECT_EQ(v.Alt, "Buy now");
    // No end marker: nothing; an unquoted value at the very end has no delimiter.
    EXPECT_EQ(ParseBannerPage("<b>SRC=a.gif </b>", "<b>|</i>").Src, "");
    EXPECT_EQ(ParseBannerPage("x HREF=abc</b>", "|</b>").Href, "");
    // The piece ends with the end marker's first character: a blank that starts the
    // marker still ends the value before it.
    EXPECT_EQ(ParseBannerPage("<a HREF=http://ad/go </a>", "<a| </a>").Href, "http://ad/go");
    EXPECT_EQ(ParseBannerPage("<a ALT=\"Buy\" SRC=b.gif </a>", "<a| </a>").Src, "b.gif");
}

class BannerTest : public test::TLoopTest {
  protected:
    BannerTest() {
        machine_.Timing = {10, 10, 10, 10};
        machine_.SetEnabled(true);
        server_ = std::make_unique<TTestHttpServer>([this](const TTestHttpServer::TRequest& r) {
            const std::string& line = r.requestLine;
            if (line.find("/bad.gif") != std::string::npos) return TTestHttpServer::Normal("bad");
            if (line.find("/good.gif") != std::string::npos)
                return TTestHttpServer::Normal("GIF89a", "Set-Cookie: " + setCookie_ + "\r\n");
            if (line.find("/page") != std::string::npos)
                return TTestHttpServer::Normal("<!--ad--><a href=" + server_->Url("/click") +
                                               " ><img src=\"" + server_->Url("/good.gif") +
                                               "\" alt=\"Sale\"></a><!--/ad-->");
            if (line.find("/click") != std::string::npos)
                return TTestHttpServer::Redirect(server_->Url("/landing"));
            return TTestHttpServer::Normal("here");
        });
    }
    void TearDown() override {
        banner_.reset();
        machine_.StopAll();
        WaitFor([this] { return !machine_.IsBusy(); });
    }
    void Make(const std::string& triggers, const std::string& sources) {
        box_.WriteString("Sponsor1", "Triggers", triggers);
        box_.WriteString("Sponsor1", "Ratios", "50\r\n50\r\n");
        box_.WriteString("Sponsor1", "Sources", sources);
        box_.WriteString("Sponsor1", "Destinations",
                         server_->Url("/click") + "\r\n" + server_->Url("/click") + "\r\n");
        box_.WriteString("Sponsor1", "Rotation", "20");
        banner_ = std::make_unique<TBanner>(machine_, box_, "Sponsor1");
        banner_->Random = [this] {
            int r = draws_.empty() ? 0 : draws_.front();
            if (!draws_.empty()) draws_.pop_front();
            return r;
        };
        banner_->OnImage = [this](const std::string& bytes) {
            images_.push_back(bytes);
            return bytes.rfind("GIF", 0) == 0;
        };
        banner_->OnBannerClick = [this](const std::string& url) { clicks_.push_back(url); };
        banner_->LoadTriggers();
    }
    int Fetches(const std::string& path) const {
        int n = 0;
        for (auto& r : server_->Requests())
            n += r.requestLine.find(path) != std::string::npos;
        return n;
    }

    std::string setCookie_;
    std::unique_ptr<TTestHttpServer> server_;
    TConfigBox box_;
    THTTPMachine machine_;
    std::unique_ptr<TBanner> banner_;
    std::deque<int> draws_;
    std::vector<std::string> images_;
    std::vector<std::string> clicks_;
};

TEST_F(BannerTest, UndecodableImageChoosesAgain) {
    Make("AtStart", server_->Url("/bad.gif") + "\r\n" + server_->Url("/good.gif") + "\r\n");
    draws_ = {10, 80};
    int hides = 0;
    banner_->OnHide = [&] { ++hides; };
    banner_->Start();
    ASSERT_TRUE(WaitFor([&] { return images_.size() == 2; }));
    EXPECT_EQ(images_[0], "bad");
    EXPECT_EQ(images_[1], "GIF89a");
    EXPECT_EQ(hides, 1);
    EXPECT_EQ(banner_->CurrentEntry(), 1);
    EXPECT_FALSE(banner_->RotationRunning());  // no AtTimer
}

TEST_F(BannerTest, BannerPageNamesImageDestinationAndHint) {
    Make("AtStart", server_->Url("/page") + "\r\n");
    box_.WriteString("Sponsor1", "Destinations", "\r\n");
    box_.WriteString("Sponsor1", "Delimiters", "<!--ad-->|<!--/ad-->\r\n");
    banner_->Start();
    ASSERT_TRUE(WaitFor([&] { return images_.size() == 1; }));
    EXPECT_EQ(images_[0], "GIF89a");
    EXPECT_EQ(banner_->Destination(), server_->Url("/click"));
    EXPECT_EQ(banner_->Hint(), "Sale");
}

TEST_F(BannerTest, RotatesOnlyWithAtTimer) {
    Make("AtStart AtTimer",
         server_->Url("/good.gif") + "\r\n" + server_->Url("/good.gif") + "\r\n");
    banner_->Start();
    ASSERT_TRUE(WaitFor([&] { return images_.size() >= 3; }));
    banner_->Stop();
    EXPECT_FALSE(banner_->RotationRunning());
}

TEST_F(BannerTest, AnAnswerAfterStopShowsNothing) {
    Make("AtStart", server_->Url("/page") + "\r\n");
    box_.WriteString("Sponsor1", "Destinations", "\r\n");
    box_.WriteString("Sponsor1", "Delimiters", "<!--ad-->|<!--/ad-->\r\n");
    banner_->Start();
    banner_->Stop();  // the page is on its way
    ASSERT_TRUE(WaitFor([&] { return !machine_.IsBusy() && Fetches("/page") == 1; }));
    EXPECT_EQ(Fetches("/good.gif"), 0);
    // Stopped while the picture is on its way: it is not shown.
    box_.WriteString("Sponsor1", "Sources", server_->Url("/good.gif") + "\r\n");
    box_.WriteString("Sponsor1", "Destinations", server_->Url("/click") + "\r\n");
    banner_->Start();
    banner_->Stop();
    ASSERT_TRUE(WaitFor([&] { return !machine_.IsBusy() && Fetches("/good.gif") == 1; }));
    EXPECT_TRUE(images_.empty());
    EXPECT_FALSE(banner_->Active());
}

TEST_F(BannerTest, ClickWithoutCookieOpensTheDestination) {
    Make("AtStart", server_->Url("/good.gif") + "\r\n");
    banner_->Start();
    ASSERT_TRUE(WaitFor([&] { return images_.size() == 1; }));
    EXPECT_EQ(banner_->Cookie(), "");
    banner_->Click();
    ASSERT_EQ(clicks_.size(), 1u);
    EXPECT_EQ(clicks_[0], server_->Url("/click"));
    EXPECT_EQ(Fetches("/click"), 0);
}

TEST_F(BannerTest, ClickWithCookieAsksTheAdServer) {
    setCookie_ = "ad=42";
    Make("AtStart", server_->Url("/good.gif") + "\r\n");
    banner_->Start();
    ASSERT_TRUE(WaitFor([&] { return images_.size() == 1; }));
    EXPECT_EQ(banner_->Cookie(), "ad=42");
    banner_->Click();
    ASSERT_TRUE(WaitFor([&] { return clicks_.size() == 1; }));
    EXPECT_EQ(clicks_[0], server_->Url("/landing"));
    for (auto& r : server_->Requests())
        if (r.requestLine.find("/click") != std::string::npos) {
            EXPECT_EQ(r.Header("Cookie"), "ad=42");
        }
    EXPECT_EQ(Fetches("/click"), 1);
}

}  // namespace
}  // namespace tessaly
