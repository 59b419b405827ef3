// libFuzzer target for the Powermarks 3.0 reader, on raw bytes: macros, schedules, bracket
// groups and metadata. Every macro it adds is of a known kind, every bookmark's status is one of
// the two the reader gives.

#include "exchange/Powermarks.h"
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
    brindle::ImportPowermarks(doc, text);
    for (const auto& m : doc.m_arrMacros)
        if (m->m_nKind < kMacroUrl || m->m_nKind > kMacroString || m->m_dwFields > 0xFF)
            std::abort();
    for (const BookmarkRef b : doc.m_arrBookmarks)
        if (b.m_strStatus != "Waiting" && b.m_strStatus != "Checking Off")
            std::abort();
    return 0;
}
