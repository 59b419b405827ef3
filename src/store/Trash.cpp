// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/Trash.h"

#include "store/BrindleDoc.h"
#include "store/DocumentArchive.h"
#include "store/ObjectArchive.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <unordered_set>

namespace brindle {

namespace {

constexpr std::string_view kTrailerMagic = "BRXTRASH";

CBookmark Owned(const BookmarkRef& b) {
    return CBookmark(std::string(b.m_strName), std::string(b.m_strURL), b.m_strKeywords,
                     std::string(b.m_strDescription), std::string(b.m_strNotes),
                     b.m_wStatusChecking, std::string(b.m_strSchedule), std::string(b.m_strStatus),
                     b.m_tAddDate, b.m_tLastVisited, b.m_tLastModified, b.m_tLastChecked);
}

std::string Folder(const char* variable, const char* fallback) {
    const char* value = std::getenv(variable);
    if (value && *value == '/')
        return value;
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + fallback;
}

std::uint64_t Fnv1a(std::string_view text) {
    std::uint64_t h = 0xcbf29ce484222325ULL;
    for (const char c : text) {
        h ^= static_cast<unsigned char>(c);
        h *= 0x100000001b3ULL;
    }
    return h;
}

std::string PairKey(std::string_view name, std::string_view url) {
    std::string key(name);
    key += '\0';
    key += url;
    return key;
}

void PutU64(std::string& out, std::uint64_t v) {
    for (int k = 0; k < 8; ++k)
        out += static_cast<char>((v >> (8 * k)) & 0xFF);
}

bool GetU64(std::string_view& in, std::uint64_t& v) {
    if (in.size() < 8)
        return false;
    v = 0;
    for (int k = 0; k < 8; ++k)
        v |= static_cast<std::uint64_t>(static_cast<unsigned char>(in[k])) << (8 * k);
    in.remove_prefix(8);
    return true;
}

} // namespace

// --- TrashLog --------------------------------------------------------------------------------

TrashLog::Scope::Scope(TrashLog& log, TrashReason reason, std::string detail)
    : m_log(log), m_wasActive(log.m_active), m_reason(log.m_reason),
      m_detail(std::move(log.m_detail)) {
    log.m_active = true;
    log.m_reason = reason;
    log.m_detail = std::move(detail);
}

TrashLog::Scope::~Scope() {
    m_log.m_active = m_wasActive;
    m_log.m_reason = m_reason;
    m_log.m_detail = std::move(m_detail);
}

void TrashLog::Add(const BookmarkRef& b, TrashReason fallback) {
    TrashEntry entry{Owned(b), CBrindleDoc::Now(), m_active ? m_reason : fallback,
                     m_active ? m_detail : std::string()};
    m_entries.push_back(std::move(entry));
}

void TrashLog::PutBack(std::vector<TrashEntry> entries) {
    entries.insert(entries.end(), std::make_move_iterator(m_entries.begin()),
                   std::make_move_iterator(m_entries.end()));
    m_entries = std::move(entries);
}

// --- Where things are kept -------------------------------------------------------------------

std::string TrashFolder() {
    return Folder("XDG_DATA_HOME", "/.local/share") + "/brindle/trash";
}

std::string StateFolder() {
    return Folder("XDG_STATE_HOME", "/.local/state") + "/brindle";
}

std::string DocumentKey(const std::string& documentPath) {
    std::error_code ec;
    std::filesystem::path canonical = std::filesystem::weakly_canonical(documentPath, ec);
    if (ec)
        canonical = std::filesystem::absolute(documentPath, ec);
    std::string stem = std::filesystem::path(documentPath).filename().string();
    if (stem.size() > 4 && stem.compare(stem.size() - 4, 4, ".brx") == 0)
        stem.resize(stem.size() - 4);
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx",
                  static_cast<unsigned long long>(Fnv1a(canonical.string())));
    return stem + "-" + hex;
}

std::string TrashFileFor(const std::string& documentPath) {
    return TrashFolder() + "/" + DocumentKey(documentPath) + ".brx";
}

// --- The trash file --------------------------------------------------------------------------

bool Trash::Load(const std::string& path) {
    m_entries.clear();
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return errno == ENOENT;
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    CBrindleDoc doc;
    if (!ReadDocumentBytes(doc, bytes))
        return false;
    const BookmarkList& list = doc.Bookmarks();
    m_entries.reserve(list.size());
    for (std::size_t i = 0; i < list.size(); ++i)
        m_entries.push_back(TrashEntry{Owned(list[i]), 0, TrashReason::Deleted, {}});
    // The trailer: entries, their count, the trailer's length, the magic.
    std::string_view tail(bytes);
    if (tail.size() < kTrailerMagic.size() + 8 ||
        tail.substr(tail.size() - kTrailerMagic.size()) != kTrailerMagic)
        return true; // a plain document: no times or reasons
    tail.remove_suffix(kTrailerMagic.size());
    std::string_view lengthBytes = tail.substr(tail.size() - 8);
    std::uint64_t length = 0;
    GetU64(lengthBytes, length);
    tail.remove_suffix(8);
    if (length > tail.size())
        return true;
    std::string_view meta = tail.substr(tail.size() - length);
    std::uint64_t count = 0;
    if (!GetU64(meta, count) || count != m_entries.size())
        return true;
    for (TrashEntry& e : m_entries) {
        std::uint64_t deleted = 0, reason = 0, detailSize = 0;
        if (!GetU64(meta, deleted) || !GetU64(meta, reason) || !GetU64(meta, detailSize) ||
            detailSize > meta.size())
            break;
        e.deleted = static_cast<BrxTime>(deleted);
        e.reason = reason <= static_cast<std::uint64_t>(TrashReason::ConflictCopy)
                       ? static_cast<TrashReason>(reason)
                       : TrashReason::Deleted;
        e.detail.assign(meta.substr(0, detailSize));
        meta.remove_prefix(detailSize);
    }
    return true;
}

