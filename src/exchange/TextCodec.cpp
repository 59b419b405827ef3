// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/TextCodec.h"

#include "exchange/HtmlTags.h"
#include "store/TextUtil.h"

#include <QByteArray>
#include <QString>
#include <QStringDecoder>

#include <algorithm>
#include <cctype>
#include <cstdint>

namespace brindle {

std::string_view SkipUtf8Bom(std::string_view text) {
    if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    return text;
}

namespace {

// The charset an HTML file declares in its first bytes, or "".
std::string DeclaredCharset(std::string_view text) {
    const std::string_view head = text.substr(0, std::min<size_t>(text.size(), 4096));
    const size_t at = FindNoCase(head, "charset=");
    if (at == std::string_view::npos)
        return {};
    size_t i = at + 8;
    while (i < head.size() && (head[i] == '"' || head[i] == '\'' || head[i] == ' '))
        ++i;
    size_t j = i;
    while (j < head.size() &&
           (std::isalnum(static_cast<unsigned char>(head[j])) || head[j] == '-' || head[j] == '_' ||
            head[j] == ':' || head[j] == '.'))
        ++j;
    return std::string(head.substr(i, j - i));
}

std::string Decode(QStringDecoder& decoder, std::string_view bytes) {
    const QString text = decoder.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    return text.toStdString();
}

} // namespace

std::string DecodeOutsideText(std::string bytes) {
    const std::string_view view(bytes);
    if (view.size() >= 2 && (view.substr(0, 2) == "\xFF\xFE" || view.substr(0, 2) == "\xFE\xFF")) {
        QStringDecoder utf16(view[0] == '\xFF' ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
        return Decode(utf16, view.substr(2));
    }
    if (view.size() >= 3 && view.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.erase(0, 3);
    if (IsWellFormedUtf8(bytes))
        return bytes;
    std::string charset = DeclaredCharset(bytes);
    for (char& c : charset)
        c = AsciiLower(c);
    if (charset.rfind("x-mac-", 0) == 0 && !QStringDecoder(charset.c_str()).isValid())
        charset = "macintosh"; // Mac exports name their system code page this way
    if (!charset.empty() && charset != "utf-8" && charset != "utf8") {
        QStringDecoder declared(charset.c_str());
        if (declared.isValid())
            return Decode(declared, bytes);
    }
    // The store's own table, the same as the document file's byte-form strings: it does not
    // depend on whether Qt was built with ICU.
    return Windows1252ToUtf8(bytes);
}

void NormalizeLineEnds(std::string& text) {
    size_t cr = text.find("\r\n");
    if (cr == std::string::npos)
        return;
    size_t out = cr;
    for (size_t in = cr; in < text.size(); ++in) {
        if (text[in] == '\r' && in + 1 < text.size() && text[in + 1] == '\n')
            continue;
        text[out++] = text[in];
    }
    text.resize(out);
}

void AppendLower(std::string& out, std::string_view text) {
    const size_t start = out.size();
    out.append(text);
    char* const begin = out.data() + start;
    const size_t n = text.size();
    // ASCII (nearly every name) in a loop without branches; other characters through the
    // store's own mapping, from the first of them on.
    unsigned other = 0;
    for (size_t i = 0; i < n; ++i) {
        const auto c = static_cast<unsigned char>(begin[i]);
        other |= c & 0x80u;
        begin[i] = static_cast<char>(c + (static_cast<unsigned char>(c - 'A') < 26 ? 32 : 0));
    }
    if (other == 0)
        return;
    size_t first = 0;
    while (static_cast<unsigned char>(text[first]) < 0x80)
        ++first;
    out.resize(start + first);
    out += ToLower(text.substr(first));
}

bool IsLowerAscii(std::string_view text) {
    // No early exit: the loop runs over whole vectors.
    unsigned other = 0;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        other |= static_cast<unsigned>(c >= 0x80) |
                 static_cast<unsigned>(static_cast<unsigned char>(c - 'A') < 26);
    }
    return other == 0;
}

void TrimInPlace(std::string& text) {
    const std::string_view kept = TrimView(text);
    if (kept.size() == text.size())
        return;
    const size_t front = static_cast<size_t>(kept.data() - text.data());
    text.erase(0, front);
    text.resize(kept.size());
}

} // namespace brindle
