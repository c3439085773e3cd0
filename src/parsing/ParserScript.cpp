#include "parsing/ParserScript.h"

#include <algorithm>
#include <limits>
#include <optional>

namespace tessaly {

namespace {

constexpr char kMark = static_cast<char>(0xA4);  // overwrites occurrences already counted
constexpr int64_t kMaxLen = std::numeric_limits<int64_t>::max() / 4;

bool IsQuote(char c) {
    return c == '"' || c == '\'';
}

bool IsString(const std::string& arg) {
    return !arg.empty() && IsQuote(arg[0]);
}

// The value of a string argument: without its first and last character.
std::string StringValue(const std::string& arg) {
    return Copy(arg, 2, static_cast<int64_t>(arg.size()) - 2);
}

// "+N", "-N", "#N": the rest read as a decimal number, 0 when it is not one.
int64_t NumberAfterPrefix(const std::string& arg) {
    return ParseInt(std::string_view(arg).substr(1)).value_or(0);
}

// A bare count or position: digits only.
std::optional<int64_t> PlainNumber(const std::string& arg) {
    if (arg.empty() || arg[0] < '0' || arg[0] > '9') return std::nullopt;
    auto v = ParseInt(arg);
    if (!v) return std::nullopt;
    return *v;
}

// First occurrence of `needle` in `hay` at or after 0-based `from`, case-folded
// comparison when `fold` (both sides already upper-cased by the caller otherwise).
size_t Find(std::string_view hay, std::string_view needle, size_t from) {
    if (needle.empty() || from > hay.size()) return std::string_view::npos;
    return hay.find(needle, from);
}

// Find with case folding of a to z on the fly; `needle` is already upper-cased. Stops at
// the first match, so a search near the cursor costs only the distance to it.
size_t FindFolded(std::string_view hay, std::string_view needle, size_t from) {
    if (needle.empty() || needle.size() > hay.size()) return std::string_view::npos;
    const size_t last = hay.size() - needle.size();
    for (size_t i = from; i <= last; ++i) {
        if (UpperChar(hay[i]) != needle[0]) continue;
        size_t k = 1;
        while (k < needle.size() && UpperChar(hay[i + k]) == needle[k])
            ++k;
        if (k == needle.size()) return i;
    }
    return std::string_view::npos;
}

// The greatest start of `needle` in `hay`, folding as FindFolded does.
size_t RFind(std::string_view hay, std::string_view needle, bool fold) {
    if (!fold) return hay.rfind(needle);
    if (needle.empty() || needle.size() > hay.size()) return std::string_view::npos;
    for (size_t i = hay.size() - needle.size() + 1; i-- > 0;) {
        size_t k = 0;
        while (k < needle.size() && UpperChar(hay[i + k]) == needle[k])
            ++k;
        if (k == needle.size()) return i;
    }
    return std::string_view::npos;
}

void Overwrite(std::string& s, size_t at, size_t len) {
    std::fill(s.begin() + static_cast<long>(at), s.begin() + static_cast<long>(at + len), kMark);
}

struct TMatch {
    size_t at = std::string_view::npos;  // 0-based in the area
    size_t len = 0;
    bool found() const { return at != std::string_view::npos; }
};

// Earliest first occurrence among `needles` at or after `from`; ties go to the
// string given first.
TMatch Earliest(std::string_view area, const std::vector<std::string>& needles, size_t from,
                bool fold = false) {
    TMatch best;
    for (const auto& n : needles) {
        const size_t at = fold ? FindFolded(area, n, from) : Find(area, n, from);
        if (at != std::string_view::npos && (!best.found() || at < best.at)) best = {at, n.size()};
    }
    return best;
}

// The N-th occurrence counted left to right over all needles without overlaps. Each
// next occurrence must start after the previous one, so the scan ends even when a
// needle itself holds the overwriting character.
TMatch Nth(std::string_view area, const std::vector<std::string>& needles, int64_t n) {
    if (n <= 0) return {};
    std::string work(area);
    size_t from = 0;
    TMatch m;
    for (int64_t count = 0; count < n; ++count) {
        m = Earliest(work, needles, from);
        if (!m.found()) return {};
        Overwrite(work, m.at, m.len);
        from = m.at + 1;
    }
    return m;
}

// The occurrence with the greatest start over all needles, each needle's occurrences
// found left to right in its own working copy with overwriting (so overlapping
// occurrences are not seen); ties go to the string given first.
TMatch Last(std::string_view area, const std::vector<std::string>& needles) {
    TMatch best;
    for (const auto& n : needles) {
        if (n.empty()) continue;
        std::string work(area);
        size_t from = 0;
        TMatch last;
        for (;;) {
            const size_t at = Find(work, n, from);
            if (at == std::string_view::npos) break;
            last = {at, n.size()};
            Overwrite(work, at, n.size());
            from = at + 1;
        }
        if (last.found() && (!best.found() || last.at > best.at)) best = last;
    }
    return best;
}

}  // namespace

// ---------------------------------------------------------------------------
// Statement syntax

namespace {

TGoArguments ReadGoArguments(const std::vector<std::string>& args) {
    TGoArguments g;
    auto& [needles, changed, absolute, move, occurrence, last, after, backward, optional,
           ignoreCase, toEnd] = g;
    for (const auto& a : args) {
        if (a.empty()) continue;
        if (IsString(a)) {
            needles.push_back(StringValue(a));
        } else if (a[0] == '+') {
            absolute = false;
            move = NumberAfterPrefix(a);
        } else if (a[0] == '-') {
            absolute = false;
            move = -NumberAfterPrefix(a);
        } else if (a[0] == '#') {
            occurrence = NumberAfterPrefix(a);
        } else if (auto n = PlainNumber(a)) {
            absolute = true;
            move = *n;
        } else {
            if (SameText(a, "FIRST"))
                last = false;
            else if (SameText(a, "LAST"))
                last = true;
            else if (SameText(a, "BEGIN"))
                after = false;
            else if (SameText(a, "AFTER"))
                after = true;
            else if (SameText(a, "FORWARD"))
                backward = false;
            else if (SameText(a, "BACKWARD"))
                backward = true;
            else if (SameText(a, "CONDITIONNAL"))
                optional = false;
            else if (SameText(a, "OPTIONNAL"))
                optional = true;
            else if (SameText(a, "CHECKCASE"))
                ignoreCase = false;
            else if (SameText(a, "IGNORECASE"))
                ignoreCase = true;
            else if (SameText(a, "END"))
                toEnd = true;
        }
    }
    if (backward || ignoreCase) {
        changed = needles;
        for (auto& k : changed) {
            if (backward) k = Reverse(k);
            if (ignoreCase) UpperCaseInPlace(k);
        }
    }
    return g;
}

TAmount ReadAmount(const std::vector<std::string>& args) {
    TAmount a;
    for (const auto& s : args) {
        if (s.empty() || IsString(s)) continue;
        if (auto n = PlainNumber(s)) {
            if (*n >= 2) {
                a.count = *n;
                a.all = false;
            }
            continue;
        }
        if (SameText(s, "ALL")) {
            a.all = true;
            a.count = 0;
        } else if (SameText(s, "FORWARD")) {
            a.backward = false;
        } else if (SameText(s, "BACKWARD")) {
            a.backward = true;
        }
    }
    return a;
}

// The command a statement names, compared without regard to case.
TScriptCommand CommandNamed(const std::string& name) {
    const std::pair<const char*, TScriptCommand> names[] = {
        {"GO", TScriptCommand::kGo},           {"GET", TScriptCommand::kGet},
        {"CUT", TScriptCommand::kCut},         {"ADD", TScriptCommand::kAdd},
        {"REPLACE", TScriptCommand::kReplace}, {"DELETE", TScriptCommand::kDelete}};
    for (const auto& [n, command] : names)
        if (SameText(name, n)) return command;
    return TScriptCommand::kUnknown;
}

}  // namespace

TScriptStatement ParseScriptLine(std::string_view line) {
    TScriptStatement st;
    const size_t paren = line.find('(');
    size_t i = 0;
    if (paren != std::string_view::npos) {
        st.name = std::string(line.substr(0, paren));
        i = paren + 1;
    }
    // The last character of a line is never read: a statement needs its ";".
    const size_t limit = line.empty() ? 0 : line.size() - 1;
    bool quoted = false;
    std::string arg;
    while (i < limit) {
        char c = line[i];
        if (IsQuote(c)) {
            if (i + 1 < line.size() && line[i + 1] == c)
                ++i;  // a doubled quote stands for one; the state does not change
            else
                quoted = !quoted;
        }
        arg += c;
        if (!quoted && (c == ',' || c == ')')) {
            arg.pop_back();
            st.arguments.push_back(std::move(arg));
            arg.clear();
        }
        ++i;
        if (!quoted)
            while (i < limit && (line[i] == ' ' || line[i] == ';'))
                ++i;
    }
    st.command = CommandNamed(st.name);
    if (st.command == TScriptCommand::kGo) st.go = ReadGoArguments(st.arguments);
    if (st.command == TScriptCommand::kGet || st.command == TScriptCommand::kCut)
        st.amount = ReadAmount(st.arguments);
    return st;
}

// ---------------------------------------------------------------------------
// Running

void TParserScript::SetContent(std::string_view text) {
    buf_.assign(text);
    off_ = 0;
    borrowed_ = false;
}

void TParserScript::SetContent(std::string&& text) {
    buf_ = std::move(text);
    off_ = 0;
    borrowed_ = false;
}

void TParserScript::DropFront(size_t n) {
    off_ += std::min(n, Base().size() - off_);
    // Compact now and then so the dropped part does not pile up; amortised linear.
    if (!borrowed_ && off_ > 4096 && off_ > buf_.size() / 2) {
        buf_.erase(0, off_);
        off_ = 0;
    }
}

void TParserScript::EraseContent(size_t at, size_t n) {
    if (borrowed_ && at + n >= static_cast<size_t>(Length())) {
        // Cutting off the tail of a borrowed text only shortens the view.
        lent_ = lent_.substr(0, off_ + at);
        return;
    }
    if (borrowed_) SetContent(View());
    buf_.erase(off_ + at, n);
}

void TParserScript::SetCursor(int64_t c) {
    c = std::clamp<int64_t>(c, std::numeric_limits<int32_t>::min(),
                            std::numeric_limits<int32_t>::max());
    cursor_ = static_cast<int32_t>(c);
}

TParsedScript ParseScript(const TStrings& script) {
    TParsedScript parsed;
    parsed.reserve(script.size());
    for (const auto& line : script)
        parsed.push_back(ParseScriptLine(line));
    return parsed;
}

std::string TParserScript::Run(const TStrings& script, std::string_view text) {
    return RunParsed(ParseScript(script), text);
}

std::string TParserScript::RunParsed(const TParsedScript& script, std::string_view text) {
    SetContent(text);
    return RunStatements(script);
}

std::string TParserScript::RunOver(const TParsedScript& script, std::string_view text) {
    lent_ = text;
    off_ = 0;
    borrowed_ = true;
    std::string out = RunStatements(script);
    // The text is the caller's: nothing may point into it once the run is over.
    SetContent(std::string_view());
    lent_ = {};
    return out;
}

TStrings TParserScript::RunRepeated(const TStrings& script, std::string_view text,
                                    size_t maxOutputs) {
    const TParsedScript parsed = ParseScript(script);
    SetContent(text);
    TStrings outputs;
    while (outputs.size() < maxOutputs) {
        const int64_t before = Length();
        // Each run starts over what the previous run left, which is the content as it
        // stands: no copy is needed.
        std::string out = RunStatements(parsed);
        // Only a shorter content is progress: the repetition then ends at the latest when
        // the content is used up.
        if (out.empty() || Length() >= before) break;
        outputs.push_back(std::move(out));
    }
    return outputs;
}

std::string TParserScript::RunStatements(const TParsedScript& script) {
    output_.clear();
    cursor_ = 1;
    failedLine_ = -1;
    stopped_ = false;
    for (size_t i = 0; i < script.size(); ++i) {
        const TOutcome outcome = Execute(script[i]);
        if (outcome == TOutcome::kFailed) failedLine_ = static_cast<int>(i);
        if (outcome != TOutcome::kUnknown && OnTrace)
            OnTrace(*this, static_cast<int>(i), cursor_, View());
        if (outcome == TOutcome::kFailed) {
            output_.clear();
            break;
        }
        if (!AskKeepGoing(KeepGoing)) {
            stopped_ = true;
            output_.clear();
            break;
        }
    }
    return output_;
}

TParserScript::TOutcome TParserScript::Execute(const TScriptStatement& st) {
    if (st.arguments.empty()) return TOutcome::kDone;  // executes nothing
    switch (st.command) {
        case TScriptCommand::kGo:
            return Go(st.go) ? TOutcome::kDone : TOutcome::kFailed;
        case TScriptCommand::kGet:
            Get(st.amount);
            break;
        case TScriptCommand::kCut:
            Cut(st.amount);
            break;
        case TScriptCommand::kAdd:
            Add(st.arguments);
            break;
        case TScriptCommand::kReplace:
            Replace(st.arguments);
            break;
        case TScriptCommand::kDelete: {
            auto args = st.arguments;
            args.emplace_back("\"\"");  // comes last, so the replacement is always empty
            Replace(args);
            break;
        }
        case TScriptCommand::kUnknown:
            return TOutcome::kUnknown;
    }
    return TOutcome::kDone;
}

// ---------------------------------------------------------------------------
// GO

bool TParserScript::Go(const TGoArguments& g) {
    const auto& [needles, changed, absolute, move, occurrence, last, after, backward, optional,
                 ignoreCase, toEnd] = g;
    const int64_t len = Length();
    int64_t cursor = EffectiveCursor();
    bool found = true;
    if (needles.empty() && occurrence <= 0) {
        cursor = absolute ? move : cursor + move;
        cursor = std::clamp<int64_t>(cursor, 0, len + 1);
    } else {
        const std::string_view content = View();
        const size_t c0 = static_cast<size_t>(std::min(cursor, len + 1) - 1);
        TMatch m;
        const std::vector<std::string>& keys = backward || ignoreCase ? changed : needles;
        if (occurrence < 0) {
            // A negative occurrence number never matches.
        } else if (!backward && occurrence == 0 && !last) {
            // The common case searches the content in place.
            m = Earliest(content.substr(c0), keys, 0, ignoreCase);
        } else if (backward && occurrence == 0 && !last) {
            // Nearest to the cursor going backwards: the occurrence ending last before it.
            const std::string_view before = content.substr(0, c0);
            for (const auto& raw : needles) {
                const std::string n = ignoreCase ? UpperCase(raw) : raw;
                if (n.empty() || n.size() > before.size()) continue;
                const size_t at = RFind(before, n, ignoreCase);
                if (at == std::string_view::npos) continue;
                const size_t p = before.size() - (at + n.size());  // start in the reversed area
                if (!m.found() || p < m.at) m = {p, n.size()};
            }
        } else {
            std::string area =
                backward ? Reverse(content.substr(0, c0)) : std::string(content.substr(c0));
            if (ignoreCase) UpperCaseInPlace(area);
            if (occurrence > 0)
                m = Nth(area, keys, occurrence);
            else if (last)
                m = Last(area, keys);
            else
                m = Earliest(area, keys, 0);
        }
        found = m.found();
        if (found) {
            const auto skip = static_cast<int64_t>(m.at);
            const auto mlen = static_cast<int64_t>(m.len);
            if (!backward)
                cursor += after ? skip + mlen : skip;
            else
                cursor -= after ? skip : skip + mlen;
        }
    }
    if (toEnd) {
        cursor = len + 1;
        found = true;
    }
    SetCursor(cursor);
    return found || optional;
}

// ---------------------------------------------------------------------------
// GET, CUT, ADD

void TParserScript::Get(const TAmount& a) {
    const std::string_view content = View();
    const int64_t cursor = EffectiveCursor();
    if (a.all && !a.backward) {
        output_ += Copy(content, cursor, kMaxLen);
    } else if (a.all) {
        output_ += Copy(content, 1, cursor - 1);
    } else if (a.count >= 2 && !a.backward) {
        output_ += Copy(content, cursor, a.count);
    } else if (a.count >= 2) {
        output_ += Copy(content, cursor - a.count, a.count);
    }
}

void TParserScript::Cut(const TAmount& a) {
    if (!a.all && a.count < 2) return;
    int64_t cursor = EffectiveCursor();
    const int64_t len = Length();
    if (!a.backward) {
        if (cursor > len) return;
        const int64_t n = a.all ? len - cursor + 1 : std::min(a.count, len - cursor + 1);
        EraseContent(static_cast<size_t>(cursor - 1), static_cast<size_t>(n));
    } else if (a.all) {
        DropFront(static_cast<size_t>(std::min(cursor - 1, len)));
        cursor = 1;
    } else {
        const int64_t start = cursor - a.count;
        if (start >= 1 && start <= len) {
            if (start == 1)
                DropFront(static_cast<size_t>(std::min(a.count, len)));
            else
                EraseContent(static_cast<size_t>(start - 1),
                             static_cast<size_t>(std::min(a.count, len - start + 1)));
        }
        cursor = std::max<int64_t>(cursor - a.count, 1);
    }
    SetCursor(cursor);
}

void TParserScript::Add(const std::vector<std::string>& args) {
    output_ += StringValue(args[0]);
}

// ---------------------------------------------------------------------------
// REPLACE and DELETE

namespace {

// Replaces in `work` per mode; returns the new text. `find` and `repl` are already
// reversed for a backward replace; `fold` compares upper-cased copies.
std::string ReplaceIn(std::string_view work, const std::string& find, const std::string& repl,
                      int64_t occurrence, int mode /*0 all, 1 first, 2 last*/, bool fold) {
    std::string foldedWork, foldedFind;
    std::string_view hay = work, needle = find;
    if (fold) {
        foldedWork = UpperCase(work);
        foldedFind = UpperCase(find);
        hay = foldedWork;
        needle = foldedFind;
    }
    auto replaceAt = [&](size_t at) {
        std::string r;
        r.reserve(work.size() - needle.size() + repl.size());
        r.append(work.substr(0, at)).append(repl).append(work.substr(at + needle.size()));
        return r;
    };
    if (occurrence != 0 || mode == 2) {
        // Counted scans overwrite what they found, so overlaps are never seen.
        std::string scan(hay);
        size_t from = 0, at = std::string_view::npos;
        int64_t count = 0;
        for (;;) {
            if (occurrence != 0 && count == occurrence) break;
            const size_t p = Find(scan, needle, from);
            if (p == std::string_view::npos) break;
            at = p;
            ++count;
            Overwrite(scan, p, needle.size());
            from = p + 1;
        }
        if (occurrence != 0 && count != occurrence) return std::string(work);
        if (at == std::string_view::npos) return std::string(work);
        return replaceAt(at);
    }
    if (mode == 1) {
        const size_t p = Find(hay, needle, 0);
        return p == std::string_view::npos ? std::string(work) : replaceAt(p);
    }
    // ALL, in one pass; the inserted text is never scanned again.
    std::string r;
    r.reserve(work.size());
    size_t start = 0;
    for (;;) {
        const size_t p = Find(hay, needle, start);
        if (p == std::string_view::npos) break;
        r.append(work.substr(start, p - start)).append(repl);
        start = p + needle.size();
    }
    r.append(work.substr(start));
    return r;
}

}  // namespace

void TParserScript::Replace(const std::vector<std::string>& args) {
    std::string find, repl;
    int64_t occurrence = 0;
    int mode = 0;
    bool backward = false, out = false, ignoreCase = false;
    for (const auto& a : args) {
        if (a.empty()) continue;
        if (IsString(a)) {
            if (find.empty())
                find = StringValue(a);
            else
                repl = StringValue(a);
        } else if (a[0] == '#') {
            occurrence = NumberAfterPrefix(a);
        } else {
            if (SameText(a, "ALL"))
                mode = 0;
            else if (SameText(a, "FIRST"))
                mode = 1;
            else if (SameText(a, "LAST"))
                mode = 2;
            else if (SameText(a, "FORWARD"))
                backward = false;
            else if (SameText(a, "BACKWARD"))
                backward = true;
            else if (SameText(a, "IN"))
                out = false;
            else if (SameText(a, "OUT"))
                out = true;
            else if (SameText(a, "CHECKCASE"))
                ignoreCase = false;
            else if (SameText(a, "IGNORECASE"))
                ignoreCase = true;
        }
    }
    if (find.empty()) return;

    // With OUT the command works on the output, divided at the same cursor.
    std::string text = out ? output_ : std::string(View());
    const int64_t cursor = EffectiveCursor();
    std::string result;
    int64_t shift = 0;
    if (!backward) {
        const int64_t cut = std::min<int64_t>(cursor - 1, static_cast<int64_t>(text.size()));
        const std::string_view s(text);
        result.append(s.substr(0, static_cast<size_t>(cut)));
        result +=
            ReplaceIn(s.substr(static_cast<size_t>(cut)), find, repl, occurrence, mode, ignoreCase);
    } else {
        const int64_t cut = std::min<int64_t>(cursor - 1, static_cast<int64_t>(text.size()));
        const std::string_view s(text);
        const std::string work = Reverse(s.substr(0, static_cast<size_t>(cut)));
        const std::string done =
            ReplaceIn(work, Reverse(find), Reverse(repl), occurrence, mode, ignoreCase);
        shift = static_cast<int64_t>(done.size()) - static_cast<int64_t>(work.size());
        result = Reverse(done);
        result.append(s.substr(static_cast<size_t>(cut)));
    }
    if (out) {
        output_ = std::move(result);
    } else {
        SetContent(std::move(result));
        if (backward) SetCursor(cursor_ + shift);
    }
}

}  // namespace tessaly
