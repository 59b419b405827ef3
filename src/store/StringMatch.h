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
    // Position of the first match at or after `from`, or npos. Only where ScansRaw() is true:
    // the Unicode mode has to lower-case each field on its own.
    std::size_t Find(std::string_view haystack, std::size_t from) const;
    bool ScansRaw() const { return m_mode != Mode::Unicode; }
    // True when matching folds A-Z to a-z byte by byte (the needle is then lower-case ASCII).
    bool FoldsAscii() const { return m_mode == Mode::AsciiFold; }
    const std::string& Needle() const { return m_needle; }
    std::size_t Length() const { return m_needle.size(); }

  private:
    enum class Mode { Exact, AsciiFold, Unicode };
    std::string m_needle;
    Mode m_mode;
    // Horspool shift for each haystack byte (AsciiFold mode).
    std::array<std::uint32_t, 256> m_skip{};
};

} // namespace brindle
