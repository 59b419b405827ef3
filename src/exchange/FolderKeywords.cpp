// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/FolderKeywords.h"

#include "exchange/TextCodec.h"
#include "store/TextUtil.h"

#include <algorithm>

namespace brindle {

void FolderKeywords::Push(std::string_view folderName) {
    const auto before = static_cast<std::uint32_t>(m_prefix.size());
    const std::string piece = ToLower(TrimView(folderName));
    if (!piece.empty() && m_prefix.size() + piece.size() + 1 <= kMaxFolderKeywordBytes) {
        m_prefix += piece;
        m_prefix += ' ';
    }
    if (!m_marks.empty() && m_marks.back().first == before)
        ++m_marks.back().second;
    else
        m_marks.emplace_back(before, 1);
}

void FolderKeywords::Pop() {
    if (m_marks.empty())
        return;
    m_prefix.resize(m_marks.back().first);
    if (--m_marks.back().second == 0)
        m_marks.pop_back();
}

void FolderKeywords::KeywordsFor(std::string& out, std::string_view name,
                                 std::string_view tags) const {
    out.assign(m_prefix);
    AppendLower(out, name);
    if (tags.empty())
        return;
    // Tag lists are comma-separated; the keyword rules would drop a word before a comma.
    out += ' ';
    const std::size_t from = out.size();
    AppendLower(out, tags);
    std::replace(out.begin() + static_cast<std::ptrdiff_t>(from), out.end(), ',', ' ');
}

} // namespace brindle
