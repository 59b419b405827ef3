// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The host part of a URL as requests to it are grouped: asked several times for every request,
// so one pass over the text and no copy.

#include <cstddef>
#include <string_view>

namespace brindle {

// host [":" port] of scheme "://" [userinfo "@"] host [":" port] [path]; "" without "://".
inline std::string_view UrlAuthority(std::string_view url) {
    const std::size_t scheme = url.find("://");
    if (scheme == std::string_view::npos)
        return {};
    std::string_view rest = url.substr(scheme + 3);
    std::size_t end = 0;
    std::size_t at = std::string_view::npos;
    for (; end < rest.size(); ++end) {
        const char c = rest[end];
        if (c == '/' || c == '?' || c == '#')
            break;
        if (c == '@')
            at = end;
    }
    rest = rest.substr(0, end);
    if (at != std::string_view::npos)
        rest.remove_prefix(at + 1);
    return rest;
}

} // namespace brindle
