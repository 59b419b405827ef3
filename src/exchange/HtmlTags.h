#pragma once
// The pieces every reader of outside HTML shares: the walk over tags and text, the tag kinds,
// attribute reading, character references, and the escaping the HTML writers apply.

#include <optional>
#include <string>
#include <string_view>

namespace brindle {

enum TagKind : int {
    kTagOther = -1,
    kTagHeadingOpen = 1,
    kTagComment = 2,
    kTagAnchorOpen = 3,
    kTagListOpen = 4,
    kTagListClose = 5,
    kTagAnchorClose = 6,
    kTagHeadingClose = 7
};

// Kind of the text between '<' and '>'. Tags are recognised by name in any letter case; an
// anchor open is an "a" tag carrying an href attribute anywhere among its attributes.
TagKind ClassifyTag(std::string_view tagText);

// The tag's name ("a", "/dl", "!--"), as written.
std::string_view TagName(std::string_view tagText);

// The raw value of the first attribute called `name` (any letter case), quoted with double or
// single quotes or unquoted; nullopt when the tag has no such attribute. A valueless attribute
// gives an empty value.
std::optional<std::string_view> FindAttribute(std::string_view tagText, std::string_view name);

// The attribute's value with character references decoded, or "" when absent.
std::string AttributeText(std::string_view tagText, std::string_view name);

// The value after the first '=': from the next quote of either kind to the quote after it,
// unchanged; "" when no such value closes inside the tag text.
std::string ExtractQuotedValue(std::string_view tagText);

// Decodes &amp; &lt; &gt; &quot; &apos; &#39; &nbsp; and numeric references (&#NNN; &#xHH;).
// Anything else, and references to code points that cannot be encoded, stay as written.
std::string DecodeCharacterReferences(std::string_view text);
void AppendDecoded(std::string& out, std::string_view text);

// Escapes & < > and " for HTML text and attribute values.
std::string EscapeHtml(std::string_view text);
void AppendEscaped(std::string& out, std::string_view text);

// ASCII case-insensitive search and comparison (markers, keys and tag names).
size_t FindNoCase(std::string_view text, std::string_view needle, size_t from = 0);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
bool EqualsNoCase(std::string_view a, std::string_view b);

// Walks `text` as the readers do: '<' opens a tag (restarting one that is already open), '>'
// closes an open tag; `onTag(tagText)` gets every non-empty tag, `onText(run)` every run of
// bytes outside tags. An unterminated tag at the end is dropped. Linear in the text.
template <typename OnTag, typename OnText>
void ScanTags(std::string_view text, OnTag&& onTag, OnText&& onText) {
    size_t pos = 0;
    const size_t n = text.size();
    while (pos < n) {
        const size_t lt = text.find('<', pos);
        if (lt == std::string_view::npos) {
            onText(text.substr(pos));
            return;
        }
        if (lt > pos)
            onText(text.substr(pos, lt - pos));
        size_t tagStart = lt + 1;
        size_t p = tagStart;
        for (;;) {
            p = text.find_first_of("<>", p);
            if (p == std::string_view::npos)
                return;
            if (text[p] == '<') {
                tagStart = p + 1;
                ++p;
                continue;
            }
            break;
        }
        if (p > tagStart)
            onTag(text.substr(tagStart, p - tagStart));
        pos = p + 1;
    }
}

} // namespace brindle
