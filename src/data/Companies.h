// Companies the user watches: each a site made from the definition of its board's family
// (a definition like any other, with "%board%" for the board's token), and the user's own
// definitions. Both live in plain files in the home that the job-source update never
// writes; they are loaded after sources.def.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "data/VelaSources.h"
#include "platform/ByteString.h"
#include "platform/Result.h"

namespace tessaly {

// In the home: the user's own definitions, and the watch list (one company a line).
inline constexpr const char* kOwnSourcesFile = "mysources.plain";
inline constexpr const char* kWatchListFile = "companies.txt";
// Shipped: the board families.
inline constexpr const char* kFamiliesFile = "companies.plain";

// A board family: a site of a definitions file whose FirstPageURL holds "%board%".
struct TBoardFamily {
    std::string Name;    // its Title
    TStrings Addresses;  // its BoardAddress lines
    TStrings Lines;      // its key and value lines, as the site numbered 0
    std::string Origin;  // the file it came from
};

struct TWatchedCompany {
    std::string Family;
    std::string Token;
    std::string Name;  // the display name: the site's title
    int Line = 0;      // in the watch list, from 1
};

// A token is letters, digits, ".", "_" and "-", and not only dots: it goes into addresses.
bool IsBoardToken(std::string_view token);

// The families among plain definition lines; the other sites' lines go to `others`
// (renumbered from 0) when given.
std::vector<TBoardFamily> FamiliesOf(const TStrings& plainLines, const std::string& origin,
                                     TStrings* others = nullptr);
// The family named `name`, in any letter case; null when none.
const TBoardFamily* FindFamily(const std::vector<TBoardFamily>& families, std::string_view name);

// The shipped families of `shippedDir`, then those of the user's own file in `home`.
// Files that cannot be read add their message to `errors`.
std::vector<TBoardFamily> LoadFamilies(const std::string& shippedDir, const std::string& home,
                                       TStrings& errors);

// The watch list's lines: "FAMILY:TOKEN NAME", the name optional; blank lines and lines
// starting with "#" are notes. Lines that cannot be read are told in `errors` and skipped.
std::vector<TWatchedCompany> ParseWatchList(const TStrings& lines, const std::string& name,
                                            TStrings& errors);
std::string WatchListLine(const TWatchedCompany& company);

// A board address as people copy it from a browser (scheme, "www.", a trailing slash, a
// query or the path of one job may come with it) or "FAMILY:TOKEN".
struct TBoardRef {
    std::string Family;
    std::string Token;
};
TResult<TBoardRef> ParseBoardAddress(std::string_view input,
                                     const std::vector<TBoardFamily>& families);
// The forms ParseBoardAddress accepts, for a message.
std::string AcceptedBoardForms(const std::vector<TBoardFamily>& families);

// The address a search of the first region and category asks of a company board first
// (a board takes no keywords), for the request numbered `queryId`.
std::string BoardFirstAddress(const TVelaSourcesList& list, TVelaSource& site, int32_t queryId);

// Adds the site of `company`: its family's definition with "%board%" the token and
// "%boardname%" the display name, titled by the display name.
TVelaSource& AddCompanySite(TVelaSourcesList& list, const TBoardFamily& family,
                            const TWatchedCompany& company);

// The watched companies of the home's watch list (none when there is no list).
std::vector<TWatchedCompany> ReadWatchList(const std::string& home, TStrings& errors);

// Adds a company to the home's watch list from what the user pasted (an address or
// FAMILY:TOKEN) and a display name (empty: the token). Refused, with a message, when the
// address is not known, the name is unusable or already a site's, or the board is watched.
// `sites` are the sites searched now.
TResult<TWatchedCompany> WatchCompany(const std::string& home, const std::string& shippedDir,
                                      std::string_view address, const std::string& name,
                                      const TVelaSourcesList& sites);
// Takes the companies whose display name or token is `name` (any letter case) off the
// home's watch list, keeping every other line as it was; fails when none matches.
TResult<std::vector<TWatchedCompany>> UnwatchCompany(const std::string& home,
                                                     std::string_view name);
// Whether `company` is the one the user names: its display name or its token, in any case.
bool NamesCompany(const TWatchedCompany& company, std::string_view name);

// What one answer of a company's board gave, read as a search reads it.
enum class TBoardAnswer { Jobs, NotFound, BadFormat };
// Harvests one answer into the site's jobs (uncleaned), or tells why it holds none: the
// board says it does not exist, or the answer is not in the family's format. `more` is set
// when the family pages and this page was full, with fewer than `mostJobs` jobs so far.
TBoardAnswer ReadBoardAnswer(TVelaSource& site, const std::string& data, std::string_view header,
                             int mostJobs, bool& more);

// After sources.def: the sites of the user's own file, then one site per watched company.
// What cannot be used is told in the result and left out; the rest is loaded.
TStrings AddOwnSites(TVelaSourcesList& list, const std::string& home,
                     const std::string& shippedDir);

}  // namespace tessaly
