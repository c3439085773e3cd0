// Keywords and a page from one input: the first line is the keywords, the first byte
// the require-all flag, the rest the page. Checks that the matcher and the similarity
// measure hold their bounds on any bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "parsing/VelaPageSearch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const bool all = data[0] & 1;
    std::string_view in(reinterpret_cast<const char*>(data + 1), size - 1);
    const size_t nl = in.find('\n');
    const std::string_view keywords = in.substr(0, nl == std::string_view::npos ? 0 : nl);
    const std::string_view page = nl == std::string_view::npos ? in : in.substr(nl + 1);
    tessaly::TVelaPageSearch ps;
    if (ps.CountMatches(keywords, page, all) < 0) std::abort();
    const int s = tessaly::Similarity(keywords, page);
    if (s < 0 || s > 100 || s != tessaly::Similarity(keywords, page)) std::abort();
    if (!keywords.empty() && keywords.size() <= 255 &&
        tessaly::Similarity(keywords, keywords) != 100)
        std::abort();
    if (tessaly::TVelaPageSearch::RemoveTags(page).size() > page.size()) std::abort();
    return 0;
}
