// SPDX-License-Identifier: GPL-3.0-or-later
// brindle-cli export-profile FILE --user NAME... [...]
#include "cli/CliDocument.h"
#include "cli/Commands.h"

#include "exchange/ExportSelection.h"
#include "exchange/ProfileExport.h"
#include "store/BrindleDoc.h"

namespace brindle::cli {

namespace {

int RunExportProfile(const Args& args, Io& io) {
    static const Command self = ExportProfileCommand();
    const std::vector<std::string> users = args.Values("--user");
    if (users.empty())
        return UsageError(self, io.err, "missing --user");
    ExportOptions options;
    options.title = args.Value("--title").value_or("");
    options.sortField = args.Value("--sort").value_or("Name");
    if (SortFieldColumn(options.sortField) < 0)
        return UsageError(self, io.err, "--sort needs one of the twelve field names");
    options.ascending = !args.Has("--descending");

    CBrindleDoc doc;
    if (!OpenDocument(doc, args.Positional(0), io.err))
        return kExitFailure;
    ExchangeReport report;
    const int successes = ExportToNetscapeUsers(doc, users, options, report);
    // Per-user messages first; the totals, which end the report, are the result.
    for (size_t i = 0; i + 1 < report.messages.size(); ++i)
        io.err << report.messages[i].text << "\n";
    if (!report.messages.empty())
        io.out << report.messages.back().text << "\n";
    return successes == static_cast<int>(users.size()) ? kExitOk : kExitFailure;
}

} // namespace

Command ExportProfileCommand() {
    return {"export-profile",
            "export into the bookmark files of Netscape users",
            "FILE --user NAME [--user NAME...] [--title T] [--sort NAME] [--descending]",
            "Exports every bookmark into each user's bookmark.htm, users and profile folders\n"
            "coming from ~/.mozilla/firefox/profiles.ini: a complete Netscape file when the\n"
            "profile has none yet, otherwise Brindle's own section of that file is added or\n"
            "refreshed (links the user added to it stay). Per-user messages go to standard\n"
            "error; the totals (\"Export Information: ...\") to standard output. Exit 0 when\n"
            "every user's export succeeded, else 1.",
            {"FILE"},
            {{"--user", "NAME", "a user to export to (repeat for several)"},
             {"--title", "T", "title of a newly written file"},
             {"--sort", "NAME", "sort field, e.g. \"Add date\" (default Name)"},
             {"--descending", nullptr, "Z-A instead of A-Z"}},
            RunExportProfile};
}

} // namespace brindle::cli
