// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Groups of bookmarks that point at one page: those whose addresses have the same normal form,
// and those whose loose forms agree although their normal forms differ (UrlNormalForm.h).

#include <cstdint>
#include <vector>

namespace brindle {

class BookmarkList;

enum class DuplicateKind { Same, Likely };

struct DuplicateGroup {
    DuplicateKind kind = DuplicateKind::Same;
    std::vector<std::uint32_t> members; // bookmark indices, ascending
};

// Every group of two or more bookmarks of `list`: the same ones first, then (with `likely`)
// the likely ones, each kind in the order of its groups' first bookmarks. A likely group holds
// every bookmark of its loose form, so it may contain a same group whole.
std::vector<DuplicateGroup> FindDuplicateGroups(const BookmarkList& list, bool likely);

} // namespace brindle
