#include "parsing/ScriptCheck.h"

#include <algorithm>
#include <cctype>

#include "parsing/ParserScript.h"

namespace tessaly {

namespace {

bool IsQuote(char c) {
    return c == '"' || c == '\'';
}

const std::vector<std::string> kCommands = {"GO", "GET", "CUT", "ADD", "REPLACE", "DELETE"};

// Every option word of the language, for suggestions across commands.
const std::vector<std::string> kAllWords = {
    "FIRST",     "LAST",      "BEGIN",      "AFTER", "FORWARD", "BACKWARD", "CONDITIONNAL",
    "OPTIONNAL", "CHECKCASE", "IGNORECASE", "END",   "ALL",     "IN",       "OUT"};

std::vector<std::string> WordsOf(const std::string& command) {
    if (command == "GO")
        return {"FIRST",        "LAST",      "BEGIN",     "AFTER",      "FORWARD", "BACKWARD",
                "CONDITIONNAL", "OPTIONNAL", "CHECKCASE", "IGNORECASE", "END"};
    if (command == "GET" || command == "CUT") return {"ALL", "FORWARD", "BACKWARD"};
    if (command == "REPLACE" || command == "DELETE")
        return {"FIRST", "LAST", "ALL",       "FORWARD",   "BACKWARD",
                "IN",    "OUT",  "CHECKCASE", "IGNORECASE"};
    return {};
}

bool Contains(const std::vector<std::string>& v, const std::string& s) {
    return std::find(v.begin(), v.end(), s) != v.end();
}

bool AllDigits(std::string_view s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

size_t EditDistance(std::string_view a, std::string_view b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t up = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = up;
        }
    }
    return row[b.size()];
}

// The quotes of a line as the interpreter reads them.
struct TQuotes {
    // The quoting state is still on where the interpreter stops reading: the line's
    // arguments then run to its end and the statement loses its ")" (or more).
    bool open = false;
    // The first quote that ends a string although a letter or "=" follows it directly, as
    // the middle quotes of "data-automation="jobTitle"" or the ' of "Anne's": meant to
    // stand inside the string, it closes it. npos when no quote does.
    size_t earlyClose = std::string_view::npos;
};

TQuotes ReadQuotes(std::string_view line) {
    TQuotes q;
    const size_t paren = line.find('(');
    const size_t limit = line.empty() ? 0 : line.size() - 1;
    for (size_t i = paren == std::string_view::npos ? 0 : paren + 1; i < limit; ++i) {
        const char c = line[i];
        if (!IsQuote(c)) continue;
        const char next = line[i + 1];
        if (next == c) {
            ++i;
            continue;
        }
        q.open = !q.open;
        if (!q.open && q.earlyClose == std::string_view::npos &&
            (std::isalpha(static_cast<unsigned char>(next)) || next == '='))
            q.earlyClose = i;
    }
    return q;
}

std::string Quoted(std::string_view s) {
    return "'" + std::string(s) + "'";
}

// The findings for one non-string argument of `command`.
void CheckOption(const std::string& command, const std::string& arg,
                 std::vector<std::string>& problems) {
    const bool go = command == "GO";
    const bool amount = command == "GET" || command == "CUT";
    const bool replace = command == "REPLACE" || command == "DELETE";
    if (arg[0] == '+' || arg[0] == '-' || arg[0] == '#') {
        const bool allowed = go || (replace && arg[0] == '#');
        if (!allowed) {
            problems.push_back("option " + Quoted(arg) + " does not exist for " + command +
                               ": ignored");
        } else if (!ParseInt(std::string_view(arg).substr(1))) {
            problems.push_back(Quoted(arg) + ": " + arg.substr(0, 1) +
                               " must be followed by a number; it counts as 0");
        }
        return;
    }
    if (AllDigits(arg)) {
        if (go) return;  // an absolute position
        if (amount) {
            if (ParseIntOr(arg, 0) < 2)
                problems.push_back("count " + arg + " is ignored: a count must be 2 or more");
            return;
        }
        problems.push_back("number " + arg + " does not exist as an option of " + command +
                           ": ignored");
        return;
    }
    const std::string w = UpperCase(arg);
    if (Contains(WordsOf(command), w)) return;
    if (arg[0] == ' ' || arg[0] == '\t') {
        problems.push_back("option " + Quoted(arg) +
                           " begins with a blank (a blank right after '(' stays part of the "
                           "first argument): ignored");
        return;
    }
    if (Contains(kAllWords, w)) {
        problems.push_back("option " + arg + " does not exist for " + command + ": ignored");
        return;
    }
    std::string message = "unknown option " + Quoted(arg) + " for " + command + ": ignored";
    if (w == "BEFORE") {
        message += " (there is no BEFORE; BEGIN, the default, puts the cursor on the match)";
    } else if (arg.find('(') != std::string::npos) {
        message += " (two statements on one line? put each on its own line)";
    } else if (const std::string near = NearestWord(w, WordsOf(command)); !near.empty()) {
        message += " (did you mean " + near + "?)";
    }
    problems.push_back(message);
}

}  // namespace

std::string NearestWord(std::string_view word, const std::vector<std::string>& known) {
    const std::string upper = UpperCase(word);
    std::string best;
    size_t bestDistance = 0;
    for (const auto& k : known) {
        const size_t d = EditDistance(upper, UpperCase(k));
        if (best.empty() || d < bestDistance) {
            best = k;
            bestDistance = d;
        }
    }
    // Close enough to be a slip of the keyboard: at most a third of the word, and 2.
    const size_t allowed = std::min<size_t>(2, std::max<size_t>(1, upper.size() / 3));
    return !best.empty() && bestDistance <= allowed ? best : std::string();
}

