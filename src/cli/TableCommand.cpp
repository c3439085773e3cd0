// `tessaly table show`: the jobs of a job table with every stored field.
#include <ostream>

#include "cli/Command.h"
#include "cli/Json.h"
#include "data/VelaJobs.h"
#include "data/VelaSearches.h"
#include "platform/Paths.h"

namespace tessaly::cli {
namespace {

const char* kUsage =
    "Usage: tessaly table show FILE [--json]\n"
    "\n"
    "Writes the jobs of the job table FILE (packed or plain, either version), one line\n"
    "each with its fields separated by tabs: Title, Company, Location, URL, LocalFile,\n"
    "Source, Found, Notes, Relevancy, Status, High, Visited. --json writes an array of\n"
    "objects with those keys. Exit status 2 when the file is missing or damaged.\n"
    "Texts are shown as the bytes stored (the program reads a text that is not UTF-8\n"
    "as Windows-1252), control and non-UTF-8 bytes as \\xNN, tabs and line breaks as\n"
    "\\t and \\n; --json writes each byte as one code point 0-255.\n";

int Show(const std::vector<std::string>& argv, TCliIO& io) {
    TArgs args;
    if (auto parsed = args.Parse(argv, {"json"}, {}); !parsed)
        return UsageError(io, "table show", parsed.error());
    if (args.Positional().size() != 1) return UsageError(io, "table show", "expected FILE");
    const std::string& file = args.Positional()[0];
    if (!FileExists(file)) {
        io.err << "tessaly table show: "
               << (PathExists(file) ? "not a regular file" : "no such file") << " \"" << file
               << "\"\n";
        return kExitUsage;
    }
    TVelaJobsList jobs;
    LoadJobTable(jobs, file, TTableTexts::Stored);
    if (args.Has("json")) {
        TJsonWriter w;
        w.BeginArray();
        for (int i = 0; i < jobs.Count(); ++i) {
            const TVelaJob& j = jobs[i];
            w.BeginObject()
                .Key("Title")
                .String(j.Title)
                .Key("Company")
                .String(j.Company)
                .Key("Location")
                .String(j.Location)
                .Key("URL")
                .String(j.URL)
                .Key("LocalFile")
                .String(j.LocalFile)
                .Key("Source")
                .String(j.Source)
                .Key("Found")
                .String(j.Found)
                .Key("Notes")
                .String(j.Notes)
                .Key("Relevancy")
                .Int(j.Relevancy)
                .Key("Status")
                .Int(j.Status)
                .Key("High")
                .Bool(j.High)
                .Key("Visited")
                .Bool(j.Visited)
                .EndObject();
        }
        io.out << w.EndArray().Text() << "\n";
        return kExitOk;
    }
    for (int i = 0; i < jobs.Count(); ++i) {
        const TVelaJob& j = jobs[i];
        auto f = [](const std::string& text) { return EscapeForDisplay(text, true); };
        io.out << f(j.Title) << '\t' << f(j.Company) << '\t' << f(j.Location) << '\t' << f(j.URL)
               << '\t' << f(j.LocalFile) << '\t' << f(j.Source) << '\t' << f(j.Found) << '\t'
               << f(j.Notes) << '\t' << int(j.Relevancy) << '\t' << int(j.Status) << '\t'
               << (j.High ? "True" : "False") << '\t' << (j.Visited ? "True" : "False") << "\n";
    }
    return kExitOk;
}

TRegisterCommand reg({"table show", "show the jobs of a job table", kUsage, Show});

}  // namespace
}  // namespace tessaly::cli
