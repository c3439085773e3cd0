#include "data/Openings.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/ByteString.h"
#include "platform/UnicodeCase.h"
#include "platform/Utf8.h"

namespace tessaly {
namespace {

// What each byte below 128 is to the splitter: a word's character (its lower case), or
// one of these.
// A word's characters are all above kSkip, so that a run of them is one compare a byte.
constexpr char kBreak = 0, kMark = 1, kAnd = 2, kSkip = 3;
constexpr auto kAscii = [] {
    std::array<char, 256> t{};
    t.fill(kBreak);  // bytes from 128 on are read as UTF-8
    for (int c = 0; c < 128; ++c) {
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '#')
            t[c] = static_cast<char>(c);  // "C++" and "C#" are words of their own
        else if (c >= 'A' && c <= 'Z')
            t[c] = static_cast<char>(c - 'A' + 'a');
        else if (c == '\'' || c == '.')
            t[c] = kSkip;  // "Sr." is "Sr", "S.A." is "SA", "O'Neil" is "ONeil"
        else if (c == '&')
            t[c] = kAnd;
        else if (c == '(' || c == '[' || c == '-' || c == ',' || c == '/' || c == '|' || c == ':')
            t[c] = kMark;
    }
    return t;
}();

// The words of one field, lower-cased, with the rules' changes. Kept between calls so
// that their buffers are reused: a merge writes hundreds of thousands of fingerprints.
class TWords {
  public:
    size_t Count() const { return words_.size(); }
    std::string_view operator[](size_t i) const {
        const TWord& w = words_[i];
        return w.swapped.data() ? w.swapped : std::string_view(buf_.data() + w.at, w.size);
    }
    // A bracket, dash, comma, slash, bar or colon stood before the word.
    bool Marked(size_t i) const { return words_[i].marked; }
    // `text` must outlive the words (a constant, or a table built once).
    void Replace(size_t i, std::string_view text) { words_[i].swapped = text; }
    void Erase(size_t i) { words_.erase(words_.begin() + static_cast<long>(i)); }
    void Drop(size_t n) { words_.resize(words_.size() - n); }

    void AppendTo(std::string& out, size_t from = 0) const {
        if (from >= words_.size()) return;
        size_t size = words_.size() - from - 1;
        for (size_t i = from; i < words_.size(); ++i)
            size += (*this)[i].size();
        // One resize and plain copies: this runs for every field of every job merged.
        const size_t at = out.size();
        out.resize(at + size);
        char* p = out.data() + at;
        for (size_t i = from; i < words_.size(); ++i) {
            if (i > from) *p++ = ' ';
            const std::string_view w = (*this)[i];
            std::memcpy(p, w.data(), w.size());
            p += w.size();
        }
    }

