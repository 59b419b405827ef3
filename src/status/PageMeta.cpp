// SPDX-License-Identifier: GPL-3.0-or-later
#include "status/PageMeta.h"

#include "exchange/HtmlTags.h"
#include "store/TextUtil.h"

#include <QByteArray>
#include <QString>
#include <QStringDecoder>

#include <algorithm>

namespace brindle {

namespace {

// Blanks inside a title or description (line breaks of the source) become single spaces.
std::string CollapseSpaces(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    bool space = false;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f') {
            space = !out.empty();
            continue;
        }
        if (space)
            out += ' ';
        space = false;
        out += c;
    }
    return out;
}

// The charset a page declares in its own meta tags (<meta charset> or the http-equiv form).
std::string DeclaredCharset(std::string_view page) {
    std::string found;
    TagStream tags;
    tags.Feed(
        page,
        [&](std::string_view tag) {
            if (!found.empty() || !EqualsNoCase(TagName(tag), "meta"))
                return;
            if (const auto charset = FindAttribute(tag, "charset")) {
                found = Trim(*charset);
                return;
            }
            const auto equiv = FindAttribute(tag, "http-equiv");
            if (equiv && EqualsNoCase(TrimView(*equiv), "content-type"))
                found = CharsetOfContentType(AttributeText(tag, "content"));
        },
        [](std::string_view) {});
    return found;
}

bool IsUtf8Name(std::string_view charset) {
    return EqualsNoCase(charset, "utf-8") || EqualsNoCase(charset, "utf8");
}

} // namespace

std::size_t FindHeadEnd(std::string_view page, std::size_t from) {
    // Step back so that a marker split over two arrivals is still found.
    const std::size_t start = from > 7 ? from - 7 : 0;
    const std::size_t head = FindNoCase(page, "</head", start);
    const std::size_t body = FindNoCase(page, "<body", start);
    const std::size_t at = std::min(head, body);
    if (at == std::string_view::npos)
        return std::string_view::npos;
    if (at == head) {
        const std::size_t gt = page.find('>', head);
        return gt == std::string_view::npos ? std::string_view::npos : gt + 1;
    }
    return body;
}

std::string CharsetOfContentType(std::string_view contentType) {
    const std::size_t at = FindNoCase(contentType, "charset=");
    if (at == std::string_view::npos)
        return {};
    std::string_view value = contentType.substr(at + 8);
    value = value.substr(0, value.find(';'));
    value = TrimView(value);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\''))
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

std::string PageTextAsUtf8(std::string_view page, std::string_view charset) {
    std::string name(charset);
    if (name.empty())
        name = DeclaredCharset(page);
    if (name.empty() || IsUtf8Name(name)) {
        if (IsWellFormedUtf8(page))
            return std::string(page);
        return Windows1252ToUtf8(page);
    }
    // Pages labelled Latin-1 are Windows-1252 in practice, as browsers treat them.
    if (EqualsNoCase(name, "iso-8859-1") || EqualsNoCase(name, "latin1") ||
        EqualsNoCase(name, "us-ascii") || EqualsNoCase(name, "windows-1252"))
        return Windows1252ToUtf8(page);
    QStringDecoder decoder(name.c_str());
    if (!decoder.isValid())
        return IsWellFormedUtf8(page) ? std::string(page) : Windows1252ToUtf8(page);
    const QString text = decoder(QByteArrayView(page.data(), static_cast<qsizetype>(page.size())));
    return text.toStdString();
}

PageMeta ExtractPageMeta(std::string_view page) {
    PageMeta meta;
    bool inTitle = false;
    bool titleDone = false;
    bool titleHasTag = false;
    bool haveDescription = false;
    bool haveKeywords = false;
    std::string title;
    TagStream tags;
    tags.Feed(
        page,
        [&](std::string_view tag) {
            const std::string_view name = TagName(tag);
            if (inTitle) {
                if (EqualsNoCase(name, "/title")) {
                    inTitle = false;
                    titleDone = true;
                } else {
                    titleHasTag = true;
                }
                return;
            }
            if (!titleDone && EqualsNoCase(name, "title")) {
                inTitle = true;
                return;
            }
            if (!EqualsNoCase(name, "meta"))
                return;
            const auto which = FindAttribute(tag, "name");
            if (!which)
                return;
            const std::string_view key = TrimView(*which);
            if (!haveDescription && EqualsNoCase(key, "description")) {
                meta.description = CollapseSpaces(AttributeText(tag, "content"));
                haveDescription = true;
            } else if (!haveKeywords && EqualsNoCase(key, "keywords")) {
                meta.keywords = CollapseSpaces(AttributeText(tag, "content"));
                haveKeywords = true;
            }
        },
        [&](std::string_view text) {
            if (inTitle)
                title.append(text);
        });
    if (titleDone && !titleHasTag)
        meta.title = CollapseSpaces(DecodeCharacterReferences(title));
    return meta;
}

std::string FetchedKeywords(std::string_view metaKeywords, std::string_view fallback) {
    std::string text(metaKeywords.empty() ? fallback : metaKeywords);
    std::replace(text.begin(), text.end(), ';', ' ');
    return ToLower(Trim(text));
}

int FetchedKeywordCount(std::string_view keywords) {
    if (keywords.empty())
        return 0;
    return static_cast<int>(std::count(keywords.begin(), keywords.end(), ' ')) + 1;
}

} // namespace brindle
