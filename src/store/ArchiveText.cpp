// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/ArchiveText.h"

#include "store/TextUtil.h"

#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace brindle {

namespace {

char* PutUnit(char* o, char16_t u) {
    o[0] = static_cast<char>(u & 0xFF);
    o[1] = static_cast<char>(u >> 8);
    return o + 2;
}

} // namespace

std::string ByteFormToUtf8(std::string_view bytes) {
    if (IsWellFormedUtf8(bytes))
        return std::string(bytes);
    return Windows1252ToUtf8(bytes);
}

std::size_t Utf8ToUtf16LE(std::string_view utf8, char* out) {
    const auto* in = reinterpret_cast<const unsigned char*>(utf8.data());
    const std::size_t size = utf8.size();
    char* o = out;
    std::size_t i = 0;
    while (i < size) {
#ifdef __SSE2__
        // ASCII runs sixteen bytes at a time: each byte widened to a unit.
        while (size - i >= 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
            if (_mm_movemask_epi8(v) != 0)
                break;
            _mm_storeu_si128(reinterpret_cast<__m128i*>(o),
                             _mm_unpacklo_epi8(v, _mm_setzero_si128()));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 16),
                             _mm_unpackhi_epi8(v, _mm_setzero_si128()));
            o += 32;
            i += 16;
        }
        if (i == size)
            break;
#endif
        if (in[i] < 0x80) {
            o = PutUnit(o, in[i++]);
            continue;
        }
        char32_t cp;
        std::size_t len = DecodeUtf8At(utf8, i, cp);
        if (len == 0) {
            cp = Windows1252CodePoint(in[i]);
            len = 1;
        }
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            o = PutUnit(o, static_cast<char16_t>(0xD800 + (cp >> 10)));
            o = PutUnit(o, static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            o = PutUnit(o, static_cast<char16_t>(cp));
        }
    }
    return static_cast<std::size_t>(o - out) / 2;
}

std::size_t AppendUtf16LE(std::string_view utf8, std::string& out) {
    const std::size_t at = out.size();
    out.resize(at + 2 * utf8.size());
    const std::size_t units = Utf8ToUtf16LE(utf8, out.data() + at);
    out.resize(at + 2 * units);
    return units;
}

std::string Utf16LEToUtf8Reference(const char* data, std::size_t units) {
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

std::size_t Utf16LEToUtf8(const char* data, std::size_t units, char* out) {
    const auto* in = reinterpret_cast<const unsigned char*>(data);
    auto unit = [in](std::size_t k) -> char32_t { return in[2 * k] | (in[2 * k + 1] << 8); };
    char* o = out;
    std::size_t k = 0;
    while (k < units) {
#ifdef __SSE2__
        // ASCII runs eight units at a time: pack the low bytes when no unit is 0x80 or above.
        // There is room: 8 units left means at least 24 bytes of room after `o`.
        while (units - k >= 8) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 2 * k));
            const __m128i high = _mm_and_si128(v, _mm_set1_epi16(static_cast<short>(0xFF80)));
            const int ascii = _mm_movemask_epi8(_mm_cmpeq_epi16(high, _mm_setzero_si128()));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(o), _mm_packus_epi16(v, v));
            if (ascii == 0xFFFF) {
                o += 8;
                k += 8;
                continue;
            }
            // Keep the ASCII units before the first other one (two mask bits per unit).
            const auto lead = static_cast<std::size_t>(__builtin_ctz(~ascii & 0xFFFF)) / 2;
            o += lead;
            k += lead;
            break;
        }
        if (k == units)
            break;
#endif
        // One character, then on while the units are not ASCII.
        do {
            char32_t cp = unit(k++);
            if (cp < 0x80) {
                *o++ = static_cast<char>(cp);
                break;
            }
            if (cp < 0x800) {
                *o++ = static_cast<char>(0xC0 | (cp >> 6));
                *o++ = static_cast<char>(0x80 | (cp & 0x3F));
                continue;
            }
            if (cp >= 0xD800 && cp <= 0xDFFF) {
                const char32_t next = k < units ? unit(k) : 0;
                if (cp <= 0xDBFF && next >= 0xDC00 && next <= 0xDFFF) {
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (next - 0xDC00);
                    ++k;
                    *o++ = static_cast<char>(0xF0 | (cp >> 18));
                    *o++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
                    *o++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
                    *o++ = static_cast<char>(0x80 | (cp & 0x3F));
                    continue;
                }
                cp = 0xFFFD;
            }
            *o++ = static_cast<char>(0xE0 | (cp >> 12));
            *o++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            *o++ = static_cast<char>(0x80 | (cp & 0x3F));
        } while (k < units);
    }
    return static_cast<std::size_t>(o - out);
}

std::string Utf16LEToUtf8(const char* data, std::size_t units) {
    std::string out(Utf8BytesFor(units), '\0');
    out.resize(Utf16LEToUtf8(data, units, out.data()));
    return out;
}

} // namespace brindle
