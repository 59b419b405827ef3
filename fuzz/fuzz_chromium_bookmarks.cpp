// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the Chromium Bookmarks reader. No bookmark is added without a URL, and
// the count it returns is the number added (none when the text is not read).

#include "exchange/ChromiumBookmarks.h"
#include "store/BrindleDoc.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CBrindleDoc doc;
    const brindle::ImportResult result = brindle::ReadChromiumBookmarksText(doc, text);
    if (doc.Bookmarks().size() != static_cast<std::size_t>(result.added) ||
        (!result.Read() && result.added != 0))
        std::abort();
    for (const BookmarkRef b : doc.Bookmarks())
        if (b.m_strURL.empty())
            std::abort();
    return 0;
}
