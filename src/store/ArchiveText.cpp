// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/ArchiveText.h"

#include "store/TextUtil.h"

#include <cstring>

namespace brindle {

namespace {

void AppendUnit(char16_t u, std::string& out) {
    out += static_cast<char>(u & 0xFF);
    out += static_cast<char>(u >> 8);
}

} // namespace

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
            cp = Windows1252CodePoint(static_cast<unsigned char>(utf8[i]));
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
        AppendUtf8(out, cp);
    }
    return out;
}

} // namespace brindle
