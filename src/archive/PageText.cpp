// SPDX-License-Identifier: GPL-3.0-or-later
#include "archive/PageText.h"

#include "exchange/HtmlTags.h"
#include "status/PageMeta.h"
#include "store/TextUtil.h"

#include <libxml/HTMLparser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <array>
#include <climits>
#include <memory>
#include <mutex>

namespace brindle {

namespace {

// The stored text of one page is bounded: the index and the snippets stay quick.
constexpr std::size_t kTextLimit = 1024 * 1024;

struct FreeDocument {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using HtmlDocument = std::unique_ptr<xmlDoc, FreeDocument>;

std::string_view NameOf(const xmlNode* node) {
    return node->name ? reinterpret_cast<const char*>(node->name) : std::string_view();
}

std::string AttributeOf(xmlNode* node, const char* name) {
    xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
    if (!value)
        return {};
    std::string text(reinterpret_cast<const char*>(value));
    xmlFree(value);
    return text;
}

bool HasAttribute(xmlNode* node, const char* name) {
    return xmlHasProp(node, reinterpret_cast<const xmlChar*>(name)) != nullptr;
}

template <std::size_t N>
bool OneOf(std::string_view name, const std::array<std::string_view, N>& set) {
    return std::find(set.begin(), set.end(), name) != set.end();
}

// Elements whose content is never what a reader came for.
constexpr std::array<std::string_view, 17> kSkipped = {
    "head",   "script", "style", "noscript", "template", "nav",    "aside",  "svg",  "math",
    "iframe", "object", "embed", "canvas",   "select",   "button", "dialog", "video"};
// Elements that end a line of text.
constexpr std::array<std::string_view, 38> kBlocks = {
    "p",       "div",     "br",       "li",     "dt",      "dd",         "tr",      "td",
    "th",      "h1",      "h2",       "h3",     "h4",      "h5",         "h6",      "blockquote",
    "pre",     "section", "article",  "main",   "figure",  "figcaption", "caption", "table",
    "ul",      "ol",      "dl",       "hr",     "address", "header",     "footer",  "form",
    "details", "summary", "fieldset", "legend", "body",    "img"};
// Landmark roles of page furniture.
constexpr std::array<std::string_view, 4> kSkippedRoles = {"navigation", "banner", "contentinfo",
                                                           "complementary"};

// A page header or footer is furniture, except the header of an article (its title and date).
bool InsideArticle(const xmlNode* node) {
    int depth = 0;
    for (const xmlNode* up = node->parent; up && depth < 64; up = up->parent, ++depth)
        if (up->type == XML_ELEMENT_NODE && (NameOf(up) == "article" || NameOf(up) == "main"))
            return true;
    return false;
}

bool IsHidden(xmlNode* node) {
    if (HasAttribute(node, "hidden"))
        return true;
    if (EqualsNoCase(TrimView(AttributeOf(node, "aria-hidden")), "true"))
        return true;
    const std::string role = ToLower(TrimView(AttributeOf(node, "role")));
    if (!role.empty() && OneOf(role, kSkippedRoles))
        return true;
    std::string style = ToLower(AttributeOf(node, "style"));
    style.erase(std::remove_if(style.begin(), style.end(), [](char c) { return IsBlank(c); }),
                style.end());
    return style.find("display:none") != std::string::npos ||
           style.find("visibility:hidden") != std::string::npos;
}

bool SkipElement(xmlNode* node) {
    const std::string_view name = NameOf(node);
    if (OneOf(name, kSkipped))
        return true;
    if ((name == "header" || name == "footer") && !InsideArticle(node))
        return true;
    if (name == "input" || name == "textarea")
        return true;
    return node->properties && IsHidden(node);
}

// Collects text with blanks collapsed and a line break between blocks.
class TextBuilder {
  public:
    void Text(std::string_view text) {
        for (char c : text) {
            if (m_out.size() >= kTextLimit)
                return;
            if (IsBlank(c)) {
                m_space = !m_out.empty();
                continue;
            }
            if (m_break) {
                m_out += '\n';
                m_break = m_space = false;
            } else if (m_space) {
                m_out += ' ';
                m_space = false;
            }
            m_out += c;
        }
    }
    void Break() {
        if (!m_out.empty())
            m_break = true;
        m_space = false;
    }
    std::string Take() {
        TruncateUtf8(m_out, kTextLimit);
        return std::move(m_out);
    }

