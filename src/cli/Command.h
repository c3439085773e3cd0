// The `tessaly` command line: every verb is a small command object that registers
// itself. Commands write only to the streams they are given, so tests run them
// in-process and read what they printed.
#pragma once

#include <functional>
#include <iosfwd>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Result.h"

namespace tessaly::cli {

// Exit statuses shared by every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // the operation ran and failed (a fetch, a check)
inline constexpr int kExitUsage = 2;   // bad usage or a file that cannot be used
inline constexpr int kExitAborted = 3;

struct TCliIO {
    std::ostream& out;
    std::ostream& err;
};

// Splits arguments into positionals and options. Options are "--name" or
// "--name VALUE"; which names take a value is declared by the command.
class TArgs {
  public:
    // Fails on an unknown option or a missing value.
    TResult<void> Parse(const std::vector<std::string>& argv, const std::vector<std::string>& flags,
                        const std::vector<std::string>& valued);

    const std::vector<std::string>& Positional() const { return positional_; }
    bool Has(const std::string& name) const { return flags_.count(name) || values_.count(name); }
    std::optional<std::string> Value(const std::string& name) const;
    // Every value given for a repeatable option, in order.
    std::vector<std::string> Values(const std::string& name) const;

  private:
    std::vector<std::string> positional_;
    std::map<std::string, int> flags_;
    std::multimap<std::string, std::string> values_;
};

struct TCommand {
    std::string name;     // "script run": one or more words
    std::string summary;  // one line for the command list
    std::string usage;    // the full help text
    std::function<int(const std::vector<std::string>& args, TCliIO& io)> run;
};

// Adds a command to the registry; use through a static TRegisterCommand.
void RegisterCommand(TCommand command);

struct TRegisterCommand {
    explicit TRegisterCommand(TCommand command) { RegisterCommand(std::move(command)); }
};

// The help of a group of commands ("defs", "script"): what `tessaly GROUP --help` prints
// before the list of the group's commands.
void RegisterGroupHelp(std::string group, std::string help);

struct TRegisterGroupHelp {
    TRegisterGroupHelp(std::string group, std::string help) {
        RegisterGroupHelp(std::move(group), std::move(help));
    }
};

// Runs the command line (without the program name) and returns the exit status.
int RunCli(const std::vector<std::string>& argv, TCliIO& io);

// A message made safe for a terminal: control bytes other than line breaks and tabs, the
// C1 control characters (U+0080 to U+009F), and bytes that are not part of valid UTF-8,
// are shown as \xNN (a C1 character as the \xNN of each of its two bytes). With
// `oneLine`, tabs and line breaks are shown as \t and \n as well.
std::string EscapeForDisplay(std::string_view text, bool oneLine = false);
// One field of a row of text output (`show`, `list`): as EscapeForDisplay, and tabs and
// line breaks too, so a field never breaks its row. Stored bytes that are not UTF-8 are
// read as Windows-1252 first.
std::string DisplayField(std::string_view stored);

// Everything written to `os` while this lives goes out through EscapeForDisplay (for a
// report that prints texts of a file it reads).
class TDisplayStream {
  public:
    explicit TDisplayStream(std::ostream& os);
    ~TDisplayStream();
    TDisplayStream(const TDisplayStream&) = delete;
    TDisplayStream& operator=(const TDisplayStream&) = delete;

  private:
    class TBuffer;
    std::ostream& os_;
    std::streambuf* original_;
    std::unique_ptr<TBuffer> buffer_;
};

// Writes "tessaly: MESSAGE" to standard error and returns kExitUsage.
int UsageError(TCliIO& io, const std::string& command, const std::string& message);

}  // namespace tessaly::cli
