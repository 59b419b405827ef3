// SPDX-License-Identifier: GPL-3.0-or-later
// brindle-cli export FILE --format F --out PATH [...]
#include "cli/CliDocument.h"
#include "cli/Commands.h"

#include "exchange/ExchangeFormats.h"
#include "store/BrindleDoc.h"

#include <limits>

namespace brindle::cli {

namespace {

// Numbers separated by commas, each in [0, max].
std::optional<std::vector<std::uint32_t>> ParseList(const std::string& text, std::int64_t max) {
    std::vector<std::uint32_t> values;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t comma = text.find(',', pos);
        if (comma == std::string::npos)
            comma = text.size();
        const auto n = ParseInteger(std::string_view(text).substr(pos, comma - pos), 0, max);
        if (!n)
            return std::nullopt;
        values.push_back(static_cast<std::uint32_t>(*n));
        pos = comma + 1;
    }
    return values;
}

int RunExport(const Args& args, Io& io) {
    static const Command self = ExportCommand();
    const ExchangeFormat* format = FindFormat(args.Value("--format").value_or(""));
    if (!format || !format->exportTo)
        return UsageError(self, io.err, "--format needs " + ExportKeysText());
    const std::optional<std::string> out = args.Value("--out");
    if (!out || out->empty())
        return UsageError(self, io.err, "missing --out");

    ExportOptions options;
    options.title = args.Value("--title").value_or("");
    // A format without a sort choice (favorites) keeps collection order unless one is asked for.
    options.sortField = args.Value("--sort").value_or(format->Takes(kTakesSort) ? "Name" : "");
    if (!options.sortField.empty() && SortFieldColumn(options.sortField) < 0)
        return UsageError(self, io.err,
                          "--sort needs one of: Name, URL, Keywords, Description, Notes, Status "
                          "checking, Schedule, Status, Add date, Last visited, Last modified, "
                          "Last checked");
    options.ascending = !args.Has("--descending");
    if (const auto text = args.Value("--fields")) {
        const auto fields = ParseList(*text, kFieldCount - 1);
        if (!fields)
            return UsageError(self, io.err,
                              "--fields needs field numbers 0-11 separated by commas");
        options.fieldMask = 0;
        for (std::uint32_t f : *fields)
            options.fieldMask = static_cast<std::uint16_t>(options.fieldMask | (1u << f));
    }
    if (const auto text = args.Value("--rows")) {
        const auto rows = ParseList(*text, std::numeric_limits<std::uint32_t>::max());
        if (!rows)
            return UsageError(self, io.err, "--rows needs row numbers separated by commas");
        options.selectedOnly = true;
        options.selectedRows = *rows;
    }

    CBrindleDoc doc;
    if (!OpenDocument(doc, args.Positional(0), io.err))
        return kExitFailure;
    if (options.selectedOnly) // the rows of the list as it shows every bookmark after opening
        doc.Search("", doc.MatchCase() != 0, doc.StringFields());
    ExchangeReport report;
    const bool ok = format->exportTo(doc, *out, options, report);
    for (const ExchangeMessage& m : report.messages)
        io.err << m.text << "\n";
    io.out << (ok ? "Export is successful" : "Export is not successful") << "\n";
    return ok ? kExitOk : kExitFailure;
}

} // namespace

Command ExportCommand() {
    // The formats are the exchange table's written ones.
    static const std::string synopsis = "FILE --format " + ExportKeysText("|", "|") +
                                        " --out PATH [--title T] [--sort NAME] [--descending] "
                                        "[--fields 0,1,...] [--rows 3,0,5]";
    static const std::string formats = ExportKeysText() + " (required)";
    return {"export",
            "export a document's bookmarks in an outside format",
            synopsis.c_str(),
            "Runs the export dialog's writer: a Netscape bookmark file, a Powermarks 3.0 file,\n"
            "the HTML or the text report, or Internet shortcuts in PATH/Brindle_addin\n"
            "(favorites: PATH is a folder). Every bookmark is exported (\"All\") in the order of\n"
            "the sort field (default \"Name\"; none for favorites), or with --rows only those\n"
            "rows of the list of every bookmark (\"Selected\", from the top down, unsorted).\n"
            "--fields ticks the columns the Powermarks file and the reports carry (default\n"
            "all). Prints \"Export is successful\" (exit 0) or \"Export is not successful\"\n"
            "(exit 1); the writer's messages go to standard error.",
            {"FILE"},
            {{"--format", "F", formats.c_str()},
             {"--out", "PATH", "the file to write, or the folder for favorites (required)"},
             {"--title", "T", "title written into the file"},
             {"--sort", "NAME", "sort field, e.g. \"Add date\" (default Name)"},
             {"--descending", nullptr, "Z-A instead of A-Z"},
             {"--fields", "LIST", "column numbers 0-11 to export (default all)"},
             {"--rows", "LIST", "export only these rows of the list (\"Selected\")"}},
            RunExport};
}

} // namespace brindle::cli
