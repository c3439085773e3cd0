// The columns of a job listing, in one table: the header the main window's grid shows,
// the key the job list sorts by, the name users type on the command line and the caption
// of the "Sort Jobs by" menus. The grids, the stored layouts (column numbers are the
// table positions), the command line and the search engine all go through it.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tessaly {

enum class TJobColumn : uint8_t { Status, Title, Company, Location, Source, Relevancy, Notes };

inline constexpr int kJobColumnCount = 7;

struct TJobColumnInfo {
    TJobColumn Column;
    const char* Header;   // the main grid's header ("Title ")
    const char* SortKey;  // TVelaJobsList::SortJobs's key ("Title ")
    const char* Name;     // the command line's name ("title")
    const char* Caption;  // the sort menus' item ("Title")
};

// In table order, which is the grids' default column order and the stored numbering.
inline constexpr TJobColumnInfo kJobColumns[kJobColumnCount] = {
    {TJobColumn::Status, " ", " ", "status", "Status"},
    {TJobColumn::Title, "Title ", "Title ", "title", "Title"},
    {TJobColumn::Company, "Company ", "Company ", "company", "Company"},
    {TJobColumn::Location, "Location ", "Location ", "location", "Location"},
    {TJobColumn::Source, "Source ", "Source ", "source", "Source"},
    {TJobColumn::Relevancy, "Relevancy ", "Relevancy ", "relevancy", "Relevancy"},
    // The header has no trailing blank, the sort key has: stored options and tables
    // written by earlier versions use both spellings.
    {TJobColumn::Notes, "Notes", "Notes ", "notes", "Notes"},
};

// The header of the hidden column that holds each row's list position.
inline constexpr const char* kJobIndexHeader = "JobIndex";

constexpr const TJobColumnInfo& JobColumnInfo(TJobColumn c) {
    return kJobColumns[static_cast<int>(c)];
}

// Lookups; nothing for an unknown text. The name compares case-insensitively (a to z).
std::optional<TJobColumn> JobColumnBySortKey(std::string_view key);
std::optional<TJobColumn> JobColumnByHeader(std::string_view header);
std::optional<TJobColumn> JobColumnByName(std::string_view name);
std::optional<TJobColumn> JobColumnByCaption(std::string_view caption);

// "status, title, company, location, source, relevancy or notes", for usage messages.
const char* JobColumnNames();

}  // namespace tessaly
