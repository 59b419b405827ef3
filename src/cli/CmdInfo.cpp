// SPDX-License-Identifier: GPL-3.0-or-later
// brindle-cli info FILE
#include "cli/CliDocument.h"
#include "cli/Commands.h"

#include "store/BrindleDoc.h"

namespace brindle::cli {

namespace {
int RunInfo(const Args& args, Io& io) {
    CBrindleDoc doc;
    if (!OpenDocument(doc, args.Positional(0), io.err))
        return kExitFailure;
    io.out << "search_mode: " << doc.SearchMode() << "\n"
           << "string_fields: " << static_cast<unsigned>(doc.StringFields()) << "\n"
           << "partial_match: " << doc.PartialMatch() << "\n"
           << "columns: " << doc.Columns() << "\n"
           << "match_case: " << doc.MatchCase() << "\n"
           << "sort_ascending: " << doc.SortAscending() << "\n"
           << "sort_column: " << doc.SortColumn() << "\n"
           << "bookmarks: " << doc.Bookmarks().size() << "\n"
           << "macros: " << doc.Macros().size() << "\n"
           << "schedules: " << doc.Schedules().size() << "\n";
    return kExitOk;
}
} // namespace

Command InfoCommand() {
    return {"info",
            "print the document's stored state and record counts",
            "FILE",
            "Prints one 'key: value' line each for search_mode, string_fields, partial_match,\n"
            "columns, match_case, sort_ascending, sort_column, bookmarks, macros and schedules\n"
            "(numbers in decimal).",
            {"FILE"},
            {},
            RunInfo};
}

} // namespace brindle::cli
