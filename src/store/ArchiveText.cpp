#include "store/ArchiveText.h"

#include <cstring>

namespace brindle {

namespace {

// Decodes one well-formed UTF-8 sequence at text[i]; returns its length, or 0 when the bytes
// there are not a valid sequence.
std::size_t DecodeUtf8At(std::string_view text, std::size_t i, char32_t& cp) {
    const auto b0 = static_cast<unsigned char>(text[i]);
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    std::size_t len;
    char32_t min;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2, cp = b0 & 0x1Fu, min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3, cp = b0 & 0x0Fu, min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4, cp = b0 & 0x07u, min = 0x10000;
    } else {
        return 0;
    }
    if (len > text.size() - i)
        return 0;
    for (std::size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(text[i + k]);
        if ((b & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (b & 0x3Fu);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

// Windows-1252 bytes 0x80-0x9F; the unassigned ones keep their C1 control value.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t Cp1252(unsigned char b) {
    return (b >= 0x80 && b < 0xA0) ? kCp1252High[b - 0x80] : b;
}

void AppendUtf8(char32_t cp, std::string& out) {
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

void AppendUnit(char16_t u, std::string& out) {
    out += static_cast<char>(u & 0xFF);
    out += static_cast<char>(u >> 8);
}

} // namespace

bool IsWellFormedUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        // ASCII fast path, eight bytes at a time.
        if (text.size() - i >= 8) {
            std::uint64_t chunk;
            std::memcpy(&chunk, text.data() + i, 8);
            if ((chunk & 0x8080808080808080ULL) == 0) {
                i += 8;
                continue;
            }
        }
        char32_t cp;
        const std::size_t len = DecodeUtf8At(text, i, cp);
        if (len == 0)
            return false;
        i += len;
    }
    return true;
}

std::string Windows1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    for (char c : bytes)
        AppendUtf8(Cp1252(static_cast<unsigned char>(c)), out);
    return out;
}

std::string ByteFormToUtf8(std::string_view bytes) {
    if (IsWellFormedUtf8(bytes))
        return std::string(bytes);
    return Windows1252ToUtf8(bytes);
}

std::size_t AppendUtf16LE(std::string_view utf8, std::string& out) {
    std::size_t units = 0;
    std::size_t i = 0;
    while (i < utf8.size()) {
        char32_t cp;
        std::size_t len = DecodeUtf8At(utf8, i, cp);
        if (len == 0) {
            cp = Cp1252(static_cast<unsigned char>(utf8[i]));
            len = 1;
        }
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            AppendUnit(static_cast<char16_t>(0xD800 + (cp >> 10)), out);
            AppendUnit(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)), out);
            units += 2;
        } else {
            AppendUnit(static_cast<char16_t>(cp), out);
            ++units;
        }
    }
    return units;
}

std::string Utf16LEToUtf8(const char* data, std::size_t units) {
    auto unit = [data](std::size_t k) -> char16_t {
        return static_cast<char16_t>(static_cast<unsigned char>(data[2 * k]) |
                                     (static_cast<unsigned char>(data[2 * k + 1]) << 8));
    };
    std::string out;
    out.reserve(units);
    for (std::size_t k = 0; k < units; ++k) {
        char32_t cp = unit(k);
        if (cp >= 0xD800 && cp <= 0xDBFF && k + 1 < units && unit(k + 1) >= 0xDC00 &&
            unit(k + 1) <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (unit(k + 1) - 0xDC00);
            ++k;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        AppendUtf8(cp, out);
    }
    return out;
}

} // namespace brindle
