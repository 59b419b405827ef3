// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Firefox's compressed JSON files (session, backups): "mozLz40\0", the JSON's size as 32 bits
// little-endian, then one LZ4 block.

#include <lz4.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace testutil {

// `sizeField` is what the header claims, so tests can write a damaged file.
inline std::string MozLz4(std::string_view json, std::uint32_t sizeField) {
    std::string block(static_cast<std::size_t>(LZ4_compressBound(static_cast<int>(json.size()))),
                      '\0');
    block.resize(static_cast<std::size_t>(LZ4_compress_default(
        json.data(), block.data(), static_cast<int>(json.size()), static_cast<int>(block.size()))));
    std::string out("mozLz40\0", 8);
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((sizeField >> (8 * i)) & 0xFF);
    return out + block;
}

inline std::string MozLz4(std::string_view json) {
    return MozLz4(json, static_cast<std::uint32_t>(json.size()));
}

// A session of one window showing one page.
inline std::string FirefoxSession(const std::string& url, const std::string& title) {
    return MozLz4(R"({"windows": [{"tabs": [{"entries": [{"url": ")" + url + R"(", "title": ")" +
                  title + R"("}]}]}]})");
}

} // namespace testutil
