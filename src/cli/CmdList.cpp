// SPDX-License-Identifier: GPL-3.0-or-later
// brindle-cli list FILE [--query Q] [--string] [...]
#include "cli/CliDocument.h"
#include "cli/Commands.h"

#include "store/BrindleDoc.h"
#include "store/TextUtil.h"

namespace brindle::cli {

namespace {

// A field number (0-11) or a column title ("Add date", "add_date", "url"; any case).
std::optional<int> ParseField(const std::string& text) {
    if (const auto n = ParseInteger(text, 0, kFieldCount - 1))
        return static_cast<int>(*n);
    std::string wanted = brindle::ToLower(text);
    for (char& c : wanted)
        if (c == '_')
            c = ' ';
    for (int f = 0; f < kFieldCount; ++f) {
        std::string title = brindle::ToLower(FieldTitle(f));
        for (char& c : title)
            if (c == '_')
                c = ' ';
        if (title == wanted)
            return f;
    }
    return std::nullopt;
}

std::optional<std::vector<int>> ParseColumns(const std::string& text) {
    std::vector<int> columns;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t comma = text.find(',', pos);
        if (comma == std::string::npos)
            comma = text.size();
        const auto n =
            ParseInteger(std::string_view(text).substr(pos, comma - pos), 0, kFieldCount - 1);
        if (!n)
            return std::nullopt;
        columns.push_back(static_cast<int>(*n));
        pos = comma + 1;
    }
    return columns;
}

// One line per hit: tabs, line breaks and backslashes inside a field are escaped.
void AppendEscaped(std::string& line, const std::string& text) {
    for (char c : text) {
        switch (c) {
        case '\\':
            line += "\\\\";
            break;
        case '\t':
            line += "\\t";
            break;
        case '\n':
            line += "\\n";
            break;
        case '\r':
            line += "\\r";
            break;
        default:
            line += c;
            break;
        }
    }
}

int RunList(const Args& args, Io& io) {
    const Command me = ListCommand();
    std::uint8_t fields = kSearchAllFields;
    if (const auto text = args.Value("--fields")) {
        const auto mask = ParseInteger(*text, 0, kSearchAllFields);
        if (!mask)
            return UsageError(me, io.err, "--fields needs a mask from 0 to 127");
        fields = static_cast<std::uint8_t>(*mask);
    }
    int sortColumn = kFieldName;
    if (const auto text = args.Value("--sort")) {
        const auto field = ParseField(*text);
        if (!field)
            return UsageError(me, io.err, "--sort needs a field number 0-11 or a column title");
        sortColumn = *field;
    }
    std::vector<int> columns = {kFieldName, kFieldURL};
    if (const auto text = args.Value("--columns")) {
        const auto parsed = ParseColumns(*text);
        if (!parsed)
            return UsageError(me, io.err, "--columns needs field numbers 0-11 separated by commas");
        columns = *parsed;
    }

    // The options replace the file's search state for this run (nothing is saved).
    CBrindleDoc doc;
    auto configure = [&] {
        doc.SetHitsOnly(true);
        doc.SetSearchMode(args.Has("--string") ? kSearchString : kSearchKeyword);
        doc.SetPartialMatch(!args.Has("--no-partial"));
        doc.SetSortOrder(sortColumn, !args.Has("--descending"));
        doc.SetStringFields(fields);
        doc.SetMatchCase(args.Has("--match-case"));
    };
    const std::string query = args.Value("--query").value_or("");
    configure();
    // Only the hits are read whole: the search runs again over them to order them.
    const auto filter = doc.SearchFilter(query, args.Has("--match-case"), fields);
    if (!OpenDocument(doc, args.Positional(0), io.err, filter ? &*filter : nullptr))
        return kExitFailure;
    configure();
    doc.Search(query, args.Has("--match-case"), fields);

    std::string buffer;
    std::string line;
    for (std::uint32_t index : doc.ActiveHits()) {
        line.clear();
        for (std::size_t c = 0; c < columns.size(); ++c) {
            if (c)
                line += '\t';
            AppendEscaped(line, doc.GetFieldText(index, columns[c]));
        }
        line += '\n';
        buffer += line;
        if (buffer.size() > (1 << 16)) {
            io.out << buffer;
            buffer.clear();
        }
    }
    io.out << buffer;
    return kExitOk;
}

} // namespace

Command ListCommand() {
    return {"list",
            "run a search and print one line per hit in result order",
            "FILE [--query Q] [--string] [--fields MASK] [--match-case] [--no-partial] "
            "[--sort FIELD] [--descending] [--columns 0,1,...]",
            "Runs the document's search (keyword mode unless --string) and prints, for each\n"
            "hit in result order, the texts of the chosen fields separated by tabs (a tab, line\n"
            "break or backslash inside a text is written as \\t, \\n, \\r or \\\\). Without\n"
            "--query every bookmark is listed. The options replace the file's search state;\n"
            "without them: partial match on, sort by name ascending, all seven string fields.\n"
            "Dates are shown in local time with the default time format.",
            {"FILE"},
            {{"--query", "Q", "the keyword query, or the text of a string search"},
             {"--string", nullptr, "string search instead of keyword search"},
             {"--fields", "MASK",
              "string-search fields: bit 0 Name, 1 URL, 2 Keywords, 3 Description, 4 Notes, "
              "5 Schedule, 6 Status (default 127)"},
             {"--match-case", nullptr, "string search is case-sensitive"},
             {"--no-partial", nullptr, "the last keyword term must match a whole keyword"},
             {"--sort", "FIELD", "sort field: number 0-11 or column title (default 0, Name)"},
             {"--descending", nullptr, "descending order"},
             {"--columns", "LIST", "field numbers to print (default 0,1)"}},
            RunList};
}

} // namespace brindle::cli
