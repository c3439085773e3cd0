// The maker's server of the demo, read the way the program reads it: the descriptor and
// the definitions download, the referral script, the translation answers and the banners.
#include <gtest/gtest.h>

#include "data/ConfigBox.h"
#include "platform/TextFile.h"
#include "tests/demo/DemoFixture.h"

namespace tessaly {
namespace {

// The program's address encoding for the translation service.
std::string EscapeURL(std::string s) {
    s = ReplaceAll(s, "%", "%25");
    for (const auto& [from, to] : std::vector<std::pair<std::string, std::string>>{{":", "%3A"},
                                                                                   {"$", "%24"},
                                                                                   {"?", "%3F"},
                                                                                   {"&", "%26"},
                                                                                   {"=", "%3D"},
                                                                                   {"/", "%2F"},
                                                                                   {"+", "%2B"}})
        s = ReplaceAll(s, from, to);
    return s;
}

// How the keyword translator takes one translation out of the answer.
std::string Extract(const std::string& answer, const std::string& marker) {
    const int64_t m = Pos(marker, answer);
    if (m == 0) return "";
    std::string rest = answer.substr(static_cast<size_t>(m - 1));
    const std::string font = "helvetica\">";
    const int64_t f = Pos(font, rest);
    if (f == 0) return "";
    rest = rest.substr(static_cast<size_t>(f - 1) + font.size());
    return rest.substr(0, rest.find("\r\n"));
}

class MakerSite : public test::TDemoTest {
  protected:
    TConfigBox Descriptor() {
        const test::TPageFetch f = test::FetchPage(Url("/update/config.box"));
        EXPECT_EQ(f.status, 200);
        WriteFileBytes(Sandbox().File("config.box"), f.body);
        TConfigBox box;
        box.LoadFromFile(Sandbox().File("config.box"));
        box.Edition = "Generic";
        return box;
    }
};

TEST_F(MakerSite, DescriptorNamesTheDefinitionsVersionAndThePreferredBoard) {
    TConfigBox box = Descriptor();
    EXPECT_EQ(box.ReadString("DEFFile", "Version"), demo::DefinitionsVersion());
    EXPECT_EQ(box.ReadString("Features", "PreferedSources"), demo::kPreferredBoard);
    EXPECT_EQ(box.ReadLine(0, "Guide", "URLs"), Url("/"));
    EXPECT_EQ(test::FetchPage(box.ReadLine(1, "Guide", "URLs")).status, 200);
    EXPECT_EQ(box.ReadString("Guide", "Captions"), "Demo job boards\r\nHow the demo works\r\n");
}

TEST_F(MakerSite, DownloadedDefinitionsAreUsable) {
    const test::TPageFetch f = test::FetchPage(Url("/update/sources.def"));
    ASSERT_EQ(f.status, 200);
    WriteFileBytes(Sandbox().File("sources.def"), f.body);
    TVelaSourcesList list;
    list.LoadFromFile(Sandbox().File("sources.def"));
    EXPECT_EQ(list.Count(), 7);  // more than one site: the update keeps it
    EXPECT_EQ(list.Version, demo::DefinitionsVersion());
    EXPECT_TRUE(StartsWith(list[0].FirstPageURL, Url("/")));
}

TEST_F(MakerSite, EveryBannerEntryLeadsToAPicture) {
    TConfigBox box = Descriptor();
    int images = 0, pages = 0;
    for (const std::string section :
         {"InBanner", "Sponsor1", "Sponsor2", "Sponsor3", "Sponsor4", "Sponsor5", "PopBanner"}) {
        EXPECT_FALSE(box.ReadString(section, "Triggers").empty()) << section;
        int sum = 0;
        for (int i = 0;; ++i) {
            const int weight = ParseIntOr(box.ReadLine(i, section, "Ratios"), 0);
            if (weight == 0) break;
            sum += weight;
            const std::string source = box.ReadLine(i, section, "Sources");
            const std::string destination = box.ReadLine(i, section, "Destinations");
            const test::TPageFetch f = test::FetchPage(source);
            ASSERT_EQ(f.status, 200) << section << " " << source;
            if (!destination.empty()) {
                ++images;
                EXPECT_TRUE(StartsWith(f.body, "GIF89a")) << source;
                EXPECT_NE(Pos("ADSESSION=", f.cookie), 0);
                // A click with the cookie goes through the ad server to the sponsor.
                const test::TPageFetch click = test::FetchPage(destination, "", false, f.cookie);
                EXPECT_EQ(click.status, 200) << destination;
                EXPECT_NE(Pos("sponsor of the demo", click.body), 0);
                continue;
            }
            ++pages;
            // The piece between the markers names the image, the destination and a hint.
            const std::string delimiters = box.ReadLine(i, section, "Delimiters");
            const size_t bar = delimiters.find('|');
            ASSERT_NE(bar, std::string::npos);
            const int64_t from = Pos(delimiters.substr(0, bar), f.body);
            ASSERT_GT(from, 0) << f.body;
            std::string piece = f.body.substr(static_cast<size_t>(from - 1));
            const int64_t to = Pos(delimiters.substr(bar + 1), piece);
            ASSERT_GT(to, 0);
            piece = piece.substr(0, static_cast<size_t>(to));
            const int64_t src = Pos("SRC=\"", UpperCase(piece));
            ASSERT_GT(src, 0) << piece;
            const std::string image = piece.substr(static_cast<size_t>(src) + 4);
            EXPECT_TRUE(
                StartsWith(test::FetchPage(image.substr(0, image.find('"'))).body, "GIF89a"));
            EXPECT_GT(Pos("HREF=", UpperCase(piece)), 0);
            EXPECT_GT(Pos("ALT=", UpperCase(piece)), 0);
        }
        EXPECT_EQ(sum, 100) << section;
    }
    EXPECT_GE(images, 7);
    EXPECT_GE(pages, 2);
}

TEST_F(MakerSite, ReferralOfAJobAsTheProgramPostsIt) {
    // The body as the program builds it: blanks as "+", the address's "=" and "&" as
    // bytes 167 and 182, nothing else encoded.
    const std::string body =
        "recipient=friend@example.com&email=me@example.com&realname=Ann+Smith&edition=Generic"
        "&jobtitle=Nurse+Manager&jobcompany=Cedar+Ridge&joblocation=Boston,+Massachusetts"
        "&jobsource=CareerHub+Online&joburl=http://127.0.0.1/careerhub/job?id\xa7"
        "5\xb6x\xa7"
        "1";
    const test::TPageFetch f = test::FetchPage(Url("/cgi-bin/referal.asp"), body, true);
    ASSERT_EQ(f.status, 200);
    EXPECT_NE(Pos("Thank You", f.body), 0);
    const auto sent = maker_->Referrals();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].recipient, "friend@example.com");
    EXPECT_EQ(sent[0].realname, "Ann Smith");
    EXPECT_EQ(sent[0].jobtitle, "Nurse Manager");
    EXPECT_EQ(sent[0].joburl, "http://127.0.0.1/careerhub/job?id=5&x=1");
}

