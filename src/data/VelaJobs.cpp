#include "data/VelaJobs.h"

#include <algorithm>
#include <exception>
#include <functional>
#include <iterator>
#include <optional>
#include <set>
#include <unordered_set>

#include "data/HtmlEntities.h"
#include "data/Openings.h"
#include "platform/ByteString.h"
#include "platform/UnicodeCase.h"
#include "platform/Utf8.h"

namespace tessaly {

bool IsJobWordSeparator(char c) {
    switch (c) {
        case ' ':
        case '(':
        case ')':
        case ',':
        case '-':
        case '/':
        case ':':
        case ';':
            return true;
        default:
            return false;
    }
}

namespace {

// ---------------------------------------------------------------- entity decoding

struct TEntity {
    std::string_view name;
    unsigned char code;
};

// Looked up by prefix, and the last hit wins, so the order is part of the behaviour.
constexpr TEntity kEntities[] = {
    {"quot", 34},    {"amp", 38},     {"lt", 60},      {"gt", 62},      {"nbsp", 160},
    {"cent", 162},   {"curren", 164}, {"brvbar", 166}, {"uml", 168},    {"ordf", 170},
    {"not", 172},    {"reg", 174},    {"deg", 176},    {"sup2", 178},   {"acute", 180},
    {"para", 182},   {"cedil", 184},  {"ordm", 186},   {"frac14", 188}, {"frac34", 190},
    {"Agrave", 192}, {"Acirc", 194},  {"Auml", 196},   {"Aelig", 198},  {"Egrave", 200},
    {"Ecirc", 202},  {"Igrave", 204}, {"Icirc", 206},  {"ETH", 208},    {"Ograve", 210},
    {"Ocirc", 212},  {"Ouml", 214},   {"Oslash", 216}, {"Uacute", 218}, {"Uuml", 220},
    {"THORN", 222},  {"agrave", 224}, {"acirc", 226},  {"auml", 228},   {"aelig", 230},
    {"egrave", 232}, {"ecirc", 234},  {"igrave", 236}, {"icirc", 238},  {"eth", 240},
    {"ograve", 242}, {"ocirc", 244},  {"ouml", 246},   {"oslash", 248}, {"uacute", 250},
    {"uuml", 252},   {"thorn", 254},  {"Iexcl", 161},  {"pound", 163},  {"yen", 165},
    {"sect", 167},   {"copy", 169},   {"laquo", 171},  {"shy", 173},    {"macr", 175},
    {"plusmn", 177}, {"sup3", 179},   {"micro", 181},  {"middot", 183}, {"sup1", 185},
    {"raquo", 187},  {"frac12", 189}, {"Iquest", 191}, {"Aacute", 193}, {"Atilde", 195},
    {"Aring", 197},  {"Ccedil", 199}, {"Eacute", 201}, {"Euml", 203},   {"Iacute", 205},
    {"Iuml", 207},   {"Ntilde", 209}, {"Oacute", 211}, {"Otilde", 213}, {"times", 215},
    {"Ugrave", 217}, {"Ucirc", 219},  {"Yacute", 221}, {"Szlig", 223},  {"aacute", 225},
    {"atilde", 227}, {"aring", 229},  {"ccedil", 231}, {"eacute", 233}, {"euml", 235},
    {"iacute", 237}, {"iuml", 239},   {"ntilde", 241}, {"oacute", 243}, {"otilde", 245},
    {"divide", 247}, {"ugrave", 249}, {"ucirc", 251},  {"yacute", 253}, {"yuml", 255},
};

// The character of a numeric reference: "#233", "#xE9", and the bare "233" that pages of
// old wrote too. False when the reference is not a number. NUL gives nothing (it has no
// place in a job text); 128-159 are the Windows-1252 characters pages mean by them; a
// number that is no character gives the replacement character.
bool NumericReference(std::string_view ref, std::string& out) {
    std::string_view digits = ref;
    int base = 10;
    if (!digits.empty() && digits[0] == '#') {
        digits.remove_prefix(1);
        if (!digits.empty() && (digits[0] == 'x' || digits[0] == 'X')) {
            digits.remove_prefix(1);
            base = 16;
        }
    }
    if (digits.empty()) return false;
    uint64_t code = 0;
    for (const char c : digits) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return false;
        if (code <= 0x10FFFF) code = code * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
    }
    if (code == 0) return true;
    if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = 0xFFFD;
    if (code >= 0x80 && code <= 0x9F) code = Cp1252ToUnicode(static_cast<unsigned char>(code));
    AppendUtf8(out, static_cast<char32_t>(code));
    return true;
}

// Words each ending with its separator; the last word ends at the end of the text.
std::vector<std::string> SplitWords(std::string_view text) {
    std::vector<std::string> words;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (IsJobWordSeparator(text[i])) {
            words.emplace_back(text.substr(start, i - start + 1));
            start = i + 1;
        }
    }
    if (start < text.size()) words.emplace_back(text.substr(start));
    return words;
}

