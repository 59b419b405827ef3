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

} // namespace brindle
