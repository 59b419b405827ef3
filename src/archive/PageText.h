// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The readable text of a fetched page: what a reader sees (title, headings, paragraphs, list
// items, table cells, image descriptions), without scripts, styles, navigation and other page
// furniture. HTML is read with libxml2's HTML parser in the charset the page declares; plain
// text is kept as it is.

#include <cstddef>
#include <string>
#include <string_view>

namespace brindle {

// Pages are read up to this many bytes; longer ones are archived from their start.
inline constexpr std::size_t kArchivePageLimit = 5 * 1024 * 1024;

struct PageText {
    std::string title; // "" when the page has none
    std::string text;  // UTF-8; blocks separated by line breaks, blanks collapsed
    bool ok = false;   // false: the page is no text (binary bytes, a media type not read)
};

// Whether pages of this media type ("text/html", lower case, no parameters) have text to keep.
bool IsArchivableType(std::string_view contentType);

// `charset` is the Content-Type header's; when it is empty the page's own <meta> declaration is
// used, and failing that the bytes are read as UTF-8 when they are, else as Windows-1252.
PageText ExtractPageText(std::string_view body, std::string_view contentType,
                         std::string_view charset);

} // namespace brindle
