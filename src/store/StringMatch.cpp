// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/StringMatch.h"

#include "store/TextUtil.h"

#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace brindle {

StringMatcher::StringMatcher(std::string_view needle, bool matchCase) {
    if (matchCase) {
        m_needle = std::string(needle);
        m_mode = Mode::Exact;
        return;
    }
    m_needle = ToLower(needle);
    m_mode = IsAscii(m_needle) ? Mode::AsciiFold : Mode::Unicode;
}

bool StringMatcher::Matches(std::string_view haystack) const {
    if (m_needle.empty())
        return true;
    switch (m_mode) {
    case Mode::Exact:
        return Find(haystack, 0) != std::string_view::npos;
    case Mode::AsciiFold:
        // Folding bytes finds every match made of ASCII characters; a text with other
        // characters may lower-case into more ASCII (U+212A to "k", U+0130 to "i").
        if (Find(haystack, 0) != std::string_view::npos)
            return true;
        return !IsAscii(haystack) && ToLower(haystack).find(m_needle) != std::string::npos;
    case Mode::Unicode:
        // Lower-cased ASCII stays ASCII and cannot hold a needle that is not.
        return !IsAscii(haystack) && ToLower(haystack).find(m_needle) != std::string::npos;
    }
    return false;
}

std::size_t StringMatcher::Find(std::string_view haystack, std::size_t from) const {
    const size_t m = m_needle.size();
    const size_t n = haystack.size();
    if (from > n || n - from < m)
        return std::string_view::npos;
    if (m == 0)
        return from;
    if (m_mode == Mode::Exact) {
        const char* h = haystack.data();
        const void* hit = memmem(h + from, n - from, m_needle.data(), m);
        return hit ? static_cast<size_t>(static_cast<const char*>(hit) - h)
                   : std::string_view::npos;
    }
    return FindAsciiFolded(haystack, m_needle, from);
}

std::size_t FindAsciiFolded(std::string_view haystack, std::string_view needle, std::size_t from) {
    const std::size_t m = needle.size();
    const std::size_t n = haystack.size();
    if (from > n || n - from < m)
        return std::string_view::npos;
    if (m == 0)
        return from;
    const char* h = haystack.data();
    const char* p = needle.data();
    auto equalFolded = [&](std::size_t at) {
        for (std::size_t k = 0; k < m; ++k)
            if (AsciiLower(h[at + k]) != p[k])
                return false;
        return true;
    };
    std::size_t i = from;
#if defined(__SSE2__)
    // Sixteen positions at a time: the first and the last needle byte must both fit; setting
    // bit 0x20 folds exactly the two cases of a letter together (needle letters are lower case).
    const auto first = static_cast<unsigned char>(p[0]);
    const auto last = static_cast<unsigned char>(p[m - 1]);
    auto caseBit = [](unsigned char c) {
        return static_cast<char>(c >= 'a' && c <= 'z' ? 0x20 : 0);
    };
    const __m128i wantFirst = _mm_set1_epi8(static_cast<char>(first));
    const __m128i wantLast = _mm_set1_epi8(static_cast<char>(last));
    const __m128i foldFirst = _mm_set1_epi8(caseBit(first));
    const __m128i foldLast = _mm_set1_epi8(caseBit(last));
    while (i + m - 1 + 16 <= n) {
        const __m128i a =
            _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(h + i)), foldFirst);
        const __m128i b = _mm_or_si128(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(h + i + m - 1)), foldLast);
        auto bits = static_cast<unsigned>(_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi8(a, wantFirst), _mm_cmpeq_epi8(b, wantLast))));
        while (bits) {
            const auto k = static_cast<std::size_t>(__builtin_ctz(bits));
            if (equalFolded(i + k))
                return i + k;
            bits &= bits - 1;
        }
        i += 16;
    }
#endif
    for (; i + m <= n; ++i)
        if (AsciiLower(h[i]) == p[0] && equalFolded(i))
            return i;
    return std::string_view::npos;
}

} // namespace brindle
