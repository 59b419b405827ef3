// libFuzzer target for the Chromium Bookmarks reader. No bookmark is added without a URL, and
// the count it returns is the number added.

#include "exchange/BrowserBookmarks.h"
#include "store/BrindleDoc.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CBrindleDoc doc;
    const int added = brindle::ReadChromiumBookmarksText(doc, text);
    if (added >= 0 ? doc.Bookmarks().size() != static_cast<std::size_t>(added)
                   : !doc.Bookmarks().empty())
        std::abort();
    for (const BookmarkRef b : doc.Bookmarks())
        if (b.m_strURL.empty())
            std::abort();
    return 0;
}