std::vector<std::string> CheckScriptLine(std::string_view line) {
    std::vector<std::string> problems;
    if (line.find_first_not_of(" \t") == std::string_view::npos) return problems;
    const size_t paren = line.find('(');
    if (paren == std::string_view::npos) {
        problems.push_back("no '(': not a statement; the line runs nothing");
        return problems;
    }
    const std::string written(line.substr(0, paren));
    if (!written.empty() && (written[0] == ' ' || written[0] == '\t')) {
        problems.push_back("blank before the statement name: the line runs nothing");
        return problems;
    }
    const std::string command = UpperCase(written);
    if (!Contains(kCommands, command)) {
        std::string message = "unknown statement " + Quoted(written) + ": skipped";
        if (const std::string near = NearestWord(command, kCommands); !near.empty())
            message += " (did you mean " + near + "?)";
        problems.push_back(message);
        return problems;
    }
    const TQuotes quotes = ReadQuotes(line);
    if (const size_t quote = quotes.earlyClose; quote != std::string_view::npos) {
        const std::string_view rest = line.substr(quote + 1);
        size_t n = 1;
        while (n < rest.size() && (std::isalnum(static_cast<unsigned char>(rest[n])) ||
                                   rest[n] == '-' || rest[n] == '_'))
            ++n;
        std::string message = "the " + std::string(1, line[quote]) + " before " +
                              Quoted(rest.substr(0, rest[0] == '=' ? 1 : n)) +
                              " ends the string early: a quote inside a string is written "
                              "twice (\"\" or '')";
        if (quotes.open)
            message +=
                "; the quotes are then unbalanced, so the arguments run to the end of the "
                "line";
        problems.push_back(message);
        return problems;
    }
    if (quotes.open) {
        problems.push_back(
            "unbalanced quotes: the last string is not closed, so the arguments run to the end "
            "of the line (a quote inside a string is written twice: '' or \"\")");
        return problems;
    }
    const TScriptStatement st = ParseScriptLine(line);
    const bool noSemicolon = line.back() == ')';
    if (st.arguments.empty()) {
        problems.push_back(noSemicolon
                               ? "no ';' after ')': the last character of a line is never read, "
                                 "so the only argument is lost and the line runs nothing"
                               : "no argument: the line runs nothing");
        return problems;
    }
    if (noSemicolon)
        problems.push_back(
            "no ';' after ')': the last character of a line is never read, so the last "
            "argument is lost");

    int strings = 0, nonEmptyStrings = 0;
    bool moves = false;
    for (const auto& a : st.arguments) {
        if (a.empty()) {
            problems.push_back("empty argument (two commas in a row?): ignored");
            continue;
        }
        if (IsQuote(a[0])) {
            ++strings;
            if (a.size() > 2) ++nonEmptyStrings;
            if (command == "GET" || command == "CUT")
                problems.push_back(command + " takes no string: " + a + " is ignored");
            else if (command == "GO" && a.size() <= 2)
                problems.push_back("an empty string is never found: this GO always fails");
            continue;
        }
        if (command == "ADD") continue;  // judged as a whole below
        if (command == "GO" &&
            (a[0] == '+' || a[0] == '-' || a[0] == '#' || AllDigits(a) || UpperCase(a) == "END"))
            moves = true;
        CheckOption(command, a, problems);
    }
    if (command == "ADD") {
        if (!IsQuote(st.arguments[0].empty() ? ' ' : st.arguments[0][0]))
            problems.push_back("ADD needs a string as its first argument");
        else if (st.arguments.size() > 1)
            problems.push_back("ADD uses its first argument only; the others are ignored");
    }
    const bool counted = std::any_of(st.arguments.begin(), st.arguments.end(), [](const auto& a) {
        return a.size() > 1 && a[0] == '#' && ParseIntOr(std::string_view(a).substr(1), 0) > 0;
    });
    if (command == "GO" && strings == 0 && counted)
        problems.push_back("GO with an occurrence number but no string finds nothing and fails");
    else if (command == "GO" && strings == 0 && !moves)
        problems.push_back("GO with no string, position or move does nothing");
    if ((command == "REPLACE" || command == "DELETE") && nonEmptyStrings == 0)
        problems.push_back(command + " without a string to search for does nothing");
    return problems;
}

std::vector<std::string> CheckRepeatedScriptLine(std::string_view line) {
    const TScriptStatement st = ParseScriptLine(line);
    if (UpperCase(st.name) != "REPLACE") return {};
    // The search and replacement strings and the options as REPLACE reads them.
    std::string find, repl;
    bool out = false, ignoreCase = false;
    for (const auto& a : st.arguments) {
        if (a.empty()) continue;
        if (IsQuote(a[0])) {
            (find.empty() ? find : repl) = a.size() >= 2 ? a.substr(1, a.size() - 2) : "";
            continue;
        }
        const std::string w = UpperCase(a);
        if (w == "IN" || w == "OUT") out = w == "OUT";
        if (w == "CHECKCASE" || w == "IGNORECASE") ignoreCase = w == "IGNORECASE";
    }
    if (out || find.empty()) return {};
    const bool grows = ignoreCase ? UpperCase(repl).find(UpperCase(find)) != std::string::npos
                                  : repl.find(find) != std::string::npos;
    if (!grows) return {};
    return {"the replacement " + Quoted(repl) + " holds its own search text " + Quoted(find) +
            ": every run lengthens the content, and a repeated run stops at the first run that "
            "does not shorten it"};
}

std::vector<TScriptProblem> CheckScript(const TStrings& script) {
    std::vector<TScriptProblem> all;
    for (size_t i = 0; i < script.size(); ++i)
        for (auto& m : CheckScriptLine(script[i]))
            all.push_back({static_cast<int>(i), std::move(m)});
    return all;
}

}  // namespace tessaly
