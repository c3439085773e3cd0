// The demo boards through the program's own pieces: the generated definitions load, each
// board's scripts cut the jobs the board meant to list, the next pages are found, and the
// boards behave as the definitions expect (POST, cookie, French, coverage, stall, refusal).
#include <gtest/gtest.h>

#include "data/ConfigBox.h"
#include "data/QueryBuilder.h"
#include "demo/Gif.h"
#include "platform/TextFile.h"
#include "platform/Utf8.h"
#include "tests/demo/DemoFixture.h"

namespace tessaly {
namespace {

using demo::TBoard;

struct TRun {
    bool applicable = true;
    int pages = 0;
    std::vector<int> statuses;
    TStrings titles, companies, locations, urls;
};

// What the search driver does with one site, without the HTTP machine: first request,
// pages while the site allows (with the cookie of the last page), then the clean-up.
TRun RunSite(TVelaSource& site, const TQuerySearch& search, int maxJobs = 1000) {
    TRun run;
    TQueryRequest request;
    site.Jobs.ClearJobs();
    if (!BuildFirstRequest(site, search, request)) {
        run.applicable = false;
        return run;
    }
    std::string cookie;
    for (;;) {
        const test::TPageFetch page =
            test::FetchPage(request.URL, request.Parameters, request.IsPost, cookie);
        run.statuses.push_back(page.status);
        if (page.status != 200) break;
        const int before = site.Jobs.Count();
        const std::string body = site.ScriptPage(page.body);  // as the engine reads it
        site.HarvestJobs(body);
        ++run.pages;
        if (!site.MultiplePages || site.Jobs.Count() - before < site.JobsPerPage ||
            site.Jobs.Count() >= maxJobs || run.pages > 40)
            break;
        TQueryRequest next;
        if (!BuildNextRequest(site, body, next)) break;
        request = next;
        cookie = page.cookie;
    }
    site.Jobs.CleanUpJobs();
    site.Jobs.ExpandStates();
    for (int i = 0; i < site.Jobs.Count(); ++i) {
        run.titles.push_back(site.Jobs[i].Title);
        run.companies.push_back(site.Jobs[i].Company);
        run.locations.push_back(site.Jobs[i].Location);
        run.urls.push_back(site.Jobs[i].URL);
    }
    return run;
}

// The title a board's listing shows for a job, as the clean-up leaves it: in UTF-8 (the
// catalog is in the Windows code page), the board's typographic apostrophes included.
std::string ShownTitle(TBoard board, const demo::TDemoJob& j) {
    if (board == TBoard::JobFair) return CapitaliseAllCapitals(UpperCase(Utf8FromCp1252(j.Title)));
    if (board == TBoard::Emploi) return Utf8FromCp1252(j.TitleFr);
    if (board == TBoard::MetroJobs) return ReplaceAll(Utf8FromCp1252(j.Title), "'", "\u2019");
    return Utf8FromCp1252(j.Title);
}

std::string ShownCompany(TBoard board, const demo::TDemoJob& j) {
    const std::string company = DecodeEntities(Utf8FromCp1252(j.Company));
    return board == TBoard::MetroJobs ? ReplaceAll(company, "'", "\u2019") : company;
}

class DemoSites : public test::TDemoTest {
  protected:
    void SetUp() override { LoadSites(); }

    TVelaSource& Site(TBoard b) { return list_[static_cast<int>(b)]; }

