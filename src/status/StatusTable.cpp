// SPDX-License-Identifier: GPL-3.0-or-later
#include "status/StatusTable.h"

#include "store/TextUtil.h"

namespace brindle {

namespace {
constexpr const char* kTexts[kStatusCount] = {"Waiting",
                                              "Checking",
                                              "Fetching",
                                              "Changed",
                                              "No Change",
                                              "Unchecked Scheme",
                                              "Checking off",
                                              "No Response",
                                              "Page not found",
                                              "Server not found",
                                              "Server address unknown",
                                              "Unauthorized",
                                              "Proxy Unauthorized",
                                              "Server error",
                                              "Redirect error",
                                              "Bad URL",
                                              "Time out",
                                              "Network failure"};

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    return true;
}
} // namespace

std::string GetStatusText(int value) {
    const auto v = static_cast<std::uint16_t>(value);
    return v < kStatusCount ? kTexts[v] : "";
}

int StatusDisplayOf(std::string_view text, const std::array<std::uint32_t, 18>& displayTable) {
    for (int i = 0; i < kStatusCount; ++i)
        if (EqualsIgnoringCase(text, kTexts[i]))
            return static_cast<int>(displayTable[i] >> 16);
    return kNoStatusIcon;
}

} // namespace brindle
