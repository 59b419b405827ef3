// libFuzzer target for the Netscape bookmark file reader, on raw bytes. The reader claims the
// input exactly when it has the document-type marker, and every bookmark it adds has a trimmed,
// non-empty name.

#include "exchange/HtmlTags.h"
#include "exchange/Netscape.h"
#include "exchange/TextCodec.h"
#include "store/BrindleDoc.h"
#include "store/TextUtil.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CBrindleDoc doc;
    const bool claimed = brindle::ImportNetscape(doc, text);
    const bool marked = brindle::FindNoCase(brindle::SkipUtf8Bom(text), "<!doctype netscape") !=
                        std::string_view::npos;
    if (claimed != marked || (!claimed && !doc.m_arrBookmarks.empty()))
        std::abort();
    for (const auto& b : doc.m_arrBookmarks)
        if (b->m_strName.empty() || brindle::TrimView(b->m_strName) != b->m_strName)
            std::abort();
    return 0;
}