int Trash::Save(const std::string& path) const {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    if (ec)
        return ec.value();
    ArchiveWriter ar;
    WriteDefaultHeader(ar);
    ar.WriteCount(m_entries.size());
    for (const TrashEntry& e : m_entries) {
        ar.WriteNewObjectTag(ArchiveClass::Bookmark);
        WriteBookmark(ar, e.bookmark);
    }
    ar.WriteCount(0); // macros
    ar.WriteCount(0); // schedules
    std::string bytes = ar.TakeBytes();
    std::string meta;
    PutU64(meta, m_entries.size());
    for (const TrashEntry& e : m_entries) {
        PutU64(meta, static_cast<std::uint64_t>(e.deleted));
        PutU64(meta, static_cast<std::uint64_t>(e.reason));
        PutU64(meta, e.detail.size());
        meta += e.detail;
    }
    bytes += meta;
    PutU64(bytes, meta.size());
    bytes += kTrailerMagic;
    return WriteFileAtomically(path, bytes);
}

void Trash::Append(std::vector<TrashEntry> entries) {
    m_entries.insert(m_entries.end(), std::make_move_iterator(entries.begin()),
                     std::make_move_iterator(entries.end()));
}

std::size_t Trash::DropOlderThan(BrxTime cutoff) {
    return std::erase_if(m_entries, [cutoff](const TrashEntry& e) { return e.deleted < cutoff; });
}

std::size_t Trash::Restore(const std::vector<std::size_t>& which, CBrindleDoc& doc) {
    std::vector<char> chosen(m_entries.size(), 0);
    std::size_t added = 0;
    for (const std::size_t i : which) {
        if (i >= m_entries.size() || chosen[i])
            continue;
        chosen[i] = 1;
        if (doc.AddBookmark(FieldsOf(m_entries[i].bookmark)))
            ++added;
    }
    std::size_t i = 0;
    std::erase_if(m_entries, [&](const TrashEntry&) { return chosen[i++] != 0; });
    if (added)
        doc.RerunLastSearch();
    return added;
}

void Trash::Forget(const std::vector<TrashEntry>& entries) {
    for (const TrashEntry& gone : entries) {
        const auto it = std::find_if(m_entries.begin(), m_entries.end(), [&](const TrashEntry& e) {
            return e.deleted == gone.deleted && e.reason == gone.reason &&
                   e.bookmark.m_strName == gone.bookmark.m_strName &&
                   e.bookmark.m_strURL == gone.bookmark.m_strURL;
        });
        if (it != m_entries.end())
            m_entries.erase(it);
    }
}

// --- Saving ----------------------------------------------------------------------------------

int CommitTrash(CBrindleDoc& doc, const std::string& documentPath) {
    TrashLog& log = doc.Trashed();
    if (log.Entries().empty())
        return 0;
    std::vector<TrashEntry> entries = log.Take();
    // A bookmark the document holds again (an undone delete) is no deletion.
    std::unordered_set<std::string> pending;
    for (const TrashEntry& e : entries)
        pending.insert(PairKey(e.bookmark.m_strName, e.bookmark.m_strURL));
    std::unordered_set<std::string> present;
    const BookmarkList& list = doc.Bookmarks();
    std::string key;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const BookmarkRef b = list[i];
        key.assign(b.m_strName);
        key += '\0';
        key += b.m_strURL;
        if (pending.count(key))
            present.insert(key);
    }
    std::erase_if(entries, [&](const TrashEntry& e) {
        return present.count(PairKey(e.bookmark.m_strName, e.bookmark.m_strURL)) != 0;
    });
    if (entries.empty())
        return 0;
    const std::string path = TrashFileFor(documentPath);
    Trash trash;
    if (!trash.Load(path)) {
        log.PutBack(std::move(entries));
        return EIO;
    }
    trash.Append(entries);
    trash.DropOlderThan(CBrindleDoc::Now() - BrxTime{kTrashKeepDays} * 24 * 3600);
    if (const int err = trash.Save(path)) {
        log.PutBack(std::move(entries));
        return err;
    }
    return 0;
}

void DropOldConflictCopies(const std::string& documentPath) {
    namespace fs = std::filesystem;
    const std::string prefix = DocumentKey(documentPath) + ".";
    const auto cutoff = fs::file_time_type::clock::now() - std::chrono::hours(24 * kTrashKeepDays);
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(TrashFolder(), ec)) {
        const std::string name = e.path().filename().string();
        if (name.starts_with(prefix) && name != prefix + "brx" && e.last_write_time(ec) < cutoff)
            fs::remove(e.path(), ec);
    }
}

const char* TrashReasonText(TrashReason reason) {
    switch (reason) {
    case TrashReason::Deleted:
        return "Deleted";
    case TrashReason::Merged:
        return "Deleted in another copy of the file";
    case TrashReason::Synced:
        return "Deleted by a sync";
    case TrashReason::Duplicate:
        return "Merged into a duplicate";
    case TrashReason::ConflictCopy:
        return "Deleted in a conflict copy";
    }
    return "Deleted";
}

} // namespace brindle
