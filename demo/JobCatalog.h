// The demo's job postings: a few hundred jobs spread over the demo boards, made by a
// seeded generator so that every run (and every test) sees exactly the same jobs.
//
// Texts are Latin-1 byte strings like everything else in the program; the French titles
// of the French-language board carry their accents as single bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ByteString.h"

namespace tessaly::demo {

// The boards in the order of the definitions file.
enum class TBoard { CareerHub, JobFair, MetroJobs, Emploi, TechPost, SlowBoard, Harbor };
inline constexpr int kBoardCount = 7;

struct TDemoJob {
    int Id = 0;  // unique over all boards
    TBoard Board = TBoard::CareerHub;
    std::string Title;    // English
    std::string TitleFr;  // French (the French board shows it)
    std::string Company;
    std::string City;
    std::string State;   // two-letter code
    std::string Region;  // master region name
    std::string Category;
    std::string Posted;  // MM/DD/YY
    std::string Salary;
    TStrings Duties;  // sentences of the description
    TStrings Skills;  // requirement lines; what a refinement tests
};

// Master lists, in the order of the definitions file.
const TStrings& MasterRegions();
const TStrings& MasterCategories();

class TJobCatalog {
  public:
    // Builds every job; the same seed gives the same jobs.
    explicit TJobCatalog(uint64_t seed = 1998);

    const std::vector<TDemoJob>& Jobs() const { return jobs_; }
    const TDemoJob* ById(int id) const;
    std::vector<const TDemoJob*> OfBoard(TBoard board) const;

    // The jobs of a board that fit a search, in the board's listing order. `region` and
    // `category` are master names; empty or "Nationwide" takes every region, an empty
    // category every category. Every keyword word (split at blanks, "," and "+") must
    // occur, case-insensitively, in the job's titles, company or skills.
    std::vector<const TDemoJob*> Find(TBoard board, const TStrings& keywords,
                                      std::string_view region, std::string_view category) const;

  private:
    std::vector<TDemoJob> jobs_;
};

// Keyword words of a text: split at blanks, "," and "+"; empty words dropped.
TStrings KeywordWords(std::string_view text);

}  // namespace tessaly::demo
