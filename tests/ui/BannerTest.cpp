// The sponsor banners on screen: GIF pictures fetched from an ad server and played, the
// hints, clicks opening their addresses, the banner area's layout, the sponsor window and
// the run states that start the banners.
#include <QLabel>
#include <QMovie>
#include <QScreen>
#include <QtTest>
#include <atomic>
#include <deque>
#include <mutex>

#include "UiTestSupport.h"
#include "data/ConfigBox.h"
#include "demo/Gif.h"
#include "net/HttpMachine.h"
#include "support/TestHttpServer.h"
#include "ui/FrameAnimation.h"
#include "ui/QtMainLoop.h"
#include "ui/VelaBanner.h"
#include "ui/VelaMain.h"
#include "ui/VelaSponsor.h"

using namespace tessaly;
using namespace tessaly::ui;
using namespace tessaly::ui::test;
using tessaly::test::TTestHttpServer;

namespace {

std::string Gif(int w, int h, bool animated = false) {
    return demo::DrawBanner(w, h, 0x003366, 0xFFCC00, "AD", animated);
}

// An ad server: pictures of several sizes, a broken one, a banner page and a click that
// redirects to the sponsor. Pictures set a cookie when `cookie` is not empty.
class TAdServer {
  public:
    TAdServer() : server_([this](const TTestHttpServer::TRequest& r) { return Answer(r); }, true) {}
    std::string Url(const std::string& path) const { return server_.Url(path); }
    int Count(const std::string& path) const {
        int n = 0;
        for (const auto& r : server_.Requests())
            if (r.requestLine.find(" " + path + " ") != std::string::npos ||
                r.requestLine.find(" " + path + "?") != std::string::npos)
                ++n;
        return n;
    }
    std::vector<TTestHttpServer::TRequest> Requests() const { return server_.Requests(); }
    void SetCookie(const std::string& c) {
        std::lock_guard<std::mutex> g(lock_);
        cookie_ = c;
    }

  private:
    TTestHttpServer::TAnswer Answer(const TTestHttpServer::TRequest& r) {
        std::string cookie;
        {
            std::lock_guard<std::mutex> g(lock_);
            cookie = cookie_;
        }
        const std::string extra = cookie.empty() ? "" : "Set-Cookie: " + cookie + "\r\n";
        const std::string& line = r.requestLine;
        auto is = [&](const char* path) { return line.find(path) != std::string::npos; };
        if (is(" /anim.gif ")) return TTestHttpServer::Normal(Gif(120, 60, true), extra);
        if (is(" /wide.gif ")) return TTestHttpServer::Normal(Gif(468, 60), extra);
        if (is(" /small.gif ")) return TTestHttpServer::Normal(Gif(100, 40), extra);
        if (is(" /bad.gif ")) return TTestHttpServer::Normal("<html>no picture</html>");
        if (is(" /page "))
            return TTestHttpServer::Normal(
                "<p>src=\"/none.gif\"<!-- ad --><a href=" + server_.Url("/sponsor") +
                " target=x><img SRC=\"" + server_.Url("/small.gif") +
                "\" ALT=\"Night School\"></a><!-- /ad --></p>");
        if (is(" /click?ad=7 ")) return TTestHttpServer::Redirect(server_.Url("/landing"));
        return TTestHttpServer::Normal("<html>landing</html>");
    }

    std::mutex lock_;
    std::string cookie_;
    TTestHttpServer server_;
};

// One banner section of the descriptor.
void Section(TConfigBox& box, const std::string& name, const std::string& triggers,
             const std::vector<std::string>& sources, const std::vector<std::string>& destinations,
             const std::vector<std::string>& ratios = {"100"}, const std::string& delimiters = "") {
    auto lines = [](const std::vector<std::string>& l) {
        std::string s;
        for (const auto& x : l)
            s += x + "\r\n";
        return s;
    };
    box.WriteString(name, "Triggers", triggers);
    box.WriteString(name, "Ratios", lines(ratios));
    box.WriteString(name, "Sources", lines(sources));
    if (!destinations.empty()) box.WriteString(name, "Destinations", lines(destinations));
    if (!delimiters.empty()) box.WriteString(name, "Delimiters", delimiters + "\r\n");
}

// A lone banner panel on its own machine.
struct TLonePanel {
    TQtMainLoop loop;
    THTTPMachine machine;
    TConfigBox box;
    std::unique_ptr<TBannerPanel> panel;
    std::vector<std::string> clicks;

