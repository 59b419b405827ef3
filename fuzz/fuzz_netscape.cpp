// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the Netscape bookmark file reader, on raw bytes. The reader claims the
// input exactly when it has the document-type marker, every bookmark it adds has a trimmed,
// non-empty name, and the text fed in small pieces (as a file import reads it) gives the same
// bookmarks as the text fed whole.

#include "exchange/ChunkReader.h"
#include "exchange/HtmlTags.h"
#include "exchange/Netscape.h"
#include "exchange/TextCodec.h"
#include "store/BrindleDoc.h"
#include "store/TextUtil.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CBrindleDoc doc;
    const bool claimed = brindle::ImportNetscape(doc, text);
    const bool marked = brindle::FindNoCase(brindle::SkipUtf8Bom(text), "<!doctype netscape") !=
                        std::string_view::npos;
    if (claimed != marked || (!claimed && !doc.Bookmarks().empty()))
        std::abort();
    for (const BookmarkRef b : doc.Bookmarks())
        if (b.m_strName.empty() || brindle::TrimView(b.m_strName) != b.m_strName)
            std::abort();
    if (!claimed)
        return 0;

    CBrindleDoc pieces;
    const auto reader = brindle::MakeNetscapeReader(pieces);
    const std::string_view body = brindle::SkipUtf8Bom(text);
    const std::size_t step = size > 0 ? data[size - 1] % 13 + 1 : 1;
    for (std::size_t at = 0; at < body.size(); at += step) {
        // A piece of its own, freed after Feed: a view the reader kept would be caught.
        const std::string piece(body.substr(at, step));
        reader->Feed(piece);
    }
    reader->Finish();
    if (pieces.Bookmarks().size() != doc.Bookmarks().size())
        std::abort();
    for (std::size_t i = 0; i < doc.Bookmarks().size(); ++i) {
        const BookmarkRef a = doc.Bookmarks()[i];
        const BookmarkRef b = pieces.Bookmarks()[i];
        if (a.m_strName != b.m_strName || a.m_strURL != b.m_strURL ||
            a.m_strKeywords != b.m_strKeywords || a.m_strDescription != b.m_strDescription)
            std::abort();
    }
    return 0;
}
