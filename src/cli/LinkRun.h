// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The run shared by `check` and `fetch`: open the file, queue the whole collection or the hits of
// a keyword query, run the engine on a Qt core event loop, print each result as it arrives, save.

#include "cli/Cli.h"
#include "status/LinkEngine.h"

namespace brindle::cli {

int RunLinkJob(LinkJob job, const Command& me, const Args& args, Io& io);

// The options both commands take.
std::vector<Option> LinkJobOptions(bool withConnectMax);

} // namespace brindle::cli
