// Saved searches: the criteria of every search in the index file searches/velares.idx,
// and the jobs of each search in a job table file of its own ("velares~" N ".tbl" in the
// searches folder), stored packed or plain. Texts are written in UTF-8.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/VelaJobs.h"

namespace tessaly {

class TVelaSearch {
  public:
    int SearchIndex = -1;  // position in the list when added; not stored
    std::string Region;
    std::string Category;
    std::string Keywords;
    // Translations of Keywords for sites with another keyword language; not stored.
    std::string KeywordsEN;
    std::string KeywordsFR;
    std::string KeywordsDE;
    std::string KeywordsSP;
    std::string Created;
    std::string TableFile;  // full path of the search's job table (stored below the home)
    int JobCount = 0;
};

class TVelaSearchesList {
  public:
    TVelaSearchesList() = default;
    TVelaSearchesList(const TVelaSearchesList&) = delete;
    TVelaSearchesList& operator=(const TVelaSearchesList&) = delete;

    int Count() const { return static_cast<int>(searches_.size()); }
    TVelaSearch& operator[](int i) { return *searches_[static_cast<size_t>(i)]; }
    const TVelaSearch& operator[](int i) const { return *searches_[static_cast<size_t>(i)]; }

    // Appends an empty search numbered with its position.
    TVelaSearch& AddSearch();
    // Frees the search at `position` (ignored when out of range); the others keep their
    // SearchIndex.
    void DeleteSearch(int position);
    void Clear();

    // Replaces the list with the index file's searches. A missing file or an empty name
    // gives an empty list. A count line that is not a decimal integer throws
    // EConvertError naming the file and the line, and leaves the list as it was.
    // Relative table paths are taken below the home holding the index, never below the
    // current directory; an absolute one outside that home names the table of the same
    // name in its searches folder (Damage says so when that does not exist). An index
    // that counts more searches than it holds keeps those it holds and says so in Damage.
    void LoadIndex(const std::string& fileName);
    // Why the last loaded index is damaged; empty when it was whole.
    std::string Damage;
    // Writes the index (CR LF lines, never packed; table paths below the home relative to
    // it, line breaks in the other values as blanks), replacing the file atomically.
    // Throws EFileError on failure.
    void SaveIndex(const std::string& fileName) const;

  private:
    std::vector<std::unique_ptr<TVelaSearch>> searches_;
};

// A path stored in the index or a table: an absolute one as it is, a relative one below
// `home` (a leading "HOME/" of a home given relatively is dropped: the part from its
// "searches/" folder on is kept).
std::string ResolveStoredPath(const std::string& path, const std::string& home);
// The same, and an absolute path outside `home` (written by a copy of this home, or before
// it moved) is taken as the same part from "searches/" on below `home` when that exists
// there; otherwise it is returned as it is.
std::string RebaseStoredPath(const std::string& path, const std::string& home);

// The index file of a program directory.
std::string SearchesIndexPath(const std::string& programDir);

// The full path for a new search's table: the smallest N from 1 whose
// "searches/velares~N.tbl" in the program directory does not exist.
// With `taken`, a name that one of its records holds counts as used too (a record's
// table may not be written yet).
std::string NewTableFileName(const std::string& programDir,
                             const TVelaSearchesList* taken = nullptr);

// True when tables are to be written plain: "compress.not" exists in the program directory.
bool TablesWrittenPlain(const std::string& programDir);

// The text of a job table in version "V1.01", or "V1.02" when a field holds a line break
// (every field's "\\", CR and LF then written "\\\\", "\\r", "\\n"); deleted jobs are left
// out and not counted.
std::string JobTableText(const TVelaJobsList& list);

// Saves the list to `fileName`, packed unless "compress.not" is in `programDir`. The
// previous file stays intact on failure, which throws EFileError naming the file; the
// list is never changed.
void SaveJobTable(const TVelaJobsList& list, const std::string& fileName,
                  const std::string& programDir);

// How a loaded table's texts come: as UTF-8 (a text that is not, from a table of the
// first versions, read as Windows-1252), or as the bytes stored (for the workbench).
enum class TTableTexts { Utf8, Stored };

// Loads a table of version "V1.00", "V1.01" or "V1.02", packed or plain. An empty name or
// a missing file gives an empty list and keeps FileName. A count line that is not a
// decimal integer, a relevancy or status line that is no number, or lines left over after
// the counted jobs (fields shifted by a line break) throw EConvertError naming the file,
// and leave the list and FileName as they were; EFileError when the file cannot be read
// or is no regular file (a pipe, a device).
void LoadJobTable(TVelaJobsList& list, const std::string& fileName,
                  TTableTexts texts = TTableTexts::Utf8);
// The same, but a table that counts more jobs than it holds (a file cut short) throws
// EConvertError too: a table about to be written back must be read whole.
void LoadWholeJobTable(TVelaJobsList& list, const std::string& fileName);
// The same for a table's text already read; `fileName` is stored and named in errors.
void LoadJobTableText(TVelaJobsList& list, std::string_view text, const std::string& fileName,
                      TTableTexts texts = TTableTexts::Utf8);

}  // namespace tessaly
