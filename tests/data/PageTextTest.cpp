// Texts from result pages in UTF-8, whatever the page sent: harvesting in the page's
// charset, JSON feeds, clean-up of references and blanks, links, and what is sent back.
#include <gtest/gtest.h>

#include "data/HtmlEntities.h"
#include "data/QueryBuilder.h"
#include "data/VelaSources.h"
#include "platform/Utf8.h"
#include "support/JobChecks.h"
#include "support/TestSupport.h"

namespace tessaly {
namespace {

// One job a line: <li><a href=LINK>TITLE</a>|COMPANY|LOCATION</li>.
class PageText : public test::TLoopTest {
  protected:
    TStrings regions{"Anywhere"};
    TStrings categories{"All"};
    TVelaSource site{0, &regions, &categories};

    PageText() {
        site.Title = "Board";
        site.JobBlockScript = {"Go(Begin, \"<li>\");", "Cut(All, Backward);",
                               "Go(After, \"</li>\");", "Get(All, Backward);",
                               "Cut(All, Backward);"};
        site.JobTitleScript = {"Go(After, \"<a href=\");", "Go(After, \">\");",
                               "Cut(All, Backward);", "Go(Begin, \"</a>\");",
                               "Get(All, Backward);"};
        site.JobCompanyScript = {"Go(After, \"</a>|\");", "Cut(All, Backward);",
                                 "Go(Begin, \"|\");", "Get(All, Backward);"};
        site.JobLocationScript = {"Go(After, \"</a>|\");", "Go(After, \"|\");",
                                  "Cut(All, Backward);", "Go(Begin, \"</li>\");",
                                  "Get(All, Backward);"};
        site.JobURLScript = {"Go(After, \"<a href=\");", "Cut(All, Backward);", "Go(Begin, \">\");",
                             "Get(All, Backward);"};
        site.NextPageLinkScript = {"Go(After, \"<a class=next href=\");", "Cut(All, Backward);",
                                   "Go(Begin, \">\");", "Get(All, Backward);"};
    }