  private:
    std::string m_out;
    bool m_space = false;
    bool m_break = false;
};

std::string CollapsedContent(xmlNode* node) {
    xmlChar* content = xmlNodeGetContent(node);
    if (!content)
        return {};
    TextBuilder builder;
    builder.Text(reinterpret_cast<const char*>(content));
    xmlFree(content);
    return builder.Take();
}

// Bytes that are no text: a NUL, or many control characters, near the start.
bool LooksBinary(std::string_view body) {
    const std::string_view head = body.substr(0, 4096);
    std::size_t controls = 0;
    for (char ch : head) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == 0)
            return true;
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != 0x1b)
            ++controls;
    }
    return controls * 20 > head.size();
}

// Latin-1 labels are often wrong on pages that are UTF-8 in fact; text that is well-formed UTF-8
// with non-ASCII bytes is hardly ever anything else.
std::string DecodePage(std::string_view body, std::string_view charset, bool html) {
    if (IsWellFormedUtf8(body))
        return std::string(body);
    if (!html && charset.empty())
        return Windows1252ToUtf8(body);
    return PageTextAsUtf8(body, charset);
}

PageText ExtractHtml(const std::string& page) {
    static std::once_flag ready;
    std::call_once(ready, [] { xmlInitParser(); });
    constexpr int kOptions = HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING |
                             HTML_PARSE_NONET | HTML_PARSE_IGNORE_ENC | HTML_PARSE_COMPACT |
                             HTML_PARSE_NOBLANKS;
    const int size = static_cast<int>(std::min<std::size_t>(page.size(), INT_MAX));
    const HtmlDocument doc(htmlReadMemory(page.data(), size, nullptr, "UTF-8", kOptions));
    PageText result;
    result.ok = true;
    if (!doc)
        return result;

    TextBuilder text;
    // Depth-first without recursion: a hostile page's nesting is not bounded by the stack.
    xmlNode* node = doc->children;
    while (node) {
        bool descend = false;
        if (node->type == XML_ELEMENT_NODE) {
            const std::string_view name = NameOf(node);
            if (name == "head" && result.title.empty()) {
                for (xmlNode* child = node->children; child; child = child->next)
                    if (child->type == XML_ELEMENT_NODE && NameOf(child) == "title") {
                        result.title = CollapsedContent(child);
                        break;
                    }
            } else if (name == "title" && result.title.empty()) {
                result.title = CollapsedContent(node);
            }
            if (!SkipElement(node)) {
                descend = node->children != nullptr;
                if (OneOf(name, kBlocks))
                    text.Break();
                if (name == "img") {
                    text.Text(AttributeOf(node, "alt"));
                    text.Break();
                }
            }
        } else if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) {
            if (node->content)
                text.Text(reinterpret_cast<const char*>(node->content));
        }
        if (descend) {
            node = node->children;
            continue;
        }
        while (node && !node->next) {
            node = node->parent;
            if (node && (node->type == XML_DOCUMENT_NODE || node->type == XML_HTML_DOCUMENT_NODE))
                node = nullptr;
            if (node && OneOf(NameOf(node), kBlocks))
                text.Break();
        }
        if (node)
            node = node->next;
    }
    result.text = text.Take();
    return result;
}

} // namespace

bool IsArchivableType(std::string_view contentType) {
    return contentType.empty() || contentType == "text/html" || contentType == "text/plain" ||
           contentType == "text/markdown" || contentType == "application/xhtml+xml";
}

PageText ExtractPageText(std::string_view body, std::string_view contentType,
                         std::string_view charset) {
    PageText result;
    if (!IsArchivableType(contentType) || LooksBinary(body))
        return result;
    body = body.substr(0, kArchivePageLimit);
    const bool html =
        contentType.empty() || contentType == "text/html" || contentType == "application/xhtml+xml";
    const std::string page = DecodePage(body, charset, html);
    if (html)
        return ExtractHtml(page);
    TextBuilder text;
    std::size_t start = 0;
    // Plain text keeps its lines.
    while (start < page.size()) {
        std::size_t end = page.find('\n', start);
        if (end == std::string::npos)
            end = page.size();
        text.Text(std::string_view(page).substr(start, end - start));
        text.Break();
        start = end + 1;
    }
    result.text = text.Take();
    result.ok = true;
    return result;
}

} // namespace brindle
