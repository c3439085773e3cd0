#include "cli/SourcesArg.h"

#include <ostream>

#include "platform/ByteString.h"
#include "platform/TextFile.h"

namespace tessaly::cli {

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
    if (const auto n = ParseInt(site)) {
        if (*n >= 0 && *n < list.Count()) return &list[*n];
        io.err << "tessaly " << command << ": " << path << ": no site number " << site
               << " (the file has sites 0 to " << list.Count() - 1 << ")\n";
        return nullptr;
    }
    for (int i = 0; i < list.Count(); ++i)
        if (list[i].Title == site) return &list[i];
    io.err << "tessaly " << command << ": " << path << ": no site titled \"" << site << "\"\n";
    return nullptr;
}

}  // namespace tessaly::cli