    const TVelaJobsList& Harvest(const std::string& page, const std::string& header = "") {
        site.Jobs.ClearJobs();
        site.HarvestJobs(page, header);
        site.Jobs.CleanUpJobs();
        return site.Jobs;
    }
};

// The same board in both charsets gives the same texts.
TEST_F(PageText, PagesInEitherCharsetGiveTheSameUtf8) {
    const std::string cp1252 =  // no declaration: the bytes are no UTF-8
        "<ul><li><a href=/j?id=1&amp;s=2>ING\xC9NIEUR QUALIT\xC9</a>|Soci\xE9t\xE9\xA0G"
        "\xE9n\xE9rale|Chamb&#233;ry</li>"
        "<li><a href=/j?id=2>Kinja \x96 Vratar</a>|It&rsquo;s Caf\xE9|Z\xFCrich</li></ul>";
    const std::string utf8 =  // declared in a meta tag
        "<meta charset=\"utf-8\"><ul><li><a href=/j?id=1&amp;s=2>ING\xC3\x89NIEUR "
        "QUALIT\xC3\x89</a>|Soci\xC3\xA9t\xC3\xA9\xC2\xA0G\xC3\xA9n\xC3\xA9rale|Chamb&#233;ry</li>"
        "<li><a href=/j?id=2>Kinja &#8211; Vratar</a>|It&rsquo;s "
        "Caf\xC3\xA9|Z\xC3\xBCrich</li></ul>";
    for (const std::string* page : {&cp1252, &utf8}) {
        const TVelaJobsList& jobs = Harvest(*page);
        SCOPED_TRACE(page == &cp1252 ? "Windows-1252" : "UTF-8");
        test::ExpectJobs(jobs, {{"Ing\xC3\xA9nieur Qualit\xC3\xA9",
                                 "Soci\xC3\xA9t\xC3\xA9 G\xC3\xA9n\xC3\xA9rale", "Chamb\xC3\xA9ry",
                                 "/j?id=1&s=2"},
                                {"Kinja \xE2\x80\x93 Vratar", "It\xE2\x80\x99s Caf\xC3\xA9",
                                 "Z\xC3\xBCrich", "/j?id=2"}});
        for (int i = 0; i < jobs.Count(); ++i)
            EXPECT_TRUE(IsValidUtf8(jobs[i].Title + jobs[i].Company + jobs[i].Location));
    }
}

TEST_F(PageText, TheSiteAndTheResponseNameTheCharset) {
    // Valid UTF-8 bytes that the site says are Windows-1252 are read so.
    const std::string page = "<li><a href=/a>Caf\xC3\xA9</a>|X|Y</li>";
    EXPECT_EQ(Harvest(page)[0].Title, "Caf\xC3\xA9");
    EXPECT_EQ(Harvest(page, "HTTP/1.0 200 OK\r\nContent-Type: text/html; charset=ISO-8859-1\r\n")[0]
                  .Title,
              "Caf\xC3\x83\xC2\xA9");
    site.Charset = "windows-1252";
    EXPECT_EQ(Harvest(page)[0].Title, "Caf\xC3\x83\xC2\xA9");
    // The site's setting goes before the response's.
    site.Charset = "UTF-8";
    EXPECT_EQ(Harvest("<li><a href=/a>Caf\xC3\xA9</a>|X|Y</li>",
                      "HTTP/1.0 200 OK\r\nContent-Type: text/html; charset=latin1\r\n")[0]
                  .Title,
              "Caf\xC3\xA9");
    // The scripts still see bytes: a Windows-1252 pattern cuts a Windows-1252 page.
    site.Charset = "";
    site.JobCompanyScript = {"Go(After, \"Soci\xE9t\xE9 \");", "Cut(All, Backward);",
                             "Go(Begin, \"|\");", "Get(All, Backward);"};
    EXPECT_EQ(Harvest("<li><a href=/a>T</a>|Soci\xE9t\xE9 \xC9lan|Y</li>")[0].Company,
              "\xC3\x89lan");
}

TEST_F(PageText, LineBreaksTabsAndNoBreakSpacesAreBlanks) {
    const TVelaJobsList& jobs = Harvest(
        "<li><a href=\"/a\n\">Data\r\nAnalyst\t(m/w)</a>|&nbsp;Acme&#160;&amp;\tCo\xC2\xA0"
        "|\r\n  Bern\r\n</li>");
    EXPECT_EQ(jobs[0].Title, "Data Analyst (m/w)");
    EXPECT_EQ(jobs[0].Company, "Acme & Co");
    EXPECT_EQ(jobs[0].Location, "Bern");
    EXPECT_EQ(jobs[0].URL, "\"/a\"");  // line breaks in links are removed, as before
}

TEST_F(PageText, ReferencesOfEveryKind) {
    EXPECT_EQ(CleanJobText("It&rsquo;s &hellip; &euro;5 &ndash; &#x1F600; &#128512;"),
              "It\xE2\x80\x99s \xE2\x80\xA6 \xE2\x82\xAC"
              "5 \xE2\x80\x93 \xF0\x9F\x98\x80 "
              "\xF0\x9F\x98\x80");
    EXPECT_EQ(CleanJobText("&zz; &Amp; &amp"), "&zz; &Amp; &amp");        // unknown names stay
    EXPECT_EQ(CleanJobText("&#150;&#x80;"), "\xE2\x80\x93\xE2\x82\xAC");  // what pages mean
    EXPECT_EQ(CleanJobText("a&#xD800;b&#1114112;c"),
              "a\xEF\xBF\xBD"
              "b\xEF\xBF\xBD"
              "c");
    EXPECT_EQ(CleanJobText("&NotNestedLessLess;&fjlig;"),
              "\xE2\xAA\xA1\xCC\xB8"
              "fj");
    EXPECT_GT(HtmlEntityCount(), 2000u);
    ASSERT_NE(FindHtmlEntity("rsquo"), nullptr);
    EXPECT_EQ(FindHtmlEntity("RSQUO"), nullptr);  // names are case-sensitive
    // Links decode references but keep what only looks like one of the old table's names.
    TVelaJob j;
    j.Title = "T";
    EXPECT_EQ(CleanJobURL("/x?a=1&amp;b=2&c;d&sup;&#38;", j), "/x?a=1&b=2&c;d\xE2\x8A\x83&");
}

TEST_F(PageText, CapitalsOfEveryScriptFold) {
    EXPECT_EQ(CleanJobText("INGÉNIEUR QUALITÉ"), "Ingénieur Qualité");
    EXPECT_EQ(CleanJobText("ÜBERSETZER/IN (DEUTSCH-ŁÓDŹ)"), "Übersetzer/In (Deutsch-Łódź)");
    EXPECT_EQ(CleanJobText("ΛΟΓΙΣΤΗΣ"), "Λογιστης");
    EXPECT_EQ(CleanJobText("ИНЖЕНЕР-ПРОГРАММИСТ"), "Инженер-Программист");
    EXPECT_EQ(CleanJobText("Ingénieur QUALITÉ"), "Ingénieur QUALITÉ");  // lower case: kept
    EXPECT_EQ(CleanJobText("INGéNIEUR"), "INGéNIEUR");                  // é is a lower-case letter
}

TEST_F(PageText, JsonFeedsAreUnescapedBeforeReferences) {
    site.TextFormat = "JSON";
    site.JobBlockScript = {"Go(Begin, \"{\");", "Cut(All, Backward);", "Go(After, \"}\");",
                           "Get(All, Backward);", "Cut(All, Backward);"};
    auto field = [](const std::string& key) {
        // A doubled quote stands for one inside a script's text.
        return TStrings{"Go(After, \"\"\"" + key + "\"\": \"\"\");", "Cut(All, Backward);",
                        "Go(Begin, \"\"\",\");", "Get(All, Backward);"};
    };
    site.JobTitleScript = field("title");
    site.JobCompanyScript = field("company");
    site.JobLocationScript = field("city");
    site.JobURLScript = field("url");
    const std::string feed =
        R"([{"title": "Le\u00f3n \"Senior\" Dev\nOps", "company": "R\u0026D &amp; Co",)"
        R"( "city": "M\u00fcnchen \ud83d\ude00", "url": "https:\/\/x.test\/j?a=1\u0026b=2",},)"
        R"({"title": "Caf\u00e9 \\ Bar", "company": "", "city": "", "url": "",}])";
    const TVelaJobsList& jobs = Harvest(feed);
    ASSERT_EQ(jobs.Count(), 2);
    EXPECT_EQ(jobs[0].Title, "Le\xC3\xB3n \"Senior\" Dev Ops");
    EXPECT_EQ(jobs[0].Company, "R&D & Co");
    EXPECT_EQ(jobs[0].Location, "M\xC3\xBCnchen \xF0\x9F\x98\x80");
    EXPECT_EQ(jobs[0].URL, "https://x.test/j?a=1&b=2");
    EXPECT_EQ(jobs[1].Title, "Caf\xC3\xA9 \\ Bar");
    // Without the setting the escapes stay.
    site.TextFormat = "HTML";
    EXPECT_EQ(Harvest(feed)[0].Location, "M\\u00fcnchen \\ud83d\\ude00");
}

TEST_F(PageText, NextPageLinksAreReadLikeJobLinks) {
    // References decoded; the bytes go back in the page's charset.
    TQueryRequest req;
    EXPECT_TRUE(
        BuildNextRequest(site, "<a class=next href=/s?p=2&amp;q=caf\xE9&#38;r=&eacute;>", req));
    EXPECT_EQ(req.URL, "/s?p=2&q=caf\xE9&r=\xE9");
    req = {};
    EXPECT_TRUE(
        BuildNextRequest(site, "<a class=next href=/s?p=2&amp;q=caf\xC3\xA9&#38;r=&eacute;>", req));
    EXPECT_EQ(req.URL, "/s?p=2&q=caf\xC3\xA9&r=\xC3\xA9");
    req = {};
    EXPECT_TRUE(
        BuildNextRequest(site, "<a class=next href=/s?p=2&amp;q=caf\xC3\xA9>", req,
                         "HTTP/1.0 200 OK\r\nContent-Type: text/html; charset=windows-1252\r\n"));
    EXPECT_EQ(req.URL, "/s?p=2&q=caf\xC3\xA9");
    // A JSON feed's link loses its escapes.
    site.TextFormat = "JSON";
    req = {};
    EXPECT_TRUE(BuildNextRequest(site, "<a class=next href=\\/s?p=2\\u0026q=1>", req));
    EXPECT_EQ(req.URL, "/s?p=2&q=1");
    site.TextFormat = "HTML";
    // A form's address is a link; its values go back as the page wrote them.
    site.NextPageLinkIsAForm = true;
    site.NextPageLinkScript = {"Go(Begin, \"<form\");", "Cut(All, Backward);",
                               "Go(After, \"</form>\");", "Get(All, Backward);"};
    req = {};
    EXPECT_TRUE(BuildNextRequest(
        site, "<form action=\"/s?a=1&amp;b=2\"><input name=q value=\"caf\xE9\"></form>", req));
    EXPECT_EQ(req.URL, "/s?a=1&b=2?");
    EXPECT_EQ(req.Parameters, "q=caf\xE9");
}

TEST_F(PageText, KeywordsAndCodesGoInTheSitesCharset) {
    site.FirstPageURL = "http://x.test/s?";
    site.FirstPageParameters = {"q=<keyword:+>", "&r=<region>"};
    site.Regions = {"Z\xC3\xBCrich"};
    TQuerySearch search;
    search.Region = "Anywhere";
    search.Category = "All";
    search.Keywords = "caf\xC3\xA9 \xCE\xB1";
    TQueryRequest req;
    ASSERT_TRUE(BuildFirstRequest(site, search, req));
    EXPECT_EQ(req.Parameters, "q=caf\xC3\xA9+\xCE\xB1&r=Z\xC3\xBCrich");  // UTF-8 by default
    site.Charset = "ISO-8859-1";
    req = {};
    ASSERT_TRUE(BuildFirstRequest(site, search, req));
    EXPECT_EQ(req.Parameters, "q=caf\xE9+%26%23945%3B&r=Z\xFCrich");
    // Codes written in Windows-1252 already are sent as they are.
    site.Regions = {"Z\xFCrich"};
    req = {};
    ASSERT_TRUE(BuildFirstRequest(site, search, req));
    EXPECT_EQ(req.Parameters, "q=caf\xE9+%26%23945%3B&r=Z\xFCrich");
}

}  // namespace
}  // namespace tessaly
