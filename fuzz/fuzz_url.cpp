// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the Internet shortcut (.url) reader. The count it returns is the number
// added (none unless a "URL=" line was read in a shortcut section), and each bookmark comes from
// the file name given.

#include "exchange/Favorites.h"
#include "store/BrindleDoc.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CBrindleDoc doc;
    const brindle::ImportResult result = brindle::ReadUrlFileText(doc, "Fuzz Name.v1.url", text, 1);
    if (doc.Bookmarks().size() != static_cast<std::size_t>(result.added) ||
        (!result.Read() && result.added != 0))
        std::abort();
    for (const BookmarkRef b : doc.Bookmarks())
        if (b.m_strName != "Fuzz Name" || b.m_strKeywords != "fuzz name")
            std::abort();
    return 0;
}
