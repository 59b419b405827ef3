// SPDX-License-Identifier: GPL-3.0-or-later
// brindle-cli add FILE --name N --url U [...]
#include "cli/CliDocument.h"
#include "cli/Commands.h"

#include "store/BrindleDoc.h"
#include "store/DocumentLock.h"

#include <limits>

namespace brindle::cli {

namespace {
int RunAdd(const Args& args, Io& io) {
    static const Command self = AddCommand();
    const std::optional<std::string> name = args.Value("--name");
    const std::optional<std::string> url = args.Value("--url");
    if (!name)
        return UsageError(self, io.err, "missing --name");
    if (!url)
        return UsageError(self, io.err, "missing --url");
    BrxTime added = CBrindleDoc::Now();
    if (const auto text = args.Value("--added")) {
        const auto value = ParseInteger(*text, std::numeric_limits<std::int64_t>::min(),
                                        std::numeric_limits<std::int64_t>::max());
        if (!value)
            return UsageError(self, io.err, "--added needs a number of seconds");
        added = *value;
    }

    const std::string& path = args.Positional(0);
    DocumentLock lock;
    if (!LockDocument(lock, path, io.err))
        return kExitFailure;
    CBrindleDoc doc;
    if (!OpenDocument(doc, path, io.err))
        return kExitFailure;
    const auto given = args.Value("--schedule");
    const std::string schedule = !given           ? doc.DefaultScheduleOrNone()
                                 : given->empty() ? std::string(kNoSchedule)
                                                  : *given;
    if (!doc.AddBookmark({.name = *name,
                          .url = *url,
                          .keywords = args.Value("--keywords").value_or(""),
                          .description = args.Value("--description").value_or(""),
                          .notes = args.Value("--notes").value_or(""),
                          .statusChecking = 1,
                          .schedule = schedule,
                          .status = args.Value("--status").value_or(kStatusWaiting),
                          .addDate = added})) {
        io.err << "not added\n";
        return kExitFailure;
    }
    return SaveDocument(doc, path, !args.Has("--no-backup"), io.err) ? kExitOk : kExitFailure;
}
} // namespace

Command AddCommand() {
    return {
        "add",
        "add one bookmark and save with the Save command's backups",
        "FILE --name N --url U [--keywords K] [--description D] [--notes T] [--schedule S] "
        "[--status S] [--added SECONDS] [--no-backup]",
        "Adds through AddBookmark: the name and keyword text are trimmed, the keywords\n"
        "normalised, and nothing is added (\"not added\", exit 1) when the name is empty or a\n"
        "bookmark with the same name and URL exists. Status checking is on, the other three\n"
        "dates are 0. FILE is then saved as Save does: \"<base>.bak\" and \"<base>.bk0\" first\n"
        "unless --no-backup. FILE stays locked against other writers from reading to the end of\n"
        "the save; a writer that waits 10 s for another one exits 1 without writing.",
        {"FILE"},
        {{"--name", "N", "the bookmark's name (required)"},
         {"--url", "U", "its URL (required, may be empty)"},
         {"--keywords", "K", "keyword text"},
         {"--description", "D", "description"},
         {"--notes", "T", "notes"},
         {"--schedule", "S", "schedule name (default: the default schedule, else <None>)"},
         {"--status", "S", "status text (default: Waiting)"},
         {"--added", "SECONDS", "add date in seconds since 1970 UTC (default: now)"},
         {"--no-backup", nullptr, "write no .bak/.bk0 copies"}},
        RunAdd};
}

} // namespace brindle::cli
