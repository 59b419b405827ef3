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

void AppendCodePoint(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

size_t DecodeCodePoint(std::string_view text, size_t i, char32_t& cp) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char b0 = byte(i);
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    size_t len;
    char32_t min;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (i + len > text.size())
        return 0;
    for (size_t k = 1; k < len; ++k) {
        const unsigned char b = byte(i + k);
        if ((b & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

bool IsValidUtf8(std::string_view text) {
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        // Skip ASCII eight bytes at a time: most of any bookmark file is ASCII.
        while (i + 8 <= n) {
            std::uint64_t word;
            std::copy_n(text.data() + i, 8, reinterpret_cast<char*>(&word));
            if (word & 0x8080808080808080ULL)
                break;
            i += 8;
        }
        if (i >= n)
            break;
        char32_t cp;
        const size_t len = DecodeCodePoint(text, i, cp);
        if (len == 0)
            return false;
        i += len;
    }
    return true;
}

std::string_view SkipUtf8Bom(std::string_view text) {
    if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    return text;
}

void TruncateUtf8(std::string& text, size_t maxBytes) {
    if (text.size() <= maxBytes)
        return;
    size_t cut = maxBytes;
    // Step back over continuation bytes to the start of the character that would be split.
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    text.resize(cut);
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
    if (IsValidUtf8(bytes))
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
    QStringDecoder windows("windows-1252");
    if (windows.isValid())
        return Decode(windows, bytes);
    QStringDecoder latin1(QStringDecoder::Latin1);
    return Decode(latin1, bytes);
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
