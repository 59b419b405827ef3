// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The run shared by `check` and `fetch`: open the file, queue the whole collection or the hits of
// a keyword query, run the engine on a Qt core event loop, print each result as it arrives, save.

#include "cli/Cli.h"
#include "status/LinkEngine.h"

namespace brindle::cli {

int RunLinkJob(LinkJob job, const Command& me, const Args& args, Io& io);

// The options of each command.
std::vector<Option> LinkJobOptions(LinkJob job);

} // namespace brindle::cli
