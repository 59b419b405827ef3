// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/Commands.h"

namespace brindle::cli {

const std::vector<Command>& AllCommands() {
    static const std::vector<Command> commands = {
        NewCommand(),      InfoCommand(),   AddCommand(),     ListCommand(),
        KeywordsCommand(), ImportCommand(), ExportCommand(),  ExportProfileCommand(),
        CheckCommand(),    FetchCommand(),  ArchiveCommand(), SearchCommand(),
    };
    return commands;
}

} // namespace brindle::cli