    TLonePanel() {
        machine.Timing = {10, 10, 5, 20};
        machine.SetEnabled(true);
    }
    ~TLonePanel() {
        panel.reset();
        machine.StopAll();
        loop.RunUntilFor([] { return THTTPMachine::LiveWorkers() == 0; }, 10000);
    }
    TBannerPanel& Make() {
        panel = std::make_unique<TBannerPanel>(machine, box, "Sponsor1");
        panel->OnBannerClick = [this](const std::string& d) { clicks.push_back(d); };
        panel->LoadTriggers();
        return *panel;
    }
    bool WaitFor(const std::function<bool()>& done, int ms = 10000) {
        return loop.RunUntilFor(done, ms);
    }
};

}  // namespace

class BannerTest : public QObject {
    Q_OBJECT

  private slots:
    void panelPlaysAnAnimatedGifFromTheAdServer() {
        TAdServer ads;
        TLonePanel t;
        Section(t.box, "Sponsor1", "AtStart", {ads.Url("/anim.gif")}, {"http://sponsor.test/"});
        TBannerPanel& p = t.Make();
        QVERIFY(p.isHidden());
        p.Start();
        QVERIFY(t.WaitFor([&] { return !p.isHidden(); }));
        QCOMPARE(p.ImageSize(), QSize(120, 60));
        QVERIFY(p.Animated());
        QVERIFY(!p.Image->isHidden());
        QVERIFY(p.Image->movie() && p.Image->movie()->state() == QMovie::Running);
        QCOMPARE(p.Image->toolTip(), QString("Advertising.  Click here to know more!"));
        QCOMPARE(p.toolTip(), QString("Click for details."));
        QCOMPARE(p.Banner().Destination(), std::string("http://sponsor.test/"));
        // No rotation without its trigger.
        QVERIFY(!p.Banner().RotationRunning());
        // Bytes that are no picture are refused and leave no picture behind.
        QVERIFY(!p.ShowImage("GIF89a garbage"));
        QVERIFY(!p.ShowImage(""));
        QVERIFY(p.ImageSize().isEmpty());
        QVERIFY(p.Image->isHidden());
    }

    void anUndecodableImageMakesTheBannerChooseAgain() {
        TAdServer ads;
        TLonePanel t;
        Section(t.box, "Sponsor1", "AtStart AtTimer", {ads.Url("/bad.gif"), ads.Url("/small.gif")},
                {"http://bad.test/", "http://good.test/"}, {"50", "50"});
        t.box.WriteString("Sponsor1", "Rotation", "0");
        TBannerPanel& p = t.Make();
        std::deque<int> draws = {10, 80};  // entry 0 (broken), then entry 1
        p.Banner().Random = [&] {
            const int r = draws.empty() ? 80 : draws.front();
            if (!draws.empty()) draws.pop_front();
            return r;
        };
        p.Start();
        QVERIFY(t.WaitFor([&] { return !p.isHidden(); }));
        QCOMPARE(ads.Count("/bad.gif"), 1);
        QCOMPARE(ads.Count("/small.gif"), 1);
        QCOMPARE(p.ImageSize(), QSize(100, 40));
        QCOMPARE(p.Banner().CurrentEntry(), 1);
        QCOMPARE(p.Banner().Destination(), std::string("http://good.test/"));
        // Rotation 0 switches rotation off even with the trigger.
        QVERIFY(!p.Banner().RotationRunning());
    }