// ---------------------------------------------------------------- state codes

struct TState {
    std::string_view code;
    std::string_view name;
};

constexpr TState kStates[] = {
    {"AL", "Alabama"},
    {"AK", "Alaska"},
    {"AZ", "Arizona"},
    {"AR", "Arkansas"},
    {"CA", "California"},
    {"CO", "Colorado"},
    {"CT", "Connecticut"},
    {"DC", "D.C."},
    {"DE", "Delaware"},
    {"FL", "Florida"},
    {"GA", "Georgia"},
    {"HI", "Hawaii"},
    {"ID", "Idaho"},
    {"IL", "Illinois"},
    {"IN", "Indiana"},
    {"IA", "Iowa"},
    {"KS", "Kansas"},
    {"KY", "Kentucky"},
    {"LA", "Louisiana"},
    {"ME", "Maine"},
    {"MD", "Maryland"},
    {"MA", "Massachusetts"},
    {"MI", "Michigan"},
    {"MN", "Minnesota"},
    {"MS", "Mississippi"},
    {"MO", "Missouri"},
    {"MT", "Montana"},
    {"NE", "Nebraska"},
    {"NV", "Nevada"},
    {"NH", "New Hampshire"},
    {"NJ", "New Jersey"},
    {"NM", "New Mexico"},
    {"NY", "New York"},
    {"NC", "North Carolina"},
    {"ND", "North Dakota"},
    {"OH", "Ohio"},
    {"OK", "Oklahoma"},
    {"OR", "Oregon"},
    {"PA", "Pennsylvania"},
    {"RI", "Rhode Island"},
    {"SC", "South Carolina"},
    {"SD", "South Dakota"},
    {"TN", "Tennessee"},
    {"TX", "Texas"},
    {"UT", "Utah"},
    {"VT", "Vermont"},
    {"VA", "Virginia"},
    {"WA", "Washington"},
    {"WV", "West Virginia"},
    {"WI", "Wisconsin"},
    {"WY", "Wyoming"},
    {"NL", "Nationwide"},
    {"NA", "Nationwide"},
    {"ALL", "Nationwide"},
    {"INT", "International"},
    {"US", ""},
    {"USA", ""},
};

const TState* FindState(std::string_view word) {
    if (word.size() < 2 || word.size() > 3) return nullptr;
    const std::string upper = UpperCase(word);
    for (const auto& s : kStates)
        if (s.code == upper) return &s;
    return nullptr;
}