TEST_F(MakerSite, ReferralToNoAddressIsNotThanked) {
    for (const std::string recipient : {"", "nobody", "@example.com", "a b@example.com"}) {
        const test::TPageFetch f =
            test::FetchPage(Url("/cgi-bin/referal.asp"),
                            "recipient=" + recipient + "&email=&realname=+&edition=", true);
        EXPECT_EQ(f.status, 200);
        EXPECT_EQ(Pos("Thank You", f.body), 0) << recipient;
    }
    EXPECT_TRUE(maker_->Referrals().empty());
    EXPECT_EQ(test::FetchPage(Url("/cgi-bin/referal.asp?recipient=a@b.c")).status, 405);
}

TEST_F(MakerSite, KeywordTranslationsCarryTheMarkersTheProgramLooksFor) {
    struct TCase {
        const char* lp;
        const char* marker;
        const char* keywords;
        const char* expected;
    };
    for (const TCase c :
         {TCase{"en_fr", "En Fran\xe7\x61is:", "software engineer", "Ing\xe9nieur logiciel"},
          TCase{"en_fr", "En Fran\xe7\x61is:", "nurse", "infirmier"},
          TCase{"en_de", "Auf Deutsch:", "nurse manager", "Krankenschwester Leiter"},
          TCase{"en_sp", "En Espa\xf1ol:", "Web Developer", "Web Desarrollador"},
          TCase{"en_sp", "En Espa\xf1ol:", "welder", "welder"}}) {
        // The keywords go as typed, blanks and all.
        const test::TPageFetch f =
            test::FetchPage(Url("/cgi-bin/translate"),
                            std::string("doit=done&lp=") + c.lp + "&urltext=" + c.keywords, true);
        ASSERT_EQ(f.status, 200);
        EXPECT_EQ(Extract(f.body, c.marker), c.expected) << c.lp << " " << c.keywords;
    }
}

TEST_F(MakerSite, JobPagesAreFetchedAndTranslated) {
    const demo::TDemoJob* engineer = nullptr;
    for (const demo::TDemoJob& j : sites_->Catalog().Jobs())
        if (j.Board == demo::TBoard::CareerHub && j.Title == "Software Engineer") engineer = &j;
    ASSERT_NE(engineer, nullptr);
    const std::string address = Url("/careerhub/job?id=" + IntToStr(engineer->Id));
    const test::TPageFetch f = test::FetchPage(
        Url("/cgi-bin/translate?"), "doit=done&lp=en_fr&urltext=" + EscapeURL(address), true);
    ASSERT_EQ(f.status, 200);
    EXPECT_NE(Pos("<h1>Logiciel Ing\xe9nieur</h1>", f.body), 0) << f.body.substr(0, 400);
    EXPECT_NE(Pos("src=\"/careerhub/logo.gif\"", f.body), 0);  // tags are left alone
    const test::TPageFetch elsewhere =
        test::FetchPage(Url("/cgi-bin/translate"),
                        "doit=done&lp=en_fr&urltext=" + EscapeURL("http://example.com/x"), true);
    EXPECT_EQ(elsewhere.status, 200);
    EXPECT_NE(Pos("could not be reached", elsewhere.body), 0);
    EXPECT_EQ(test::FetchPage(Url("/cgi-bin/translate"), "lp=en_fr", true).status, 200);
}

}  // namespace
}  // namespace tessaly
