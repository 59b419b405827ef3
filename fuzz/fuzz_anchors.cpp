// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for an HTML import as the Import command runs it: the bytes are brought to
// UTF-8 (byte-order marks, declared or assumed code pages), then offered to the Netscape,
// Powermarks and plain-page readers in turn. Valid text in means valid text out, and the
// plain-page reader never keeps more than 65,535 bytes of a name or URL.

#include "exchange/ImportFile.h"
#include "exchange/TextCodec.h"
#include "store/BrindleDoc.h"
#include "store/TextUtil.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text =
        brindle::DecodeOutsideText(std::string(reinterpret_cast<const char*>(data), size));
    Check(brindle::IsWellFormedUtf8(text));
    brindle::NormalizeLineEnds(text);
    CBrindleDoc doc;
    const brindle::FormatId format = brindle::ImportHtmlText(doc, text).format;
    for (const BookmarkRef b : doc.Bookmarks()) {
        Check(brindle::IsWellFormedUtf8(b.m_strName) && brindle::IsWellFormedUtf8(b.m_strURL) &&
              brindle::IsWellFormedUtf8(b.m_strKeywords) &&
              brindle::IsWellFormedUtf8(b.m_strDescription));
        if (format == brindle::FormatId::Html)
            Check(b.m_strName.size() <= brindle::kMaxAnchorTextBytes &&
                  b.m_strURL.size() <= brindle::kMaxAnchorTextBytes);
    }
    return 0;
}