// Until none is left, deletes one character at the first occurrence of each of "  ",
// " , ", ",,", "-," in turn, in passes. The order of the deletions matters to the result,
// so they are made as written; but deleting at the front of a long text once per
// character, and looking for each pattern from the front every time, would take time with
// the square of the text. So the characters are a linked list, each pattern's search goes
// on from where it last stopped, and a deletion only adds the two places before it where a
// new occurrence may begin.
std::string SqueezeSeparators(const std::string& s) {
    constexpr std::string_view kSqueeze[] = {"  ", " , ", ",,", "-,"};
    constexpr size_t kNone = SIZE_MAX;
    const size_t n = s.size();
    std::vector<size_t> next(n), prev(n);
    std::vector<bool> live(n, true);
    for (size_t i = 0; i < n; ++i) {
        next[i] = i + 1 < n ? i + 1 : kNone;
        prev[i] = i > 0 ? i - 1 : kNone;
    }
    auto matchesAt = [&](size_t at, std::string_view pattern) {
        for (const char c : pattern) {
            if (at == kNone || s[at] != c) return false;
            at = next[at];
        }
        return true;
    };
    // Per pattern: where its scan goes on (no occurrence begins before it except at a
    // candidate), and the candidates before that point.
    size_t scan[std::size(kSqueeze)];
    std::set<size_t> candidates[std::size(kSqueeze)];
    std::fill(std::begin(scan), std::end(scan), n > 0 ? 0 : kNone);
    auto first = [&](size_t k) {
        auto& c = candidates[k];
        while (!c.empty() && *c.begin() < scan[k]) {
            const size_t at = *c.begin();
            if (live[at] && matchesAt(at, kSqueeze[k])) return at;
            c.erase(c.begin());
        }
        while (scan[k] != kNone && !matchesAt(scan[k], kSqueeze[k]))
            scan[k] = next[scan[k]];
        return scan[k];
    };
    auto erase = [&](size_t e) {
        live[e] = false;
        const size_t p = prev[e], q = next[e];
        if (p != kNone) next[p] = q;
        if (q != kNone) prev[q] = p;
        for (size_t k = 0; k < std::size(kSqueeze); ++k) {
            if (scan[k] == e) scan[k] = q;
            for (size_t back = p, steps = 0; back != kNone && steps < 2; back = prev[back], ++steps)
                if (back < scan[k]) candidates[k].insert(back);
        }
    };
    for (bool changed = true; changed;) {
        changed = false;
        for (size_t k = 0; k < std::size(kSqueeze); ++k) {
            const size_t at = first(k);
            if (at != kNone) {
                erase(at);
                changed = true;
            }
        }
    }
    std::string out;
    out.reserve(n);
    for (size_t i = 0; i < n; ++i)
        if (live[i]) out += s[i];
    return out;
}

// ---------------------------------------------------------------- sorting

int StatusRank(const TVelaJob& j) {
    int rank;
    switch (j.Status) {
        case kStatusNew:
            rank = 1;
            break;
        case kStatusWhite:
            rank = 3;
            break;
        case kStatusGreen:
            rank = 5;
            break;
        case kStatusYellow:
            rank = 7;
            break;
        case kStatusRed:
            rank = 9;
            break;
        default:
            rank = 11;
            break;  // an unknown mark from a damaged table goes last
    }
    return j.High ? rank - 1 : rank;
}

// Byte-by-byte order (upper case before lower case, bytes above 127 after ASCII).
bool ByteLess(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    });
}

using TJobLess = std::function<bool(const TVelaJob&, const TVelaJob&)>;

TJobLess TextOrder(std::string TVelaJob::*field) {
    return [field](const TVelaJob& a, const TVelaJob& b) { return ByteLess(a.*field, b.*field); };
}

TJobLess ColumnOrder(TJobColumn column) {
    switch (column) {
        case TJobColumn::Status:
            return
                [](const TVelaJob& a, const TVelaJob& b) { return StatusRank(a) < StatusRank(b); };
        case TJobColumn::Title:
            return TextOrder(&TVelaJob::Title);
        case TJobColumn::Company:
            return TextOrder(&TVelaJob::Company);
        case TJobColumn::Location:
            return TextOrder(&TVelaJob::Location);
        case TJobColumn::Source:
            return TextOrder(&TVelaJob::Source);
        case TJobColumn::Relevancy:
            return [](const TVelaJob& a, const TVelaJob& b) { return a.Relevancy > b.Relevancy; };
        case TJobColumn::Notes:
            return TextOrder(&TVelaJob::Notes);
    }
    return nullptr;
}

