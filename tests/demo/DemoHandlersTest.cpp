// Every page handler of the demo against thousands of odd requests: known paths with
// strange parameters, numbers out of range, bytes of every kind. None may throw, and
// every answer has a status a client understands.
#include <gtest/gtest.h>

#include <cstdint>

#include "demo/DemoSites.h"
#include "demo/MakerSite.h"
#include "support/TestSupport.h"

namespace tessaly::demo {
namespace {

class TNoise {
  public:
    uint32_t Next() {
        state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<uint32_t>(state_ >> 33);
    }
    size_t Below(size_t n) { return Next() % n; }
    std::string Value() {
        static const char* kValues[] = {
            "",      "0",   "1",   "-1",   "2147483647", "-2147483648", "99999999999",
            "ALL",   "ma",  "106", "tous", "it",         "x%zz",        "\xe9",
            "a+b,c", "1e9", "  ",  "0x10", "8",          "100000"};
        if (Below(4) == 0) {
            std::string s;
            const size_t n = Below(40);
            for (size_t i = 0; i < n; ++i)
                s += static_cast<char>(Below(256));
            return s;
        }
        return kValues[Below(std::size(kValues))];
    }

  private:
    uint64_t state_ = 42;
};

class DemoHandlers : public test::TLoopTest {};

TEST_F(DemoHandlers, OddRequestsGetSoberAnswers) {
    TDemoSites sites({8080, 8081, 0});
    TMakerSite maker(sites);
    static const char* kPaths[] = {"/",
                                   "/careerhub/search",
                                   "/careerhub/job",
                                   "/jobfair/results.cgi",
                                   "/jobfair/posting/1300.html",
                                   "/jobfair/posting/.html",
                                   "/metrojobs/find",
                                   "/metrojobs/more",
                                   "/metrojobs/ad",
                                   "/emploi/recherche",
                                   "/emploi/offre",
                                   "/techpost/results",
                                   "/techpost/jobs/1700",
                                   "/techpost/jobs/",
                                   "/slowboard/find",
                                   "/slowboard/view",
                                   "/harbor/search",
                                   "/careerhub/apply",
                                   "/emploi/logo.gif",
                                   "/update/config.box",
                                   "/update/sources.def",
                                   "/cgi-bin/referal.asp",
                                   "/cgi-bin/translate",
                                   "/banners/page",
                                   "/banners/click",
                                   "/banners/x.gif",
                                   "/sponsor/",
                                   "/sponsor/resume",
                                   "/about.html",
                                   "/careerhub",
                                   "/careerhub/../etc/passwd"};
    static const char* kNames[] = {
        "kw",   "st", "cat",      "page",   "keywords", "area",   "field",   "offset",    "loc",
        "sect", "q",  "motscles", "region", "secteur",  "skill1", "start",   "dept",      "r",
        "c",    "id", "ref",      "no",     "doit",     "lp",     "urltext", "recipient", "ad"};
    TNoise noise;
    int answered = 0;
    for (int round = 0; round < 3000; ++round) {
        TDemoRequest r;
        r.method = noise.Below(3) == 0 ? "POST" : "GET";
        r.path = kPaths[noise.Below(std::size(kPaths))];
        if (noise.Below(8) == 0) r.path += noise.Value();
        const size_t pairs = noise.Below(6);
        for (size_t i = 0; i < pairs; ++i) {
            if (!r.query.empty()) r.query += "&";
            r.query += std::string(kNames[noise.Below(std::size(kNames))]) + "=" + noise.Value();
        }
        if (r.method == "POST")
            r.body = std::string(kNames[noise.Below(std::size(kNames))]) + "=" + noise.Value() +
                     "&urltext=http://127.0.0.1:8080" + kPaths[noise.Below(std::size(kPaths))];
        if (noise.Below(3) == 0) r.headers.emplace_back("Cookie", "MJSESSION=" + noise.Value());
        TDemoResponse a;
        ASSERT_NO_THROW(a = TMakerSite::Serves(r.path) ? maker.Handle(r) : sites.Handle(r))
            << r.method << " " << r.path << "?" << r.query;
        EXPECT_TRUE(a.status == 200 || a.status == 302 || (a.status >= 400 && a.status < 600))
            << a.status;
        EXPECT_FALSE(a.body.empty());
        ++answered;
    }
    EXPECT_EQ(answered, 3000);
}

}  // namespace
}  // namespace tessaly::demo
