// SPDX-License-Identifier: GPL-3.0-or-later
// brindle-cli fetch FILE [--query Q] [...]
#include "cli/Commands.h"
#include "cli/LinkRun.h"

namespace brindle::cli {

namespace {
int RunFetch(const Args& args, Io& io) {
    return RunLinkJob(LinkJob::Fetch, FetchCommand(), args, io);
}
} // namespace

Command FetchCommand() {
    return {"fetch",
            "read the bookmarks' pages and take their description and keywords",
            "FILE [--connect-max N] [--per-host N] [--host-rate R] [--query Q] [--proxy URL]\n"
            "      [--timeout S] [--no-backup]",
            "Reads the page of every bookmark (or of the hits of a keyword query) up to the end\n"
            "of its head, as the Fetch command does: the page's description replaces the\n"
            "bookmark's, its keywords (or its title) are added to the keyword text, and a\n"
            "permanent redirect (301, 308) replaces the URL. Each result is printed as it\n"
            "arrives as STATUS<TAB>NAME<TAB>URL, with <TAB>REASON after it when the page could\n"
            "not be asked; a summary follows on the error stream. The file is not locked while\n"
            "the pages are read: at the end it is locked, what other programs saved meanwhile is\n"
            "merged in, and it is saved with its backups. Exit code 0 when the run completed,\n"
            "1 on a file error.",
            {"FILE"},
            LinkJobOptions(LinkJob::Fetch),
            RunFetch};
}

} // namespace brindle::cli
