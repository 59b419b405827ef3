// SPDX-License-Identifier: GPL-3.0-or-later
// brindle-cli search FILE QUERY [--limit N]
#include "cli/CliDocument.h"
#include "cli/Commands.h"

#include "archive/PageArchive.h"
#include "store/BrindleDoc.h"

#include <QFileInfo>

#include <cstdio>
#include <unordered_map>

namespace brindle::cli {

namespace {

void AppendField(std::string& line, std::string_view text) {
    for (char c : text)
        line += (c == '\t' || c == '\n' || c == '\r') ? ' ' : c;
}

int RunSearch(const Args& args, Io& io) {
    const Command me = SearchCommand();
    std::size_t limit = 50;
    if (const auto text = args.Value("--limit")) {
        const auto n = ParseInteger(*text, 1, 1000000);
        if (!n)
            return UsageError(me, io.err, "--limit needs a number from 1 to 1000000");
        limit = static_cast<std::size_t>(*n);
    }
    const std::string& path = args.Positional(0);
    CBrindleDoc doc;
    if (!OpenDocument(doc, path, io.err))
        return kExitFailure;
    const std::string location = PageArchive::LocationFor(path);
    if (!QFileInfo::exists(QString::fromStdString(location))) {
        io.err << path << " has no archived pages (brindle-cli archive fetches them).\n";
        return kExitOk;
    }
    PageArchive archive;
    if (!archive.Open(location, false)) {
        io.err << location << ": " << archive.Error() << "\n";
        return kExitFailure;
    }

    // A page's text belongs to every bookmark of its URL; pages of deleted bookmarks are not
    // listed.
    std::unordered_multimap<std::string_view, std::uint32_t> byUrl;
    for (std::uint32_t i = 0; i < doc.Bookmarks().size(); ++i)
        byUrl.emplace(doc.Bookmarks()[i].m_strURL, i);

    const std::string& query = args.Positional(1);
    // A phrase is checked in the text only until `limit` pages are found; when pages of no
    // bookmark leave too few of them to print, the search runs again checking all.
    std::size_t printed = 0;
    for (const std::size_t checked : {limit, std::size_t{0}}) {
        TextSearchResult result = archive.Search(query, 0, limit, checked);
        if (!result.error.empty()) {
            io.err << kToolName << " search: " << result.error << "\n";
            return kExitFailure;
        }
        std::string out, line;
        char score[32];
        printed = 0;
        for (TextHit& hit : result.hits) {
            const auto [first, last] = byUrl.equal_range(hit.url);
            if (first == last)
                continue;
            if (hit.snippet.empty())
                hit.snippet = archive.Snippet(query, hit.url);
            std::snprintf(score, sizeof score, "%.6g", hit.score);
            for (auto it = first; it != last && printed < limit; ++it, ++printed) {
                const BookmarkRef b = doc.Bookmarks()[it->second];
                line = score;
                line += '\t';
                AppendField(line, b.m_strName);
                line += '\t';
                AppendField(line, b.m_strURL);
                line += '\t';
                AppendField(line, hit.snippet);
                line += '\n';
                out += line;
            }
            if (printed >= limit)
                break;
        }
        if (printed >= limit || result.unchecked == 0) {
            io.out << out;
            break;
        }
    }
    return kExitOk;
}

} // namespace

Command SearchCommand() {
    return {"search",
            "search the text of the archived pages",
            "FILE QUERY [--limit N]",
            "Searches the text kept by the archive command and prints the best matches first,\n"
            "one per line as SCORE<TAB>NAME<TAB>URL<TAB>SNIPPET; the snippet shows the matched\n"
            "words between [ and ]. The query takes words (all must occur), \"phrases\",\n"
            "prefixes (kube*), AND, OR, NOT and parentheses; letter case and accents do not\n"
            "matter. Exit code 0, also when nothing matches; 1 on a file error or a query that\n"
            "cannot run.",
            {"FILE", "QUERY"},
            {{"--limit", "N", "print at most N results (default 50)"}},
            RunSearch};
}

} // namespace brindle::cli
