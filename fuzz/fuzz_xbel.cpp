// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the XBEL reader: the import adds what it counts, a parsed tree that is
// written again parses to the same shape, and the compact tree of linked files reads the same
// files and writes the same text.

#include "exchange/Xbel.h"
#include "store/BrindleDoc.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

std::size_t CountItems(const std::vector<brindle::XbelItem>& items) {
    std::size_t n = items.size();
    for (const brindle::XbelItem& item : items)
        n += CountItems(item.children);
    return n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CBrindleDoc doc;
    const brindle::ImportResult result = brindle::ReadXbelText(doc, text);
    if (doc.Bookmarks().size() != static_cast<std::size_t>(result.added) ||
        (!result.Read() && result.added != 0))
        std::abort();
    brindle::XbelTree tree;
    brindle::XbelCompactTree compact;
    const bool parsed = brindle::ParseXbel(text, tree);
    if (brindle::ParseXbel(text, compact) != parsed)
        std::abort();
    if (!parsed)
        return 0;
    std::string full, fromCompact;
    brindle::WriteXbel(tree, full, {.sharedLayout = true});
    brindle::WriteXbel(compact, fromCompact);
    if (full != fromCompact)
        std::abort();
    for (const bool shared : {false, true}) {
        std::string written;
        brindle::WriteXbel(tree, written, {.sharedLayout = shared});
        brindle::XbelTree again;
        if (!brindle::ParseXbel(written, again) ||
            CountItems(again.items) != CountItems(tree.items))
            std::abort();
    }
    return 0;
}
