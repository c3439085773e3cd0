#include "cli/Command.h"

#include <unistd.h>

#include <algorithm>
#include <exception>
#include <filesystem>
#include <ostream>

#include "platform/ByteString.h"
#include "platform/Home.h"
#include "platform/Utf8.h"

namespace tessaly::cli {

namespace {

std::vector<TCommand>& Registry() {
    static std::vector<TCommand> commands;
    return commands;
}

std::vector<std::string> Words(const std::string& s) {
    std::vector<std::string> w;
    size_t start = 0;
    while (start < s.size()) {
        size_t sp = s.find(' ', start);
        if (sp == std::string::npos) sp = s.size();
        if (sp > start) w.push_back(s.substr(start, sp - start));
        start = sp + 1;
    }
    return w;
}

std::map<std::string, std::string>& GroupHelp() {
    static std::map<std::string, std::string> help;
    return help;
}

// The help of a group: its own text, then the commands whose first word is the group.
void PrintGroup(const std::string& group, std::ostream& os) {
    std::vector<const TCommand*> members;
    for (const auto& c : Registry())
        if (Words(c.name).front() == group) members.push_back(&c);
    std::sort(members.begin(), members.end(),
              [](const TCommand* a, const TCommand* b) { return a->name < b->name; });
    if (auto it = GroupHelp().find(group); it != GroupHelp().end()) os << it->second << "\n";
    os << "Commands:\n";
    size_t width = 0;
    for (const auto* c : members)
        width = std::max(width, c->name.size());
    for (const auto* c : members)
        os << "  " << c->name << std::string(width - c->name.size() + 2, ' ') << c->summary << "\n";
    os << "\n'tessaly " << group << " COMMAND --help' describes a command.\n";
}

bool IsGroup(const std::string& word) {
    for (const auto& c : Registry()) {
        const auto w = Words(c.name);
        if (w.size() > 1 && w.front() == word) return true;
    }
    return false;
}

void PrintOverview(std::ostream& os) {
    os << "Usage: tessaly [--home DIR] [--cafile FILE] COMMAND [ARGUMENTS]\n\n"
          "Tessaly Jobs 98 without windows: searches, listings and the workbench for\n"
          "writing job-site definitions.\n\n"
          "The home directory holds id.box, sources.def, options.box and the searches. It is\n"
          "--home DIR, else $TESSALY_HOME, else the program's directory when it holds id.box,\n"
          "else $XDG_DATA_HOME/tessaly-jobs (~/.local/share/tessaly-jobs), created on first\n"
          "use. The window and the command line share it, one process at a time.\n"
          "--cafile FILE adds FILE's certificates to those trusted for https.\n\n"
          "Commands:\n";
    auto commands = Registry();
    std::sort(commands.begin(), commands.end(),
              [](const TCommand& a, const TCommand& b) { return a.name < b.name; });
    // A command without a summary is a helper the program runs itself.
    std::erase_if(commands, [](const TCommand& c) { return c.summary.empty(); });
    size_t width = 0;
    for (const auto& c : commands)
        width = std::max(width, c.name.size());
    for (const auto& c : commands)
        os << "  " << c.name << std::string(width - c.name.size() + 2, ' ') << c.summary << "\n";
    os << "\n'tessaly COMMAND --help' describes a command.\n";
}

}  // namespace

TResult<void> TArgs::Parse(const std::vector<std::string>& argv,
                           const std::vector<std::string>& flags,
                           const std::vector<std::string>& valued) {
    auto contains = [](const std::vector<std::string>& v, const std::string& s) {
        return std::find(v.begin(), v.end(), s) != v.end();
    };
    bool onlyPositional = false;
    for (size_t i = 0; i < argv.size(); ++i) {
        const std::string& a = argv[i];
        if (onlyPositional || a.size() < 2 || a.compare(0, 2, "--") != 0) {
            positional_.push_back(a);
            continue;
        }
        if (a == "--") {
            onlyPositional = true;
            continue;
        }
        std::string name = a.substr(2);
        std::optional<std::string> inlineValue;
        if (const size_t eq = name.find('='); eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name.resize(eq);
        }
        if (contains(valued, name)) {
            if (inlineValue) {
                values_.emplace(name, *inlineValue);
            } else if (i + 1 < argv.size()) {
                values_.emplace(name, argv[++i]);
            } else {
                return Error("option --" + name + " needs a value");
            }
        } else if (contains(flags, name) && !inlineValue) {
            flags_[name]++;
        } else {
            return Error("unknown option --" + name);
        }
    }
    return {};
}

std::optional<std::string> TArgs::Value(const std::string& name) const {
    auto range = values_.equal_range(name);
    if (range.first == range.second) return std::nullopt;
    return std::prev(range.second)->second;  // the last one wins
}

std::vector<std::string> TArgs::Values(const std::string& name) const {
    std::vector<std::string> v;
    auto range = values_.equal_range(name);
    for (auto it = range.first; it != range.second; ++it)
        v.push_back(it->second);
    return v;
}

void RegisterCommand(TCommand command) {
    Registry().push_back(std::move(command));
}

void RegisterGroupHelp(std::string group, std::string help) {
    GroupHelp()[std::move(group)] = std::move(help);
}

namespace {

std::string Escaped(std::string_view text, bool field) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    auto escape = [&](unsigned char c) {
        out += "\\x";
        out += kHex[c >> 4];
        out += kHex[c & 15];
    };
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            if (field && (c == '\n' || c == '\t'))
                out += c == '\n' ? "\\n" : "\\t";
            else if ((c < 0x20 && c != '\n' && c != '\t') || c == 0x7F)
                escape(c);
            else
                out += static_cast<char>(c);
            ++i;
            continue;
        }
        // A whole UTF-8 sequence is kept; any other byte is escaped alone.
        const size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 0;
        // U+0080 to U+009F are controls too (one of them opens a terminal command).
        const bool c1 =
            c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xA0;
        if (length > 0 && !c1 && i + length <= text.size() && IsValidUtf8(text.substr(i, length))) {
            out.append(text.substr(i, length));
            i += length;
        } else {
            escape(c);
            ++i;
        }
    }
    return out;
}

}  // namespace

