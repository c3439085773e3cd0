// `tessaly box get|set`: read and write one value of a settings box, packed or plain.
#include <ostream>

#include "cli/Command.h"
#include "data/ConfigBox.h"
#include "platform/ByteString.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"

namespace tessaly::cli {
namespace {

const char* kGetUsage =
    "Usage: tessaly box get FILE SECTION KEY [--edition E] [--line N]\n"
    "\n"
    "Writes the value of KEY in SECTION of the settings box FILE (packed or plain).\n"
    "  --edition E  read as edition E: items qualified with E are seen besides the\n"
    "               unqualified ones\n"
    "  --line N     only line N (from 0) of a multi-line value\n"
    "The value is written as the bytes stored, whatever their charset. A missing key\n"
    "writes nothing. Exit status 2 for bad usage or an unreadable file.\n";

const char* kSetUsage =
    "Usage: tessaly box set FILE SECTION KEY VALUE [--edition E]\n"
    "\n"
    "Sets KEY in SECTION of the settings box FILE (created when missing) and saves the\n"
    "box packed. --edition E writes the item qualified with edition E.\n";

// Loads the box with Edition set as asked; loading leaves it at the last key line's.
void Load(TConfigBox& box, const std::string& file, const TArgs& args) {
    // A device or a pipe is no box, and reading one may never end.
    if (PathExists(file) && !FileExists(file))
        throw EFileError("cannot read \"" + file +
                         "\": not a regular file (a device, a pipe or a socket)");
    box.LoadFromFile(file);
    box.Edition = args.Value("edition").value_or("");
}

int Get(const std::vector<std::string>& argv, TCliIO& io) {
    TArgs args;
    if (auto parsed = args.Parse(argv, {}, {"edition", "line"}); !parsed)
        return UsageError(io, "box get", parsed.error());
    if (args.Positional().size() != 3)
        return UsageError(io, "box get", "expected FILE SECTION KEY");
    const auto& p = args.Positional();
    TConfigBox box;
    Load(box, p[0], args);
    if (auto line = args.Value("line")) {
        const auto n = ParseInt(*line);
        if (!n || *n < 0) return UsageError(io, "box get", "--line takes a whole number from 0");
        io.out << box.ReadLine(*n, p[1], p[2]) << "\n";
    } else {
        io.out << box.ReadString(p[1], p[2]);
        if (!box.ReadString(p[1], p[2]).empty()) io.out << "\n";
    }
    return kExitOk;
}

int Set(const std::vector<std::string>& argv, TCliIO& io) {
    TArgs args;
    if (auto parsed = args.Parse(argv, {}, {"edition"}); !parsed)
        return UsageError(io, "box set", parsed.error());
    if (args.Positional().size() != 4)
        return UsageError(io, "box set", "expected FILE SECTION KEY VALUE");
    const auto& p = args.Positional();
    TConfigBox box;
    Load(box, p[0], args);
    box.WriteString(p[1], p[2], p[3]);
    box.SaveToFile(p[0]);
    return kExitOk;
}

TRegisterCommand regGet({"box get", "read one value of a settings box", kGetUsage, Get});
TRegisterCommand regSet({"box set", "write one value of a settings box", kSetUsage, Set});

}  // namespace
}  // namespace tessaly::cli
