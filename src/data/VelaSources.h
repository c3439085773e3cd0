// The job sites of the definitions file `sources.def` and the master lists of regions and
// categories that searches are expressed in.
//
// The file is a run of scrambled line pairs: a key line ("Name", "Name|site" or
// "Name|site|sub") and its value line. Nothing about any particular site is compiled in;
// a site's request template, codes and parser scripts all come from the file.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "data/VelaJobs.h"
#include "parsing/ParserScript.h"
#include "platform/ByteString.h"
#include "platform/Charset.h"
#include "platform/Result.h"

namespace tessaly {

// A definitions file that cannot be read on: the message names the file and the line.
class EConvertError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

enum class TSubmitMethod { smGET, smPOST };

// What one result page gave: the job blocks cut out of it, the jobs kept (with a title),
// and the blocks dropped although they held a link or a company, so looked like jobs.
struct THarvestCount {
    int Blocks = 0;
    int Kept = 0;
    int Untitled = 0;
};

// The six weights a site definition carries, with their defaults.
struct TRelevancyWeights {
    int CategoryRelevancy = 0;
    int RegionMatchRelevancy = 1;
    int RegionNoMatchRelevancy = -1;
    int KeywordsFullMatchRelevancy = 2;
    int KeywordsPartMatchRelevancy = 1;
    int KeywordsNoMatchRelevancy = 0;
};

// A site definition carries its relevancy weights.
class TVelaSource : public TRelevancyWeights {
  public:
    TVelaSource(int index, const TStrings* regions, const TStrings* categories);

    // Cuts the job blocks out of one result page into Jobs, with a title, company,
    // location and link each; blocks whose title is empty or a running number are dropped.
    // The scripts run on the page's bytes; what they cut is turned into UTF-8 by the
    // page's charset (PageFieldsOf), `header` being the received header lines. A relative
    // link is completed against `pageAddress`, the address the page was fetched from
    // (ResolveLink); without one, links stay as the scripts cut them.
    THarvestCount HarvestJobs(const std::string& page, std::string_view header = {},
                              std::string_view pageAddress = {});
    // The page as this site's scripts read it: a JSON feed (TextFormat JSON) compacted, so
    // its scripts do not depend on how the feed is laid out; any other page as it came.
    std::string ScriptPage(const std::string& page) const;

    // Whether a result page is in the format the definition was written for. A site
    // without a PageFormatScript takes every page; otherwise the script must give some
    // output over the page, so a board that answers an error page, a challenge page or a
    // changed format is told apart from one that found no job.
    bool PageInExpectedFormat(const std::string& page);

    int Index;
    std::string Title = "New Source";
    std::string HomeURL = "http://www.tessaly.com/";
    bool Enabled = false;
    bool EnabledChoice = false;
    TStrings Regions;
    TStrings Categories;
    std::string UserID;
    std::string FirstPageURL = "http://";
    TSubmitMethod FirstPageMethod = TSubmitMethod::smGET;
    TStrings FirstPageParameters;
    std::string KeywordLanguage = "en";
    // The charset of the site's pages ("UTF-8", "windows-1252", ...); empty: as the
    // response or the page declares it (platform/Charset.h).
    std::string Charset;
    // "JSON" for a site whose pages are JSON feeds: the cut fields are JSON-unescaped.
    // Anything else is "HTML".
    std::string TextFormat = "HTML";
    int JobsPerPage = 0;
    bool MultiplePages = false;
    TStrings NextPageLinkScript;
    bool NextPageLinkIsAForm = false;
    TStrings JobBlockScript;
    TStrings JobTitleScript;
    TStrings JobCompanyScript;
    TStrings JobLocationScript;
    TStrings JobURLScript;
    TStrings PageFormatScript;
    // Titles, companies and locations written in capitals stay so (codes, acronyms);
    // otherwise an all-capital text is capitalised word by word.
    bool KeepCapitals = false;
    // Some output when an answer says the board does not exist (an error object served
    // with success): the search then shows "Not Found" rather than an empty board.
    TStrings NotFoundScript;
    // For a JSON feed: the key of the array whose elements are the job blocks ("." for an
    // answer that is the array itself). The elements are cut by their nesting, so objects
    // inside a job do not end it; JobBlockScript is then not used.
    std::string JsonJobArray;
    // The company of a job whose JobCompanyScript gives nothing.
    std::string CompanyName;
    // A whole board without keyword parameter: only the jobs whose title holds the search's
    // keywords, and whose location fits its region, are kept.
    bool SelectByKeywords = false;
    // A company board family: the board addresses people copy, "%board%" standing for the
    // board's token ("boards.example.com/%board%").
    TStrings BoardAddress;
    // Where the site comes from, for `tessaly sources`: a file name or the watch list.
    std::string Origin;
    // A watched company's board token (empty for any other site).
    std::string Board;

