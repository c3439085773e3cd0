#include "cli/SourcesArg.h"

#include <ostream>

#include "platform/ByteString.h"
#include "platform/LinkAddress.h"
#include "platform/TextFile.h"

namespace tessaly::cli {

TVelaSource* FindSite(TVelaSourcesList& list, const std::string& site, std::string& error) {
    if (const auto n = ParseInt(site)) {
        if (*n >= 0 && *n < list.Count()) return &list[*n];
        error = "no site number " + site + " (the file has sites 0 to " +
                IntToStr(list.Count() - 1) + ")";
        return nullptr;
    }
    for (int i = 0; i < list.Count(); ++i)
        if (list[i].Title == site) return &list[i];
    for (int i = 0; i < list.Count(); ++i)
        if (SameText(list[i].Title, site)) return &list[i];
    TStrings titles;
    for (int i = 0; i < list.Count(); ++i)
        titles.push_back(IntToStr(i) + " \"" + list[i].Title + "\"");
    error = "no site titled \"" + site + "\"; the sites are " + Join(titles, ", ") +
            " (a title matches in any letter case, or give the number)";
    return nullptr;
}

TVelaSource* LoadSite(TVelaSourcesList& list, const std::string& path, const std::string& site,
                      const std::string& command, TCliIO& io, int& status) {
    status = kExitUsage;
    try {
        list.LoadFromFile(path);
    } catch (const EConvertError& e) {
        io.err << "tessaly " << command << ": " << e.what() << "\n";
        return nullptr;
    } catch (const EFileError& e) {
        io.err << "tessaly " << command << ": " << e.what() << "\n";
        return nullptr;
    }
    if (list.Count() == 0) {
        io.err << "tessaly " << command << ": " << path << ": no job sites\n";
        return nullptr;
    }
    std::string error;
    TVelaSource* found = FindSite(list, site, error);
    if (found == nullptr) io.err << "tessaly " << command << ": " << path << ": " << error << "\n";
    return found;
}

std::string SavedPageAddress(const TArgs& args, const TVelaSource* site, std::string& error) {
    const auto url = args.Value("url");
    if (!url) return site != nullptr ? site->FirstPageURL : std::string();
    if (!IsBaseAddress(*url))
        error = "--url \"" + *url + "\" is not an absolute address (scheme://host/...)";
    return *url;
}

}  // namespace tessaly::cli
