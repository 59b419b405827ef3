// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/HtmlTags.h"

#include "exchange/TextCodec.h"
#include "store/TextUtil.h"

#include <cstdint>
#include <cstring>

namespace brindle {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool AllDigits(std::string_view s) {
    for (char c : s)
        if (!IsDigit(c))
            return false;
    return true;
}

} // namespace

namespace detail {

size_t TagNameEnd(std::string_view tagText) {
    size_t i = (!tagText.empty() && tagText[0] == '/') ? 1 : 0;
    while (i < tagText.size() && !IsTagSpace(tagText[i]) && tagText[i] != '/')
        ++i;
    return i;
}

} // namespace detail

std::string_view TagName(std::string_view tagText) {
    return tagText.substr(0, detail::TagNameEnd(tagText));
}

std::optional<std::string_view> FindAttribute(std::string_view tagText, std::string_view name) {
    std::optional<std::string_view> found;
    ForEachAttribute(tagText, [&](std::string_view attr, std::string_view value) {
        if (!EqualsNoCase(attr, name))
            return true;
        found = value;
        return false;
    });
    return found;
}

std::string AttributeText(std::string_view tagText, std::string_view name) {
    const auto value = FindAttribute(tagText, name);
    return value ? DecodeCharacterReferences(*value) : std::string();
}

TagKind ClassifyTag(std::string_view tagText) {
    if (tagText.empty())
        return kTagOther;
    if (tagText[0] == '!') {
        if (tagText.size() > 4 && tagText.substr(0, 3) == "!--" &&
            tagText.substr(tagText.size() - 2) == "--")
            return kTagComment;
        return kTagOther;
    }
    const std::string_view name = TagName(tagText);
    if (name.size() >= 1 && (name[0] == 'h' || name[0] == 'H') && AllDigits(name.substr(1)))
        return kTagHeadingOpen;
    if (name.size() >= 2 && name[0] == '/' && (name[1] == 'h' || name[1] == 'H') &&
        AllDigits(name.substr(2)))
        return kTagHeadingClose;
    if (EqualsNoCase(name, "a"))
        return FindAttribute(tagText, "href") ? kTagAnchorOpen : kTagOther;
    if (EqualsNoCase(name, "/a"))
        return kTagAnchorClose;
    if (EqualsNoCase(name, "dl"))
        return kTagListOpen;
    if (EqualsNoCase(name, "/dl"))
        return kTagListClose;
    return kTagOther;
}

std::string ExtractQuotedValue(std::string_view tagText) {
    const size_t eq = tagText.find('=');
    if (eq == std::string_view::npos)
        return {};
    const size_t open = tagText.find_first_of("\"'", eq + 1);
    if (open == std::string_view::npos)
        return {};
    const size_t close = tagText.find_first_of("\"'", open + 1);
    if (close == std::string_view::npos)
        return {};
    return std::string(tagText.substr(open + 1, close - open - 1));
}

namespace {

// Length of the reference at text[0] == '&' and its code point, or 0 when it is not one we
// decode.
size_t ParseReference(std::string_view text, char32_t& cp) {
    // Every reference we decode starts "&#" or with the first letter of one of the names below;
    // anything else is answered at once (a run of '&' is common in hostile input).
    if (text.size() < 4)
        return 0;
    switch (text[1]) {
    case '#':
    case 'a':
    case 'A':
    case 'l':
    case 'L':
    case 'g':
    case 'G':
    case 'q':
    case 'Q':
    case 'n':
    case 'N':
        break;
    default:
        return 0;
    }
    // Only a short window is searched, so a text full of '&' stays linear.
    const size_t semi = text.substr(0, 13).find(';', 1);
    if (semi == std::string_view::npos)
        return 0;
    const std::string_view body = text.substr(1, semi - 1);
    if (body.size() >= 2 && body[0] == '#') {
        std::uint32_t value = 0;
        const bool hex = body[1] == 'x' || body[1] == 'X';
        const std::string_view digits = body.substr(hex ? 2 : 1);
        if (digits.empty() || digits.size() > (hex ? 6u : 7u))
            return 0;
        for (char c : digits) {
            int d;
            if (c >= '0' && c <= '9')
                d = c - '0';
            else if (hex && c >= 'a' && c <= 'f')
                d = c - 'a' + 10;
            else if (hex && c >= 'A' && c <= 'F')
                d = c - 'A' + 10;
            else
                return 0;
            value = value * (hex ? 16 : 10) + static_cast<std::uint32_t>(d);
        }
        if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
            return 0;
        cp = value;
        return semi + 1;
    }
    static constexpr struct {
        std::string_view name;
        char32_t cp;
    } kNamed[] = {{"amp", '&'},   {"lt", '<'},    {"gt", '>'},   {"quot", '"'},
                  {"apos", '\''}, {"AMP", '&'},   {"LT", '<'},   {"GT", '>'},
                  {"QUOT", '"'},  {"nbsp", 0xA0}, {"NBSP", 0xA0}};
    for (const auto& named : kNamed)
        if (body == named.name) {
            cp = named.cp;
            return semi + 1;
        }
    return 0;
}

} // namespace

