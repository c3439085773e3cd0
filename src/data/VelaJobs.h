// One job posting and the ordered job lists that hold them: a site's jobs of the current
// run, and the listing of the selected search. The list merges without duplicates, sorts
// by a listing column, sets colour marks and turns raw pieces of HTML into presentable
// text.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/JobColumns.h"
#include "platform/KeepGoing.h"

namespace tessaly {

// Colour marks of a job (`TVelaJob::Status`).
enum : uint8_t {
    kStatusWhite = 0,
    kStatusNew = 1,
    kStatusGreen = 2,
    kStatusYellow = 3,
    kStatusRed = 4,
};

// Relevancy level that marks a job the user deleted: kept in memory, hidden, not saved.
inline constexpr uint8_t kRelevancyDeleted = 1;

// Another board's posting of the same opening, kept under the row of the first one.
struct TAlsoOn {
    std::string Source;  // the other site's Title
    std::string URL;
    bool operator==(const TAlsoOn&) const = default;
};

class TVelaJob {
  public:
    int JobIndex = -1;  // position when added; only DeleteJob renumbers it
    std::string Title;
    std::string Company;
    std::string Location;
    std::string URL;
    std::string LocalFile;
    std::string Source;
    std::string Found;
    std::string Notes;
    uint8_t Relevancy = 0;
    uint8_t Status = kStatusWhite;
    bool Visited = false;
    bool High = false;
    bool Pinned = false;
    int RequestID = 0;  // not stored
    // The same opening on other boards, in the order the merge met them.
    std::vector<TAlsoOn> AlsoOn;
};

class TVelaJobsList {
  public:
    TVelaJobsList() = default;
    TVelaJobsList(const TVelaJobsList&) = delete;
    TVelaJobsList& operator=(const TVelaJobsList&) = delete;

    int Count() const { return static_cast<int>(jobs_.size()); }
    TVelaJob& operator[](int i) { return *jobs_[static_cast<size_t>(i)]; }
    const TVelaJob& operator[](int i) const { return *jobs_[static_cast<size_t>(i)]; }

    // Appends a job with initial fields, numbered with its position.
    TVelaJob& AddJob();
    // Frees the job at `position` (ignored when out of range) and renumbers later jobs.
    void DeleteJob(int position);
    void ClearJobs();
    // Sorts by a column key as SortJobs does and keeps the first `count` jobs, freeing the
    // rest at once: the same list as SortJobs followed by DeleteJob at `count` until only
    // `count` are left, in time about linear in the list (n log count).
    void KeepBest(TJobColumn column, int count);
    void KeepBest(std::string_view columnKey, int count);

    // Moves the jobs of `other` in, freeing those that equal (URL, Title, Company) of a
    // job already here, including one taken in earlier from `other` itself. Appended
    // jobs get Status New when `markNew`. A failure stops the merge and is passed on to
    // the caller; what was not yet taken stays in `other`.
    // With `groupOpenings`, a job of another site whose opening fingerprint matches a row
    // is not added: the row keeps it in AlsoOn (once), and it is never marked New.
    void MergeJobs(TVelaJobsList& other, bool markNew, bool groupOpenings = false);

    // Sorts by a column, pinned jobs first, the highest relevancy first, every other
    // column ascending. Jobs that compare equal keep their order.
    void SortJobs(TJobColumn column);
    // The same by a column's sort key (" ", "Title ", ..., "Notes "), or "Found " for the
    // date found, which no grid shows; any other key leaves the order.
    void SortJobs(std::string_view columnKey);
    void ReverseJobs();

    // Applies `mark` ("High", "NotHigh", "New", "Green", "Yellow", "Red", "White") to
    // every job chosen by `selector` ("High", "New", "Green", "Yellow", "Red").
    void SetMarks(std::string_view selector, std::string_view mark);
    void PinAndHighlightAll();
    void UnpinAll();
    bool HasStatus(uint8_t status) const;
    bool HasHigh() const;

    // Cleans every job's texts and link, clears Status and High. `keepGoing` is asked
    // after each job (AskKeepGoing); when it answers false the rest stay as they are.
    // A failure stops the clean-up and is passed on to the caller.
    // `keepCapitals`: texts written in capitals stay so (a site's KeepCapitals).
    void CleanUpJobs(bool keepCapitals = false, const TKeepGoing& keepGoing = {});
    // Writes United States state codes in locations out in full.
    void ExpandStates();

    std::string FileName;  // the job table the list was last loaded from

  private:
    // Sorts stably by `less`, pinned jobs first; nothing when it is empty.
    void SortBy(const std::function<bool(const TVelaJob&, const TVelaJob&)>& less);
    void KeepBestBy(const std::function<bool(const TVelaJob&, const TVelaJob&)>& less, int count);
    std::vector<std::unique_ptr<TVelaJob>> jobs_;
};

// The positions of the list's jobs an update added (marked New and not deleted).
std::vector<int> NewJobPositions(const TVelaJobsList& jobs);

// The bytes that end a word of a job's text: for capitalising, state codes and scoring.
bool IsJobWordSeparator(char c);

// The text clean-up steps, in the order CleanUpJobs applies them to each text. Texts are
// UTF-8 (a page's fields are turned into UTF-8 when they are cut, VelaSources.h).
//
// Numeric references ("#8211", "#x1F600", and the bare "233" of old pages) and the named
// references of HTML become their characters; a name HTML does not know and that no entry
// of the first, Latin-1 table begins with stays as written, "&" and ";" included. With
// `legacyPrefixes` such a name that begins entries of that first table gives the last of
// them ("frac1" gives "frac12"), as definitions of old expect.
std::string DecodeEntities(std::string_view text, bool legacyPrefixes = true);
std::string StripTags(std::string_view text);
// TAB, CR, LF and no-break spaces become spaces; leading " !\"*-/\\" and trailing blanks
// and quotes go; runs of spaces become one.
std::string TrimJobText(std::string_view text);
// A text without lower-case letters (in any script) is written word by word with a
// capital and lower-case letters after it.
std::string CapitaliseAllCapitals(std::string_view text);
// Decode, strip, trim and capitalise (unless `keepCapitals`).
std::string CleanJobText(std::string_view text, bool keepCapitals = false);
// Decodes the link's references (no prefix rule: "&a;" in a link is no "&aacute;"),
// fills "%title%", "%company%", "%location%", removes TAB/CR/LF, spaces become "+".
std::string CleanJobURL(std::string_view url, const TVelaJob& cleaned);
// One location with its state codes written out.
std::string ExpandStateCodes(std::string_view location);
// The name the state table gives a code ("MA" gives "Massachusetts", "US" an empty
// name); nothing for a text that is no code. Case is ignored.
std::optional<std::string_view> StateCodeName(std::string_view code);

}  // namespace tessaly
