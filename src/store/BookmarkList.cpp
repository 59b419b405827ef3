// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/BookmarkList.h"

#include "store/KeywordText.h"
#include "store/TextUtil.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <sys/mman.h>

namespace brindle {

// --- TextChunks --------------------------------------------------------------------------------

namespace {
constexpr std::size_t kPage = 4096;
constexpr std::size_t kMinChunk = std::size_t{1} << 20;
constexpr std::size_t kMaxChunk = std::size_t{64} << 20;
constexpr std::size_t kHugeChunk = std::size_t{8} << 20;
} // namespace

TextChunks::~TextChunks() {
    ReleaseAll();
}

TextChunks::TextChunks(TextChunks&& o) noexcept
    : m_chunks(std::move(o.m_chunks)), m_chunkStart(o.m_chunkStart), m_cur(o.m_cur), m_end(o.m_end),
      m_block(o.m_block), m_used(o.m_used), m_nextChunk(o.m_nextChunk) {
    o.m_chunks.clear();
    o.m_chunkStart = o.m_cur = o.m_end = o.m_block = nullptr;
    o.m_used = 0;
}

TextChunks& TextChunks::operator=(TextChunks&& o) noexcept {
    if (this != &o) {
        ReleaseAll();
        m_chunks = std::move(o.m_chunks);
        m_chunkStart = o.m_chunkStart;
        m_cur = o.m_cur;
        m_end = o.m_end;
        m_block = o.m_block;
        m_used = o.m_used;
        m_nextChunk = o.m_nextChunk;
        o.m_chunks.clear();
        o.m_chunkStart = o.m_cur = o.m_end = o.m_block = nullptr;
        o.m_used = 0;
    }
    return *this;
}

void TextChunks::ReleaseAll() {
    for (const Chunk& c : m_chunks)
        ::munmap(c.data, c.size);
    m_chunks.clear();
}

void TextChunks::Reuse() {
    if (m_chunks.empty())
        return;
    for (std::size_t k = 1; k < m_chunks.size(); ++k)
        ::munmap(m_chunks[k].data, m_chunks[k].size);
    m_chunks.resize(1);
    m_chunkStart = m_cur = m_block = m_chunks[0].data;
    m_end = m_chunkStart + m_chunks[0].size;
    m_used = 0;
}

void TextChunks::Grow(std::size_t need) {
    const std::size_t block = static_cast<std::size_t>(m_cur - m_block);
    if (need > std::numeric_limits<std::size_t>::max() / 2 - block)
        throw std::bad_alloc();
    std::size_t size = std::max({m_nextChunk, block + need, kMinChunk});
    size = (size + kPage - 1) / kPage * kPage;
    void* mem = ::mmap(nullptr, size, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (mem == MAP_FAILED)
        throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
    // A large chunk (an open's, sized from the file) is filled whole: in 2 MiB pages it costs
    // one fault per 512 small ones. Where the system refuses, small pages serve as before.
    if (size >= kHugeChunk)
        (void)::madvise(mem, size, MADV_HUGEPAGE);
#endif
    char* data = static_cast<char*>(mem);
    if (block)
        std::memcpy(data, m_block, block); // the open block moves whole
    m_used += static_cast<std::size_t>(m_cur - m_chunkStart);
    m_chunks.push_back({data, size});
    m_chunkStart = data;
    m_block = data;
    m_cur = data + block;
    m_end = data + size;
    // Later chunks grow with the text, up to a size whose unused tail costs little.
    m_nextChunk = std::min(std::max(kMinChunk, m_used / 4), kMaxChunk);
}

// --- WordTable ---------------------------------------------------------------------------------

namespace {
std::uint64_t Load64(const char* p) {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}
std::uint64_t Load32(const char* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
// A keyword word as two numbers, from loads of fixed size (overlapping for lengths that are no
// multiple of them): short words, the most, take two loads and no loop.
void Ends(std::string_view w, std::uint64_t& a, std::uint64_t& b) {
    const char* p = w.data();
    const std::size_t n = w.size();
    if (n >= 8) {
        a = Load64(p);
        b = Load64(p + n - 8);
    } else if (n >= 4) {
        a = Load32(p);
        b = Load32(p + n - 4);
    } else if (n > 0) {
        a = static_cast<unsigned char>(p[0]) | (static_cast<unsigned char>(p[n / 2]) << 8) |
            (static_cast<unsigned char>(p[n - 1]) << 16);
        b = 0;
    } else {
        a = b = 0;
    }
}
bool SameWord(std::string_view x, std::string_view y) {
    const std::size_t n = x.size();
    if (n != y.size())
        return false;
    std::uint64_t xa, xb, ya, yb;
    Ends(x, xa, xb);
    Ends(y, ya, yb);
    if (xa != ya || xb != yb)
        return false;
    // The two ends cover up to 16 bytes; longer words compare their middle too.
    return n <= 16 || std::memcmp(x.data() + 8, y.data() + 8, n - 16) == 0;
}
} // namespace

std::uint64_t WordTable::Hash(std::string_view word) {
    constexpr std::uint64_t kMul = 0x9E3779B97F4A7C15ULL;
    constexpr std::uint64_t kMul2 = 0xC2B2AE3D27D4EB4FULL;
    std::uint64_t a, b;
    Ends(word, a, b);
    for (std::size_t i = 8; i + 8 < word.size(); i += 8) { // the middle of a long word
        a = (a ^ Load64(word.data() + i)) * kMul;
        a ^= a >> 29;
    }
    std::uint64_t h = (a * kMul) ^ (b + word.size() * kMul2);
    h *= kMul2;
    h ^= h >> 32;
    h *= kMul;
    return h ^ (h >> 29);
}

void WordTable::Rehash(std::size_t slots) {
    std::vector<std::uint64_t> old(slots, 0);
    old.swap(m_slots);
    const std::size_t mask = slots - 1;
    for (const std::uint64_t slot : old) {
        if (!slot)
            continue;
        std::size_t k = static_cast<std::size_t>(slot >> 32) & mask;
        while (m_slots[k])
            k = (k + 1) & mask;
        m_slots[k] = slot;
    }
}

std::uint32_t WordTable::Intern(std::string_view word) {
    if (m_slots.empty())
        Rehash(1024);
    const std::uint64_t h = Hash(word);
    const std::uint64_t tag = h & 0xFFFFFFFF00000000ULL;
    const std::size_t mask = m_slots.size() - 1;
    std::size_t k = static_cast<std::size_t>(h >> 32) & mask;
    while (const std::uint64_t slot = m_slots[k]) {
        if ((slot & 0xFFFFFFFF00000000ULL) == tag) {
            const auto id = static_cast<std::uint32_t>(slot) - 1;
            if (SameWord(m_words[id], word))
                return id;
        }
        k = (k + 1) & mask;
    }
    m_text.Begin();
    m_text.Append(word);
    const std::string_view stored(m_text.Finish(), word.size());
    const auto id = static_cast<std::uint32_t>(m_words.size());
    if (id == 0xFFFFFFFFu)
        throw std::bad_alloc(); // ids and "empty" must stay apart
    m_words.push_back(stored);
    m_slots[k] = tag | (std::uint64_t{id} + 1);
    if (m_words.size() * 2 > m_slots.size()) // at most half full: probes stay short
        Rehash(m_slots.size() * 2);
    return id;
}

const std::vector<std::uint32_t>& WordTable::SortedIds() {
    if (m_sorted.size() != m_words.size()) {
        m_sorted.resize(m_words.size());
        for (std::uint32_t id = 0; id < m_sorted.size(); ++id)
            m_sorted[id] = id;
        std::sort(m_sorted.begin(), m_sorted.end(),
                  [&](std::uint32_t a, std::uint32_t b) { return m_words[a] < m_words[b]; });
    }
    return m_sorted;
}

// --- BookmarkList ------------------------------------------------------------------------------

int SlotOfField(int field) {
    switch (field) {
    case kFieldName:
        return BookmarkRecord::kName;
    case kFieldURL:
        return BookmarkRecord::kURL;
    case kFieldKeywords:
        return BookmarkRecord::kKeywords;
    case kFieldDescription:
        return BookmarkRecord::kDescription;
    case kFieldNotes:
        return BookmarkRecord::kNotes;
    case kFieldSchedule:
        return BookmarkRecord::kSchedule;
    case kFieldStatus:
        return BookmarkRecord::kStatus;
    default:
        return -1;
    }
}

BookmarkList::BookmarkList() : m_storage(std::make_shared<BookmarkStorage>()) {}

BookmarkList::BookmarkList(std::shared_ptr<BookmarkStorage> storage)
    : m_storage(std::move(storage)) {}

BookmarkList::~BookmarkList() = default;

BookmarkRef BookmarkList::Ref(const BookmarkRecord& r) {
    using R = BookmarkRecord;
    return {r.Text(R::kName),  r.Text(R::kURL),  r.Text(R::kKeywords), r.Text(R::kDescription),
            r.Text(R::kNotes), r.statusChecking, r.Text(R::kSchedule), r.Text(R::kStatus),
            r.added,           r.visited,        r.modified,           r.checked};
}

std::uint16_t BookmarkList::TextFlags(std::string_view text) {
    if (IsAscii(text))
        return 0;
    std::uint16_t flags = BookmarkRecord::kNonAscii;
    // Only a character outside ASCII can lower-case into it, and under ToLower's mapping (Qt's
    // simple case mapping) one does: the Kelvin sign, U+212A, to "k". Such texts need the full
    // lower-casing when case is ignored. A lead byte never occurs inside another character, so
    // finding its bytes finds the character; memchr finds them at memory speed.
    if (text.find("\xE2\x84\xAA") != std::string_view::npos)
        flags |= BookmarkRecord::kFoldsToAscii;
    return flags;
}

void BookmarkList::StoreTexts(BookmarkRecord& r, const std::string_view (&texts)[kTextFieldCount]) {
    TextChunks& chunks = m_storage->text;
    chunks.Begin();
    std::size_t offset = 0;
    for (int slot = 0; slot < kTextFieldCount; ++slot) {
        chunks.Append(texts[slot]);
        chunks.AppendZero();
        offset += texts[slot].size();
        if (offset > std::numeric_limits<std::uint32_t>::max() - 8)
            throw std::bad_alloc(); // one record's texts beyond 4 GiB
        r.end[slot] = static_cast<std::uint32_t>(offset);
        ++offset;
    }
    r.text = chunks.Finish();
}

void BookmarkList::InternWords(BookmarkRecord& r, const std::vector<std::string>* ownList) {
    BookmarkStorage& s = *m_storage;
    r.kwStart = static_cast<std::uint32_t>(s.ids.size());
    std::uint32_t count = 0;
    ForEachKeyword(r.Text(BookmarkRecord::kKeywords), [&](std::string_view word) {
        const std::uint32_t id = s.words.Intern(word);
        // Distinct ids; a keyword text rarely holds more than a few words.
        for (std::uint32_t k = 0; k < count; ++k)
            if (s.ids[r.kwStart + k] == id)
                return;
        s.ids.push_back(id);
        ++count;
    });
    r.kwCount = count;
    r.flags |= BookmarkRecord::kIdsReady;
    r.flags &= static_cast<std::uint16_t>(~BookmarkRecord::kOwnList);
    if (ownList) {
        // A list of its own follows the ids: its length, then its words in byte order.
        s.ids.push_back(static_cast<std::uint32_t>(ownList->size()));
        for (const std::string& w : *ownList)
            s.ids.push_back(s.words.Intern(w));
        r.flags |= BookmarkRecord::kOwnList;
    }
}

BookmarkRecord BookmarkList::MakeRecord(const BookmarkRef& v,
                                        const std::vector<std::string>* ownList,
                                        std::uint16_t extraFlags, bool deferIds) {
    BookmarkRecord r;
    const std::string_view texts[kTextFieldCount] = {
        v.m_strName,  v.m_strURL,      v.m_strKeywords, v.m_strDescription,
        v.m_strNotes, v.m_strSchedule, v.m_strStatus};
    StoreTexts(r, texts);
    r.statusChecking = v.m_wStatusChecking;
    r.added = v.m_tAddDate;
    r.visited = v.m_tLastVisited;
    r.modified = v.m_tLastModified;
    r.checked = v.m_tLastChecked;
    r.flags = static_cast<std::uint16_t>(TextFlags(std::string_view(r.text, r.BlockSize())) |
                                         (extraFlags & BookmarkRecord::kNormalKeywords));
    if (!deferIds || ownList)
        InternWords(r, ownList);
    return r;
}

BookmarkRecord BookmarkList::CopyRecord(const BookmarkList& from, const BookmarkRecord& r) {
    if (!(r.flags & BookmarkRecord::kOwnList))
        return MakeRecord(Ref(r), nullptr, r.flags);
    const std::vector<std::string> list =
        from.KeywordList(static_cast<std::size_t>(&r - from.m_records.data()));
    return MakeRecord(Ref(r), &list, r.flags);
}

void BookmarkList::Rewrite(std::size_t i, const BookmarkRef& values,
                           const std::vector<std::string>* ownList, std::uint16_t extraFlags) {
    BookmarkRecord next = MakeRecord(values, ownList, extraFlags);
    Release(m_records[i]);
    m_records[i] = next;
}

void BookmarkList::Release(const BookmarkRecord& r) const {
    m_storage->textGarbage += r.BlockSize();
    if (r.Has(BookmarkRecord::kIdsReady)) {
        std::size_t n = r.kwCount;
        if (r.Has(BookmarkRecord::kOwnList))
            n += 1 + m_storage->ids[r.kwStart + r.kwCount];
        m_storage->idGarbage += n;
    }
}

void BookmarkList::push_back(const BookmarkRef& b) {
    m_records.push_back(MakeRecord(b, nullptr));
}

void BookmarkList::push_back(const CBookmark& b) {
    std::vector<std::string> split;
    SplitKeywordsInto(b.m_strKeywords, split);
    m_records.push_back(MakeRecord(b, split == b.m_arrKeywords ? nullptr : &b.m_arrKeywords));
}

void BookmarkList::clear() {
    for (const BookmarkRecord& r : m_records)
        Release(r);
    m_records.clear();
    m_unindexed = false;
}

std::vector<std::string> BookmarkList::KeywordList(std::size_t i) const {
    const BookmarkRecord& r = m_records[i];
    std::vector<std::string> list;
    if (r.Has(BookmarkRecord::kOwnList)) {
        const std::uint32_t* p = m_storage->ids.data() + r.kwStart + r.kwCount;
        for (std::uint32_t k = 1; k <= p[0]; ++k)
            list.emplace_back(m_storage->words.Word(p[k]));
        return list;
    }
    SplitKeywordsInto(r.Text(BookmarkRecord::kKeywords), list);
    return list;
}

void BookmarkList::EnsureKeywordIds() {
    if (!m_unindexed)
        return;
    // Room for a word in every other byte of the keyword texts: more than they can hold, but
    // pages never written cost nothing, while growing by copies would clear and copy them all.
    std::size_t keywordBytes = 0;
    for (const BookmarkRecord& r : m_records)
        keywordBytes += r.Text(BookmarkRecord::kKeywords).size();
    m_storage->ids.reserve(m_storage->ids.size() + keywordBytes / 2 + m_records.size());
    for (BookmarkRecord& r : m_records)
        EnsureKeywordIds(r);
    m_unindexed = false;
}

bool BookmarkList::Wasteful() const {
    const BookmarkStorage& s = *m_storage;
    const std::size_t used = s.text.Used();
    return s.textGarbage > (std::size_t{4} << 20) && s.textGarbage * 2 > used;
}

void BookmarkList::Compact(std::span<BookmarkList* const> lists) {
    if (lists.empty())
        return;
    BookmarkStorage& s = lists.front()->Storage();
    std::size_t live = 0;
    for (const BookmarkList* list : lists)
        for (const BookmarkRecord& r : list->m_records)
            live += r.BlockSize();
    TextChunks text;
    text.Expect(live + kPage);
    std::vector<std::uint32_t> ids;
    ids.reserve(s.ids.size() - std::min(s.ids.size(), s.idGarbage));
    for (BookmarkList* list : lists) {
        for (BookmarkRecord& r : list->m_records) {
            text.Begin();
            text.Append(r.text, r.BlockSize());
            r.text = text.Finish();
            if (r.Has(BookmarkRecord::kIdsReady)) {
                std::size_t n = r.kwCount;
                if (r.Has(BookmarkRecord::kOwnList))
                    n += 1 + s.ids[r.kwStart + r.kwCount];
                const auto start = static_cast<std::uint32_t>(ids.size());
                ids.insert(ids.end(), s.ids.begin() + r.kwStart, s.ids.begin() + r.kwStart + n);
                r.kwStart = start;
            }
        }
    }
    s.text = std::move(text);
    s.ids = std::move(ids);
    s.textGarbage = 0;
    s.idGarbage = 0;
}

} // namespace brindle
