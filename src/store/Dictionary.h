// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Builds the keyword dictionary (the distinct keywords of a result list, in byte order) from the
// interned word ids of the search index.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace brindle {

class SearchIndex;

class DictionaryBuilder {
  public:
    // `index` must be in step with the bookmarks the hits refer to.
    void Build(std::vector<std::string>& out, std::span<const std::uint32_t> hits,
               SearchIndex& index);

  private:
    std::vector<std::uint32_t> m_stamp; // per word id: the epoch that last saw it
    std::uint32_t m_epoch = 0;
    std::vector<char> m_marked; // scratch: which bookmarks are hits
};

} // namespace brindle