std::string EscapeForDisplay(std::string_view text, bool oneLine) {
    return Escaped(text, oneLine);
}

std::string DisplayField(std::string_view stored) {
    return Escaped(Utf8FromStored(stored), true);
}

// Holds what was written up to the end of a line, so a character is never cut in two.
class TDisplayStream::TBuffer final : public std::streambuf {
  public:
    explicit TBuffer(std::streambuf* target) : target_(target) {}
    ~TBuffer() override { sync(); }

  protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        pending_ += traits_type::to_char_type(c);
        if (c == '\n') Pass(pending_.size());
        return c;
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        pending_.append(s, static_cast<size_t>(n));
        if (const size_t lf = pending_.rfind('\n'); lf != std::string::npos) Pass(lf + 1);
        return n;
    }
    int sync() override {
        Pass(pending_.size());
        return target_->pubsync();
    }

  private:
    void Pass(size_t n) {
        const std::string shown = EscapeForDisplay(std::string_view(pending_).substr(0, n));
        pending_.erase(0, n);
        target_->sputn(shown.data(), static_cast<std::streamsize>(shown.size()));
    }

    std::streambuf* target_;
    std::string pending_;
};

TDisplayStream::TDisplayStream(std::ostream& os)
    : os_(os), original_(os.rdbuf()), buffer_(std::make_unique<TBuffer>(original_)) {
    os_.rdbuf(buffer_.get());
}

TDisplayStream::~TDisplayStream() {
    os_.flush();
    os_.rdbuf(original_);
}

int UsageError(TCliIO& io, const std::string& command, const std::string& message) {
    io.err << "tessaly" << (command.empty() ? "" : " " + command) << ": "
           << EscapeForDisplay(message) << "\n";
    if (!command.empty()) io.err << "Try 'tessaly " << command << " --help'.\n";
    return kExitUsage;
}

std::string& HomeOption();
std::string& CAFileOption();

bool ReadableFile(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec) && ::access(path.c_str(), R_OK) == 0;
}

int RunCli(const std::vector<std::string>& originalArgv, TCliIO& io) {
    // The global "--home DIR" and "--cafile FILE" stand before the command.
    std::vector<std::string> argv = originalArgv;
    HomeOption().clear();
    CAFileOption().clear();
    while (!argv.empty()) {
        std::string name = argv[0];
        std::string value;
        if (name == "--home" || name == "--cafile") {
            if (argv.size() < 2)
                return UsageError(
                    io, "",
                    "option " + name + (name == "--home" ? " needs a directory" : " needs a file"));
            value = argv[1];
            argv.erase(argv.begin(), argv.begin() + 2);
        } else if (StartsWith(name, "--home=") || StartsWith(name, "--cafile=")) {
            size_t eq = name.find('=');
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
            argv.erase(argv.begin());
        } else {
            break;
        }
        if (value.empty())
            return UsageError(
                io, "",
                "option " + name + (name == "--home" ? " needs a directory" : " needs a file"));
        if (name == "--home") {
            // Absolute once, here: every path stored under the home is made from it.
            HomeOption() = CanonicalDirectory(value);
        } else {
            if (!ReadableFile(value))
                return UsageError(io, "", "no readable CA file '" + value + "'");
            CAFileOption() = value;
        }
    }
    if (argv.empty() || argv[0] == "--help" || argv[0] == "-h" || argv[0] == "help") {
        PrintOverview(argv.empty() ? io.err : io.out);
        return argv.empty() ? kExitUsage : kExitOk;
    }
    // The longest registered name that the arguments begin with.
    const TCommand* best = nullptr;
    size_t bestWords = 0;
    for (const auto& c : Registry()) {
        const auto w = Words(c.name);
        if (w.size() > argv.size() || w.size() <= bestWords) continue;
        if (std::equal(w.begin(), w.end(), argv.begin())) {
            best = &c;
            bestWords = w.size();
        }
    }
    if (!best && IsGroup(argv[0])) {
        // "tessaly defs" alone, or with --help: what the group is and its commands.
        const bool help =
            argv.size() > 1 && (argv[1] == "--help" || argv[1] == "-h" || argv[1] == "help");
        if (argv.size() == 1 || help) {
            PrintGroup(argv[0], help ? io.out : io.err);
            return help ? kExitOk : kExitUsage;
        }
        io.err << "tessaly: unknown command '" << argv[0] << " " << argv[1] << "'\n"
               << "Try 'tessaly " << argv[0] << " --help'.\n";
        return kExitUsage;
    }
    if (!best) {
        io.err << "tessaly: unknown command '" << argv[0] << "'\n"
               << "Try 'tessaly --help'.\n";
        return kExitUsage;
    }
    std::vector<std::string> rest(argv.begin() + static_cast<long>(bestWords), argv.end());
    if (std::find(rest.begin(), rest.end(), "--help") != rest.end()) {
        io.out << best->usage;
        return kExitOk;
    }
    try {
        return best->run(rest, io);
    } catch (const std::exception& e) {
        io.err << "tessaly " << best->name << ": " << EscapeForDisplay(e.what()) << "\n";
        return kExitUsage;
    }
}

}  // namespace tessaly::cli
