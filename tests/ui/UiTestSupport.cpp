#include "UiTestSupport.h"

#include <filesystem>
#include <stdexcept>

#include "data/VelaSearches.h"
#include "data/VelaSources.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"

namespace tessaly::ui::test {

TSampleHome::TSampleHome() : path_(dir_.path().toStdString()) {
    std::filesystem::copy_file(std::string(TESSALY_DATA) + "/id.box", File("id.box"));
    auto encoded =
        EncodeSourcesLines(ReadTextLines(std::string(TESSALY_FIXTURES) + "/boards.plain"));
    if (!encoded) throw std::runtime_error("cannot encode the sample definitions");
    WriteFileAtomic(File("sources.def"), encoded.value());
    ForceDirectories(File("searches"));
    ForceDirectories(File("temp"));
}

std::string TSampleHome::File(const std::string& name) const {
    return JoinPath(path_, name);
}

void TSampleHome::AddSearch(const std::string& keywords, const std::string& region,
                            const std::string& category, const std::vector<TSampleJob>& jobs) {
    TVelaSearchesList list;
    list.LoadIndex(SearchesIndexPath(path_));
    TVelaSearch& s = list.AddSearch();
    s.Keywords = keywords;
    s.Region = region;
    s.Category = category;
    s.Created = "12/08/2026 @ 10:0" + std::to_string(searches_++) + ":00";
    s.TableFile = NewTableFileName(path_);
    s.JobCount = static_cast<int>(jobs.size());
    TVelaJobsList table;
    for (const TSampleJob& j : jobs) {
        TVelaJob& job = table.AddJob();
        job.Title = j.Title;
        job.Company = j.Company;
        job.Location = j.Location;
        job.Source = j.Source;
        job.Notes = j.Notes;
        job.URL = j.URL.empty() ? "http://table.example.test/job/" + j.Title : j.URL;
        job.LocalFile = j.LocalFile;
        job.Relevancy = j.Relevancy;
        job.Status = j.Status;
        job.High = j.High;
        job.Visited = j.Visited;
    }
    SaveJobTable(table, s.TableFile, path_);
    list.SaveIndex(SearchesIndexPath(path_));
}

void TSampleHome::WriteId(const std::string& edition, const std::string& editionName) {
    const std::string text = "\r\n[ID]\r\nEdition=" + edition + "\r\nEditionName=" + editionName +
                             "\r\nProduct=TessalyJobs98\r\nProductName=Tessaly Jobs 98\r\n"
                             "UserID=\r\nVersion=1.15\r\nVersionName=Release R1.15\r\n";
    WriteFileAtomic(File("id.box"), text);
}

void TSampleHome::RemoveFile(const std::string& name) {
    DeleteFile(File(name));
}

std::vector<TSampleJob> SampleJobs() {
    std::vector<TSampleJob> v;
    auto add = [&](std::string title, std::string company, std::string location, std::string source,
                   uint8_t rel) -> TSampleJob& {
        TSampleJob j;
        j.Title = std::move(title);
        j.Company = std::move(company);
        j.Location = std::move(location);
        j.Source = std::move(source);
        j.Relevancy = rel;
        v.push_back(j);
        return v.back();
    };
    add("Welding Engineer", "Acme Fabrication", "Boston, Massachusetts", "Table Board", 6);
    add("Senior Welder", "Lowell Works", "Lowell, Massachusetts", "List Board", 5).High = true;
    add("Welding Inspector", "n/a", "Austin, Texas", "Cards Board", 3).Status = kStatusGreen;
    TSampleJob& caf = add("Caf\xe9 Manager", "Le Petit Caf\xe9", "Houston, Texas", "List Board", 2);
    caf.Notes = "call back Monday";
    add("Pipe Welder", "Gulf Pipelines", "Dallas, Texas", "Table Board", 4).Status = kStatusNew;
    TSampleJob& red = add("Welding Trainee", "Crossroads Staffing", "n/a", "Cards Board", 2);
    red.Status = kStatusRed;
    red.Visited = true;
    TSampleJob& utf = add("Ingénieur soudage", "Société Générale de Métal",
                          "Worcester, Massachusetts", "Table Board", 4);
    utf.LocalFile = "/nonexistent/grabbed.html";
    add("Robot Welding Technician", "Automated Lines", "Nationwide", "List Board", 5).Status =
        kStatusYellow;
    return v;
}

}  // namespace tessaly::ui::test
