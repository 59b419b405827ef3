// libFuzzer target for the Internet shortcut (.url) reader. No more bookmarks are added than
// "URL=" lines were read in shortcut sections, and each comes from the file name given.

#include "exchange/Favorites.h"
#include "store/BrindleDoc.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CBrindleDoc doc;
    const int urls = brindle::ReadUrlFileText(doc, "Fuzz Name.v1.url", text, 1);
    if (urls < 0 || doc.Bookmarks().size() > static_cast<std::size_t>(urls))
        std::abort();
    for (const BookmarkRef b : doc.Bookmarks())
        if (b.m_strName != "Fuzz Name" || b.m_strKeywords != "fuzz name")
            std::abort();
    return 0;
}
