#pragma once
// Substring test of string search, built once per search and applied to many fields.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace brindle {

class StringMatcher {
public:
    // With `matchCase` false both sides are compared lower-cased (ToLower of TextUtil.h).
    StringMatcher(std::string_view needle, bool matchCase);

    bool Matches(std::string_view haystack) const;

private:
    enum class Mode { Exact, AsciiFold, Unicode };
    std::string m_needle;
    Mode m_mode;
    // Horspool shift for each haystack byte (AsciiFold mode).
    std::array<std::uint32_t, 256> m_skip{};
};

} // namespace brindle
