// Template lines and a next-page form from one input: lines before a line "--" are the
// site's template, the rest is a result page read as a form.
#include <cstddef>
#include <cstdint>
#include <string>

#include "data/QueryBuilder.h"
#include "platform/TextFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string in(reinterpret_cast<const char*>(data), size);
    const size_t cut = in.find("\n--\n");
    const std::string tmpl = in.substr(0, cut);
    const std::string page = cut == std::string::npos ? in : in.substr(cut + 4);
    tessaly::TStrings regions{"Boston", "Texas"}, categories{"Eng"};
    tessaly::TVelaSource site(0, &regions, &categories);
    site.Regions = {"b", "t,x"};
    site.Categories = {"e"};
    site.FirstPageParameters = tessaly::SplitLines(tmpl);
    tessaly::TQuerySearch search{"Texas", "Eng", "nurse, manager", "", "", "", ""};
    tessaly::TQueryRequest r;
    tessaly::BuildFirstRequest(site, search, r);
    site.NextPageLinkIsAForm = true;
    site.NextPageLinkScript = {"Go(Begin, \"<form\", IgnoreCase);", "Cut(All, Backward);",
                               "Go(After, \"</form>\", IgnoreCase);", "Get(All, Backward);"};
    tessaly::TQueryRequest n;
    tessaly::BuildNextRequest(site, page, n);
    return 0;
}
