// SPDX-License-Identifier: GPL-3.0-or-later
#include "status/PageMeta.h"

#include "exchange/HtmlTags.h"
#include "store/TextUtil.h"

#include <QByteArray>
#include <QString>
#include <QStringDecoder>

#include <libxml/HTMLparser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <mutex>
#include <optional>

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

struct FreeDocument {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using HtmlDocument = std::unique_ptr<xmlDoc, FreeDocument>;

// Pages come from the network: the parser recovers from any markup, says nothing, loads nothing
// and reads the bytes in `encoding` whatever the page declares (its charset was applied before).
HtmlDocument ParseHtml(std::string_view page, const char* encoding) {
    static std::once_flag ready;
    std::call_once(ready, [] { xmlInitParser(); });
    const int size = static_cast<int>(std::min<std::size_t>(page.size(), INT_MAX));
    constexpr int kOptions = HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING |
                             HTML_PARSE_NONET | HTML_PARSE_IGNORE_ENC | HTML_PARSE_COMPACT;
    return HtmlDocument(htmlReadMemory(page.data(), size, nullptr, encoding, kOptions));
}

std::string_view NameOf(const xmlNode* node) {
    return reinterpret_cast<const char*>(node->name);
}

// An attribute's value with its character references decoded; nothing when the element has none.
// The parser gives element and attribute names in lower case.
std::optional<std::string> Attribute(xmlNode* node, const char* name) {
    xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
    if (!value)
        return std::nullopt;
    std::string text(reinterpret_cast<const char*>(value));
    xmlFree(value);
    return text;
}

// Calls `visit` for every element in document order until it returns false. No recursion:
// the nesting of a hostile page is not bounded by the stack.
template <typename Visit> void EachElement(xmlDoc* doc, Visit&& visit) {
    xmlNode* node = doc ? doc->children : nullptr;
    while (node) {
        if (node->type == XML_ELEMENT_NODE && !visit(node))
            return;
        if (node->children && node->type == XML_ELEMENT_NODE) {
            node = node->children;
            continue;
        }
        while (node && !node->next)
            node = node->parent && node->parent->type != XML_DOCUMENT_NODE &&
                           node->parent->type != XML_HTML_DOCUMENT_NODE
                       ? node->parent
                       : nullptr;
        if (node)
            node = node->next;
    }
}

// The charset a page declares in its own meta tags (<meta charset> or the http-equiv form). The
// bytes are read as Latin-1 for this: every byte stays one character, and the names are ASCII.
std::string DeclaredCharset(std::string_view page) {
    std::string found;
    const HtmlDocument doc = ParseHtml(page, "ISO-8859-1");
    EachElement(doc.get(), [&](xmlNode* node) {
        if (NameOf(node) != "meta")
            return true;
        if (const auto charset = Attribute(node, "charset")) {
            found = Trim(*charset);
            return false;
        }
        const auto equiv = Attribute(node, "http-equiv");
        if (equiv && EqualsNoCase(TrimView(*equiv), "content-type"))
            found = CharsetOfContentType(Attribute(node, "content").value_or(""));
        return found.empty();
    });
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
    bool haveTitle = false;
    bool haveDescription = false;
    bool haveKeywords = false;
    const HtmlDocument doc = ParseHtml(page, "UTF-8");
    EachElement(doc.get(), [&](xmlNode* node) {
        const std::string_view name = NameOf(node);
        if (!haveTitle && name == "title") {
            haveTitle = true;
            // A title holding a tag of its own is no title, nor is one the page never closes
            // (the parser would end it anywhere).
            bool hasTag = false;
            for (const xmlNode* child = node->children; child; child = child->next)
                hasTag = hasTag || child->type == XML_ELEMENT_NODE;
            if (!hasTag && FindNoCase(page, "</title") != std::string_view::npos) {
                xmlChar* text = xmlNodeGetContent(node);
                if (text)
                    meta.title = CollapseSpaces(reinterpret_cast<const char*>(text));
                xmlFree(text);
            }
            return true;
        }
        if (name != "meta")
            return true;
        const auto which = Attribute(node, "name");
        if (!which)
            return true;
        const std::string_view key = TrimView(*which);
        if (!haveDescription && EqualsNoCase(key, "description")) {
            meta.description = CollapseSpaces(Attribute(node, "content").value_or(""));
            haveDescription = true;
        } else if (!haveKeywords && EqualsNoCase(key, "keywords")) {
            meta.keywords = CollapseSpaces(Attribute(node, "content").value_or(""));
            haveKeywords = true;
        }
        return !(haveTitle && haveDescription && haveKeywords);
    });
    return meta;
}

std::string FetchedKeywords(std::string_view metaKeywords, std::string_view fallback) {
    const std::string_view source = metaKeywords.empty() ? fallback : metaKeywords;
    std::string text;
    text.reserve(source.size());
    for (std::size_t i = 0; i < source.size(); ++i) {
        const char c = source[i];
        if (c == ';') {
            text += ' ';
        } else if (c == ',') {
            // "Alpha, Beta" and "alpha,beta" are two keywords: a comma separates as a blank does,
            // and one written beside a blank adds none of its own.
            const bool blankBeside = (!text.empty() && text.back() == ' ') ||
                                     (i + 1 < source.size() && source[i + 1] == ' ');
            if (!blankBeside)
                text += ' ';
        } else {
            text += c;
        }
    }
    return ToLower(Trim(text));
}

int FetchedKeywordCount(std::string_view keywords) {
    if (keywords.empty())
        return 0;
    return static_cast<int>(std::count(keywords.begin(), keywords.end(), ' ')) + 1;
}

} // namespace brindle