    void Split(std::string_view s) {
        words_.clear();
        // Lower-casing never makes a character more than four bytes longer.
        if (buf_.size() < s.size() * 4 + 4) buf_.resize(s.size() * 4 + 4);
        char* const out = buf_.data();
        size_t used = 0, start = 0;
        bool inWord = false, mark = false;
        auto cut = [&](bool marks) {
            if (inWord) {
                words_.push_back({start, used - start, mark, {}});
                inWord = false;
                mark = false;
            }
            mark = mark || marks;
        };
        auto begin = [&] {
            if (!inWord) {
                start = used;
                inWord = true;
            }
        };
        const size_t n = s.size();
        for (size_t i = 0; i < n;) {
            char kind = kAscii[static_cast<unsigned char>(s[i])];
            if (kind > kSkip) {
                // A run of ASCII letters and digits, the bulk of every text, in registers.
                begin();
                char* p = out + used;
                const char* q = s.data() + i;
                const char* const end = s.data() + n;
                do {
                    *p = kind;  // a skipped mark is overwritten by the next character
                    p += kind != kSkip;
                    if (++q == end) break;
                    kind = kAscii[static_cast<unsigned char>(*q)];
                } while (kind >= kSkip);
                i = static_cast<size_t>(q - s.data());
                used = static_cast<size_t>(p - out);
                continue;
            }
            const unsigned char c = static_cast<unsigned char>(s[i]);
            if (c < 0x80) {
                ++i;
                if (kind == kAnd) {
                    cut(false);
                    begin();
                    for (const char a : std::string_view("and"))
                        out[used++] = a;
                    cut(false);
                } else if (kind != kSkip) {
                    cut(kind == kMark);
                }
                continue;
            }
            const char32_t cp = NextUtf8(s, i);
            if ((cp >= 0x2010 && cp <= 0x2015) || cp == 0x2212 || cp == 0xFE58 || cp == 0xFE63 ||
                cp == 0xFF0D) {
                cut(true);  // dashes of every kind
            } else if (cp == 0x2018 || cp == 0x2019 || cp == 0x02BC) {
                continue;  // typographic apostrophes
            } else if (cp == 0xA0 || (cp >= 0x2000 && cp <= 0x200B) || cp == 0x202F ||
                       cp == 0x3000 || cp == 0xAB || cp == 0xBB || cp == 0xB7 || cp == 0x2022 ||
                       cp == 0x2026 || (cp >= 0x201C && cp <= 0x201F) || cp == 0xA1 || cp == 0xBF) {
                cut(false);  // blanks, quotes, bullets
            } else {
                utf8_.clear();
                AppendUtf8(utf8_, UnicodeLower(cp));
                begin();
                for (const char b : utf8_)
                    out[used++] = b;
            }
        }
        cut(false);
    }

  private:
    struct TWord {
        size_t at, size;
        bool marked;
        std::string_view swapped;  // a replacement, when data() is set
    };

    std::vector<TWord> words_;
    std::string buf_, utf8_;
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

void TitleWords(TWords& w) {
    for (size_t i = 0; i < w.Count(); ++i) {
        const std::string_view word = w[i];
        if (word.size() < 2 || word.size() > 4) continue;  // no abbreviation is
        for (const auto& p : kTitleWords)
            if (word == p.from) w.Replace(i, p.to);
    }
    if (w.Count() > 1 && w[w.Count() - 1] == "remote" && w.Marked(w.Count() - 1)) w.Drop(1);
}

// The first word to keep; trailing forms are dropped.
size_t CompanyWords(TWords& w) {
    const size_t from = w.Count() > 1 && w[0] == "the" ? 1 : 0;
    for (bool cut = true; cut && w.Count() > from + 1;) {
        cut = In(w[w.Count() - 1], kCompanyForms);
        if (cut) w.Drop(1);
        if (cut && w.Count() > from + 1 && w[w.Count() - 1] == "and") w.Drop(1);  // "Smith & Co."
    }
    return from;
}

// The lower-case names of the states by their two-letter codes ("ma" is
// "massachusetts"); empty for the codes that name no state (US, nationwide...).
const std::string& StateOfCode(std::string_view code) {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> n(size_t{26} * 26);
        for (char a = 'a'; a <= 'z'; ++a) {
            for (char b = 'a'; b <= 'z'; ++b) {
                const char code2[] = {a, b};
                const auto name = StateCodeName(std::string_view(code2, 2));
                if (!name || *name == "Nationwide" || *name == "International") continue;
                std::string& out =
                    n[static_cast<size_t>(a - 'a') * 26 + static_cast<size_t>(b - 'a')];
                for (const char c : *name)
                    if (c != '.') out += c == ' ' ? ' ' : static_cast<char>(c | 0x20);
            }
        }
        return n;
    }();
    static const std::string none;
    if (code.size() != 2 || code[0] < 'a' || code[0] > 'z' || code[1] < 'a' || code[1] > 'z')
        return none;
    return names[static_cast<size_t>(code[0] - 'a') * 26 + static_cast<size_t>(code[1] - 'a')];
}

void LocationWords(TWords& w) {
    // Countries first, in one spelling: "United States of America" is "us".
    for (size_t i = 0; i < w.Count(); ++i) {
        auto at = [&w, i](size_t k, std::string_view s) {
            return i + k < w.Count() && w[i + k] == s;
        };
        if (w[i] == "usa") {
            w.Replace(i, "us");
        } else if (w[i] == "gb") {
            w.Replace(i, "uk");
        } else if (at(0, "united") && at(1, "states")) {
            const size_t drop = at(2, "of") && at(3, "america") ? 3 : 1;
            w.Replace(i, "us");
            for (size_t k = 0; k < drop; ++k)
                w.Erase(i + 1);
        } else if ((at(0, "united") && at(1, "kingdom")) || (at(0, "great") && at(1, "britain"))) {
            w.Replace(i, "uk");
            w.Erase(i + 1);
        }
    }
    // The country of a named place adds nothing.
    for (size_t i = w.Count(); i-- > 0 && w.Count() > 1;)
        if (w[i] == "us" || w[i] == "uk") w.Erase(i);
    // A state code after the place ("Boston, MA", "Austin TX") is the state.
    for (size_t i = 1; i < w.Count(); ++i) {
        if (!(w.Marked(i) || i + 1 == w.Count())) continue;
        const std::string& state = StateOfCode(w[i]);
        if (!state.empty()) w.Replace(i, state);  // "new hampshire" joins as two words do
    }
}

// A fast hash of a text, eight bytes a step: equal hashes are checked anyway.
uint64_t HashPrint(std::string_view s) {
    constexpr uint64_t kMul = 0x9E3779B97F4A7C15ull;
    uint64_t h = s.size() * kMul;
    size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) {
        uint64_t w;
        std::memcpy(&w, s.data() + i, 8);
        h = (((h << 5) | (h >> 59)) ^ w) * kMul;
    }
    if (i < s.size()) {
        uint64_t w = 0;
        std::memcpy(&w, s.data() + i, s.size() - i);
        h = (((h << 5) | (h >> 59)) ^ w) * kMul;
    }
    h ^= h >> 32;
    h *= 0xD6E8FEB86659FD93ull;
    h ^= h >> 29;
    return h;
}

