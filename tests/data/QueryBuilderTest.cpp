#include "data/QueryBuilder.h"

#include <gtest/gtest.h>

namespace tessaly {
namespace {

class QueryTest : public ::testing::Test {
  protected:
    TStrings regions{"Boston", "Texas", "Boston", "Ohio"};
    TStrings categories{"Eng", "Hosp"};
    TVelaSource site{0, &regions, &categories};
    TQuerySearch search;
    TQueryRequest req;
    void SetUp() override {
        site.FirstPageURL = "http://x.test/s?";
        site.Regions = {"b1", "tx", "b3,b4", "oh"};
        site.Categories = {"eng", "hosp"};
        search.Region = "Boston";
        search.Category = "Eng";
        search.Keywords = "nurse  manager";
        req.ID = 7;
    }
    std::string Params(TStrings lines) {
        site.FirstPageParameters = std::move(lines);
        req = {};
        req.ID = 7;
        BuildFirstRequest(site, search, req);
        return req.Parameters;
    }
};

TEST_F(QueryTest, PlaceholdersAndExpansion) {
    EXPECT_EQ(Params({"kw=<keyword:+>"}), "kw=nurse+manager");
    EXPECT_EQ(Params({"kw=<keyword>"}), "kw=nursekw=manager");
    EXPECT_EQ(Params({"a=<keyword:+>&b=1", "&c=2"}), "a=nurse+manager&b=1&c=2");
    EXPECT_EQ(Params({"a=<keyword/2>&b=1"}), "a=manager&b=1");
    EXPECT_EQ(Params({"a=<keyword/3>&b=1"}), "a=&b=1");
    EXPECT_EQ(Params({"a=<keyword/0>&b=1"}), "a=&b=1");
    EXPECT_EQ(Params({"a=<keyword/x>&b=1"}), "a=nurse&b=1");  // not a number: item 1
    EXPECT_EQ(Params({"r=<region/2>;"}), "r=b4;");            // last "Boston" in the master list
    EXPECT_EQ(Params({"q=<keyword|region:,>"}), "q=nurse,manager,b3,b4");
    // Both forms; the join separator runs to the ">", "/2" included.
    EXPECT_EQ(Params({"q=<keyword:+/2>"}), "q=nurse+/2managerq=manager");
    EXPECT_EQ(Params({"q=<city|title|keyword|company:+>"}), "q=nurse+manager");
    EXPECT_EQ(Params({"q=<bogus:+>"}), "q=");
    EXPECT_EQ(Params({"q=<keyword"}), "q=nurseq=manager");  // left open: runs to the end
    search.Keywords = "nurse, manager";
    EXPECT_EQ(Params({"q=<keyword:+>"}), "q=nurse++manager");  // ", " leaves an empty item
    EXPECT_EQ(query::SplitItems(""), (TStrings{""}));
    EXPECT_EQ(query::SplitItems("a\xA7"
                                "b c"),
              (TStrings{"a", "b", "c"}));
    EXPECT_EQ(query::TidyValue(",,a  b,,c,"), "a b,c");
}

TEST_F(QueryTest, CodesAndResult) {
    site.FirstPageParameters = {"r=<region>", "&c=<category>"};
    EXPECT_TRUE(BuildFirstRequest(site, search, req));
    EXPECT_EQ(req.URL, "http://x.test/s?");
    EXPECT_EQ(site.QueryID, 7);
    site.Regions.clear();
    EXPECT_TRUE(BuildFirstRequest(site, search, req));
    EXPECT_EQ(req.Parameters, "r=ignore&c=eng");
    search.Region = "Mars";  // not in the master list
    req.ID = 8;
    EXPECT_FALSE(BuildFirstRequest(site, search, req));
    EXPECT_EQ(site.QueryID, 8);
    site.FirstPageParameters = {"plain=1"};  // no placeholder: still queried
    EXPECT_TRUE(BuildFirstRequest(site, search, req));
    search.Region = "Ohio";
    site.Regions = {"b1", "tx"};  // shorter than the master list
    site.FirstPageParameters = {"r=<region>"};
    EXPECT_FALSE(BuildFirstRequest(site, search, req));
    site.Regions = {"b1", "tx", "b3", ""};  // an empty code
    EXPECT_FALSE(BuildFirstRequest(site, search, req));
    site.FirstPageMethod = TSubmitMethod::smPOST;
    search.Region = "Texas";
    EXPECT_TRUE(BuildFirstRequest(site, search, req));
    EXPECT_TRUE(req.IsPost);
}

TEST(QueryKeywords, LanguageWithFallback) {
    TQuerySearch s;
    s.Keywords = "typed";
    s.KeywordsFR = "infirmier";
    EXPECT_EQ(query::SiteKeywords("fr", s), "infirmier");
    EXPECT_EQ(query::SiteKeywords("de", s), "typed");  // empty translation
    EXPECT_EQ(query::SiteKeywords("FR", s), "typed");  // other language text
}

TEST_F(QueryTest, NextLink) {
    site.NextPageLinkScript = {"Go(After, \"<a href=\");", "Cut(All, Backward);",
                               "Go(Begin, \">\");", "Get(All, Backward);"};
    EXPECT_TRUE(BuildNextRequest(site, "x <a href=http://n.test/p2>Next</a>", req));
    EXPECT_EQ(req.URL, "http://n.test/p2");
    EXPECT_FALSE(req.IsPost);
    EXPECT_EQ(req.Parameters, "");
    EXPECT_FALSE(BuildNextRequest(site, "no link here", req));
}

// The next page's address is completed against the page's own; a link back to the page
// itself is no next page.
TEST_F(QueryTest, NextLinkIsCompletedAgainstThePageAddress) {
    site.NextPageLinkScript = {"Go(After, \"<a href=\");", "Cut(All, Backward);",
                               "Go(Begin, \">\");", "Get(All, Backward);"};
    const std::string address = "http://n.test/list/p1?q=a";
    const struct {
        const char* link;
        bool ok;
        const char* url;
    } cases[] = {
        {"p2", true, "http://n.test/list/p2"},
        {"?q=a&amp;page=2", true, "http://n.test/list/p1?q=a&page=2"},
        {"/other/p3", true, "http://n.test/other/p3"},
        {"https://m.test/x", true, "https://m.test/x"},
        {"#", false, "http://n.test/list/p1?q=a#"},
        {"?q=a", false, "http://n.test/list/p1?q=a"},
    };
    for (const auto& c : cases) {
        TQueryRequest r;
        const std::string page = std::string("x <a href=") + c.link + ">Next</a>";
        EXPECT_EQ(BuildNextRequest(site, page, r, {}, address), c.ok) << c.link;
        EXPECT_EQ(r.URL, c.url) << c.link;
    }

    site.NextPageLinkIsAForm = true;
    site.NextPageLinkScript = {"Go(Begin, \"<form\");", "Cut(All, Backward);",
                               "Go(After, \"</form>\");", "Get(All, Backward);"};
    TQueryRequest form;
    EXPECT_TRUE(BuildNextRequest(site, "<form action=more.cgi><input name=a value=1></form>", form,
                                 {}, address));
    EXPECT_EQ(form.URL, "http://n.test/list/more.cgi?");
    TQueryRequest none;
    EXPECT_FALSE(BuildNextRequest(site, "<form><input name=a></form>", none, {}, address));
    EXPECT_EQ(none.URL, "?");
}

TEST_F(QueryTest, FormSubmission) {
    site.NextPageLinkIsAForm = true;
    site.NextPageLinkScript = {"Go(Begin, \"<form\", IgnoreCase);", "Cut(All, Backward);",
                               "Go(After, \"</form>\", IgnoreCase);", "Get(All, Backward);"};
    const std::string page =
        "<p>x</p><FORM action=\"/next.cgi\" Method=pOsT><input type=hidden name=q "
        "value=\"nurse manager\"><INPUT NAME=page VALUE=2><input type=submit value=Next>"
        "</FORM>";
    EXPECT_TRUE(BuildNextRequest(site, page, req));
    EXPECT_EQ(req.URL, "/next.cgi");
    EXPECT_TRUE(req.IsPost);
    EXPECT_EQ(req.Parameters, "q=nurse+manager&page=2");

    TQueryRequest get;
    const std::string noMethod = "<form action=/n><input name=a value=1><input value=lone></form>";
    EXPECT_TRUE(BuildNextRequest(site, noMethod, get));
    EXPECT_EQ(get.URL, "/n?");
    EXPECT_FALSE(get.IsPost);
    EXPECT_EQ(get.Parameters, "a=1&lone");

    TQueryRequest none;
    EXPECT_FALSE(BuildNextRequest(site, "<form><input name=a></form>", none));
    EXPECT_EQ(none.URL, "?");
}

}  // namespace
}  // namespace tessaly
