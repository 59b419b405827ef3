// SPDX-License-Identifier: GPL-3.0-or-later
// Writes a document of COUNT bookmarks whose URLs are BASE_URL/0 ... BASE_URL/COUNT-1, status
// checking on, for the timed `brindle-cli check` runs.
//   make_link_collection OUT.brx COUNT BASE_URL
#include "store/BrindleDoc.h"
#include "store/DocumentArchive.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: make_link_collection OUT.brx COUNT BASE_URL\n");
        return 2;
    }
    const long count = std::atol(argv[2]);
    const std::string base = argv[3];
    CBrindleDoc doc;
    for (long i = 0; i < count; ++i) {
        const std::string name = "page " + std::to_string(i);
        const std::string url = base + "/" + std::to_string(i);
        BookmarkFields f;
        f.name = name;
        f.url = url;
        f.keywords = "bench";
        f.statusChecking = 1;
        f.status = "Waiting";
        doc.AddBookmark(f);
    }
    const brindle::ArchiveResult result = brindle::WriteDocumentFile(doc, argv[1]);
    if (!result) {
        std::fprintf(stderr, "%s\n", result.message.c_str());
        return 1;
    }
    return 0;
}
