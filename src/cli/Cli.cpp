// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/Cli.h"

#include "cli/Commands.h"
#include "store/Version.h"

#include <charconv>
#include <cstring>

namespace brindle::cli {

namespace {

const Option kHelpOption = {"--help", nullptr, "show this help and exit"};

const Option* FindOption(const Command& command, std::string_view name) {
    for (const Option& o : command.options)
        if (name == o.name)
            return &o;
    return nullptr;
}

std::string OptionLabel(const Option& o) {
    std::string label = o.name;
    if (o.valueName) {
        label += ' ';
        label += o.valueName;
    }
    return label;
}

void PrintColumns(std::ostream& out, const std::string& left, const char* right) {
    constexpr std::size_t kWidth = 22;
    out << "  " << left;
    if (left.size() + 2 < kWidth)
        out << std::string(kWidth - left.size() - 2, ' ');
    else
        out << "\n" << std::string(kWidth, ' ');
    out << right << "\n";
}

} // namespace

bool Args::Has(std::string_view option) const {
    for (const auto& [name, value] : m_options)
        if (name == option)
            return true;
    return false;
}

std::optional<std::string> Args::Value(std::string_view option) const {
    std::optional<std::string> found;
    for (const auto& [name, value] : m_options)
        if (name == option)
            found = value;
    return found;
}

std::vector<std::string> Args::Values(std::string_view option) const {
    std::vector<std::string> values;
    for (const auto& [name, value] : m_options)
        if (name == option)
            values.push_back(value);
    return values;
}

std::optional<std::int64_t> ParseInteger(std::string_view text, std::int64_t min,
                                         std::int64_t max) {
    bool negative = false;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty())
        return std::nullopt;
    std::uint64_t magnitude = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    if (magnitude > static_cast<std::uint64_t>(INT64_MAX))
        return std::nullopt;
    const std::int64_t value =
        negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
    if (value < min || value > max)
        return std::nullopt;
    return value;
}

void PrintToolHelp(std::ostream& out) {
    out << "Usage: " << kToolName << " COMMAND [ARGUMENTS...]\n"
        << "       " << kToolName << " COMMAND --help\n"
        << "       " << kToolName << " --version\n\n"
        << "Brindle's bookmark document (.brx) from the command line.\n\nCommands:\n";
    for (const Command& c : AllCommands())
        PrintColumns(out, c.name, c.summary);
    out << "\nResults go to standard output, messages to standard error.\n"
        << "Exit status: 0 success, 1 a failure that is reported, 2 bad usage.\n";
}

void PrintCommandHelp(const Command& command, std::ostream& out) {
    out << "Usage: " << kToolName << " " << command.name;
    if (command.synopsis && *command.synopsis)
        out << " " << command.synopsis;
    out << "\n\n" << command.summary << "\n";
    if (command.description && *command.description)
        out << "\n" << command.description << "\n";
    out << "\nOptions:\n";
    for (const Option& o : command.options)
        PrintColumns(out, OptionLabel(o), o.help);
    PrintColumns(out, kHelpOption.name, kHelpOption.help);
}

int UsageError(const Command& command, std::ostream& err, const std::string& message) {
    err << kToolName << " " << command.name << ": " << message << "\n"
        << "Try '" << kToolName << " " << command.name << " --help'.\n";
    return kExitUsage;
}

int RunCommand(const Command& command, const std::vector<std::string>& argv, std::ostream& out,
               std::ostream& err) {
    Args args;
    bool onlyPositionals = false;
    for (std::size_t i = 0; i < argv.size(); ++i) {
        const std::string& a = argv[i];
        if (onlyPositionals || a.size() < 2 || a.compare(0, 2, "--") != 0) {
            args.m_positionals.push_back(a);
            continue;
        }
        if (a == "--") {
            onlyPositionals = true;
            continue;
        }
        if (a == kHelpOption.name) {
            PrintCommandHelp(command, out);
            return kExitOk;
        }
        const std::size_t eq = a.find('=');
        const std::string name = a.substr(0, eq);
        const Option* option = FindOption(command, name);
        if (!option)
            return UsageError(command, err, "unknown option '" + name + "'");
        if (!option->valueName) {
            if (eq != std::string::npos)
                return UsageError(command, err, "option '" + name + "' takes no value");
            args.m_options.emplace_back(name, std::string());
        } else if (eq != std::string::npos) {
            args.m_options.emplace_back(name, a.substr(eq + 1));
        } else if (i + 1 < argv.size()) {
            args.m_options.emplace_back(name, argv[++i]);
        } else {
            return UsageError(command, err, "option '" + name + "' needs a value");
        }
    }
    const bool repeats = !command.positionals.empty() &&
                         std::string_view(command.positionals.back()).ends_with("...");
    // A last "[NAME...]" takes any number, none included.
    const bool anyNumber = !command.positionals.empty() &&
                           std::string_view(command.positionals.back()).ends_with("...]");
    if (args.m_positionals.size() != command.positionals.size() &&
        !(repeats && args.m_positionals.size() > command.positionals.size()) &&
        !(anyNumber && args.m_positionals.size() + 1 >= command.positionals.size())) {
        if (args.m_positionals.size() < command.positionals.size())
            return UsageError(command, err,
                              std::string("missing ") +
                                  command.positionals[args.m_positionals.size()]);
        return UsageError(command, err,
                          "unexpected argument '" + args.m_positionals[command.positionals.size()] +
                              "'");
    }
    Io io{out, err};
    return command.run(args, io);
}

int Main(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err) {
    if (argv.empty()) {
        err << kToolName << ": missing command\n"
            << "Try '" << kToolName << " --help'.\n";
        return kExitUsage;
    }
    const std::string& first = argv[0];
    if (first == "--version") {
        out << kToolName << " " << Version() << "\n";
        return kExitOk;
    }
    if (first == "--help" || first == "-h" || first == "help") {
        if (first == "help" && argv.size() > 1) {
            for (const Command& c : AllCommands())
                if (argv[1] == c.name) {
                    PrintCommandHelp(c, out);
                    return kExitOk;
                }
        }
        PrintToolHelp(out);
        return kExitOk;
    }
    for (const Command& c : AllCommands())
        if (first == c.name)
            return RunCommand(c, std::vector<std::string>(argv.begin() + 1, argv.end()), out, err);
    err << kToolName << ": unknown command '" << first << "'\n"
        << "Try '" << kToolName << " --help'.\n";
    return kExitUsage;
}

} // namespace brindle::cli
