// Answers of the online services and job pages from one input: the first line is the
// banner delimiters (or a trigger list), the rest the page. Checks that banner pages,
// translation answers, trigger lists, address escaping and link rewriting hold on any
// bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "search/SearchEngine.h"
#include "services/Banner.h"
#include "services/Translation.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string in(reinterpret_cast<const char*>(data), size);
    const size_t nl = in.find('\n');
    const std::string head = nl == std::string::npos ? in : in.substr(0, nl);
    const std::string page = nl == std::string::npos ? std::string() : in.substr(nl + 1);

    const tessaly::TBannerPageValues v = tessaly::ParseBannerPage(page, head);
    if (v.Src.size() > page.size() || v.Href.size() > page.size() || v.Alt.size() > page.size())
        std::abort();

    for (const char* marker : {"En Fran\xe7"
                               "ais:",
                               "Auf Deutsch:", "En Espa\xf1ol:", head.c_str()}) {
        std::string out = "untouched";
        if (!tessaly::ExtractTranslation(page, marker, out) && out != "untouched") std::abort();
        if (out != "untouched" && out.size() > page.size()) std::abort();
    }

    const int triggers = tessaly::ParseBannerTriggers(head);
    if (triggers < 0 || triggers > 15) std::abort();

    const std::string escaped = tessaly::EscapeURL(page);
    if (escaped.size() < page.size()) std::abort();
    for (char c : std::string(":$?&=/+"))
        if (escaped.find(c) != std::string::npos) std::abort();

    for (const char* attribute : {"SRC=", "ACTION="}) {
        const std::string rewritten =
            tessaly::UpdateRelativeLinks(page, "http://jobs.example.test/a/b.html", attribute);
        (void)rewritten;
    }
    return 0;
}