namespace {

// The position of the first reference at or after `from` that decodes (its length and code
// point in `len` and `cp`), or npos.
size_t FindReference(std::string_view text, size_t from, size_t& len, char32_t& cp) {
    size_t amp = text.find('&', from);
    while (amp != std::string_view::npos) {
        len = ParseReference(text.substr(amp), cp);
        if (len != 0)
            return amp;
        // In a run of '&' only the last can start a reference.
        const size_t next = detail::RunEnd(text, amp + 1, '&');
        amp = next > amp + 1 ? next - 1 : text.find('&', next);
    }
    return std::string_view::npos;
}

} // namespace

void AppendDecoded(std::string& out, std::string_view text) {
    size_t copied = 0; // text before this is in `out` already
    size_t len = 0;
    char32_t cp = 0;
    for (size_t at = FindReference(text, 0, len, cp); at != std::string_view::npos;
         at = FindReference(text, copied, len, cp)) {
        out.append(text.substr(copied, at - copied));
        AppendUtf8(out, cp);
        copied = at + len;
    }
    out.append(text.substr(copied));
}

std::string_view DecodedView(std::string_view text, std::string& buffer) {
    size_t len = 0;
    char32_t cp = 0;
    const size_t first = FindReference(text, 0, len, cp);
    if (first == std::string_view::npos)
        return text;
    buffer.assign(text.substr(0, first));
    AppendDecoded(buffer, text.substr(first));
    return buffer;
}

std::string DecodeCharacterReferences(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    AppendDecoded(out, text);
    return out;
}

void AppendEscaped(std::string& out, std::string_view text) {
    // One pass with a table; most text has nothing to escape and is copied in one piece.
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char* replacement;
        switch (text[i]) {
        case '&':
            replacement = "&amp;";
            break;
        case '<':
            replacement = "&lt;";
            break;
        case '>':
            replacement = "&gt;";
            break;
        case '"':
            replacement = "&quot;";
            break;
        default:
            continue;
        }
        out.append(text.substr(start, i - start));
        out += replacement;
        start = i + 1;
    }
    out.append(text.substr(start));
}

std::string EscapeHtml(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    AppendEscaped(out, text);
    return out;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

size_t FindNoCase(std::string_view text, std::string_view needle, size_t from) {
    if (needle.empty())
        return from <= text.size() ? from : std::string_view::npos;
    const char first = AsciiLower(needle[0]);
    const char firstUpper =
        (first >= 'a' && first <= 'z') ? static_cast<char>(first - 'a' + 'A') : first;
    const char pair[3] = {first, firstUpper, '\0'};
    size_t pos = from;
    while (pos + needle.size() <= text.size()) {
        pos = text.find_first_of(std::string_view(pair, first == firstUpper ? 1 : 2), pos);
        if (pos == std::string_view::npos || pos + needle.size() > text.size())
            return std::string_view::npos;
        if (EqualsNoCase(text.substr(pos, needle.size()), needle))
            return pos;
        ++pos;
    }
    return std::string_view::npos;
}

} // namespace brindle
