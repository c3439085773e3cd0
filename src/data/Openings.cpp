#include "data/Openings.h"

#include <algorithm>

#include "platform/ByteString.h"
#include "platform/UnicodeCase.h"
#include "platform/Utf8.h"

namespace tessaly {
namespace {

// The words of one field. Kept between calls so that their buffers are reused: a merge
// writes hundreds of thousands of fingerprints.
struct TWords {
    std::vector<std::string> text;
    std::vector<bool> marked;  // a bracket, dash, comma, slash, bar or colon stood before it
    size_t count = 0;

    std::string_view operator[](size_t i) const { return text[i]; }
    void Erase(size_t i) {
        std::rotate(text.begin() + static_cast<long>(i), text.begin() + static_cast<long>(i) + 1,
                    text.begin() + static_cast<long>(count));
        marked.erase(marked.begin() + static_cast<long>(i));
        marked.push_back(false);
        --count;
    }
};

class TSplitter {
  public:
    explicit TSplitter(TWords& w) : w_(w) { w_.count = 0; }

    void Split(std::string_view s) {
        for (size_t i = 0; i < s.size();) {
            const unsigned char c = static_cast<unsigned char>(s[i]);
            if (c < 0x80) {
                ++i;
                if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '#')
                    Put(static_cast<char>(c));
                else if (c >= 'A' && c <= 'Z')
                    Put(static_cast<char>(c - 'A' + 'a'));
                else if (c == '\'' || c == '.')
                    continue;  // "Sr." is "Sr", "S.A." is "SA", "O'Neil" is "ONeil"
                else if (c == '&')
                    PutWord("and");
                else
                    Break(c == '(' || c == '[' || c == '-' || c == ',' || c == '/' || c == '|' ||
                          c == ':');
                continue;
            }
            const char32_t cp = NextUtf8(s, i);
            if ((cp >= 0x2010 && cp <= 0x2015) || cp == 0x2212 || cp == 0xFE58 || cp == 0xFE63 ||
                cp == 0xFF0D) {
                Break(true);  // dashes of every kind
            } else if (cp == 0x2018 || cp == 0x2019 || cp == 0x02BC) {
                continue;  // typographic apostrophes
            } else if (cp == 0xA0 || (cp >= 0x2000 && cp <= 0x200B) || cp == 0x202F ||
                       cp == 0x3000 || cp == 0xAB || cp == 0xBB || cp == 0xB7 || cp == 0x2022 ||
                       cp == 0x2026 || (cp >= 0x201C && cp <= 0x201F) || cp == 0xA1 || cp == 0xBF) {
                Break(false);  // blanks, quotes, bullets
            } else {
                Begin();
                AppendUtf8(w_.text[w_.count], UnicodeLower(cp));
            }
        }
        Break(false);
    }

  private:
    void Begin() {
        if (inWord_) return;
        if (w_.text.size() <= w_.count) {
            w_.text.emplace_back();
            w_.marked.push_back(false);
        }
        w_.text[w_.count].clear();
        w_.marked[w_.count] = mark_;
        inWord_ = true;
    }
    void Put(char c) {
        Begin();
        w_.text[w_.count] += c;
    }
    void PutWord(std::string_view word) {
        Break(false);
        Begin();
        w_.text[w_.count] = word;
        Break(false);
    }
    void Break(bool mark) {
        if (inWord_) {
            ++w_.count;
            inWord_ = false;
            mark_ = false;
        }
        mark_ = mark_ || mark;
    }

