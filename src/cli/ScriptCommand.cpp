// `tessaly script run`: runs a parser script over a text file, for people writing
// site definitions.
#include <algorithm>
#include <ostream>

#include "cli/Command.h"
#include "cli/Json.h"
#include "parsing/ParserScript.h"
#include "platform/TextFile.h"

namespace tessaly::cli {
namespace {

const char* kUsage =
    "Usage: tessaly script run SCRIPT TEXT [--repeated] [--trace] [--json]\n"
    "\n"
    "Runs the parser script in the file SCRIPT (one statement a line) over the file TEXT\n"
    "and writes the output bytes exactly as they are. Scripts see the bytes of the text\n"
    "whatever its charset; nothing is converted.\n"
    "\n"
    "  --repeated  run the script again and again over what each run leaves (as a job\n"
    "              block script is run); each output is followed by a line \"----\"\n"
    "  --trace     write, for every executed statement, the line index, the cursor and\n"
    "              the first 60 bytes of the content from the cursor on to standard error\n"
    "  --json      write one JSON object instead: {\"output\", \"content\", \"cursor\"}, or\n"
    "              with --repeated {\"outputs\": [...], \"content\"}; strings hold the bytes\n"
    "              as code points 0-255\n"
    "\n"
    "Exit status: 0 on success, 2 for bad usage or a file that cannot be read.\n";

int Run(const std::vector<std::string>& argv, TCliIO& io) {
    TArgs args;
    std::string error;
    if (!args.Parse(argv, {"repeated", "trace", "json"}, {}, error))
        return UsageError(io, "script run", error);
    if (args.Positional().size() != 2)
        return UsageError(io, "script run", "expected SCRIPT and TEXT");
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
        parser.OnTrace = [&io](TParserScript&, int line, int32_t cursor, std::string_view content) {
            const int64_t from = std::max<int64_t>(cursor, 1) - 1;
            const std::string_view rest =
                from < static_cast<int64_t>(content.size()) ? content.substr(from) : "";
            io.err << line << " " << cursor << " " << rest.substr(0, 60) << "\n";
        };
    }
    const bool json = args.Has("json");
    if (args.Has("repeated")) {
        const TStrings outputs = parser.RunRepeated(script, text);
        if (json) {
            TJsonWriter w;
            w.BeginObject().Key("outputs").Strings(outputs).Key("content").String(parser.Content());
            io.out << w.EndObject().Text() << "\n";
        } else {
            for (const auto& o : outputs)
                io.out << o << "\n----\n";
        }
    } else {
        const std::string output = parser.Run(script, text);
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

}  // namespace
}  // namespace tessaly::cli