    void aBannerPageGivesPictureHintAndDestination() {
        TAdServer ads;
        TLonePanel t;
        Section(t.box, "Sponsor1", "AtStart", {ads.Url("/page")}, {}, {"100"},
                "<!-- ad -->|<!-- /ad -->");
        TBannerPanel& p = t.Make();
        p.Start();
        QVERIFY(t.WaitFor([&] { return !p.isHidden(); }));
        QCOMPARE(p.toolTip(), QString("Night School"));
        QCOMPARE(p.ImageSize(), QSize(100, 40));
        QCOMPARE(p.Banner().Destination(), ads.Url("/sponsor"));
        QCOMPARE(ads.Count("/none.gif"), 0);  // outside the markers
        // A click without a cookie opens the destination and chooses the next banner.
        QTest::mouseClick(p.Image, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(t.clicks, std::vector<std::string>{ads.Url("/sponsor")});
        QVERIFY(t.WaitFor([&] { return ads.Count("/page") == 2; }));
        // A right click is no click on the banner.
        QVERIFY(t.WaitFor([&] { return !p.Image->isHidden(); }));
        QTest::mouseClick(p.Image, Qt::RightButton, {}, QPoint(5, 5));
        QCOMPARE(t.clicks.size(), size_t(1));
    }

    void aClickWithACookieGoesThroughTheAdServer() {
        TAdServer ads;
        ads.SetCookie("ADSESSION=7");
        TSampleHome home;
        TConfigBox box;
        Section(box, "Sponsor1", "AtStart", {ads.Url("/anim.gif")}, {ads.Url("/click?ad=7")});
        box.SaveToFile(home.File("config.box"));
        TWindow w(home);
        TBannerPanel* s = Child<TBannerPanel>(w.Form(), "Sponsor1");
        QVERIFY(w.WaitFor([&] { return !s->isHidden(); }));
        QCOMPARE(s->Banner().Cookie(), std::string("ADSESSION=7"));
        QTest::mouseClick(s->Image, Qt::LeftButton, {}, QPoint(3, 3));
        QCOMPARE(s->Caption(), QString("Please wait..."));
        QVERIFY(s->Image->isHidden());
        QVERIFY(w.opened.empty());
        // The ad server counts the click by the cookie and redirects; the browser gets the
        // final address, in a new window.
        QVERIFY(w.WaitFor([&] { return !w.opened.empty(); }));
        QCOMPARE(w.opened[0].first, ads.Url("/landing"));
        QVERIFY(w.opened[0].second);
        bool sentCookie = false;
        for (const auto& r : ads.Requests())
            if (r.requestLine.find("/click") != std::string::npos)
                sentCookie = r.Header("Cookie") == "ADSESSION=7";
        QVERIFY(sentCookie);
        // And the next banner comes.
        QVERIFY(w.WaitFor([&] { return !s->isHidden() && !s->Image->isHidden(); }));
        QVERIFY(s->Caption().isEmpty());
    }

    void theBannerAreaCentresItsBanners() {
        TSampleHome home;
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        QVERIFY(ShowExposed(f, {800, 500}));
        QVERIFY(Child<QWidget>(f, "AdPanel")->isHidden());
        auto width = [&] { return Child<QWidget>(f, "AdPanel")->parentWidget()->width(); };

        // One small banner: its image plus 4, in the middle of the row.
        QVERIFY(Child<TBannerPanel>(f, "Sponsor2")->ShowImage(Gif(120, 60)));
        QVERIFY(!Child<QWidget>(f, "AdPanel")->isHidden());
        QCOMPARE(Child<QWidget>(f, "AdPanel")->height(), 68);
        QCOMPARE(Child<TBannerPanel>(f, "Sponsor2")->size(), QSize(124, 64));
        QCOMPARE(Child<TBannerPanel>(f, "Sponsor2")->x(), (width() - 124) / 2);
        QCOMPARE(Child<QWidget>(f, "BufferPanelL")->width(), (width() - 124) / 2);
        QCOMPARE(Child<QWidget>(f, "BufferPanelR")->geometry().left(),
                 Child<TBannerPanel>(f, "Sponsor2")->geometry().right() + 1);
        QCOMPARE(Child<QWidget>(f, "BufferPanelR")->geometry().right(), width() - 1);

        // Two: side by side in order, the lower one centred on the taller.
        QVERIFY(Child<TBannerPanel>(f, "Sponsor4")->ShowImage(Gif(100, 40)));
        QCOMPARE(Child<QWidget>(f, "AdPanel")->height(), 68);
        const int left = (width() - 124 - 104) / 2;
        QCOMPARE(Child<TBannerPanel>(f, "Sponsor2")->geometry(), QRect(left, 2, 124, 64));
        QCOMPARE(Child<TBannerPanel>(f, "Sponsor4")->geometry(), QRect(left + 124, 12, 104, 44));

        // Three: the strip above takes the full width.
        QVERIFY(Child<TBannerPanel>(f, "InBanner")->ShowImage(Gif(468, 60)));
        QCOMPARE(Child<QWidget>(f, "AdPanel")->height(), 60 + 60 + 16);
        QCOMPARE(Child<TBannerPanel>(f, "InBanner")->geometry(), QRect(0, 0, width(), 68));
        QCOMPARE(Child<TBannerPanel>(f, "Sponsor2")->geometry(), QRect(left, 70, 124, 64));
        QCOMPARE(Child<TBannerPanel>(f, "InBanner")->Image->geometry().center().x(),
                 Child<TBannerPanel>(f, "InBanner")->rect().center().x());

        // A wider window: the row moves to the new middle, the strip follows.
        f.resize(1000, 500);
        QVERIFY(QTest::qWaitFor([&] { return width() > 900; }));
        QTest::qWait(20);
        QCOMPARE(Child<TBannerPanel>(f, "Sponsor2")->x(), (width() - 228) / 2);
        QCOMPARE(Child<TBannerPanel>(f, "InBanner")->width(), width());

        // Banners hide one by one; the area goes when the last one does.
        Child<TBannerPanel>(f, "InBanner")->Stop();
        QCOMPARE(Child<QWidget>(f, "AdPanel")->height(), 68);
        Child<TBannerPanel>(f, "Sponsor2")->Stop();
        QCOMPARE(Child<TBannerPanel>(f, "Sponsor4")->x(), (width() - 104) / 2);
        QCOMPARE(Child<QWidget>(f, "AdPanel")->height(), 48);
        Child<TBannerPanel>(f, "Sponsor4")->Stop();
        QVERIFY(Child<QWidget>(f, "AdPanel")->isHidden());
    }

    void theBannerRoomIsKeptFromTheStartAndTheSponsorPopsUpOnce() {
        TAdServer ads;
        TSampleHome home;
        home.AddSearch("welder", "Massachusetts", "Engineering", SampleJobs());
        TConfigBox box;
        Section(box, "InBanner", "AtStart", {ads.Url("/wide.gif")}, {"http://in.test/"});
        Section(box, "Sponsor2", "AtSearch", {ads.Url("/anim.gif")}, {"http://two.test/"});
        Section(box, "PopBanner", "AtSearch", {ads.Url("/anim.gif")}, {"http://pop.test/"});
        box.WriteString("PopBanner", "OnBrowse", "True");
        box.SaveToFile(home.File("config.box"));
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        QVERIFY(ShowExposed(f, {800, 500}));
        auto* area = Child<QWidget>(f, "AdPanel");
        auto* lists = Child<QWidget>(f, "Splitter1");
        // Both rows are kept before their pictures come (the strip's may be in already).
        QVERIFY(!area->isHidden());
        QCOMPARE(area->height(), 60 + 60 + 16);
        QVERIFY(w.WaitFor([&] { return !Child<TBannerPanel>(f, "InBanner")->isHidden(); }));
        w.WaitFor([] { return false; }, 50);
        const int top = lists->y();
        f.SetRunState(rsSearching);
        QVERIFY(w.WaitFor([&] { return !Child<TBannerPanel>(f, "Sponsor2")->isHidden(); }));
        w.WaitFor([] { return false; }, 50);
        QCOMPARE(area->height(), 60 + 60 + 16);
        QCOMPARE(lists->y(), top);

        // The sponsor window: at the first search, then not again in this run.
        TSponsorForm* sponsor = f.GetSponsorForm();
        QVERIFY(sponsor->PopBanner->Active());
        sponsor->close();
        f.SetRunState(rsIdle);
        f.SetRunState(rsSearching);
        f.PopBanner("OnBrowse");
        QVERIFY(!sponsor->PopBanner->Active());
        f.SetRunState(rsIdle);
    }

    void theSponsorWindowFollowsItsBanner() {
        TAdServer ads;
        TSampleHome home;
        TConfigBox box;
        Section(box, "PopBanner", "", {ads.Url("/anim.gif")}, {"http://pop.test/"});
        box.WriteString("PopBanner", "OnBrowse", "True");
        box.WriteString("PopBanner", "OnOpen", "true");
        box.SaveToFile(home.File("config.box"));
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        TSponsorForm* s = f.GetSponsorForm();
        QCOMPARE(f.GetSponsorWindow(), static_cast<QWidget*>(s));
        QCOMPARE(s->windowTitle(), QString("Click for details..."));
        QVERIFY(s->windowFlags() & Qt::WindowStaysOnTopHint);

        // Only "True" pops the banner up.
        f.PopBanner("OnOpen");
        f.PopBanner("OnClose");
        QVERIFY(!s->PopBanner->Active());
        f.PopBanner("OnBrowse");
        QVERIFY(s->PopBanner->Active());
        QVERIFY(w.WaitFor([&] { return !s->PopBanner->isHidden(); }));
        QCOMPARE(s->PopBanner->geometry(), QRect(4, 4, 128, 68));
        QCOMPARE(s->PopBanner->Image->pos(), QPoint(4, 4));
        QCOMPARE(s->size(), QSize(136, 76));
        // The window's timer shows it within a second.
        QVERIFY(w.WaitFor([&] { return s->isVisible(); }, 3000));

        // A click opens the destination in a new browser window.
        QTest::mouseClick(s->PopBanner->Image, Qt::LeftButton, {}, QPoint(2, 2));
        QCOMPARE(w.opened.size(), size_t(1));
        QCOMPARE(w.opened[0], std::make_pair(std::string("http://pop.test/"), true));

        // Closing the window stops its banner, and the window stays away.
        QVERIFY(w.WaitFor([&] { return !s->PopBanner->isHidden(); }));
        s->close();
        QVERIFY(!s->PopBanner->Active());
        QVERIFY(s->PopBanner->isHidden());
        QTest::qWait(1200);
        QVERIFY(!s->isVisible());
    }

    void theSponsorWindowStaysOnTheScreen() {
        const QRect screen(0, 0, 800, 600);
        QCOMPARE(TSponsorForm::KeptOnScreen(QRect(-30, -5, 140, 90), screen), QPoint(0, 0));
        QCOMPARE(TSponsorForm::KeptOnScreen(QRect(700, 550, 140, 90), screen), QPoint(660, 510));
        QCOMPARE(TSponsorForm::KeptOnScreen(QRect(100, 100, 140, 90), screen), QPoint(100, 100));
        // Larger than the screen: the top left corner stays reachable.
        QCOMPARE(TSponsorForm::KeptOnScreen(QRect(50, 50, 900, 700), screen), QPoint(0, 0));
        // A screen that does not start at 0 (a second monitor, a panel at the top).
        QCOMPARE(TSponsorForm::KeptOnScreen(QRect(0, 0, 100, 80), QRect(1024, 30, 800, 600)),
                 QPoint(1024, 30));

        // A picture arriving while the window sits off the screen brings it back.
        TAdServer ads;
        TSampleHome home;
        TConfigBox box;
        Section(box, "PopBanner", "", {ads.Url("/wide.gif")}, {"http://pop.test/"});
        box.WriteString("PopBanner", "OnBrowse", "True");
        box.SaveToFile(home.File("config.box"));
        TWindow w(home);
        TSponsorForm* s = w->GetSponsorForm();
        s->move(20000, 20000);
        w->PopBanner("OnBrowse");
        QVERIFY(w.WaitFor([&] { return !s->PopBanner->isHidden(); }));
        const QRect avail = s->screen()->availableGeometry();
        QVERIFY(avail.contains(s->frameGeometry().topLeft()));
        QVERIFY(s->x() + s->width() <= avail.right() + 1);
    }

    void runStatesStartTheirBanners() {
        TAdServer ads;
        TSampleHome home;
        home.AddSearch("welder", "Massachusetts", "Engineering", SampleJobs());
        TConfigBox box;
        Section(box, "Sponsor1", "AtStart", {ads.Url("/anim.gif")}, {"http://one.test/"});
        Section(box, "Sponsor2", "AtSearch", {ads.Url("/small.gif")}, {"http://two.test/"});
        Section(box, "Sponsor3", "AtGrabRefine", {ads.Url("/wide.gif")}, {"http://three.test/"});
        Section(box, "InBanner", "", {ads.Url("/wide.gif")}, {"http://in.test/"});
        box.SaveToFile(home.File("config.box"));
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        // From starting to idle: the AtStart banners, and only they.
        QVERIFY(w.WaitFor([&] { return !Child<TBannerPanel>(f, "Sponsor1")->isHidden(); }));
        QVERIFY(!Child<QWidget>(f, "AdPanel")->isHidden());
        QTest::qWait(200);
        QCOMPARE(ads.Count("/small.gif"), 0);
        QCOMPARE(ads.Count("/wide.gif"), 0);
        QVERIFY(Child<TBannerPanel>(f, "Sponsor2")->isHidden() &&
                Child<TBannerPanel>(f, "Sponsor3")->isHidden() &&
                Child<TBannerPanel>(f, "InBanner")->isHidden());

        f.SetRunState(rsSearching);
        QVERIFY(w.WaitFor([&] { return !Child<TBannerPanel>(f, "Sponsor2")->isHidden(); }));
        QCOMPARE(ads.Count("/anim.gif"), 1);  // the AtStart banner is not fetched again
        f.SetRunState(rsIdle);
        QTest::qWait(100);
        f.SetRunState(rsRefining);
        QVERIFY(w.WaitFor([&] { return !Child<TBannerPanel>(f, "Sponsor3")->isHidden(); }));
        f.SetRunState(rsIdle);
        QVERIFY(w.WaitFor([&] { return !Child<TFrameAnimation>(f, "XkLogo")->Playing(); }));
        QCOMPARE(ads.Count("/wide.gif"), 1);
        QCOMPARE(ads.Count("/anim.gif"), 1);

        // A new descriptor: the banners read their triggers again when told.
        QVERIFY(!Child<TBannerPanel>(f, "InBanner")->HasTrigger(btAtSearch));
        // The descriptor is read for the product's edition; these are its plain sections.
        TConfigBox& descriptor = f.Engine().Descriptor();
        const std::string edition = descriptor.Edition;
        descriptor.Edition.clear();
        descriptor.WriteString("InBanner", "Triggers", "AtSearch");
        descriptor.WriteString("Sponsor2", "Triggers", "");
        descriptor.Edition = edition;
        QVERIFY(f.OnBannerTriggersChanged);
        f.OnBannerTriggersChanged();
        QVERIFY(Child<TBannerPanel>(f, "InBanner")->HasTrigger(btAtSearch));
        QVERIFY(!Child<TBannerPanel>(f, "Sponsor2")->HasTrigger(btAtSearch));
        f.SetRunState(rsSearching);
        QVERIFY(w.WaitFor([&] { return !Child<TBannerPanel>(f, "InBanner")->isHidden(); }));
        QCOMPARE(ads.Count("/small.gif"), 1);
        f.SetRunState(rsIdle);
        QVERIFY(w.WaitFor([&] { return !Child<TFrameAnimation>(f, "XkLogo")->Playing(); }));

        // Closing stops every banner and the banner area goes.
        f.close();
        for (const char* name : {"Sponsor1", "Sponsor2", "Sponsor3", "Sponsor4", "Sponsor5"}) {
            TBannerPanel* p = Child<TBannerPanel>(f, name);
            QVERIFY(!p->Active() && p->isHidden());
        }
        QVERIFY(!Child<TBannerPanel>(f, "InBanner")->Active());
        QVERIFY(Child<QWidget>(f, "AdPanel")->isHidden());
    }
};

QTEST_MAIN(BannerTest)
#include "BannerTest.moc"
