// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The frame of brindle-cli: commands described by a table (Commands.cpp), their options parsed
// the same way everywhere, "--help" on the tool and on every command, results on stdout, errors
// on stderr, and the exit codes 0 (success), 1 (a failure the program reports), 2 (bad usage).

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace brindle::cli {

enum ExitCode : int { kExitOk = 0, kExitFailure = 1, kExitUsage = 2 };

inline constexpr const char* kToolName = "brindle-cli";

struct Option {
    const char* name;      // "--name"
    const char* valueName; // "N" for an option that takes a value, nullptr for a flag
    const char* help;
};

struct Command;

// A command's parsed arguments.
class Args {
  public:
    const std::vector<std::string>& Positionals() const { return m_positionals; }
    const std::string& Positional(std::size_t i) const { return m_positionals.at(i); }
    bool Has(std::string_view option) const;
    // The value of the option's last occurrence.
    std::optional<std::string> Value(std::string_view option) const;
    // The values of every occurrence, in order (options that may repeat).
    std::vector<std::string> Values(std::string_view option) const;

  private:
    friend int RunCommand(const Command&, const std::vector<std::string>&, std::ostream&,
                          std::ostream&);
    std::vector<std::string> m_positionals;
    std::vector<std::pair<std::string, std::string>> m_options; // name, value ("" for flags)
};

// Where a command writes: results to `out`, messages to `err`.
struct Io {
    std::ostream& out;
    std::ostream& err;
};

struct Command {
    const char* name;                     // "add"
    const char* summary;                  // one line for the tool's help
    const char* synopsis;                 // "FILE --name N --url U [--keywords K] ..."
    const char* description;              // a paragraph for the command's help
    std::vector<const char*> positionals; // "FILE"; a last "NAME..." takes one or more
    std::vector<Option> options;          // "--help" is added by the frame
    int (*run)(const Args& args, Io& io);
};

// The tool: `argv` without the program name.
int Main(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err);
// One command with its arguments (after the command name).
int RunCommand(const Command& command, const std::vector<std::string>& argv, std::ostream& out,
               std::ostream& err);

void PrintToolHelp(std::ostream& out);
void PrintCommandHelp(const Command& command, std::ostream& out);
// "brindle-cli CMD: message" and a pointer to --help on `err`; returns kExitUsage.
int UsageError(const Command& command, std::ostream& err, const std::string& message);

// Integer options: decimal, or hexadecimal with 0x; nothing when the text is not a number in
// [min, max].
std::optional<std::int64_t> ParseInteger(std::string_view text, std::int64_t min, std::int64_t max);

} // namespace brindle::cli