    TWords& w_;
    bool inWord_ = false;
    bool mark_ = false;
};

struct TPair {
    std::string_view from, to;
};

constexpr TPair kTitleWords[] = {
    {"sr", "senior"},    {"snr", "senior"},    {"jr", "junior"},
    {"eng", "engineer"}, {"engr", "engineer"}, {"mgr", "manager"},
};

// Trailing words that only say what form a company takes.
constexpr std::string_view kCompanyForms[] = {
    "inc", "incorporated", "llc", "llp", "ltd", "limited", "gmbh",        "ag", "sa",      "sarl",
    "srl", "bv",           "nv",  "plc", "pty", "corp",    "corporation", "co", "company",
};

// What boards write where they do not name the employer: such jobs are never grouped.
constexpr std::string_view kNoCompany[] = {"n a",       "na",          "confidential",
                                           "anonymous", "undisclosed", "unknown"};

bool In(std::string_view w, const auto& list) {
    return std::find(std::begin(list), std::end(list), w) != std::end(list);
}

void Join(const TWords& w, size_t from, std::string& out) {
    for (size_t i = from; i < w.count; ++i) {
        if (i > from) out += ' ';
        out += w[i];
    }
}

void TitleWords(TWords& w) {
    for (size_t i = 0; i < w.count; ++i)
        for (const auto& p : kTitleWords)
            if (w[i] == p.from) w.text[i] = p.to;
    if (w.count > 1 && w[w.count - 1] == "remote" && w.marked[w.count - 1]) --w.count;
}

// The first word to keep; trailing forms are cut off the count.
size_t CompanyWords(TWords& w) {
    size_t from = w.count > 1 && w[0] == "the" ? 1 : 0;
    for (bool cut = true; cut && w.count > from + 1;) {
        cut = In(w[w.count - 1], kCompanyForms);
        if (cut) --w.count;
        if (cut && w.count > from + 1 && w[w.count - 1] == "and") --w.count;  // "Smith & Co."
    }
    return from;
}

void LocationWords(TWords& w) {
    // Countries first, in one spelling: "United States of America" is "us".
    for (size_t i = 0; i < w.count; ++i) {
        auto at = [&w, i](size_t k, std::string_view s) {
            return i + k < w.count && w[i + k] == s;
        };
        if (w[i] == "usa") {
            w.text[i] = "us";
        } else if (w[i] == "gb") {
            w.text[i] = "uk";
        } else if (at(0, "united") && at(1, "states")) {
            w.text[i] = "us";
            w.Erase(i + 1);
            if (at(1, "of") && at(2, "america")) {
                w.Erase(i + 1);
                w.Erase(i + 1);
            }
        } else if ((at(0, "united") && at(1, "kingdom")) || (at(0, "great") && at(1, "britain"))) {
            w.text[i] = "uk";
            w.Erase(i + 1);
        }
    }
    // The country of a named place adds nothing.
    for (size_t i = w.count; i-- > 0 && w.count > 1;)
        if (w[i] == "us" || w[i] == "uk") w.Erase(i);
    // A state code after the place ("Boston, MA", "Austin TX") is the state.
    for (size_t i = 1; i < w.count; ++i) {
        if (w[i].size() != 2 || !(w.marked[i] || i + 1 == w.count)) continue;
        const auto name = StateCodeName(w[i]);
        if (!name || name->empty() || *name == "Nationwide" || *name == "International") continue;
        std::string spelled;
        for (const char c : *name)
            if (c != '.') spelled += c == ' ' ? ' ' : static_cast<char>(c | 0x20);
        w.text[i] = spelled;  // "new hampshire" stays one word: the joined text is the same
    }
}

void AppendFingerprint(std::string& out, std::string_view title, std::string_view company,
                       std::string_view location) {
    thread_local TWords words;
    out.clear();
    TSplitter(words).Split(company);
    const size_t from = CompanyWords(words);
    Join(words, from, out);
    if (out.empty() || In(std::string_view(out), kNoCompany)) {
        out.clear();
        return;
    }
    out += '\x1f';
    TSplitter(words).Split(title);
    TitleWords(words);
    if (words.count == 0) {
        out.clear();
        return;
    }
    Join(words, 0, out);
    out += '\x1f';
    TSplitter(words).Split(location);
    LocationWords(words);
    Join(words, 0, out);
}

void AppendFingerprint(std::string& out, const TVelaJob& job) {
    AppendFingerprint(out, job.Title, job.Company, job.Location);
}

}  // namespace

std::string OpeningFingerprint(std::string_view title, std::string_view company,
                               std::string_view location) {
    std::string out;
    AppendFingerprint(out, title, company, location);
    return out;
}

std::string OpeningFingerprint(const TVelaJob& job) {
    return OpeningFingerprint(job.Title, job.Company, job.Location);
}

std::string SourceWithAlsoOn(const TVelaJob& job) {
    if (job.AlsoOn.empty()) return job.Source;
    return job.Source + " +" + IntToStr(static_cast<int64_t>(job.AlsoOn.size()));
}

TOpeningIndex::TOpeningIndex(size_t expectedRows) {
    first_.reserve(expectedRows);
    rows_.reserve(expectedRows);
    next_.reserve(expectedRows);
}

void TOpeningIndex::Add(TVelaJob& row) {
    AppendFingerprint(print_, row);
    if (print_.empty()) return;
    const auto at = static_cast<uint32_t>(rows_.size());
    rows_.push_back(&row);
    next_.push_back(kEnd);
    const auto [it, added] = first_.try_emplace(print_, TChain{at, at});
    if (!added) {
        next_[it->second.last] = at;  // rows keep their listed order: the first one wins
        it->second.last = at;
    }
}

bool TOpeningIndex::Absorb(const TVelaJob& job) {
    AppendFingerprint(print_, job);
    if (print_.empty()) return false;
    const auto it = first_.find(print_);
    if (it == first_.end()) return false;
    TVelaJob* host = nullptr;
    for (uint32_t k = it->second.first; k != kEnd; k = next_[k]) {
        TVelaJob& row = *rows_[k];
        if (row.Source == job.Source) continue;
        bool siteThere = false;
        for (const TAlsoOn& a : row.AlsoOn) {
            if (a.Source != job.Source) continue;
            if (a.URL == job.URL) return true;  // listed already: an update brings it again
            siteThere = true;
        }
        if (!siteThere && host == nullptr) host = &row;
    }
    if (host == nullptr) return false;
    host->AlsoOn.push_back({job.Source, job.URL});
    return true;
}

}  // namespace tessaly
