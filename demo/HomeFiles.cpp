#include "demo/HomeFiles.h"

#include <functional>

#include "data/ConfigBox.h"
#include "data/Packer.h"
#include "data/VelaSources.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"

namespace tessaly::demo {

namespace {

// 16 November 1998, midnight, in the container's DOS form: a fixed stamp keeps the file
// the same from run to run.
constexpr uint32_t kDosStamp = static_cast<uint32_t>(((1998 - 1980) << 9) | (11 << 5) | 16) << 16;

void UpdateBox(const std::string& path, const std::function<void(TConfigBox&)>& write) {
    TConfigBox box;
    box.LoadFromFile(path);
    box.Edition.clear();
    write(box);
    box.Modified = true;
    box.SaveToFile(path);
}

}  // namespace

std::string DefinitionsVersion() {
    const TStrings lines = PlainDefinitions(0, 0);
    for (size_t i = 0; i + 1 < lines.size(); i += 2)
        if (lines[i] == "Version") return lines[i + 1];
    return "";
}

TResult<std::string> SourcesDefBytes(const TDemoSites& sites) {
    auto encoded = EncodeSourcesLines(
        PlainDefinitions(sites.Config().port, sites.Config().deadPort, sites.Config().tls));
    if (!encoded) return Error("the demo definitions cannot be written: " + encoded.error());
    // Packed under the name the program's own save path gives its temporary file.
    return BuildContainer(encoded.value(), "sources.def.tmp", TPackMethod::Lh5, kDosStamp, 0x20);
}

std::string ConfigBoxText(const std::string& base) {
    TConfigBox box;
    box.WriteString("DEFFile", "Version", DefinitionsVersion());
    box.WriteString("Features", "PreferedSources", kPreferredBoard);
    box.WriteString("Guide", "Captions", "Demo job boards\r\nHow the demo works\r\n");
    box.WriteString("Guide", "URLs", base + "/\r\n" + base + "/about.html\r\n");
    auto lines = [](const TStrings& l) { return Join(l, "\r\n") + "\r\n"; };
    auto image = [&](const char* name) { return base + "/banners/" + name + ".gif"; };
    auto click = [&](const char* name) { return base + "/banners/click?ad=" + name; };
    // The strip: an image entry and an HTML entry that names its image, rotating. The
    // descriptor cannot hold empty lines in a list, so the entries without a destination
    // (HTML pages) come last, where the missing lines read as empty, and image entries
    // get a filler in Delimiters.
    box.WriteString("InBanner", "Triggers", "AtStart AtTimer");
    box.WriteString("InBanner", "Ratios", lines({"50", "50"}));
    box.WriteString("InBanner", "Sources",
                    lines({image("jobs98"), base + "/banners/page?ad=resume"}));
    box.WriteString("InBanner", "Destinations", lines({click("jobs98")}));
    box.WriteString("InBanner", "Delimiters", lines({"|", "<!-- banner -->|<!-- /banner -->"}));
    box.WriteString("InBanner", "Rotation", "20000");
    const char* side[] = {"resume", "relocate", "school", "career", "salary"};
    for (int i = 0; i < 5; ++i) {
        const std::string section = "Sponsor" + IntToStr(i + 1);
        box.WriteString(section, "Triggers", i % 2 == 0 ? "AtStart" : "AtSearch AtGrabRefine");
        box.WriteString(section, "Ratios", lines({"100"}));
        box.WriteString(section, "Sources", lines({image(side[i])}));
        box.WriteString(section, "Destinations", lines({click(side[i])}));
    }
    box.WriteString("PopBanner", "Triggers", "AtSearch");
    box.WriteString("PopBanner", "OnBrowse", "True");
    box.WriteString("PopBanner", "Ratios", lines({"20", "30", "50"}));
    box.WriteString("PopBanner", "Sources",
                    lines({image("salary"), image("career"), base + "/banners/page?ad=school"}));
    box.WriteString("PopBanner", "Destinations", lines({click("salary"), click("career")}));
    box.WriteString("PopBanner", "Delimiters",
                    lines({"|", "|", "<!-- banner -->|<!-- /banner -->"}));
    return box.SaveToText();
}

TResult<void> WriteHome(const std::string& dir, const TDemoSites& sites,
                        const std::string& caFile) {
    if (!ForceDirectories(dir)) return Error("cannot create the directory " + dir);
    const std::string base = sites.Base();
    try {
        auto sources = SourcesDefBytes(sites);
        if (!sources) return Error(sources.error());
        WriteFileAtomic(JoinPath(dir, "sources.def"), sources.value());

        UpdateBox(JoinPath(dir, "id.box"), [&](TConfigBox& b) {
            b.WriteString("ID", "Product", "TJ98US");
            b.WriteString("ID", "ProductName", "Tessaly Jobs 98");
            b.WriteString("ID", "Version", "1.15");
            b.WriteString("ID", "VersionName", "Release R1.15");
            b.WriteString("ID", "Edition", "Generic");
            b.WriteString("ID", "EditionName", "Standard Edition");
            b.WriteString("ID", "UserID", "");
            b.WriteString("ID", "ConfigURL", base + "/update/config.box");
            b.WriteString("ID", "SourcesURL", base + "/update/sources.def");
            // The services add their script paths to these base addresses.
            b.WriteString("ID", "TranslateURL", base);
            b.WriteString("ID", "ReferralURL", base);
        });

        UpdateBox(JoinPath(dir, "options.box"), [&](TConfigBox& b) {
            // The Visual keys are the sign that options were saved before; without them
            // the program would start from its design values and ignore the rest.
            for (const char* key : {"Yellow", "ProgressOnTop", "RemoteOnTop", "OptimizeCols",
                                    "RememberGrids", "RememberWindows"})
                if (b.ReadString("Visual", key).empty()) b.WriteString("Visual", key, "True");
            if (b.ReadString("Visual", "HotLink").empty())
                b.WriteString("Visual", "HotLink", "False");
            // The listing opens sorted by relevancy, best first, as the user left it.
            if (b.ReadString("JobGrid", "SortColumn").empty())
                b.WriteString("JobGrid", "SortColumn", "5");
            b.WriteString("Connection", "MaxJobs", "50");
            b.WriteString("Connection", "MaxThreads", "8");
            b.WriteString("Connection", "TimeOut", IntToStr(kDemoTimeOutSecs));
            b.WriteString("Connection", "UseProxy", "False");
            b.WriteString("Connection", "SettingsSet", "True");
            if (!caFile.empty() || !b.ReadString("Connection", "CAFile").empty())
                b.WriteString("Connection", "CAFile", caFile);
        });

        TConfigBox config;
        config.LoadFromText(ConfigBoxText(base));
        UpdateBox(JoinPath(dir, "config.box"), [&](TConfigBox& b) {
            for (const TConfigItem& item : config.Items())
                b.WriteString(item.Section, item.Key, item.Value);
        });
    } catch (const std::exception& e) {
        return Error(e.what());
    }
    return {};
}

}  // namespace tessaly::demo