    TParserScript Parser;
    TVelaJobsList Jobs;
    int QueryID = 0;
    // Run fields of the search engine, reset when a run starts.
    bool SiteDone = false;        // the site fetches no further page in this run
    int ProgressSteps = 0;        // progress-gauge steps the site still owes
    bool FormatMismatch = false;  // a page of this run was not in the expected format
    bool NotFound = false;        // the board answered that it does not exist
    int PagesRead = 0;            // pages asked for after the first ("<offset>" in a next link)
    // Job blocks HarvestJobs may cut from the next page; negative: no limit. (The parser's
    // KeepGoing, answering false, ends a harvest with the whole jobs cut so far.)
    int BlockLimit = -1;

    // The list's master lists, shared by every site.
    const TStrings* MRegions;
    const TStrings* MCategories;
};

// How the fields cut out of one page become UTF-8 text.
struct TPageFields {
    TCharset Charset = TCharset::Unknown;
    bool Json = false;  // the site's TextFormat is JSON
    // A cut field in UTF-8: converted from the page's charset, then JSON-unescaped for a
    // JSON feed. Entities are left to the clean-up of the job list.
    std::string Field(std::string_view raw) const;
};

// The rules for a page of `site`: its charset by the site's Charset, the Content-Type of
// `header` (received header lines; may be empty), the page's own declaration, else its
// bytes; and the site's TextFormat.
TPageFields PageFieldsOf(const TVelaSource& site, std::string_view header, std::string_view page);

// True when a site's TextFormat names JSON (in any letter case).
bool IsJsonTextFormat(std::string_view textFormat);

class TVelaSourcesList {
  public:
    TVelaSourcesList() = default;
    TVelaSourcesList(const TVelaSourcesList&) = delete;
    TVelaSourcesList& operator=(const TVelaSourcesList&) = delete;

    // Frees all sites, empties the master lists and reads the file, plain or packed. A
    // missing file leaves the list empty. A site number, sub-index or "JobsPerPage" that
    // is not an integer throws EConvertError naming the line; the sites read so far stay.
    void LoadFromFile(const std::string& fileName);
    // Reads definitions from already unpacked text; `name` is used in error messages.
    void LoadFromText(std::string_view text, const std::string& name);
    // Adds the sites of plain definition lines after those already in the list: a site
    // numbered N in the lines becomes Count() + N. Global keys (versions, master lists) are
    // left to the main file. Throws EConvertError as LoadFromText does.
    void AppendSites(const TStrings& plainLines, const std::string& name);

    TVelaSource& AddSource();
    void ClearSources();

    int Count() const { return static_cast<int>(sources_.size()); }
    TVelaSource& operator[](int i) { return *sources_[static_cast<size_t>(i)]; }
    const TVelaSource& operator[](int i) const { return *sources_[static_cast<size_t>(i)]; }

    std::string Version;  // survives a load of a file without "Version"
    TStrings MRegions;
    TStrings MCategories;
    // Per master region, the names a job's location may give for it ("Germany, Deutschland,
    // Berlin"), for the sites that select by region themselves.
    TStrings MRegionNames;

  private:
    void ApplyPair(const std::string& keyLine, const std::string& value, const std::string& name,
                   int lineNo);
    std::vector<std::unique_ptr<TVelaSource>> sources_;
};

// More sites than any definitions file holds; a key line asking for a site beyond it is
// damage, and honouring it would only fill memory with empty sites, so the loader refuses
// the file.
inline constexpr int kMaxSourceSites = 10000;

// The two keys every line of a definitions file is scrambled with.
inline constexpr std::string_view kSourcesKeyA = "Quokka";
inline constexpr std::string_view kSourcesKeyB = "Fennel";

// The line scrambler: its own inverse for a given key.
void ScrambleLine(std::string& line, std::string_view key);
// Both passes: turns a plain line into a stored one and back.
std::string ScrambleSourcesLine(std::string_view line);

// The text of a definitions file, unpacked when it is a container, else the file itself.
// Throws EFileError when the file cannot be read.
std::string ReadSourcesText(const std::string& fileName);
// The plain lines of a definitions text: unscrambled, or as they stand when the text is
// already the readable form (told apart by its key lines; a leading UTF-8 byte-order mark
// of a text editor is dropped).
TStrings DecodeSourcesText(std::string_view text);
// Whether a definitions text is the readable form rather than the scrambled one.
bool IsPlainSourcesText(std::string_view text);
// A definitions file made of plain lines, CR LF after each. Fails, naming the 1-based
// line, when a scrambled line would hold a CR or LF byte (the reader could not tell it
// from a line end).
TResult<std::string> EncodeSourcesLines(const TStrings& plainLines);

}  // namespace tessaly
