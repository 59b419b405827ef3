// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The document's bookmarks in memory. Records lie side by side in one array (an index into it is
// the bookmark index); the seven texts of a record lie together, each followed by a zero byte, in
// large chunks of text shared by the lists of one document; keyword words are interned once and
// a record keeps the ids of its words. Opening a million bookmarks therefore takes a handful of
// allocations instead of ten million, and a search reads memory in order.
//
// Reading a bookmark gives a BookmarkRef whose views stay valid until the list or a list sharing
// its storage is next changed or compacted.

#include "store/Bookmark.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace brindle {

// Bytes handed out by bump allocation from chunks that never move. A chunk is mapped from the
// system on its own, so that releasing it gives its memory back at once, and its pages cost
// nothing until they are written.
class TextChunks {
  public:
    TextChunks() = default;
    ~TextChunks();
    TextChunks(const TextChunks&) = delete;
    TextChunks& operator=(const TextChunks&) = delete;
    TextChunks(TextChunks&& other) noexcept;
    TextChunks& operator=(TextChunks&& other) noexcept;

    // The next chunk is made at least this large (an open's file size, a compaction's total).
    void Expect(std::size_t bytes) { m_nextChunk = std::max(m_nextChunk, bytes); }

    // Builds one block of bytes that stays in one piece: Begin, Append..., Finish. When the
    // current chunk fills up, the block so far moves to a new chunk.
    void Begin() { m_block = m_cur; }
    void Append(const char* data, std::size_t size) {
        if (static_cast<std::size_t>(m_end - m_cur) < size)
            Grow(size);
        if (size)
            std::memcpy(m_cur, data, size);
        m_cur += size;
    }
    void Append(std::string_view text) { Append(text.data(), text.size()); }
    void AppendZero() {
        if (m_cur == m_end)
            Grow(1);
        *m_cur++ = '\0';
    }
    // Start of the finished block; its size is the bytes appended since Begin.
    const char* Finish() { return m_block; }
    std::size_t BlockSize() const { return static_cast<std::size_t>(m_cur - m_block); }

    // Takes every byte back: the first chunk is handed out again, the others are released.
    // Whatever referred to the texts must be gone.
    void Reuse();

    // Bytes handed out so far (including blocks abandoned by a move).
    std::size_t Used() const { return m_used + static_cast<std::size_t>(m_cur - m_chunkStart); }

  private:
    void Grow(std::size_t need);
    void ReleaseAll();

    struct Chunk {
        char* data;
        std::size_t size;
    };
    std::vector<Chunk> m_chunks;
    char* m_chunkStart = nullptr;
    char* m_cur = nullptr;
    char* m_end = nullptr;
    char* m_block = nullptr;
    std::size_t m_used = 0; // bytes of the chunks before the current one
    std::size_t m_nextChunk = std::size_t{1} << 20;
};

// Keyword words, each stored once and known by a small number.
class WordTable {
  public:
    std::uint32_t Intern(std::string_view word);
    std::size_t Count() const { return m_words.size(); }
    std::string_view Word(std::uint32_t id) const { return m_words[id]; }
    // Every id in byte order of the words (kept until a word is added).
    const std::vector<std::uint32_t>& SortedIds();

  private:
    static std::uint64_t Hash(std::string_view word);
    void Rehash(std::size_t slots);

    TextChunks m_text;
    std::vector<std::string_view> m_words;
    // Open addressing: each slot holds a word's hash (its high half) and id + 1, 0 when empty.
    // Opening a large document interns every keyword word of every record, tens of millions
    // of look-ups in a table of a few thousand words.
    std::vector<std::uint64_t> m_slots;
    std::vector<std::uint32_t> m_sorted;
};

// One bookmark as the list stores it (80 bytes).
struct BookmarkRecord {
    // Slots of the seven texts: the order of the string-search bits and of the file.
    enum Slot : int { kName, kURL, kKeywords, kDescription, kNotes, kSchedule, kStatus };
    enum Flag : std::uint16_t {
        kNonAscii = 1,       // some text has a byte of 0x80 or above
        kFoldsToAscii = 2,   // some text has a character that lower-cases to ASCII (U+212A...)
        kIdsReady = 4,       // kwStart/kwCount hold the ids of the keyword text's words
        kOwnList = 8,        // the keyword list is not the split of the text (see KeywordList)
        kNormalKeywords = 16 // the keyword text is what adding would make of it
    };

    const char* text = nullptr;
    std::uint32_t end[kTextFieldCount] =
        {};                    // end of each text, counted from `text`; a zero byte follows
    std::uint32_t kwStart = 0; // first id in the storage's id array
    std::uint32_t kwCount = 0; // distinct words of the keyword text, in order of appearance
    std::uint16_t statusChecking = 0;
    std::uint16_t flags = 0;
    BrxTime added = 0;
    BrxTime visited = 0;
    BrxTime modified = 0;
    BrxTime checked = 0;

    std::string_view Text(int slot) const {
        const std::uint32_t begin = slot == 0 ? 0 : end[slot - 1] + 1;
        return {text + begin, end[slot] - begin};
    }
    std::size_t BlockSize() const { return std::size_t{end[kStatus]} + 1; }
    bool Has(Flag f) const { return (flags & f) != 0; }
};

// Slot of a text field number (0-4, 6, 7), or -1.
int SlotOfField(int field);

// What the lists of one document share.
struct BookmarkStorage {
    TextChunks text;
    std::vector<std::uint32_t> ids;
    WordTable words;
    std::size_t textGarbage = 0; // bytes of texts no record refers to any more
    std::size_t idGarbage = 0;
};

