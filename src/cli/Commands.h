// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The commands of brindle-cli, each defined in its own Cmd*.cpp file.

#include "cli/Cli.h"

#include <vector>

namespace brindle::cli {

Command NewCommand();
Command InfoCommand();
Command AddCommand();
Command ListCommand();
Command KeywordsCommand();
Command ImportCommand();
Command ExportCommand();
Command ExportProfileCommand();
Command CheckCommand();
Command FetchCommand();
Command NativeHostCommand();
Command InstallBrowserHostCommand();
Command LinkCommand();
Command SyncCommand();
Command DuplicatesCommand();
Command TrashCommand();
Command ArchiveCommand();
Command SearchCommand();

// The one table of commands, in the order the tool's help lists them.
const std::vector<Command>& AllCommands();

} // namespace brindle::cli
