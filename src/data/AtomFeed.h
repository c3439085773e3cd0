// A saved search's newest jobs as an Atom 1.0 feed in the home, so that any feed reader can
// follow the search. The feed is written after the search's table is saved, never before.
#pragma once

#include <cstddef>
#include <ctime>
#include <string>

#include "data/VelaJobs.h"
#include "data/VelaSearches.h"

namespace tessaly {

// How many jobs a feed holds at most.
inline constexpr size_t kFeedJobs = 200;

// HOME/feeds/NAME.atom, NAME being the search's table file name without ".tbl"
// ("velares~3"): stable while the search lives, and safe whatever its keywords hold.
std::string SearchFeedPath(const std::string& home, const TVelaSearch& search);

// The moment a job was found, from its Found text as the program writes it ("short date @
// long time" of the locale, or of the C locale); -1 when the text is no such moment.
std::time_t FoundTime(const std::string& found);

// The feed of `search`: its newest jobs (by found date, newest first, at most kFeedJobs),
// each with the job's address as its id, the title, the company and location as the
// summary and the found date as `updated`. A job whose found date cannot be read counts as
// found at `now`. Every text is escaped, control characters removed.
std::string SearchFeedText(const TVelaSearch& search, const TVelaJobsList& jobs,
                           const std::string& feedPath, std::time_t now);

// Writes the feed atomically, creating the feeds folder; throws EFileError.
void WriteSearchFeed(const std::string& home, const TVelaSearch& search, const TVelaJobsList& jobs);

}  // namespace tessaly
