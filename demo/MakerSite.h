// The maker's web server, played by the demo on the same port as the boards: the update
// descriptor and the definitions download, the referral script, a translation service
// that answers the way the program reads it, and the sponsor banners.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "demo/DemoServer.h"
#include "demo/DemoSites.h"

namespace tessaly::demo {

// What the referral script received, decoded.
struct TReferral {
    std::string recipient, email, realname, edition;
    std::string jobtitle, jobcompany, joblocation, jobsource, joburl;
};

class TMakerSite {
  public:
    explicit TMakerSite(const TDemoSites& sites) : sites_(sites) {}

    // True for the paths this server answers ("/update/", "/cgi-bin/", "/banners/",
    // "/sponsor/", "/about.html").
    static bool Serves(std::string_view path);
    TDemoResponse Handle(const TDemoRequest& request) const;

    // The descriptor as served: the home's config.box plus the banner sections.
    std::string ConfigBoxText() const;

    std::vector<TReferral> Referrals() const;

  private:
    TDemoResponse Referral(const TDemoRequest& request) const;
    TDemoResponse Translate(const TDemoRequest& request) const;
    TDemoResponse Banner(const std::string& rest, const TDemoRequest& request) const;

    const TDemoSites& sites_;
    mutable std::mutex lock_;
    mutable std::vector<TReferral> referrals_;
};

// The translation the service gives for keywords or a text, word by word from a small
// glossary; `lp` is "en_fr", "en_de" or "en_sp" (other pairs leave the text as it is).
// A text that is a whole job title of the demo takes that job's French title.
std::string TranslateText(std::string_view text, std::string_view lp, const TJobCatalog& catalog);
// The answer marker of a language pair ("En Français:" for "en_fr" ...), empty for others.
std::string TranslationMarker(std::string_view lp);

}  // namespace tessaly::demo