class BookmarkList {
  public:
    // A list with storage of its own.
    BookmarkList();
    // A list sharing another list's storage.
    explicit BookmarkList(std::shared_ptr<BookmarkStorage> storage);
    BookmarkList(BookmarkList&&) noexcept = default;
    BookmarkList& operator=(BookmarkList&&) noexcept = default;
    BookmarkList(const BookmarkList&) = delete;
    BookmarkList& operator=(const BookmarkList&) = delete;
    ~BookmarkList();

    class const_iterator {
      public:
        using value_type = BookmarkRef;
        using difference_type = std::ptrdiff_t;
        const_iterator() = default;
        const_iterator(const BookmarkList* list, std::size_t i) : m_list(list), m_i(i) {}
        BookmarkRef operator*() const { return (*m_list)[m_i]; }
        const_iterator& operator++() {
            ++m_i;
            return *this;
        }
        const_iterator operator++(int) {
            const_iterator old = *this;
            ++m_i;
            return old;
        }
        bool operator==(const const_iterator& o) const { return m_i == o.m_i; }

      private:
        const BookmarkList* m_list = nullptr;
        std::size_t m_i = 0;
    };

    std::size_t size() const { return m_records.size(); }
    bool empty() const { return m_records.empty(); }
    BookmarkRef operator[](std::size_t i) const { return Ref(m_records[i]); }
    BookmarkRef back() const { return Ref(m_records.back()); }
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, m_records.size()}; }
    void reserve(std::size_t n) { m_records.reserve(n); }

    // Appends a bookmark exactly as given (no trimming, no normalising), as reading a file does;
    // its keyword list is the split of its keyword text, or a CBookmark's own list.
    void push_back(const BookmarkRef& b);
    void push_back(const CBookmark& b);
    // Forgets every record (their texts become garbage of the storage).
    void clear();

    // The keyword list of bookmark i: distinct keywords in byte order.
    std::vector<std::string> KeywordList(std::size_t i) const;

    // --- The store's own procedures ---------------------------------------------------------
    static BookmarkRef Ref(const BookmarkRecord& r);
    const BookmarkRecord& Record(std::size_t i) const { return m_records[i]; }
    BookmarkRecord& Record(std::size_t i) { return m_records[i]; }
    std::vector<BookmarkRecord>& Records() { return m_records; }
    const std::vector<BookmarkRecord>& Records() const { return m_records; }
    BookmarkStorage& Storage() const { return *m_storage; }
    const std::shared_ptr<BookmarkStorage>& SharedStorage() const { return m_storage; }
    bool SharesStorageWith(const BookmarkList& other) const { return m_storage == other.m_storage; }

    // A record of `values` in this list's storage (not appended). `ownList` is the keyword list
    // when it differs from the split of the keyword text; nullptr when it does not.
    // With `deferIds` and no list of its own the record gets its keyword ids later
    // (AppendUnindexed, EnsureKeywordIds).
    BookmarkRecord MakeRecord(const BookmarkRef& values, const std::vector<std::string>* ownList,
                              std::uint16_t extraFlags = 0, bool deferIds = false);
    // The same, for a record of a list with another storage.
    BookmarkRecord CopyRecord(const BookmarkList& from, const BookmarkRecord& r);
    // Replaces record i by `values` (its old texts become garbage).
    void Rewrite(std::size_t i, const BookmarkRef& values, const std::vector<std::string>* ownList,
                 std::uint16_t extraFlags = 0);
    // Counts a record's texts and ids as garbage (the record is being dropped).
    void Release(const BookmarkRecord& r) const;

    // Appends a record read from a file, whose keyword ids are left for later.
    void AppendUnindexed(const BookmarkRecord& r) {
        m_records.push_back(r);
        m_unindexed = true;
    }
    // Gives every record the ids of its keyword words.
    void EnsureKeywordIds();
    bool KeywordIdsReady() const { return !m_unindexed; }
    void EnsureKeywordIds(BookmarkRecord& r) {
        if (!r.Has(BookmarkRecord::kIdsReady))
            InternWords(r, nullptr);
    }
    // The ids of bookmark i's keyword words; EnsureKeywordIds first.
    std::span<const std::uint32_t> KeywordIds(std::size_t i) const {
        const BookmarkRecord& r = m_records[i];
        return std::span<const std::uint32_t>(m_storage->ids).subspan(r.kwStart, r.kwCount);
    }

    // Garbage and live bytes of the storage's texts.
    bool Wasteful() const;
    // Rewrites the storage with only what `lists` (all sharing it) refer to, in list order.
    static void Compact(std::span<BookmarkList* const> lists);

    // The record flags a text earns (kNonAscii, kFoldsToAscii).
    static std::uint16_t TextFlags(std::string_view text);

  private:
    void InternWords(BookmarkRecord& r, const std::vector<std::string>* ownList);
    void StoreTexts(BookmarkRecord& r, const std::string_view (&texts)[kTextFieldCount]);

    std::vector<BookmarkRecord> m_records;
    std::shared_ptr<BookmarkStorage> m_storage;
    bool m_unindexed = false; // some record may lack kIdsReady
};

// Chooses the bookmarks to keep while reading: from a batch of bookmarks read with only the
// texts `slotMask` names (bit k for slot k; the other texts are empty), `select` appends the
// indices of those to keep, ascending.
struct BookmarkFilter {
    std::uint8_t slotMask = 0;
    std::function<void(const BookmarkList& batch, std::vector<std::uint32_t>& keep)> select;
};

} // namespace brindle
