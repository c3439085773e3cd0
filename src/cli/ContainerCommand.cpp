// `tessaly container list|unpack|pack`: the packed container files from the command line.
#include <cstdio>
#include <ostream>

#include "cli/Command.h"
#include "data/Packer.h"
#include "platform/TextFile.h"

namespace tessaly::cli {
namespace {

std::string DosDateText(std::uint32_t dos) {
    const unsigned date = dos >> 16, time = dos & 0xFFFF;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04u-%02u-%02u %02u:%02u:%02u", (date >> 9) + 1980,
                  (date >> 5) & 15, date & 31, time >> 11, (time >> 5) & 63, (time & 31) * 2);
    return buf;
}

int Failed(TCliIO& io, const std::string& command, const std::string& file,
           const std::string& message) {
    io.err << "tessaly container " << command << ": " << file << ": " << message << "\n";
    return kExitUsage;
}

int RunList(const std::vector<std::string>& argv, TCliIO& io) {
    TArgs args;
    if (auto parsed = args.Parse(argv, {}, {}); !parsed)
        return UsageError(io, "container list", parsed.error());
    if (args.Positional().size() != 1)
        return UsageError(io, "container list", "expected one container FILE");
    const std::string& file = args.Positional()[0];
    TPacker packer;
    TPackedMembers members;
    try {
        packer.ListMembers(file, members);
    } catch (const std::exception& e) {
        return Failed(io, "list", file, e.what());
    }
    io.out << "name\tsize\tpacked\tmethod\tchecksum\tdate\n";
    for (const auto& m : members) {
        char sum[16];
        std::snprintf(sum, sizeof sum, "%08x", m.checksum);
        io.out << m.name << '\t' << m.unpackedSize << '\t' << m.packedSize << '\t'
               << MethodIdentifier(m.method) << '\t' << sum << '\t' << DosDateText(m.dosDateTime)
               << '\n';
    }
    return kExitOk;
}

int RunUnpack(const std::vector<std::string>& argv, TCliIO& io) {
    TArgs args;
    if (auto parsed = args.Parse(argv, {}, {"to", "member"}); !parsed)
        return UsageError(io, "container unpack", parsed.error());
    const auto& pos = args.Positional();
    if (pos.empty() || pos.size() > 2)
        return UsageError(io, "container unpack", "expected FILE [DIR]");
    // The target directory is the second word, as with other unpacking tools; --to is
    // the older spelling of the same.
    if (pos.size() == 2 && args.Value("to") && *args.Value("to") != pos[1])
        return UsageError(io, "container unpack",
                          "two target directories: " + pos[1] + " and --to " + *args.Value("to"));
    const std::string target = pos.size() == 2 ? pos[1] : args.Value("to").value_or(".");
    TPacker packer;
    packer.SetTargetPath(target);
    packer.makeDirectories = true;
    packer.exceptionOnFileError = true;
    try {
        TPackedMembers members;
        packer.ListMembers(pos[0], members);
        std::vector<std::string> names;
        if (const auto member = args.Value("member"))
            names.push_back(*member);
        else
            for (const auto& m : members)
                names.push_back(m.name);
        if (names.empty()) return Failed(io, "unpack", pos[0], "the container holds no member");
        for (const auto& name : names) {
            const std::string written = packer.Unpack(name, pos[0]);
            if (written.empty()) return Failed(io, "unpack", pos[0], "no usable member " + name);
            io.out << written << '\n';
        }
    } catch (const std::exception& e) {
        return Failed(io, "unpack", pos[0], e.what());
    }
    return kExitOk;
}

int RunPack(const std::vector<std::string>& argv, TCliIO& io) {
    TArgs args;
    if (auto parsed = args.Parse(argv, {}, {"method"}); !parsed)
        return UsageError(io, "container pack", parsed.error());
    const auto& pos = args.Positional();
    if (pos.size() != 2) return UsageError(io, "container pack", "expected OUT FILE");
    const std::string method = args.Value("method").value_or("LH5");
    TPackMethod m;
    if (method == "LH5")
        m = TPackMethod::Lh5;
    else if (method == "NON")
        m = TPackMethod::None;
    else
        return UsageError(io, "container pack", "--method must be LH5 or NON, not " + method);
    TPacker packer;
    packer.exceptionOnFileError = true;
    try {
        const std::string name = packer.Pack(pos[0], pos[1], m);
        TPackedMembers members;
        packer.ListMembers(pos[0], members);
        io.out << name << '\t' << members.at(0).unpackedSize << '\t' << members.at(0).packedSize
               << '\t' << MethodIdentifier(members.at(0).method) << '\n';
    } catch (const std::exception& e) {
        return Failed(io, "pack", pos[1], e.what());
    }
    return kExitOk;
}

const TRegisterCommand kList({"container list", "list the members of a packed container",
                              "Usage: tessaly container list FILE\n"
                              "Prints name, size, packed size, method, checksum and date of "
                              "every member.\n",
                              RunList});
const TRegisterCommand kUnpack({"container unpack", "unpack members of a packed container",
                                "Usage: tessaly container unpack FILE [DIR] [--member NAME]\n"
                                "Unpacks every member, or only NAME, below DIR (default: the "
                                "current directory; --to DIR says the same) and prints the "
                                "files written.\n",
                                RunUnpack});
const TRegisterCommand kPack({"container pack", "pack one file into a new container",
                              "Usage: tessaly container pack OUT FILE [--method LH5|NON]\n"
                              "Writes OUT holding FILE; LH5 falls back to NON when packing "
                              "would not make the data smaller.\n",
                              RunPack});

}  // namespace
}  // namespace tessaly::cli
