// SPDX-License-Identifier: GPL-3.0-or-later
// brindle-cli duplicates FILE [--likely] [--merge]
#include "cli/CliDocument.h"
#include "cli/Commands.h"

#include "store/BrindleDoc.h"
#include "store/DocumentLock.h"
#include "store/DuplicateGroups.h"

#include <string>
#include <string_view>

namespace brindle::cli {

namespace {

// Appends a field on one line: tabs and line breaks would split it.
void AppendOneLine(std::string& out, std::string_view text) {
    const std::size_t from = out.size();
    out.append(text);
    for (std::size_t i = from; i < out.size(); ++i)
        if (out[i] == '\t' || out[i] == '\n' || out[i] == '\r')
            out[i] = ' ';
}

void PrintGroups(const CBrindleDoc& doc, const std::vector<DuplicateGroup>& groups,
                 std::ostream& out) {
    // Written in large pieces: a million bookmarks make hundreds of thousands of lines.
    std::string text;
    text.reserve(1 << 20);
    for (const DuplicateGroup& g : groups) {
        text += g.kind == DuplicateKind::Same ? "same: " : "likely: ";
        text += std::to_string(g.members.size());
        text += '\n';
        for (std::uint32_t i : g.members) {
            const BookmarkRef b = doc.Bookmarks()[i];
            text += '\t';
            AppendOneLine(text, b.m_strURL);
            text += '\t';
            AppendOneLine(text, b.m_strName);
            text += '\n';
        }
        if (text.size() >= (1 << 20) - 4096) {
            out.write(text.data(), static_cast<std::streamsize>(text.size()));
            text.clear();
        }
    }
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

int RunDuplicates(const Args& args, Io& io) {
    const std::string& path = args.Positional(0);
    const bool merge = args.Has("--merge");
    DocumentLock lock;
    if (merge && !LockDocument(lock, path, io.err))
        return kExitFailure;
    CBrindleDoc doc;
    if (!OpenDocument(doc, path, io.err))
        return kExitFailure;
    const std::vector<DuplicateGroup> groups =
        FindDuplicateGroups(doc.Bookmarks(), args.Has("--likely"));
    PrintGroups(doc, groups, io.out);
    std::size_t same = 0;
    for (const DuplicateGroup& g : groups)
        same += g.kind == DuplicateKind::Same ? 1 : 0;
    io.out << "same groups: " << same << ", likely groups: " << groups.size() - same << "\n";
    if (!merge || groups.empty())
        return kExitOk;
    std::vector<CBrindleDoc::Hits> chosen;
    chosen.reserve(groups.size());
    for (const DuplicateGroup& g : groups)
        chosen.push_back(g.members);
    const std::size_t removed = doc.MergeBookmarks(chosen);
    io.out << "merged: " << removed << " bookmarks removed\n";
    return SaveDocument(doc, path, !args.Has("--no-backup"), io.err) ? kExitOk : kExitFailure;
}

} // namespace

Command DuplicatesCommand() {
    return {"duplicates",
            "list bookmarks that point at the same page, and merge them",
            "FILE [--likely] [--merge] [--no-backup]",
            "Prints each group of bookmarks whose addresses have the same normal form (scheme and\n"
            "host in lower case, no default port, escapes in one case, no empty query and no\n"
            "utm_*, mc_*, fbclid or gclid parameters): a line \"same: N\", then one line per\n"
            "bookmark, a tab, its URL, a tab and its name. With --likely, groups whose addresses\n"
            "differ only in \"www.\", http against https, a trailing slash or a fragment that is\n"
            "not a route (#/... or #!...) follow as \"likely: N\". A last line counts the groups.\n"
            "With --merge every group printed becomes one bookmark, as Find Duplicates merges:\n"
            "the bookmark with the shortest https address (else the shortest address) keeps\n"
            "every keyword, the longest description, the notes joined, the earliest add date, the "
            "latest other dates\n"
            "and the status of the latest check; the others are deleted, a line \"merged: K\n"
            "bookmarks removed\" follows, and FILE is saved as Save does (backups first unless\n"
            "--no-backup), locked against other writers from the open to the save.",
            {"FILE"},
            {{"--likely", nullptr, "list likely duplicates as well"},
             {"--merge", nullptr, "merge every group listed and save"},
             {"--no-backup", nullptr, "write no .bak/.bk0 copies"}},
            RunDuplicates};
}

} // namespace brindle::cli
