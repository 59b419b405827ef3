// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A deterministic synthetic collection for benchmarks: the same seed gives the same bookmarks.

#include "store/Bookmark.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CBrindleDoc;

namespace brindle::bench {

// The vocabulary the keyword texts draw from (about 5,000 lower-case words).
const std::vector<std::string>& Vocabulary();

// Adds `count` bookmarks through AddBookmark: names of 2-8 words, keyword texts of 1-6 words,
// URLs, a description, and add/visit/modify/check dates.
void FillSyntheticCollection(CBrindleDoc& doc, std::size_t count, std::uint32_t seed = 1);

// The values FillSyntheticCollection would add, without a document.
struct SyntheticBookmark {
    std::string name, url, keywords, description;
    std::int64_t added, visited, modified, checked;
};
std::vector<SyntheticBookmark> MakeSyntheticBookmarks(std::size_t count, std::uint32_t seed = 1);
// What FillSyntheticCollection hands AddBookmark for `b` (views into it).
BookmarkFields FieldsOf(const SyntheticBookmark& b);

} // namespace brindle::bench
