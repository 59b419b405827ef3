// SPDX-License-Identifier: GPL-3.0-or-later
// brindle-cli check FILE [--connect-max N] [--query Q] [...]
#include "cli/Commands.h"
#include "cli/LinkRun.h"

namespace brindle::cli {

namespace {
int RunCheck(const Args& args, Io& io) {
    return RunLinkJob(LinkJob::Check, CheckCommand(), args, io);
}
} // namespace

Command CheckCommand() {
    return {"check",
            "check the links of the collection and save their status",
            "FILE [--connect-max N] [--query Q] [--proxy HOST:PORT] [--timeout S] [--no-backup]",
            "Asks every bookmark's URL (or those of the hits of a keyword query) whether the\n"
            "page still answers, as the Status Check command does: bookmarks with checking\n"
            "switched off or without URL are skipped. Each result is printed as it arrives as\n"
            "STATUS<TAB>NAME<TAB>URL; a summary follows on the error stream. The file is saved\n"
            "with its backups. Dead links are results: the exit code is 0 when the run\n"
            "completed, 1 when the file could not be read or written.",
            {"FILE"},
            LinkJobOptions(true),
            RunCheck};
}

} // namespace brindle::cli
