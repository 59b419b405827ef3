// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/Commands.h"

namespace brindle::cli {

const std::vector<Command>& AllCommands() {
    static const std::vector<Command> commands = {
        // clang-format off
        NewCommand(),
        InfoCommand(),
        AddCommand(),
        ListCommand(),
        KeywordsCommand(),
        ImportCommand(),
        ExportCommand(),
        ExportProfileCommand(),
        CheckCommand(),
        FetchCommand(),
        DuplicatesCommand(),
        LinkCommand(),
        SyncCommand(),
        TrashCommand(),
        ArchiveCommand(),
        SearchCommand(),
        NativeHostCommand(),
        InstallBrowserHostCommand(),
        // clang-format on
    };
    return commands;
}

} // namespace brindle::cli
