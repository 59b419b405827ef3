// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a fetch takes from a page: the title, and the description and keywords of its meta tags.
// Pages are read with an HTML parser (libxml2's), so tags match by name and attributes in any
// letter case and quoting, a ">" inside a quoted value belongs to the value, and character
// references (named and numeric) are decoded; the page's declared character set is honoured, so
// names and descriptions arrive as the page spells them. Only keywords are lower-cased (keyword
// search matches lower case).

#include <cstddef>
#include <string>
#include <string_view>

namespace brindle {

// A fetch reads a page up to the end of its head or this many bytes, whichever comes first.
inline constexpr std::size_t kPageReadLimit = 256 * 1024;

struct PageMeta {
    std::string title;       // "" when the page has none, or its title holds a tag
    std::string description; // the content of <meta name="description">
    std::string keywords;    // the content of <meta name="keywords">, as written
};

// Where the head of a page ends: the offset just after "</head>" (or the start of "<body"),
// searched from `from`; npos while neither has arrived.
std::size_t FindHeadEnd(std::string_view page, std::size_t from = 0);

// The charset named in a Content-Type value ("text/html; charset=ISO-8859-1"), or "".
std::string CharsetOfContentType(std::string_view contentType);

// The page's text as UTF-8: decoded from `charset` when given, else from the charset its meta
// tags declare, else kept when it is valid UTF-8 and read as Windows-1252 when not.
std::string PageTextAsUtf8(std::string_view page, std::string_view charset);

// Title, description and keywords of a page already in UTF-8.
PageMeta ExtractPageMeta(std::string_view page);

// The keywords a fetch adds: the meta keywords, else `fallback` (the title, or the name); every
// ';' becomes a blank, a ',' separates as a blank does (one beside a blank adds none), blanks
// are trimmed at both ends and the text is lower-cased.
std::string FetchedKeywords(std::string_view metaKeywords, std::string_view fallback);

// How many keywords the Fetch dialog reports: blanks plus one, 0 for an empty text.
int FetchedKeywordCount(std::string_view keywords);

} // namespace brindle