// ---------------------------------------------------------------- merging

// A view of the three fields that make two jobs the same posting.
struct TJobKey {
    std::string_view url, title, company;
    bool operator==(const TJobKey&) const = default;
};

struct TJobKeyHash {
    size_t operator()(const TJobKey& k) const {
        const std::hash<std::string_view> h;
        size_t v = h(k.url);
        v ^= h(k.title) + 0x9e3779b97f4a7c15ULL + (v << 6) + (v >> 2);
        v ^= h(k.company) + 0x9e3779b97f4a7c15ULL + (v << 6) + (v >> 2);
        return v;
    }
};

TJobKey KeyOf(const TVelaJob& j) {
    return {j.URL, j.Title, j.Company};
}

}  // namespace

// ---------------------------------------------------------------- text clean-up

std::string DecodeEntities(std::string_view text, bool legacyPrefixes) {
    if (text.find('&') == std::string_view::npos) return std::string(text);
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    // The next ";" and blank at or after the current "&", looked for again only once an
    // "&" lies beyond them: the text is scanned once however many "&" it holds.
    size_t semi = text.find(';'), space = text.find(' ');
    while (true) {
        const size_t amp = text.find('&', i);
        if (amp == std::string_view::npos) break;
        out.append(text, i, amp - i);
        // The reference must close with ";" before the next blank (or the end, which
        // stands for the blank the decoder appends).
        if (semi != std::string_view::npos && semi < amp) semi = text.find(';', amp);
        if (space != std::string_view::npos && space < amp) space = text.find(' ', amp);
        if (semi == std::string_view::npos || (space != std::string_view::npos && space < semi)) {
            out += '&';
            i = amp + 1;
            continue;
        }
        const std::string_view ref = text.substr(amp + 1, semi - amp - 1);
        if (!NumericReference(ref, out)) {
            if (const THtmlEntity* e = FindHtmlEntity(ref)) {
                AppendUtf8(out, e->first);
                if (e->second) AppendUtf8(out, e->second);
            } else {
                // Definitions of old rely on the first table's prefix rule ("frac1",
                // "Aelig"): every entry beginning with the name is a hit, the last wins.
                const TEntity* hit = nullptr;
                if (legacyPrefixes && !ref.empty())  // an empty name would match every entry
                    for (const auto& le : kEntities)
                        if (le.name.starts_with(ref)) hit = &le;
                if (hit) {
                    AppendUtf8(out, hit->code);
                } else {
                    // An unknown name stays as written: dropping "&" and ";" makes words.
                    out.append(text, amp, semi - amp + 1);
                }
            }
        }
        i = semi + 1;
    }
    out.append(text, i);
    return out;
}

std::string StripTags(std::string_view text) {
    // Everything before the first "<" holds no ">" either once a tag is cut, so the text
    // can be cut in one pass.
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (true) {
        const size_t lt = text.find('<', i);
        const size_t gt = text.find('>', i);
        if (lt == std::string_view::npos || gt == std::string_view::npos || lt > gt) break;
        out.append(text, i, lt - i);
        i = gt + 1;
    }
    out.append(text, i);
    return out;
}