// Appends the fingerprint to `out`, or nothing when the job has none.
void AppendFingerprint(std::string& out, std::string_view title, std::string_view company,
                       std::string_view location) {
    thread_local TWords words;
    const size_t start = out.size();
    words.Split(company);
    const size_t from = CompanyWords(words);
    words.AppendTo(out, from);
    const std::string_view name = std::string_view(out).substr(start);
    if (name.empty() || In(name, kNoCompany)) {
        out.resize(start);
        return;
    }
    out += '\x1f';
    words.Split(title);
    TitleWords(words);
    if (words.Count() == 0) {
        out.resize(start);
        return;
    }
    words.AppendTo(out);
    out += '\x1f';
    // A listing names the same few places over and over: their words are kept.
    struct TPlace {
        std::string text, words;
    };
    thread_local std::array<TPlace, 64> places;  // the empty text's words are empty
    TPlace& place = places[HashPrint(location) % places.size()];
    if (place.text != location) {
        words.Split(location);
        LocationWords(words);
        place.text = location;
        place.words.clear();
        words.AppendTo(place.words);
    }
    out += place.words;
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

TOpeningIndex::TPrinted TOpeningIndex::Print(TVelaJob& job) {
    const size_t at = prints_.size();
    AppendFingerprint(prints_, job.Title, job.Company, job.Location);
    const auto size = static_cast<uint32_t>(prints_.size() - at);
    return {&job, HashPrint(std::string_view(prints_).substr(at, size)), static_cast<uint32_t>(at),
            size};
}

std::string_view TOpeningIndex::PrintOf(const TPrinted& job) const {
    return std::string_view(prints_).substr(job.at, job.size);
}

TOpeningIndex::TOpeningIndex(size_t rows, const TJobs& incoming) : incomingJobs_(incoming) {
    const size_t expected = rows + incoming.size();
    size_t n = 16;
    while (n < expected * 2)
        n *= 2;
    slots_.resize(n);
    rows_.reserve(expected);
    next_.reserve(expected);
    last_.reserve(expected);
    listed_.reserve(rows);
    incoming_.reserve(incoming.size());
    // A fingerprint is about as long as the three fields: judged by the first jobs to
    // come, with room to spare (pages never written cost nothing), so that the text of all
    // of them is not moved while it grows.
    size_t sampled = 0, sampleSize = 0;
    for (const auto& job : incoming) {
        if (sampled == 64) break;
        if (!job) continue;
        ++sampled;
        sampleSize += job->Title.size() + job->Company.size() + job->Location.size() + 2;
    }
    // A few odd jobs must not reserve a huge text: past the bound it grows as it must.
    const size_t perJob =
        sampled == 0 ? 64 : std::min<size_t>(sampleSize / sampled * 3 / 2 + 16, 128);
    prints_.reserve(expected * perJob);
}

void TOpeningIndex::Note(TVelaJob& row) {
    listed_.push_back(Print(row));
}

void TOpeningIndex::Seal() {
    if (sealed_) return;
    sealed_ = true;
    constexpr size_t kAhead = 8;
    for (size_t i = 0; i < listed_.size(); ++i) {
        if (i + kAhead < listed_.size()) Prefetch(listed_[i + kAhead]);
        Insert(listed_[i]);
    }
    listed_ = {};
    PrintIncoming();
}

void TOpeningIndex::PrintIncoming() {
    // All in one pass, ahead of the merge: interleaved with its lookups of the known
    // jobs, printing would keep their cache misses from overlapping.
    for (const auto& job : incomingJobs_)
        incoming_.push_back(job ? Print(*job) : TPrinted{nullptr, 0, 0, 0});
}

void TOpeningIndex::FetchAhead(size_t position) const {
    constexpr size_t kAhead = 8;
    if (position + kAhead < incoming_.size()) Prefetch(incoming_[position + kAhead]);
}

void TOpeningIndex::Prefetch(const TPrinted& job) const {
    __builtin_prefetch(&slots_[job.hash & (slots_.size() - 1)]);
}

TOpeningIndex::TSlot& TOpeningIndex::Find(const TPrinted& job) {
    const size_t mask = slots_.size() - 1;
    const auto tag = static_cast<uint32_t>(job.hash >> 32);
    for (size_t k = job.hash & mask;; k = (k + 1) & mask) {
        TSlot& s = slots_[k];
        if (s.first == kEnd) return s;
        if (s.tag == tag && PrintOf(rows_[s.first]) == PrintOf(job)) return s;
    }
}

void TOpeningIndex::Insert(const TPrinted& job) {
    if (job.size == 0) return;
    const auto at = static_cast<uint32_t>(rows_.size());
    rows_.push_back(job);
    next_.push_back(kEnd);
    last_.push_back(at);
    TSlot& slot = Find(job);
    if (slot.first != kEnd) {
        next_[last_[slot.first]] = at;  // rows keep their listed order: the first one wins
        last_[slot.first] = at;
        return;
    }
    slot = {static_cast<uint32_t>(job.hash >> 32), at};
    if (rows_.size() * 2 > slots_.size()) Grow();
}

void TOpeningIndex::Grow() {
    std::vector<TSlot> old(slots_.size() * 2);
    old.swap(slots_);
    const size_t mask = slots_.size() - 1;
    for (const TSlot& s : old) {
        if (s.first == kEnd) continue;
        size_t k = rows_[s.first].hash & mask;
        while (slots_[k].first != kEnd)
            k = (k + 1) & mask;
        slots_[k] = s;
    }
}

void TOpeningIndex::Add(size_t position) {
    Seal();
    FetchAhead(position);
    Insert(incoming_[position]);
}

bool TOpeningIndex::Absorb(size_t position) {
    Seal();
    FetchAhead(position);
    const TPrinted& printed = incoming_[position];
    if (printed.size == 0) return false;
    const TVelaJob& job = *printed.job;
    const TSlot& slot = Find(printed);
    TVelaJob* host = nullptr;
    for (uint32_t k = slot.first; k != kEnd; k = next_[k]) {
        TVelaJob& row = *rows_[k].job;
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
