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
    return {
        "check",
        "check the links of the collection and save their status",
        "FILE [--connect-max N] [--per-host N] [--host-rate R] [--older-than AGE] [--archived]\n"
        "      [--archive-service URL] [--query Q] [--proxy URL] [--timeout S] [--no-backup]",
        "Asks every bookmark's URL (or those of the hits of a keyword query) whether the\n"
        "page still answers, as the Status Check command does: bookmarks with checking\n"
        "switched off or without URL are skipped. Each result is printed as it arrives as\n"
        "STATUS<TAB>NAME<TAB>URL, with <TAB>REASON after it when the page could not be asked\n"
        "(a certificate failure, a time-out, ...); a summary follows on the error stream.\n"
        "At most --per-host requests go to one host at once, and at most --host-rate new\n"
        "ones a second; a host that answers 429 or 503 is left alone for the time it asks\n"
        "(up to a minute) while the other hosts go on. --older-than skips bookmarks checked\n"
        "more recently than that age. --archived adds <TAB>archived: ADDRESS to each dead\n"
        "link (page not found, server gone) with the closest copy a web archive keeps, or\n"
        "\"none\" (from the archive at --archive-service, https://archive.org unless set).\n"
        "The file is not locked while the links are asked: at the end it is locked, what\n"
        "other programs saved meanwhile is merged in, and it is saved with its backups.\n"
        "Dead links are results: the exit code is 0 when the run completed, 1 when the file\n"
        "could not be read or written.",
        {"FILE"},
        LinkJobOptions(LinkJob::Check),
        RunCheck};
}

} // namespace brindle::cli
