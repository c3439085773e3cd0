// Helpers of the window tests: a sample home directory with definitions, searches and
// job tables, and a quiet Qt main loop installed per test.
#pragma once

#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "data/VelaJobs.h"

namespace tessaly::ui::test {

// A job of the sample tables.
struct TSampleJob {
    std::string Title, Company, Location, Source, Notes, URL, LocalFile;
    uint8_t Relevancy = 4;
    uint8_t Status = kStatusWhite;
    bool High = false;
    bool Visited = false;
};

// A home directory in a temporary folder: id.box, sources.def from the test fixtures, and
// the searches given, each with its job table.
class TSampleHome {
  public:
    TSampleHome();
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const;
    // Adds a search and writes its table and the index.
    void AddSearch(const std::string& keywords, const std::string& region,
                   const std::string& category, const std::vector<TSampleJob>& jobs);
    // Rewrites id.box with these edition values.
    void WriteId(const std::string& edition, const std::string& editionName);
    void RemoveFile(const std::string& name);

  private:
    QTemporaryDir dir_;
    std::string path_;
    int searches_ = 0;
};

// Jobs for a listing: varied statuses, highlights, notes and texts.
std::vector<TSampleJob> SampleJobs();

}  // namespace tessaly::ui::test