std::string TrimJobText(std::string_view text) {
    // TAB, CR, LF and the no-break space are blanks: each becomes a space, and the
    // collapsing below leaves one where a line break stood between two words.
    std::string s;
    s.reserve(text.size());
    for (size_t k = 0; k < text.size(); ++k) {
        const char c = text[k];
        if (c == '\t' || c == '\r' || c == '\n') {
            s += ' ';
        } else if (c == '\xC2' && k + 1 < text.size() && text[k + 1] == '\xA0') {
            s += ' ';
            ++k;
        } else {
            s += c;
        }
    }
    size_t b = 0;
    while (b < s.size() && std::string_view(" !\"*-/\\").find(s[b]) != std::string_view::npos)
        ++b;
    size_t e = s.size();
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '"'))
        --e;
    std::string out;
    out.reserve(e - b);
    for (size_t k = b; k < e; ++k)
        if (!(s[k] == ' ' && !out.empty() && out.back() == ' ')) out += s[k];
    return out;
}

std::string CapitaliseAllCapitals(std::string_view text) {
    if (HasLowerCaseLetter(text)) return std::string(text);
    std::string out;
    out.reserve(text.size());
    for (const auto& w : SplitWords(text))
        out += LowerUtf8(w, true);
    return out;
}

std::string CleanJobText(std::string_view text, bool keepCapitals) {
    std::string clean = TrimJobText(StripTags(DecodeEntities(text)));
    return keepCapitals ? clean : CapitaliseAllCapitals(clean);
}

std::string CleanJobURL(std::string_view url, const TVelaJob& cleaned) {
    std::string s = ReplaceAll(DecodeEntities(url, false), "%title%", cleaned.Title);
    s = ReplaceAll(s, "%company%", cleaned.Company);
    s = ReplaceAll(s, "%location%", cleaned.Location);
    std::string out;
    out.reserve(s.size());
    for (const char c : s) {
        if (c == '\t' || c == '\r' || c == '\n') continue;
        out += c == ' ' ? '+' : c;
    }
    return out;
}

std::string ExpandStateCodes(std::string_view location) {
    if (location.empty()) return {};
    std::vector<std::string> words = SplitWords(location);
    if (words.empty() || IsJobWordSeparator(words.back().back())) {
        // The text ends with a separator: its last piece is empty.
        words.emplace_back("/");
    } else {
        words.back() += '/';
    }
    std::string s;
    for (const auto& w : words) {
        const char sep = w.back();
        if (sep != ' ') {
            if (const TState* st = FindState(std::string_view(w).substr(0, w.size() - 1))) {
                s += ", ";
                s += st->name;
                s += sep;
                continue;
            }
        }
        s += w;
    }
    s = SqueezeSeparators(s);
    size_t b = 0;
    while (b < s.size() && (s[b] == ' ' || s[b] == ',' || s[b] == '-'))
        ++b;
    size_t e = s.size();
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == ',' || s[e - 1] == '-' || s[e - 1] == '/'))
        --e;
    return s.substr(b, e - b);
}

std::optional<std::string_view> StateCodeName(std::string_view code) {
    if (const TState* st = FindState(code)) return st->name;
    return std::nullopt;
}

// ---------------------------------------------------------------- the list

TVelaJob& TVelaJobsList::AddJob() {
    auto job = std::make_unique<TVelaJob>();
    job->JobIndex = Count();
    jobs_.push_back(std::move(job));
    return *jobs_.back();
}

void TVelaJobsList::DeleteJob(int position) {
    if (position < 0 || position >= Count()) return;
    jobs_.erase(jobs_.begin() + position);
    for (size_t i = static_cast<size_t>(position); i < jobs_.size(); ++i)
        --jobs_[i]->JobIndex;
}

void TVelaJobsList::KeepBest(TJobColumn column, int count) {
    KeepBestBy(ColumnOrder(column), count);
}

void TVelaJobsList::KeepBest(std::string_view columnKey, int count) {
    TJobLess less;
    if (columnKey == "Found ")
        less = TextOrder(&TVelaJob::Found);
    else if (const std::optional<TJobColumn> column = JobColumnBySortKey(columnKey))
        less = ColumnOrder(*column);
    KeepBestBy(less, count);
}

