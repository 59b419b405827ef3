#pragma once
// Builds the keyword dictionary (the distinct keywords of a result list) fast: each bookmark's
// keyword text is split once into interned word ids, kept until the text changes.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class CBookmark;

namespace brindle {

class DictionaryBuilder {
public:
    using Bookmarks = std::vector<std::unique_ptr<CBookmark>>;

    // Fills `out` with the distinct keywords of the bookmarks in `hits`, in byte order.
    void Build(std::vector<std::string>& out, std::span<const std::uint32_t> hits,
               const Bookmarks& bookmarks);

private:
    struct Entry {
        std::string text;                // the keyword text the ids were made from
        std::vector<std::uint32_t> ids;  // its words, split at spaces and trimmed
        bool valid = false;
    };
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };

    const std::vector<std::uint32_t>& IdsOf(std::uint32_t index, const CBookmark& b);
    std::uint32_t Intern(std::string_view word);
    const std::vector<std::uint32_t>& SortedIds();

    std::vector<Entry> m_entries;
    std::unordered_map<std::string, std::uint32_t, Hash, std::equal_to<>> m_ids;
    std::vector<const std::string*> m_words;
    std::vector<std::uint32_t> m_sorted;
    std::vector<std::uint32_t> m_stamp;
    std::uint32_t m_epoch = 0;
};

} // namespace brindle
