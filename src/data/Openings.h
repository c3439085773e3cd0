// One opening, one row: the same job posted on several boards is recognised by a
// fingerprint of its title, company and location written in one normal form, and the
// merge keeps the other boards' postings under the first one's row.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
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

// The rows of a listing by fingerprint, for one merge. Rows are viewed, not owned: they
// must outlive the index, and their title, company and location must not change.
class TOpeningIndex {
  public:
    explicit TOpeningIndex(size_t expectedRows);

    // A row of the listing; a row without a fingerprint is left out.
    void Add(TVelaJob& row);
    // True when `job` is a posting of a row's opening on another board: it is then in
    // that row's AlsoOn (added now, or there already), and the caller frees it. A job
    // of a site that already has a posting of the opening there is no copy: within one
    // site, only equal URL, title and company make a duplicate.
    bool Absorb(const TVelaJob& job);

  private:
    static constexpr uint32_t kEnd = UINT32_MAX;
    struct TChain {
        uint32_t first, last;  // rows_ positions of the opening's rows, in listed order
    };
    std::unordered_map<std::string, TChain> first_;  // by fingerprint
    std::vector<TVelaJob*> rows_;
    std::vector<uint32_t> next_;  // the next row of the same opening, or kEnd
    std::string print_;           // scratch, reused
};

}  // namespace tessaly
