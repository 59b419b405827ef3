// SPDX-License-Identifier: GPL-3.0-or-later
// brindle-cli import FILE INPUT...
#include "cli/CliDocument.h"
#include "cli/Commands.h"

#include "exchange/ExchangeFiles.h"
#include "exchange/ExchangeFormats.h"
#include "store/BrindleDoc.h"
#include "store/DocumentLock.h"
#include "store/DuplicateFilter.h"

#include <optional>

namespace brindle::cli {

namespace {

void PrintMessages(const std::string& input, const ExchangeReport& report, std::ostream& err) {
    for (const ExchangeMessage& m : report.messages)
        err << (m.file.empty() ? input : m.file) << ": " << m.text << "\n";
}

int RunImport(const Args& args, Io& io) {
    const std::string& path = args.Positional(0);
    DocumentLock lock;
    if (!LockDocument(lock, path, io.err))
        return kExitFailure;
    CBrindleDoc doc;
    // A missing document is created, as a new document saved under that name.
    if (FileExists(path) && !OpenDocument(doc, path, io.err))
        return kExitFailure;

    // One filter for every input: a duplicate within the inputs is skipped as well.
    std::optional<DuplicateFilter> filter;
    ImportOptions options;
    if (args.Has("--skip-duplicates")) {
        filter.emplace(doc);
        options.sink = [&filter](const BookmarkFields& fields) { return filter->Add(fields); };
    }

    int code = kExitOk;
    const std::vector<std::string>& inputs = args.Positionals();
    for (std::size_t i = 1; i < inputs.size(); ++i) {
        const std::string& input = inputs[i];
        const ExchangeFormat* format = ImportFormatFor(input);
        if (!format) {
            // The Import command ends at a file it has no reader for; what came before stays.
            io.err << input << ": not an " << ImportExtensionsText()
                   << " file, a browser profile file or a folder; import stopped\n";
            SaveDocument(doc, path, !args.Has("--no-backup"), io.err);
            return kExitFailure;
        }
        const ImportResult result = format->import(doc, input, options);
        PrintMessages(input, result.problems, io.err);
        if (!result.problems.messages.empty())
            code = kExitFailure;
        io.out << input << ": " << result.added << " bookmarks, " << result.macros << " macros, "
               << result.schedules << " schedules";
        if (filter)
            io.out << ", " << result.duplicates << " duplicates skipped";
        io.out << "\n";
    }
    if (!SaveDocument(doc, path, !args.Has("--no-backup"), io.err))
        return kExitFailure;
    return code;
}

} // namespace

Command ImportCommand() {
    return {
        "import",
        "import outside bookmark files into a document and save it",
        "FILE INPUT... [--skip-duplicates] [--no-backup]",
        "Imports each INPUT in turn as the Import command does: an .htm or .html file by\n"
        "its content (a Netscape bookmark file, else a Powermarks 3.0 file, else the links\n"
        "of an ordinary page), a .url file as one Internet shortcut, and a folder as a\n"
        "Favorites tree of .url files. The extension is compared exactly (\".HTM\" is not\n"
        "\".htm\"). Any other file is recognised by its content: a Firefox places.sqlite\n"
        "(read without disturbing a running Firefox) or a Chromium/Chrome/Brave/Vivaldi\n"
        "Bookmarks file. An INPUT of any other kind stops the import there (exit 1), keeping what\n"
        "was imported before it. FILE is created when missing and saved as Save does\n"
        "(\"<base>.bak\" and \"<base>.bk0\" first unless --no-backup). Prints, per input,\n"
        "\"INPUT: N bookmarks, M macros, S schedules\" (what that input added); messages\n"
        "such as \"cannot open the file\" go to standard error and make the exit status 1.\n"
        "With --skip-duplicates a bookmark whose address has the normal form of one already in\n"
        "the document (or imported before it) is skipped, and the line ends with\n"
        "\", K duplicates skipped\".\n"
        "FILE stays locked against other writers (as for add) until it is saved.",
        {"FILE", "INPUT..."},
        {{"--skip-duplicates", nullptr, "skip bookmarks whose address is already there"},
         {"--no-backup", nullptr, "write no .bak/.bk0 copies"}},
        RunImport};
}

} // namespace brindle::cli
