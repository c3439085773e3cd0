// One opening, one row: the same job posted on several boards is recognised by a
// fingerprint of its title, company and location written in one normal form, and the
// merge keeps the other boards' postings under the first one's row.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/VelaJobs.h"

namespace tessaly {

// The normal form of an opening, or an empty text when the job cannot be recognised on
// another board (no title, or no real company: "n/a", "Confidential"). Two jobs are the
// same opening exactly when their fingerprints are equal and not empty.
//
// All three fields: letters in lower case; every blank, punctuation mark and dash is a
// word break, apostrophes and dots are dropped ("Sr." is "sr", "S.A." is "sa"); "&" is
// "and"; "+" and "#" belong to words ("C++", "C#").
// Title: "Sr"/"Snr" is senior, "Jr" junior, "Eng"/"Engr" engineer, "Mgr" manager; a
// last word "Remote" after a bracket, dash, comma, slash or bar goes.
// Company: a leading "The" and trailing company forms (Inc., LLC, Ltd, GmbH, S.A., plc,
// Corp., Co. and their long forms, with a dangling "&") go.
// Location: "USA", "U.S.", "United States (of America)" are one country, and so are
// "UK", "United Kingdom" and "Great Britain"; the country goes when a place is named
// before it; a state code after the place is the state's name ("Boston, MA").
std::string OpeningFingerprint(std::string_view title, std::string_view company,
                               std::string_view location);
std::string OpeningFingerprint(const TVelaJob& job);

// What the Source column shows: the site, and "+N" for the other boards of the opening.
std::string SourceWithAlsoOn(const TVelaJob& job);

// The rows of a listing by fingerprint, for one merge. Jobs are viewed, not owned: they
// must outlive the index (or, for an absorbed job, its Absorb), and their title, company
// and location must not change.
class TOpeningIndex {
  public:
    using TJobs = std::vector<std::unique_ptr<TVelaJob>>;

    // `incoming`: the jobs to merge, in the order Absorb takes them; they are all read at
    // the first Absorb or Add. `rows`: how many rows Note will be given.
    TOpeningIndex(size_t rows, const TJobs& incoming);

    // A row of the listing, in listed order; all of them before the first Absorb.
    void Note(TVelaJob& row);

    // True when incoming job `position` is a posting of a row's opening on another
    // board: it is then in that row's AlsoOn (added now, or there already), and the
    // caller frees it. A job of a site that already has a posting of the opening there
    // is no copy: within one site, only equal URL, title and company make a duplicate.
    bool Absorb(size_t position);
    // Incoming job `position` became a row of the listing.
    void Add(size_t position);

  private:
    static constexpr uint32_t kEnd = UINT32_MAX;
    // An open-addressed table of openings by fingerprint hash: a merge of a big listing
    // looks up every job, and a node per entry would cost more than the merge itself.
    // Slots hold part of the hash; a hit is checked against the fingerprints themselves.
    struct TSlot {
        uint32_t tag = 0;
        uint32_t first = kEnd;  // the opening's first row, a rows_ position
    };
    struct TPrinted {
        TVelaJob* job;
        uint64_t hash;
        uint32_t at, size;  // the fingerprint in prints_; none when size is 0
    };
    // Each job is printed once, into prints_: a hit is checked against the texts kept.
    TPrinted Print(TVelaJob& job);
    std::string_view PrintOf(const TPrinted& job) const;
    // Puts the noted rows in the table and prints the incoming jobs, once.
    void Seal();
    void PrintIncoming();
    // Starts fetching the slot of the job a few after `position`.
    void FetchAhead(size_t position) const;
    // Starts fetching the slot of a job to come: the table is bigger than the caches.
    void Prefetch(const TPrinted& job) const;
    // The slot of the job's opening, or the empty slot it goes to.
    TSlot& Find(const TPrinted& job);
    void Insert(const TPrinted& job);
    void Grow();

    std::vector<TSlot> slots_;
    std::vector<TPrinted> listed_;  // noted rows until Seal
    bool sealed_ = false;
    const TJobs& incomingJobs_;
    std::vector<TPrinted> incoming_;  // the incoming jobs printed so far
    std::vector<TPrinted> rows_;
    std::vector<uint32_t> next_;  // the next row of the same opening, or kEnd
    std::vector<uint32_t> last_;  // of a first row: the opening's last row
    std::string prints_;          // every fingerprint taken, one after another
};

}  // namespace tessaly