void TVelaJobsList::KeepBestBy(const TJobLess& less, int count) {
    count = std::max(count, 0);
    if (count >= Count()) {
        SortBy(less);
        return;
    }
    if (less) {
        try {
            // The first `count` of a stable sort: a partial sort that breaks ties by the
            // position the job had, on positions so the jobs stay where they are meanwhile.
            std::vector<size_t> order(jobs_.size());
            for (size_t i = 0; i < order.size(); ++i)
                order[i] = i;
            std::partial_sort(order.begin(), order.begin() + count, order.end(),
                              [&](size_t x, size_t y) {
                                  const TVelaJob& a = *jobs_[x];
                                  const TVelaJob& b = *jobs_[y];
                                  if (a.Pinned != b.Pinned) return a.Pinned;
                                  if (less(a, b)) return true;
                                  if (less(b, a)) return false;
                                  return x < y;
                              });
            std::vector<std::unique_ptr<TVelaJob>> kept;
            kept.reserve(static_cast<size_t>(count));
            for (int k = 0; k < count; ++k)
                kept.push_back(std::move(jobs_[order[static_cast<size_t>(k)]]));
            jobs_ = std::move(kept);  // frees the rest in one go
            return;
        } catch (...) {
            // As a failed sort: the order stays, and the cut below still holds.
        }
    }
    // The kept jobs all come before the freed ones, so no JobIndex changes, as with
    // DeleteJob at `count` repeated.
    jobs_.resize(static_cast<size_t>(count));
}

void TVelaJobsList::ClearJobs() {
    jobs_.clear();
}

void TVelaJobsList::MergeJobs(TVelaJobsList& other, bool markNew, bool groupOpenings) {
    if (&other == this) return;  // merging a list into itself would only free its jobs
    size_t taken = 0;
    // The jobs not taken are freed once the merge's own tables are: freed among the
    // lookups, thousands of small blocks would make the allocator sort them again when the
    // big tables go.
    std::vector<std::unique_ptr<TVelaJob>> dropped;
    try {
        // The keys view the jobs' own fields; jobs are not changed while merging (a row
        // taking a posting into AlsoOn keeps its keyed fields).
        std::unordered_set<TJobKey, TJobKeyHash> known;
        known.reserve(jobs_.size() + other.jobs_.size());
        std::optional<TOpeningIndex> openings;
        if (groupOpenings) openings.emplace(jobs_.size(), other.jobs_);
        for (const auto& j : jobs_)
            known.insert(KeyOf(*j));
        // A pass of its own: between two lookups of the set, fingerprinting would keep
        // the set's cache misses from overlapping.
        if (openings)
            for (const auto& j : jobs_)
                openings->Note(*j);
        jobs_.reserve(jobs_.size() + other.jobs_.size());
        for (; taken < other.jobs_.size(); ++taken) {
            std::unique_ptr<TVelaJob>& job = other.jobs_[taken];
            if (known.count(KeyOf(*job)) || (openings && openings->Absorb(taken))) {
                dropped.push_back(std::move(job));
                continue;
            }
            known.insert(KeyOf(*job));
            if (markNew) job->Status = kStatusNew;
            if (openings) openings->Add(taken);
            jobs_.push_back(std::move(job));
        }
        other.jobs_.clear();
    } catch (...) {
        // What was taken (or freed) leaves `other`; the caller hears of the failure.
        other.jobs_.erase(other.jobs_.begin(), other.jobs_.begin() + static_cast<long>(taken));
        throw;
    }
}

void TVelaJobsList::SortJobs(std::string_view columnKey) {
    if (columnKey == "Found ") {
        SortBy(TextOrder(&TVelaJob::Found));
    } else if (const std::optional<TJobColumn> column = JobColumnBySortKey(columnKey)) {
        SortJobs(*column);
    }
}

void TVelaJobsList::SortJobs(TJobColumn column) {
    SortBy(ColumnOrder(column));
}

