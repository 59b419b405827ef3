// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the Powermarks 3.0 reader, on raw bytes: macros, schedules, bracket
// groups and metadata. Every macro it adds is of a known kind, every bookmark's status is one of
// the two the reader gives, and the text fed in small pieces gives the same bookmarks.

#include "exchange/ChunkReader.h"
#include "exchange/Powermarks.h"
#include "exchange/TextCodec.h"
#include "store/BrindleDoc.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Most inputs get the marker, so the fuzzer spends its time inside the reader.
    std::string text;
    if (size > 0 && data[0] % 8 != 0)
        text = "<!--Powermarks Format 3.0-->";
    text.append(reinterpret_cast<const char*>(data), size);
    CBrindleDoc doc;
    const bool claimed = brindle::ImportPowermarks(doc, text);
    for (const CMacro& m : doc.Macros())
        if (m.m_nKind < kMacroUrl || m.m_nKind > kMacroString || m.m_dwFields > 0xFF)
            std::abort();
    for (const BookmarkRef b : doc.Bookmarks())
        if (b.m_strStatus != "Waiting" && b.m_strStatus != "Checking Off")
            std::abort();

    if (!claimed)
        return 0;
    CBrindleDoc pieces;
    const auto reader = brindle::MakePowermarksReader(pieces);
    const std::string_view body = brindle::SkipUtf8Bom(text);
    const std::size_t step = size > 0 ? data[size - 1] % 13 + 1 : 1;
    for (std::size_t at = 0; at < body.size(); at += step) {
        const std::string piece(body.substr(at, step)); // freed after Feed
        reader->Feed(piece);
    }
    reader->Finish();
    if (pieces.Bookmarks().size() != doc.Bookmarks().size() ||
        pieces.Macros().size() != doc.Macros().size() ||
        pieces.Schedules().size() != doc.Schedules().size())
        std::abort();
    for (std::size_t i = 0; i < doc.Bookmarks().size(); ++i) {
        const BookmarkRef a = doc.Bookmarks()[i];
        const BookmarkRef b = pieces.Bookmarks()[i];
        if (a.m_strName != b.m_strName || a.m_strURL != b.m_strURL ||
            a.m_strKeywords != b.m_strKeywords || a.m_strDescription != b.m_strDescription ||
            a.m_strNotes != b.m_strNotes)
            std::abort();
    }
    return 0;
}
