// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A deterministic Netscape bookmark file for benchmarks: links in nested folders, written the
// way browsers export them (dates, icons, descriptions, tags, references).

#include <cstddef>
#include <cstdint>
#include <string>

namespace brindle::bench {

// With `mixedScripts`, about a third of the titles carry a word outside ASCII (accented Latin,
// Cyrillic, CJK, emoji, as a real collection has them), so the imported document stores them in
// the 16-bit form.
std::string MakeNetscapeFile(std::size_t count, std::uint32_t seed = 1, bool mixedScripts = false);

} // namespace brindle::bench
