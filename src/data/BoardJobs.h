// Whole boards: answers that hold every job of a board (a company's career board, a feed
// without keyword parameter). Their jobs are cut out of the JSON by nesting, and a search
// keeps only those whose title holds its keywords and whose location fits its region.
#pragma once

#include <string>
#include <string_view>

#include "data/VelaJobs.h"
#include "platform/ByteString.h"

namespace tessaly {

// The elements of the array under `key` of the top-level object of a JSON text (`key`
// "." for a text that is the array itself), each as it stands in the text; an object
// comes with the arrays inside it emptied ("[]"): a key found first in an element is then the
// element's own or that of an object in it, never one of a list (a posting's sections, its
// compliance notes). In its strings, escaped backslashes and quotes become "&#92;" and
// "&quot;" (the clean-up turns them back) and escaped slashes plain ones, so the first
// quote after a key ends the key's value. Strings and nested values are skipped whole. No such
// array, or a text that is not JSON there, gives no element; a text cut short gives the elements
// that were complete.
TStrings JsonArrayElements(std::string_view json, std::string_view key);

// The same elements one at a time, each into a buffer the caller keeps: a board of
// hundreds of long postings is then read job by job while each is still in the caches.
class TJsonArrayReader {
  public:
    // `json` must outlive the reader.
    TJsonArrayReader(std::string_view json, std::string_view key);
    // Puts the next element into `element`; false (and `element` empty) after the last.
    bool Next(std::string& element);
    // Where the text read so far ends, after the last element given: next to a bracket,
    // quote or separator, so no UTF-8 sequence spans it.
    size_t ReadTo() const { return readTo_; }

  private:
    std::string_view json_;
    size_t at_;  // where the next element may start, npos after the last
    size_t readTo_ = 0;
};

// Whether `title` holds the keywords as a search reads them: every word (blanks and
// commas part them), a "quoted phrase" as its words in a row, and OR between
// alternatives, any of which is enough. Words compare as relevancy compares them (upper
// case, more than 80 % alike). No keyword: every title.
bool TitleHoldsKeywords(std::string_view title, std::string_view keywords);

// Whether `location` names one of `names` (comma-separated, compared in capitals at word
// bounds) or says the job is remote.
bool LocationFitsRegion(std::string_view location, std::string_view names);

// Deletes the jobs of a whole board that the search would not keep: by title, and for a
// region other than the first master region, by location (the region's line of
// `regionNames`, else the region's own name). Returns the number of jobs kept.
int SelectBoardJobs(TVelaJobsList& jobs, std::string_view keywords, std::string_view region,
                    const TStrings& masterRegions, const TStrings& regionNames);

}  // namespace tessaly
