// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The pieces every reader of outside HTML shares: the walk over tags and text, the tag kinds,
// attribute reading, character references, and the escaping the HTML writers apply.

#include "store/TextUtil.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
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

// Calls `take(name, rawValue)` for each attribute of the tag, in order, until it returns false.
// Values may be quoted with double or single quotes or unquoted; a valueless attribute gives "".
template <typename Take> void ForEachAttribute(std::string_view tagText, Take&& take);

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
// The decoded text without a copy when there is nothing to decode: `text` itself when it holds
// no reference, otherwise `buffer`, overwritten with the decoded text.
std::string_view DecodedView(std::string_view text, std::string& buffer);

// Escapes & < > and " for HTML text and attribute values.
std::string EscapeHtml(std::string_view text);
void AppendEscaped(std::string& out, std::string_view text);

// ASCII case-insensitive search and comparison (markers, keys and tag names).
size_t FindNoCase(std::string_view text, std::string_view needle, size_t from = 0);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
inline bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    return true;
}

namespace detail {
inline bool IsTagSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}
size_t TagNameEnd(std::string_view tagText);
// The end of the run of `c` that starts at `from` (`from` itself when text[from] is another
// byte), eight bytes at a time.
inline size_t RunEnd(std::string_view text, size_t from, char c) {
    if (from >= text.size() || text[from] != c)
        return from;
    const std::uint64_t all = 0x0101010101010101ULL * static_cast<unsigned char>(c);
    size_t i = from;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + i, 8);
        if (word != all)
            break;
    }
    while (i < text.size() && text[i] == c)
        ++i;
    return i;
}
} // namespace detail

template <typename Take> void ForEachAttribute(std::string_view tagText, Take&& take) {
    using detail::IsTagSpace;
    const size_t n = tagText.size();
    size_t i = detail::TagNameEnd(tagText);
    while (i < n) {
        while (i < n && (IsTagSpace(tagText[i]) || tagText[i] == '/'))
            ++i;
        if (i >= n)
            break;
        const size_t start = i;
        while (i < n && !IsTagSpace(tagText[i]) && tagText[i] != '=' && tagText[i] != '/')
            ++i;
        if (i == start) { // a stray '=': not an attribute name
            ++i;
            continue;
        }
        const std::string_view name = tagText.substr(start, i - start);
        while (i < n && IsTagSpace(tagText[i]))
            ++i;
        std::string_view value;
        if (i < n && tagText[i] == '=') {
            ++i;
            while (i < n && IsTagSpace(tagText[i]))
                ++i;
            if (i < n && (tagText[i] == '"' || tagText[i] == '\'')) {
                const size_t close = tagText.find(tagText[i], i + 1);
                const size_t end = close == std::string_view::npos ? n : close;
                value = tagText.substr(i + 1, end - i - 1);
                i = close == std::string_view::npos ? n : close + 1;
            } else {
                const size_t vstart = i;
                while (i < n && !IsTagSpace(tagText[i]))
                    ++i;
                value = tagText.substr(vstart, i - vstart);
            }
        }
        if (!take(name, value))
            return;
    }
}

// Walks text as the readers do: '<' opens a tag (restarting one that is already open), '>'
// closes an open tag; `onTag(tagText)` gets every non-empty tag, `onText(run)` every run of
// bytes outside tags. The text may arrive in pieces (a tag may span them); a tag still open when
// the text ends is dropped. Linear in the text: every byte is looked at by one memchr for '<'
// and at most one for '>'.
class TagStream {
  public:
    template <typename OnTag, typename OnText>
    void Feed(std::string_view chunk, OnTag&& onTag, OnText&& onText) {
        size_t pos = 0;
        const size_t n = chunk.size();
        // The first '>' at or after the last place a long tag was searched from (n when none):
        // found once and reused until passed, so restarts do not search the piece again.
        size_t gt = 0;
        bool gtKnown = false;
        while (pos < n) {
            if (!m_inTag) {
                const size_t lt = Find(chunk, pos, '<');
                if (lt == n) {
                    onText(chunk.substr(pos));
                    return;
                }
                if (lt > pos)
                    onText(chunk.substr(pos, lt - pos));
                m_inTag = true;
                m_partial.clear();
                pos = detail::RunEnd(chunk, lt + 1, '<'); // each further '<' starts it again
                continue;
            }
            // Where the tag ends ('>') or starts again ('<'): most tags are short and are
            // looked at byte by byte; a long one (an icon in an attribute) goes to memchr.
            size_t stop = pos;
            const size_t near = std::min(n, pos + kNearBytes);
            while (stop < near && chunk[stop] != '<' && chunk[stop] != '>')
                ++stop;
            if (stop == near && near < n) {
                if (!gtKnown || gt < near) {
                    gt = chunk.find('>', near);
                    if (gt == std::string_view::npos)
                        gt = n;
                    gtKnown = true;
                }
                const size_t lt = chunk.substr(0, gt).find('<', near);
                stop = lt == std::string_view::npos ? gt : lt;
            }
            if (stop == n) {
                m_partial.append(chunk.substr(pos)); // the tag goes on in the next piece
                return;
            }
            if (chunk[stop] == '<') {
                m_partial.clear(); // '<' inside a tag starts it again
                pos = detail::RunEnd(chunk, stop + 1, '<');
                continue;
            }
            m_inTag = false;
            if (m_partial.empty()) {
                if (stop > pos)
                    onTag(chunk.substr(pos, stop - pos));
            } else {
                m_partial.append(chunk.substr(pos, stop - pos));
                const std::string tag = std::move(m_partial);
                m_partial.clear();
                onTag(std::string_view(tag));
            }
            pos = stop + 1;
        }
    }

  private:
    static constexpr size_t kNearBytes = 32;

    // The first `c` at or after `from`, or the end: a few bytes directly, then memchr.
    static size_t Find(std::string_view chunk, size_t from, char c) {
        const size_t near = std::min(chunk.size(), from + kNearBytes / 2);
        for (size_t i = from; i < near; ++i)
            if (chunk[i] == c)
                return i;
        const size_t at = chunk.find(c, near);
        return at == std::string_view::npos ? chunk.size() : at;
    }

    bool m_inTag = false;
    std::string m_partial; // the start of a tag that began in an earlier piece
};

// Text gathered from the runs TagStream passes between tags (a link's name, a description):
// while it is one run it stays a view into the piece being read; a second run, or the end of
// the piece (Keep), copies it into a buffer that is reused from one gathering to the next.
class GatheredText {
  public:
    void Clear() {
        m_view = {};
        m_buffer.clear();
        m_buffered = false;
    }
    void Append(std::string_view run) {
        if (run.empty())
            return;
        if (!m_buffered && m_view.empty()) {
            m_view = run;
            return;
        }
        Keep();
        m_buffer.append(run);
    }
    // The piece the view points into is about to end.
    void Keep() {
        if (m_buffered)
            return;
        m_buffer.assign(m_view);
        m_view = {};
        m_buffered = true;
    }
    std::string_view View() const { return m_buffered ? std::string_view(m_buffer) : m_view; }
    size_t Size() const { return View().size(); }

  private:
    std::string_view m_view;
    std::string m_buffer;
    bool m_buffered = false;
};

template <typename OnTag, typename OnText>
void ScanTags(std::string_view text, OnTag&& onTag, OnText&& onText) {
    TagStream stream;
    stream.Feed(text, onTag, onText);
}

} // namespace brindle
