// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A deterministic Netscape bookmark file for benchmarks: links in nested folders, written the
// way browsers export them (dates, icons, descriptions, tags, references).

#include <cstddef>
#include <cstdint>
#include <string>

namespace brindle::bench {

std::string MakeNetscapeFile(std::size_t count, std::uint32_t seed = 1);

} // namespace brindle::bench