void TVelaJobsList::SortBy(const std::function<bool(const TVelaJob&, const TVelaJob&)>& less) {
    if (!less) return;
    try {
        std::stable_sort(
            jobs_.begin(), jobs_.end(),
            [&less](const std::unique_ptr<TVelaJob>& a, const std::unique_ptr<TVelaJob>& b) {
                if (a->Pinned != b->Pinned) return a->Pinned;
                return less(*a, *b);
            });
    } catch (...) {
        // Sorting is a convenience: the list keeps whatever order it has.
    }
}

void TVelaJobsList::ReverseJobs() {
    std::reverse(jobs_.begin(), jobs_.end());
}

void TVelaJobsList::SetMarks(std::string_view selector, std::string_view mark) {
    std::function<bool(const TVelaJob&)> chosen;
    if (selector == "High")
        chosen = [](const TVelaJob& j) { return j.High; };
    else if (selector == "New")
        chosen = [](const TVelaJob& j) { return j.Status == kStatusNew; };
    else if (selector == "Green")
        chosen = [](const TVelaJob& j) { return j.Status == kStatusGreen; };
    else if (selector == "Yellow")
        chosen = [](const TVelaJob& j) { return j.Status == kStatusYellow; };
    else if (selector == "Red")
        chosen = [](const TVelaJob& j) { return j.Status == kStatusRed; };
    else
        return;

    std::function<void(TVelaJob&)> apply;
    auto status = [](uint8_t s) { return [s](TVelaJob& j) { j.Status = s; }; };
    if (mark == "High")
        apply = [](TVelaJob& j) { j.High = true; };
    else if (mark == "NotHigh")
        apply = [](TVelaJob& j) { j.High = false; };
    else if (mark == "New")
        apply = status(kStatusNew);
    else if (mark == "Green")
        apply = status(kStatusGreen);
    else if (mark == "Yellow")
        apply = status(kStatusYellow);
    else if (mark == "Red")
        apply = status(kStatusRed);
    else if (mark == "White")
        apply = status(kStatusWhite);
    else
        return;

    for (auto& j : jobs_)
        if (chosen(*j)) apply(*j);
}

void TVelaJobsList::PinAndHighlightAll() {
    for (auto& j : jobs_)
        j->Pinned = j->High = true;
}

void TVelaJobsList::UnpinAll() {
    for (auto& j : jobs_)
        j->Pinned = false;
}

bool TVelaJobsList::HasStatus(uint8_t status) const {
    return std::any_of(jobs_.begin(), jobs_.end(),
                       [status](const auto& j) { return j->Status == status; });
}

bool TVelaJobsList::HasHigh() const {
    return std::any_of(jobs_.begin(), jobs_.end(), [](const auto& j) { return j->High; });
}

void TVelaJobsList::CleanUpJobs(bool keepCapitals, const TKeepGoing& keepGoing) {
    // By index, and the count read each time: a message handled by the caller between jobs
    // must not leave us walking a changed vector.
    for (int i = 0; i < Count(); ++i) {
        TVelaJob& j = (*this)[i];
        j.Title = CleanJobText(j.Title, keepCapitals);
        j.Company = CleanJobText(j.Company, keepCapitals);
        j.Location = CleanJobText(j.Location, keepCapitals);
        if (j.Company.empty()) j.Company = "n/a";
        if (j.Location.empty()) j.Location = "n/a";
        j.URL = CleanJobURL(j.URL, j);
        j.Status = kStatusWhite;
        j.High = false;
        if (!AskKeepGoing(keepGoing)) break;
    }
}

void TVelaJobsList::ExpandStates() {
    for (auto& j : jobs_)
        j->Location = ExpandStateCodes(j->Location);
}

std::vector<int> NewJobPositions(const TVelaJobsList& jobs) {
    std::vector<int> positions;
    for (int i = 0; i < jobs.Count(); ++i)
        if (jobs[i].Status == kStatusNew && jobs[i].Relevancy != kRelevancyDeleted)
            positions.push_back(i);
    return positions;
}

}  // namespace tessaly
