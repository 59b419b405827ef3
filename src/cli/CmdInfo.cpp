// SPDX-License-Identifier: GPL-3.0-or-later
// brindle-cli info FILE
#include "cli/CliDocument.h"
#include "cli/Commands.h"

#include "store/DocumentArchive.h"

namespace brindle::cli {

namespace {
int RunInfo(const Args& args, Io& io) {
    // Counts need no texts: the file is read through without keeping them.
    DocumentSummary doc;
    const ArchiveResult result = ReadDocumentSummaryFile(args.Positional(0), doc);
    if (!result) {
        io.err << result.message << "\n";
        return kExitFailure;
    }
    io.out << "search_mode: " << doc.searchMode << "\n"
           << "string_fields: " << static_cast<unsigned>(doc.stringFields) << "\n"
           << "partial_match: " << doc.partialMatch << "\n"
           << "columns: " << doc.columns << "\n"
           << "match_case: " << doc.matchCase << "\n"
           << "sort_ascending: " << doc.sortAscending << "\n"
           << "sort_column: " << doc.sortColumn << "\n"
           << "bookmarks: " << doc.bookmarks << "\n"
           << "macros: " << doc.macros << "\n"
           << "schedules: " << doc.schedules << "\n";
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
