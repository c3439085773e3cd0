// `tessaly script run`: runs a parser script over a text file, for people writing
// site definitions.
#include <algorithm>
#include <ostream>

#include "cli/Command.h"
#include "cli/Json.h"
#include "cli/SourcesArg.h"
#include "parsing/ParserScript.h"
#include "parsing/ScriptCheck.h"
#include "platform/LinkAddress.h"
#include "platform/TextFile.h"

namespace tessaly::cli {
namespace {

const char* kUsage =
    "Usage: tessaly script run SCRIPT TEXT [--repeated] [--trace] [--json] [--url ADDRESS]\n"
    "\n"
    "Runs the parser script in the file SCRIPT (one statement a line) over the file TEXT\n"
    "and writes the output bytes exactly as they are. Scripts see the bytes of the text\n"
    "whatever its charset; nothing is converted.\n"
    "\n"
    "  --repeated  run the script again and again over what each run leaves (as a job\n"
    "              block script is run); each output is followed by a line \"----\"\n"
    "  --trace     write to standard error, first, every line the interpreter will skip or\n"
    "              ignore part of (\"N problem: ...\" and why), then for every executed\n"
    "              statement the line index (from 0), the cursor and the first 60 bytes of\n"
    "              the content from the cursor on; a GO that finds nothing is followed by\n"
    "              \"N FAILED: ...\" (the run ends there with an empty output)\n"
    "  --json      write one JSON object instead: {\"output\", \"content\", \"cursor\"}, or\n"
    "              with --repeated {\"outputs\": [...], \"content\"}; strings hold the bytes\n"
    "              as code points 0-255\n"
    "  --url ADDRESS  read each output as a link found in TEXT, saved from ADDRESS: a\n"
    "              relative link is completed against it, as a search completes job and\n"
    "              next-page links against the result page's address\n"
    "\n"
    "Exit status: 0 on success, 2 for bad usage or a file that cannot be read.\n"
    "The statements and their options: 'tessaly script --help' and docs/definitions.md.\n";

int Run(const std::vector<std::string>& argv, TCliIO& io) {
    TArgs args;
    if (auto parsed = args.Parse(argv, {"repeated", "trace", "json"}, {"url"}); !parsed)
        return UsageError(io, "script run", parsed.error());
    if (args.Positional().size() != 2)
        return UsageError(io, "script run", "expected SCRIPT and TEXT");
    std::string error;
    const std::string address = SavedPageAddress(args, nullptr, error);
    if (!error.empty()) return UsageError(io, "script run", error);
    std::string scriptBytes, text;
    for (auto [path, out] : {std::pair{&args.Positional()[0], &scriptBytes},
                             std::pair{&args.Positional()[1], &text}}) {
        try {
            *out = ReadFileBytes(*path);
        } catch (const EFileError& e) {
            io.err << "tessaly script run: " << e.what() << "\n";
            return kExitUsage;
        }
    }
    const TStrings script = SplitLines(scriptBytes);
    TParserScript parser;
    if (args.Has("trace")) {
        // First what the interpreter will skip or ignore, which it never says itself.
        for (const auto& p : CheckScript(script))
            io.err << p.line << " problem: " << script[static_cast<size_t>(p.line)] << "  -- "
                   << p.message << "\n";
        parser.OnTrace = [&io, &script](TParserScript& sender, int line, int32_t cursor,
                                        std::string_view content) {
            const int64_t from = std::max<int64_t>(cursor, 1) - 1;
            const std::string_view rest =
                from < static_cast<int64_t>(content.size()) ? content.substr(from) : "";
            // One line per statement: line ends and tabs of the preview print as blanks.
            std::string preview(rest.substr(0, 60));
            for (char& c : preview)
                if (c == '\r' || c == '\n' || c == '\t') c = ' ';
            io.err << line << " " << cursor << " " << preview << "\n";
            if (sender.FailedLine() == line)
                io.err << line << " FAILED: " << script[static_cast<size_t>(line)]
                       << "  -- not found; the run ends and its output is thrown away\n";
        };
    }
    const bool json = args.Has("json");
    if (args.Has("repeated")) {
        TStrings outputs = parser.RunRepeated(script, text);
        for (auto& o : outputs)
            o = ResolveLink(address, o);
        if (json) {
            TJsonWriter w;
            w.BeginObject().Key("outputs").Strings(outputs).Key("content").String(parser.Content());
            io.out << w.EndObject().Text() << "\n";
        } else {
            for (const auto& o : outputs)
                io.out << o << "\n----\n";
        }
    } else {
        const std::string output = ResolveLink(address, parser.Run(script, text));
        if (json) {
            TJsonWriter w;
            w.BeginObject()
                .Key("output")
                .String(output)
                .Key("content")
                .String(parser.Content())
                .Key("cursor")
                .Int(parser.CursorPosition());
            io.out << w.EndObject().Text() << "\n";
        } else {
            io.out << output;
        }
    }
    return kExitOk;
}

TRegisterCommand reg({"script run", "run a parser script over a text file", kUsage, Run});

const TRegisterGroupHelp kGroup{
    "script",
    "Usage: tessaly script run SCRIPT TEXT [--repeated] [--trace] [--json] [--url ADDRESS]\n"
    "\n"
    "The parser script language of the job-site definitions, one statement a line, each\n"
    "ended by \";\" (the last character of a line is never read):\n"
    "\n"
    "  Go(...);       move the cursor: to a string (\"text\", several: the nearest wins),\n"
    "                 +N/-N, a position N, #N (N-th occurrence); FIRST LAST, BEGIN AFTER,\n"
    "                 FORWARD BACKWARD, CONDITIONNAL OPTIONNAL, CHECKCASE IGNORECASE, END.\n"
    "                 A Go that finds nothing ends the run and throws the output away\n"
    "                 (unless OPTIONNAL or END).      Go(After, \"<td>\", IgnoreCase);\n"
    "  Get(...);      append N (2 or more) or ALL bytes after (FORWARD) or before\n"
    "                 (BACKWARD) the cursor to the output.   Get(All, Backward);\n"
    "  Cut(...);      delete them from the content.          Cut(All, Backward);\n"
    "  Add(\"text\");   append the text to the output.        Add(\"http://host\");\n"
    "  Replace(\"a\", \"b\", ...);  from the cursor on (FORWARD) or before it (BACKWARD),\n"
    "                 in the content (IN) or the output (OUT); ALL FIRST LAST #N,\n"
    "                 CHECKCASE IGNORECASE.                  Replace(\"&nbsp;\", \" \", Out);\n"
    "  Delete(\"a\", ...);  Replace with nothing.             Delete(\"<b>\", IgnoreCase);\n"
    "\n"
    "Strings take \"...\" or '...'; a quote of either kind inside a string is doubled\n"
    "(\"it''s\"). Names and option words ignore letter case; unknown ones are skipped\n"
    "without a word: 'tessaly defs check' and 'script run --trace' list them.\n"
    "\n"
    "The full guide, with a worked example: docs/definitions.md.\n"};

}  // namespace
}  // namespace tessaly::cli
