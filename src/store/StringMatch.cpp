#include "store/StringMatch.h"

#include "store/TextUtil.h"

#include <cstring>

namespace brindle {

StringMatcher::StringMatcher(std::string_view needle, bool matchCase) {
    if (matchCase) {
        m_needle = std::string(needle);
        m_mode = Mode::Exact;
        return;
    }
    m_needle = ToLower(needle);
    if (!IsAscii(m_needle)) {
        m_mode = Mode::Unicode;
        return;
    }
    // An ASCII needle can only meet ASCII bytes, so folding A-Z byte by byte equals
    // lower-casing the haystack first, without a copy per field.
    m_mode = Mode::AsciiFold;
    const size_t m = m_needle.size();
    std::array<std::uint32_t, 256> folded;
    folded.fill(static_cast<std::uint32_t>(m));
    for (size_t i = 0; i + 1 < m; ++i)
        folded[static_cast<unsigned char>(m_needle[i])] = static_cast<std::uint32_t>(m - 1 - i);
    for (int b = 0; b < 256; ++b)
        m_skip[b] = folded[static_cast<unsigned char>(AsciiLower(static_cast<char>(b)))];
}

bool StringMatcher::Matches(std::string_view haystack) const {
    if (m_mode == Mode::Unicode) {
        if (m_needle.empty())
            return true;
        const std::string lowered = ToLower(haystack);
        return lowered.find(m_needle) != std::string::npos;
    }
    return Find(haystack, 0) != std::string_view::npos;
}

std::size_t StringMatcher::Find(std::string_view haystack, std::size_t from) const {
    const size_t m = m_needle.size();
    const size_t n = haystack.size();
    if (from > n || n - from < m)
        return std::string_view::npos;
    if (m == 0)
        return from;
    const char* h = haystack.data();
    if (m_mode == Mode::Exact) {
        const void* hit = memmem(h + from, n - from, m_needle.data(), m);
        return hit ? static_cast<size_t>(static_cast<const char*>(hit) - h)
                   : std::string_view::npos;
    }
    // Horspool over bytes folded to lower case.
    const char* p = m_needle.data();
    const size_t last = m - 1;
    size_t i = from;
    while (i + m <= n) {
        size_t j = last;
        while (AsciiLower(h[i + j]) == p[j]) {
            if (j == 0)
                return i;
            --j;
        }
        i += m_skip[static_cast<unsigned char>(h[i + last])];
    }
    return std::string_view::npos;
}

} // namespace brindle
