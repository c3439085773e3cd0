// Relevancy scoring: every job a site yields gets a level from the site's six weights
// and two fuzzy word comparisons (location against region, title/company/location
// against the keywords as typed).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "data/VelaSources.h"
#include "platform/ByteString.h"

namespace tessaly {

enum class TWordMatch { None, Partial, Full };

// Level of a job not scored yet; level 1 (deleted by the user) is kRelevancyDeleted.
inline constexpr uint8_t kRelevancyNotScored = 0;

// The words of a text for scoring: a blank, "(", ")", ",", "-", "/", ":" or ";" ends a
// word and stays on it as its last byte. The word after the last separator is kept even
// when empty, so "IT " gives "IT " and "".
TStrings SplitScoreWords(std::string_view text);

// How well `text` covers the sought words: the number of (text word, sought word) pairs
// more than 80 % alike, compared upper-cased; none when 0, full when it reaches the
// number of sought words, partial otherwise.
TWordMatch WordMatch(std::string_view text, std::string_view sought);

// The score of one job: the category weight, the region weight for a full or other
// match of the location against the region, and the keyword weight for the match of
// "title company location" against the keywords as typed.
int64_t RelevancyScore(const TRelevancyWeights& weights, std::string_view title,
                       std::string_view company, std::string_view location, std::string_view region,
                       std::string_view keywords);

// Level 2 to 6 for a score: below 0, 0, 1, 2, above 2.
uint8_t RelevancyLevel(int64_t score);

// How a level is shown: "(1) Lowest" to "(5) Highest"; levels 0 and 1 show nothing. Every
// view of a level goes through these, so a job ranks the same wherever it is shown: the
// rank 1 to 5 (0 for levels 0 and 1), its name ("High"), its short mark ("(4)").
std::string RelevancyText(uint8_t level);
int RelevancyRank(uint8_t level);
std::string RelevancyName(uint8_t level);
std::string RelevancyMark(uint8_t level);

// The six weights of a site.
TRelevancyWeights WeightsOf(const TVelaSource& site);

// Scores every job of `jobs` in list order against the search's region name and its
// keywords as typed (never the translations), asking `keepGoing` after each job
// (AskKeepGoing); when it answers false the rest keep their level. Jobs the user
// deleted keep their level. A failure ends the scoring and is passed on to the caller.
void ScoreJobs(TVelaJobsList& jobs, const TRelevancyWeights& weights, std::string_view region,
               std::string_view keywords, const TKeepGoing& keepGoing = {});

// Scores the site's jobs of the current run for a search (anything with Region and
// Keywords: the saved search).
template <class TSearch>
void ScoreSourceJobs(TVelaSource& site, const TSearch& search, const TKeepGoing& keepGoing = {}) {
    ScoreJobs(site.Jobs, WeightsOf(site), search.Region, search.Keywords, keepGoing);
}

}  // namespace tessaly
