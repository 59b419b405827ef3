// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/ClipboardRecords.h"

#include "store/Bookmark.h"
#include "store/Macro.h"
#include "store/TextUtil.h"

#include <cstdint>
#include <cstring>

namespace brindle {

namespace {

struct Field {
    std::size_t offset;
    std::size_t size;
};
constexpr Field kName{0, 255};
constexpr Field kURL{255, 1000};
constexpr Field kKeywords{1255, 1000};
constexpr Field kDescription{2255, 1000};
constexpr Field kNotes{3255, 1000};
constexpr std::size_t kStatusChecking = 4256;
constexpr Field kSchedule{4260, 10};
constexpr Field kStatus{4270, 22};
constexpr std::size_t kAddDate = 4292;
constexpr std::size_t kLastVisited = 4296;
constexpr std::size_t kLastModified = 4300;
constexpr std::size_t kLastChecked = 4304;

void PutU32(char* at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::uint32_t GetU32(const char* at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(at[i]);
    return v;
}

} // namespace

void PutTextField(char* field, std::size_t size, std::string_view text) {
    // Back off to the start of a character rather than leave half of one behind.
    const std::size_t n = Utf8PrefixLength(text, size - 1);
    std::memcpy(field, text.data(), n);
    std::memset(field + n, 0, size - n);
}

std::string GetTextField(const char* field, std::size_t size) {
    const void* zero = std::memchr(field, 0, size);
    const std::size_t n =
        zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - field) : size;
    return std::string(field, n);
}

void AppendBookmarkRecord(std::string& out, const BookmarkRef& b) {
    const std::size_t base = out.size();
    out.resize(base + kBookmarkRecordSize, '\0');
    WriteBookmarkRecord(out.data() + base, b);
}

void WriteBookmarkRecord(char* r, const BookmarkRef& b) {
    r[4255] = '\0'; // the padding byte; every text field clears its own rest
    auto text = [&](Field f, std::string_view s) { PutTextField(r + f.offset, f.size, s); };
    text(kName, b.m_strName);
    text(kURL, b.m_strURL);
    text(kKeywords, b.m_strKeywords);
    text(kDescription, b.m_strDescription);
    text(kNotes, b.m_strNotes);
    PutU32(r + kStatusChecking, b.m_wStatusChecking ? 1u : 0u);
    text(kSchedule, b.m_strSchedule);
    text(kStatus, b.m_strStatus);
    // Times travel as 32 bits, read back as unsigned (dates up to 2106).
    PutU32(r + kAddDate, static_cast<std::uint32_t>(b.m_tAddDate));
    PutU32(r + kLastVisited, static_cast<std::uint32_t>(b.m_tLastVisited));
    PutU32(r + kLastModified, static_cast<std::uint32_t>(b.m_tLastModified));
    PutU32(r + kLastChecked, static_cast<std::uint32_t>(b.m_tLastChecked));
}

std::vector<CBookmark> ReadBookmarkRecords(std::string_view block) {
    std::vector<CBookmark> out;
    const std::size_t count = block.size() / kBookmarkRecordSize;
    out.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const char* r = block.data() + i * kBookmarkRecordSize;
        auto text = [&](Field f) { return GetTextField(r + f.offset, f.size); };
        out.emplace_back(text(kName), text(kURL), text(kKeywords), text(kDescription), text(kNotes),
                         static_cast<std::uint16_t>(GetU32(r + kStatusChecking) != 0),
                         text(kSchedule), text(kStatus), GetU32(r + kAddDate),
                         GetU32(r + kLastVisited), GetU32(r + kLastModified),
                         GetU32(r + kLastChecked));
    }
    return out;
}

// --- Macros ------------------------------------------------------------------------------------

namespace {
constexpr Field kMacroName{0, 255};
constexpr Field kMacroURL{255, 1000};
constexpr Field kMacroKeywords{1255, 255};
constexpr Field kMacroSearch{1510, 258};
constexpr std::size_t kMacroFields = 1768;
constexpr std::size_t kMacroMatchCase = 1772; // then 3 bytes of padding
constexpr std::size_t kMacroKind = 1776;
constexpr std::size_t kMacroHotKey = 1780;
} // namespace

void AppendMacroRecord(std::string& out, const CMacro& m) {
    const std::size_t base = out.size();
    out.resize(base + kMacroRecordSize, '\0');
    char* r = out.data() + base;
    PutTextField(r + kMacroName.offset, kMacroName.size, m.m_strName);
    PutTextField(r + kMacroURL.offset, kMacroURL.size, m.m_strURL);
    PutTextField(r + kMacroKeywords.offset, kMacroKeywords.size, m.m_strKeywords);
    PutTextField(r + kMacroSearch.offset, kMacroSearch.size, m.m_strSearch);
    PutU32(r + kMacroFields, m.m_dwFields);
    r[kMacroMatchCase] = static_cast<char>(m.m_bMatchCase);
    PutU32(r + kMacroKind, static_cast<std::uint32_t>(m.m_nKind));
    PutU32(r + kMacroHotKey, m.m_dwHotKey);
}

std::vector<CMacro> ReadMacroRecords(std::string_view block) {
    std::vector<CMacro> macros;
    const std::size_t count = block.size() / kMacroRecordSize;
    macros.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const char* r = block.data() + i * kMacroRecordSize;
        CMacro m;
        m.m_strName = GetTextField(r + kMacroName.offset, kMacroName.size);
        m.m_strURL = GetTextField(r + kMacroURL.offset, kMacroURL.size);
        m.m_strKeywords = GetTextField(r + kMacroKeywords.offset, kMacroKeywords.size);
        m.m_strSearch = GetTextField(r + kMacroSearch.offset, kMacroSearch.size);
        m.m_dwFields = GetU32(r + kMacroFields);
        m.m_bMatchCase = static_cast<std::uint8_t>(r[kMacroMatchCase]);
        m.m_nKind = static_cast<std::int32_t>(GetU32(r + kMacroKind));
        m.m_dwHotKey = GetU32(r + kMacroHotKey);
        macros.push_back(std::move(m));
    }
    return macros;
}

} // namespace brindle