    // Runs a board for a search and checks the jobs against what the board holds.
    TRun Expect(TBoard board, const std::string& region, const std::string& category,
                const std::string& keywords, size_t limit = 1000) {
        TQuerySearch search{region, category, keywords, "", "", "", ""};
        TRun run = RunSite(Site(board), search);
        auto jobs = sites_->Catalog().Find(board, demo::KeywordWords(keywords), region, category);
        if (jobs.size() > limit) jobs.resize(limit);
        EXPECT_TRUE(run.applicable);
        EXPECT_EQ(run.titles.size(), jobs.size()) << Site(board).Title;
        for (size_t i = 0; i < jobs.size() && i < run.titles.size(); ++i) {
            EXPECT_EQ(run.titles[i], ShownTitle(board, *jobs[i])) << Site(board).Title << " " << i;
            EXPECT_EQ(run.companies[i], ShownCompany(board, *jobs[i])) << i;
            EXPECT_TRUE(EndsWith(run.locations[i], jobs[i]->Region)) << run.locations[i];
            EXPECT_NE(Pos(IntToStr(jobs[i]->Id), run.urls[i]), 0) << run.urls[i];
            EXPECT_TRUE(StartsWith(run.urls[i], Url("/"))) << run.urls[i];
        }
        return run;
    }
};

TEST_F(DemoSites, GeneratedDefinitionsLoadWithEveryBoard) {
    ASSERT_EQ(list_.Count(), 7);
    EXPECT_EQ(list_.Version, demo::DefinitionsVersion());
    EXPECT_EQ(list_.MRegions, demo::MasterRegions());
    EXPECT_EQ(list_.MCategories, demo::MasterCategories());
    for (int i = 0; i < list_.Count(); ++i) {
        EXPECT_TRUE(list_[i].Enabled) << list_[i].Title;
        EXPECT_EQ(list_[i].Regions.size(), list_.MRegions.size()) << list_[i].Title;
        EXPECT_EQ(list_[i].Categories.size(), list_.MCategories.size()) << list_[i].Title;
        EXPECT_FALSE(list_[i].JobBlockScript.empty());
        EXPECT_EQ(Pos("@PORT@", list_[i].FirstPageURL), 0);
    }
    EXPECT_TRUE(StartsWith(Site(TBoard::CareerHub).FirstPageURL, Url("/careerhub/")));
    EXPECT_EQ(Site(TBoard::JobFair).FirstPageMethod, TSubmitMethod::smPOST);
    EXPECT_TRUE(Site(TBoard::JobFair).NextPageLinkIsAForm);
    EXPECT_EQ(Site(TBoard::Emploi).KeywordLanguage, "fr");
    EXPECT_FALSE(Site(TBoard::Emploi).MultiplePages);
    EXPECT_TRUE(StartsWith(Site(TBoard::Harbor).FirstPageURL,
                           "http://127.0.0.1:" + IntToStr(deadPort_) + "/"));
    // The plain file is read as the program reads it, packed: the first member unpacks.
    EXPECT_TRUE(StartsWith(ReadFileBytes(JoinPath(Sandbox().Path(), "sources.def")), "TJPK"));
}

TEST_F(DemoSites, HomeHoldsIdentificationOptionsAndDescriptor) {
    TConfigBox id, options, config;
    id.LoadFromFile(JoinPath(Sandbox().Path(), "id.box"));
    options.LoadFromFile(JoinPath(Sandbox().Path(), "options.box"));
    config.LoadFromFile(JoinPath(Sandbox().Path(), "config.box"));
    EXPECT_NE(Pos("US", id.ReadString("ID", "Product")), 0);
    EXPECT_FALSE(id.ReadString("ID", "Version").empty());
    EXPECT_EQ(id.ReadString("ID", "Edition"), "Generic");
    EXPECT_EQ(id.ReadString("ID", "ConfigURL"), Url("/update/config.box"));
    EXPECT_EQ(id.ReadString("ID", "SourcesURL"), Url("/update/sources.def"));
    EXPECT_EQ(options.ReadString("Connection", "TimeOut"), IntToStr(demo::kDemoTimeOutSecs));
    EXPECT_EQ(options.ReadString("Visual", "Yellow"), "True");
    EXPECT_EQ(options.ReadString("Connection", "SettingsSet"), "True");
    EXPECT_EQ(options.ReadString("JobGrid", "SortColumn"), "5");  // relevancy
    EXPECT_EQ(config.ReadString("DEFFile", "Version"), list_.Version);
    const std::string preferred = config.ReadString("Features", "PreferedSources");
    int preferredSites = 0;
    for (int i = 0; i < list_.Count(); ++i)
        if (Pos(list_[i].Title, preferred) > 0) ++preferredSites;
    EXPECT_EQ(preferredSites, 1);
    EXPECT_NE(Pos(Site(TBoard::TechPost).Title, preferred), 0);
}

TEST_F(DemoSites, HomeKeepsKeysItDoesNotWrite) {
    TConfigBox options;
    options.LoadFromFile(JoinPath(Sandbox().Path(), "options.box"));
    options.WriteString("Sources", "CareerHub Online", "Disabled");
    options.WriteString("Connection", "TimeOut", "90");
    options.WriteString("JobGrid", "SortColumn", "1");
    options.SaveToFile(JoinPath(Sandbox().Path(), "options.box"));
    ASSERT_TRUE(demo::WriteHome(Sandbox().Path(), *sites_).ok());
    TConfigBox again;
    again.LoadFromFile(JoinPath(Sandbox().Path(), "options.box"));
    EXPECT_EQ(again.ReadString("Sources", "CareerHub Online"), "Disabled");
    EXPECT_EQ(again.ReadString("JobGrid", "SortColumn"), "1");  // the user's own sort
    EXPECT_EQ(again.ReadString("Connection", "TimeOut"), IntToStr(demo::kDemoTimeOutSecs));
}

TEST_F(DemoSites, HomeInAPlaceThatCannotBeADirectoryFails) {
    WriteFileBytes(Sandbox().File("file"), "x");
    auto written = demo::WriteHome(Sandbox().File("file/home"), *sites_);
    EXPECT_FALSE(written.ok());
}

TEST_F(DemoSites, CareerHubFollowsLinkedPages) {
    const TRun run = Expect(TBoard::CareerHub, "Nationwide", "Information Technology", "");
    EXPECT_EQ(run.pages, 3);  // 30 jobs, ten a page
    const TRun texas = Expect(TBoard::CareerHub, "Texas", "Healthcare", "");
    EXPECT_EQ(texas.pages, 1);
    // A search always names a category; one outside the master list reaches no board.
    EXPECT_FALSE(
        RunSite(Site(TBoard::CareerHub), {"Nationwide", "", "", "", "", "", ""}).applicable);
}

TEST_F(DemoSites, CareerHubWritesStateCodesThatTheCleanUpSpellsOut) {
    const TRun run = Expect(TBoard::CareerHub, "Massachusetts", "Engineering", "");
    ASSERT_FALSE(run.locations.empty());
    for (const std::string& l : run.locations)
        EXPECT_TRUE(EndsWith(l, ", Massachusetts")) << l;
}

TEST_F(DemoSites, KeywordsNarrowTheResults) {
    const TRun all = Expect(TBoard::CareerHub, "Nationwide", "Healthcare", "");
    const TRun nurses = Expect(TBoard::CareerHub, "Nationwide", "Healthcare", "nurse");
    EXPECT_GT(nurses.titles.size(), 0u);
    EXPECT_LT(nurses.titles.size(), all.titles.size());
    for (const std::string& t : nurses.titles)
        EXPECT_NE(Pos("NURSE", UpperCase(t)), 0) << t;
}

TEST_F(DemoSites, JobFairIsAPostFormFollowedByForms) {
    const TRun run = Expect(TBoard::JobFair, "Nationwide", "Information Technology", "");
    EXPECT_GE(run.pages, 2);
    for (int s : run.statuses)
        EXPECT_EQ(s, 200);
    // The board lists titles in capitals; the clean-up gave them small letters.
    for (const std::string& t : run.titles)
        EXPECT_NE(t, UpperCase(t)) << t;
    // The search page is a form target: a plain GET is turned away.
    EXPECT_EQ(test::FetchPage(Url("/jobfair/results.cgi?keywords=&area=0&field=106")).status, 405);
}

TEST_F(DemoSites, MetroJobsNeedsTheCookieOfPageOneForPageTwo) {
    const TRun run = Expect(TBoard::MetroJobs, "Nationwide", "Healthcare", "");
    EXPECT_GE(run.pages, 2);

    TQueryRequest first;
    TQuerySearch search{"Nationwide", "Healthcare", "", "", "", "", ""};
    ASSERT_TRUE(BuildFirstRequest(Site(TBoard::MetroJobs), search, first));
    const test::TPageFetch page1 = test::FetchPage(first.URL, first.Parameters);
    ASSERT_EQ(page1.status, 200);
    ASSERT_NE(Pos("MJSESSION=", page1.cookie), 0) << page1.cookie;
    TQueryRequest next;
    ASSERT_TRUE(BuildNextRequest(Site(TBoard::MetroJobs), page1.body, next));
    EXPECT_EQ(test::FetchPage(next.URL, next.Parameters).status, 403);
    EXPECT_EQ(test::FetchPage(next.URL, next.Parameters, false, "MJSESSION=0123456789ab").status,
              403);
    // The whole Set-Cookie text, path included, is what the program sends back.
    const test::TPageFetch page2 = test::FetchPage(next.URL, next.Parameters, false, page1.cookie);
    EXPECT_EQ(page2.status, 200);
    EXPECT_NE(Pos("<li class=ad>", page2.body), 0);
}

TEST_F(DemoSites, MetroJobsEntitiesDecodeInTheListing) {
    TStrings companies;
    for (const std::string& category : demo::MasterCategories()) {
        const TRun run = Expect(TBoard::MetroJobs, "Nationwide", category, "");
        companies.insert(companies.end(), run.companies.begin(), run.companies.end());
    }
    bool ampersand = false, apostrophe = false;
    for (const std::string& c : companies) {
        ampersand |= Pos("&", c) > 0;
        apostrophe |= Pos("\u2019", c) > 0;
        EXPECT_EQ(Pos("&amp;", c), 0) << c;
        EXPECT_EQ(Pos("&rsquo;", c), 0) << c;
    }
    EXPECT_TRUE(ampersand);
    EXPECT_TRUE(apostrophe);
}

TEST_F(DemoSites, EmploiTakesFrenchKeywordsAndCoversSomeRegionsOnly) {
    const TRun run = Expect(TBoard::Emploi, "Nationwide", "Engineering", "", 25);
    EXPECT_EQ(run.pages, 1);
    bool accent = false;
    for (const std::string& t : run.titles)
        accent |= Pos("\xc3\xa9", t) > 0;  // Windows-1252 bytes, undeclared, in UTF-8
    EXPECT_TRUE(accent);
    // The French keywords reach the board joined by commas and match the French titles.
    TQuerySearch french{
        "Nationwide", "Engineering", "engineer", "", "ing\xc3\xa9nieur civil", "", ""};
    TQueryRequest r;
    ASSERT_TRUE(BuildFirstRequest(Site(TBoard::Emploi), french, r));
    EXPECT_NE(Pos("motscles=ing\xc3\xa9nieur,civil", r.Parameters), 0) << r.Parameters;
    const TRun civil = RunSite(Site(TBoard::Emploi), french);
    EXPECT_FALSE(civil.titles.empty());
    for (const std::string& t : civil.titles)
        EXPECT_EQ(t, "Ing\xc3\xa9nieur civil");
    // Texas is not served here: no request at all.
    EXPECT_FALSE(
        RunSite(Site(TBoard::Emploi), {"Texas", "Engineering", "", "", "", "", ""}).applicable);
}

TEST_F(DemoSites, TechPostServesTwoCategoriesAndFollowsQuotedLinks) {
    const TRun run = Expect(TBoard::TechPost, "Nationwide", "Information Technology", "");
    EXPECT_GE(run.pages, 3);
    Expect(TBoard::TechPost, "Washington", "Engineering", "");
    EXPECT_FALSE(
        RunSite(Site(TBoard::TechPost), {"Nationwide", "Sales", "", "", "", "", ""}).applicable);
    // Three numbered keyword fields; a fourth keyword is not sent.
    TQueryRequest r;
    ASSERT_TRUE(BuildFirstRequest(Site(TBoard::TechPost),
                                  {"Texas", "Engineering", "a b c d", "", "", "", ""}, r));
    EXPECT_NE(Pos("skill1=a&skill2=b&skill3=c&", r.Parameters), 0) << r.Parameters;
}

// The boards send what real ones do: an undeclared Windows-1252 page, a UTF-8 page that
// says so with typographic references, broken titles and escaped links, and a JSON feed.
TEST_F(DemoSites, BoardsSpeakTheirOwnCharsetsAndFormats) {
    TQueryRequest r;
    ASSERT_TRUE(BuildFirstRequest(Site(TBoard::Emploi),
                                  {"Nationwide", "Hospitality", "", "", "", "", ""}, r));
    const test::TPageFetch emploi = test::FetchPage(r.URL, r.Parameters);
    ASSERT_EQ(emploi.status, 200);
    EXPECT_FALSE(IsValidUtf8(emploi.body));
    EXPECT_EQ(Pos("charset", LowerCase(emploi.body)), 0);
    EXPECT_NE(Pos("d\x92"
                  "emploi",
                  emploi.body),
              0);

    r = {};
    ASSERT_TRUE(BuildFirstRequest(Site(TBoard::MetroJobs),
                                  {"Nationwide", "Healthcare", "", "", "", "", ""}, r));
    const test::TPageFetch metro = test::FetchPage(r.URL, r.Parameters);
    ASSERT_EQ(metro.status, 200);
    EXPECT_TRUE(IsValidUtf8(metro.body));
    EXPECT_NE(Pos("<meta charset=\"utf-8\">", metro.body), 0);
    EXPECT_NE(Pos("&#8211;", metro.body), 0);
    EXPECT_NE(Pos("&amp;from=list><b>", metro.body), 0);
    EXPECT_NE(Pos("&amp;loc=", metro.body), 0);  // the next page's link
    const size_t bold = metro.body.find("&amp;from=list><b>");
    ASSERT_NE(bold, std::string::npos);
    const std::string firstTitle = metro.body.substr(bold, metro.body.find("</b>", bold) - bold);
    EXPECT_NE(firstTitle.find("\r\n"), std::string::npos) << firstTitle;  // over two lines
    const TRun run =
        RunSite(Site(TBoard::MetroJobs), {"Nationwide", "Healthcare", "", "", "", "", ""});
    for (const std::string& u : run.urls)
        EXPECT_NE(Pos("?ref=", u), 0) << u;
    for (const std::string& u : run.urls)
        EXPECT_EQ(Pos("&amp;", u), 0) << u;

    EXPECT_TRUE(IsJsonTextFormat(Site(TBoard::TechPost).TextFormat));
    r = {};
    ASSERT_TRUE(BuildFirstRequest(Site(TBoard::TechPost),
                                  {"Nationwide", "Information Technology", "", "", "", "", ""}, r));
    const test::TPageFetch feed = test::FetchPage(r.URL, r.Parameters);
    ASSERT_EQ(feed.status, 200);
    EXPECT_TRUE(StartsWith(feed.body, "{\"board\": \"TechPost Careers\""));
    EXPECT_NE(Pos("\"url\": \"jobs\\/", feed.body), 0);
    EXPECT_NE(Pos("\\u0026area=", feed.body), 0);
    const TRun tech = RunSite(Site(TBoard::TechPost),
                              {"Nationwide", "Information Technology", "", "", "", "", ""});
    ASSERT_FALSE(tech.urls.empty());
    EXPECT_EQ(tech.urls[0],
              Url("/techpost/jobs/") + tech.urls[0].substr(tech.urls[0].rfind('/') + 1));
    EXPECT_EQ(test::FetchPage(tech.urls[0]).status, 200);
}

TEST_F(DemoSites, SlowBoardAnswersAfterItsStall) {
    demo::TDemoRequest request;
    request.method = "GET";
    request.path = "/slowboard/find";
    request.query = "q=&r=ALL&c=IT";
    EXPECT_EQ(sites_->Handle(request).stallMs, 200);
    Expect(TBoard::SlowBoard, "Nationwide", "Information Technology", "", 30);
}

TEST_F(DemoSites, HarborRefusesConnections) {
    const TRun run = RunSite(Site(TBoard::Harbor), {"Nationwide", "Sales", "", "", "", "", ""});
    ASSERT_EQ(run.statuses.size(), 1u);
    EXPECT_EQ(run.statuses[0], 404);
    EXPECT_TRUE(run.titles.empty());
}

TEST_F(DemoSites, JobPagesHaveRelativeLinksAndTextToRefineOn) {
    const TRun run = Expect(TBoard::CareerHub, "Nationwide", "Information Technology", "");
    ASSERT_FALSE(run.urls.empty());
    const test::TPageFetch page = test::FetchPage(run.urls[0]);
    ASSERT_EQ(page.status, 200);
    EXPECT_NE(Pos("<h1>" + run.titles[0] + "</h1>", page.body), 0);
    EXPECT_NE(Pos("src=\"/careerhub/logo.gif\"", page.body), 0);
    EXPECT_NE(Pos("action=\"/careerhub/apply\"", page.body), 0);
    EXPECT_NE(Pos("Requirements", page.body), 0);

    const test::TPageFetch logo = test::FetchPage(Url("/careerhub/logo.gif"));
    EXPECT_EQ(logo.status, 200);
    EXPECT_TRUE(StartsWith(logo.body, "GIF89a"));

    const std::string id = run.urls[0].substr(run.urls[0].find("id=") + 3);
    EXPECT_EQ(test::FetchPage(Url("/careerhub/apply"), "id=" + id, true).status, 200);
    EXPECT_EQ(test::FetchPage(Url("/careerhub/apply?id=" + id)).status, 405);
    // A job of another board is not found here.
    EXPECT_EQ(test::FetchPage(Url("/jobfair/posting/" + id + ".html")).status, 404);
}

TEST_F(DemoSites, EveryBoardsJobPagesOpen) {
    for (TBoard b : {TBoard::JobFair, TBoard::MetroJobs, TBoard::Emploi, TBoard::TechPost,
                     TBoard::SlowBoard}) {
        const TRun run = RunSite(Site(b), {"Nationwide", "Engineering", "", "", "", "", ""});
        ASSERT_FALSE(run.urls.empty()) << Site(b).Title;
        const test::TPageFetch page = test::FetchPage(run.urls.back());
        EXPECT_EQ(page.status, 200) << run.urls.back();
        EXPECT_NE(Pos("apply", page.body), 0) << run.urls.back();
    }
}

TEST_F(DemoSites, UnknownPagesAndCodesAreAnsweredSoberly) {
    EXPECT_EQ(test::FetchPage(Url("/nowhere")).status, 404);
    EXPECT_EQ(test::FetchPage(Url("/careerhub/job?id=abc")).status, 404);
    EXPECT_EQ(test::FetchPage(Url("/careerhub/job?id=99999999999")).status, 404);
    const test::TPageFetch odd = test::FetchPage(Url("/careerhub/search?kw=&st=ZZ&cat=IT"));
    EXPECT_EQ(odd.status, 200);
    EXPECT_EQ(Pos("class=job", odd.body), 0);
    EXPECT_EQ(test::FetchPage(Url("/")).status, 200);
    EXPECT_EQ(test::FetchPage(Url("/techpost/")).status, 200);
}

}  // namespace
}  // namespace tessaly
