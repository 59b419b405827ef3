// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/ConflictCopies.h"

#include "store/BrindleDoc.h"
#include "store/DocumentArchive.h"
#include "store/Trash.h"
#include "store/VersionHistory.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <regex>
#include <sys/stat.h>

namespace brindle {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kExtension = ".brx";

// A version's bookmarks by the hashes of their name and URL, sorted: a merge of a large document
// compares several versions, and sets of strings would cost more than reading them.
using KeySet = std::vector<std::uint64_t>;

std::uint64_t KeyOf(std::string_view name, std::string_view url) {
    const std::uint64_t a = std::hash<std::string_view>{}(name);
    const std::uint64_t b = std::hash<std::string_view>{}(url);
    std::uint64_t h = (a ^ 0x9E3779B97F4A7C15ull) * 0xBF58476D1CE4E5B9ull;
    h ^= b + 0x94D049BB133111EBull + (h << 6) + (h >> 2);
    return h ^ (h >> 31);
}

bool Holds(const KeySet& keys, std::uint64_t key) {
    return std::binary_search(keys.begin(), keys.end(), key);
}

std::optional<KeySet> KeysOf(const std::string& file) {
    CBrindleDoc doc;
    if (!ReadDocumentFile(doc, file))
        return std::nullopt;
    KeySet keys;
    keys.reserve(doc.Bookmarks().size());
    for (const BookmarkRef b : doc.Bookmarks())
        keys.push_back(KeyOf(b.m_strName, b.m_strURL));
    std::sort(keys.begin(), keys.end());
    return keys;
}

// Whether `other` shows the changes that turned `before` into `after`: one of the bookmarks
// added is there, or (for a version that only deleted) one of those deleted is gone.
bool Reflects(const KeySet& other, const KeySet& before, const KeySet& after) {
    bool added = false;
    for (const std::uint64_t k : after) {
        if (Holds(before, k))
            continue;
        added = true;
        if (Holds(other, k))
            return true;
    }
    if (added)
        return false;
    bool deleted = false;
    for (const std::uint64_t k : before) {
        if (Holds(after, k))
            continue;
        deleted = true;
        if (!Holds(other, k))
            return true;
    }
    return !deleted; // only field changes: nothing to tell by
}

void Add(MergeReport& sum, const MergeReport& r) {
    sum.added += r.added;
    sum.removed += r.removed;
    sum.changed += r.changed;
    sum.conflicts += r.conflicts;
}

int MoveFile(const std::string& from, const std::string& to) {
    std::error_code ec;
    fs::create_directories(fs::path(to).parent_path(), ec);
    if (ec)
        return ec.value();
    fs::rename(from, to, ec);
    if (ec == std::errc::cross_device_link) {
        ec.clear();
        fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
        if (!ec)
            fs::remove(from, ec);
    }
    if (ec)
        return ec.value();
    // The trash keeps it kTrashKeepDays from now, not from its last change.
    (void)::utimensat(AT_FDCWD, to.c_str(), nullptr, 0);
    return 0;
}

} // namespace

bool IsConflictCopyName(std::string_view documentName, std::string_view candidate) {
    if (!documentName.ends_with(kExtension) || !candidate.ends_with(kExtension))
        return false;
    const std::string_view stem = documentName.substr(0, documentName.size() - kExtension.size());
    if (candidate.size() <= documentName.size() || !candidate.starts_with(stem))
        return false;
    const std::string tag(
        candidate.substr(stem.size(), candidate.size() - stem.size() - kExtension.size()));
    static const std::regex syncthing(R"(\.sync-conflict-\d{8}-\d{6}(-[A-Z0-9]{7})?)");
    static const std::regex owncloud(R"(_conflict-(.+-)?\d{8}-\d{6})");
    static const std::regex conflicted(R"( \((.+'s )?conflicted copy( [^()]+)?\)( \(\d+\))?)",
                                       std::regex::icase);
    return std::regex_match(tag, syncthing) || std::regex_match(tag, owncloud) ||
           std::regex_match(tag, conflicted);
}

std::vector<std::string> FindConflictCopies(const std::string& path) {
    const fs::path document(path);
    const std::string name = document.filename().string();
    fs::path folder = document.parent_path();
    if (folder.empty())
        folder = ".";
    std::vector<std::pair<fs::file_time_type, std::string>> found;
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(folder, ec)) {
        const std::string candidate = e.path().filename().string();
        if (!IsConflictCopyName(name, candidate) || !e.is_regular_file(ec))
            continue;
        found.emplace_back(e.last_write_time(ec), e.path().string());
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> copies;
    for (auto& f : found)
        copies.push_back(std::move(f.second));
    return copies;
}

std::string CommonVersion(const std::string& path, const std::string& fileA,
                          const std::string& fileB) {
    const std::vector<std::string> versions = VersionHistory(path).Versions();
    if (versions.empty())
        return {};
    // The newest version that is one of the two copies tells which copy is this machine's own;
    // the versions before it are walked back until one shows in the other copy.
    std::size_t own = versions.size();
    const std::string* other = nullptr;
    for (std::size_t i = 0; i < versions.size() && !other; ++i) {
        if (VersionHistory::SameContent(versions[i], fileA))
            other = &fileB;
        else if (VersionHistory::SameContent(versions[i], fileB))
            other = &fileA;
        own = i;
    }
    if (!other)
        return versions.front();
    const std::optional<KeySet> theirs = KeysOf(*other);
    if (!theirs)
        return versions[own];
    std::optional<KeySet> after = KeysOf(versions[own]);
    for (std::size_t j = own; j + 1 < versions.size(); ++j) {
        std::optional<KeySet> before = KeysOf(versions[j + 1]);
        if (!after || !before || Reflects(*theirs, *before, *after))
            return versions[j];
        after = std::move(before);
    }
    // Older than every version kept: the oldest is the safest guess (changes both copies share
    // merge as one).
    return versions.back();
}

ConflictCopyReport MergeConflictCopiesInto(CBrindleDoc& doc, const std::string& path) {
    ConflictCopyReport report;
    for (const std::string& copy : FindConflictCopies(path)) {
        const std::string name = fs::path(copy).filename().string();
        CBrindleDoc theirs(doc.Prefs());
        if (!ReadDocumentFile(theirs, copy)) {
            report.unreadable.push_back(name);
            continue;
        }
        CBrindleDoc base(doc.Prefs());
        const std::string common = CommonVersion(path, path, copy);
        // No version of ours to start from: an empty base keeps everything of both.
        if (!common.empty())
            (void)ReadDocumentFile(base, common);
        const TrashLog::Scope why(doc.Trashed(), TrashReason::ConflictCopy, name);
        Add(report.merge, MergeDocuments(base, theirs, doc));
        report.merged.push_back(name);
    }
    return report;
}

void TrashMergedCopies(const std::string& path, ConflictCopyReport& report) {
    const fs::path folder = fs::path(path).parent_path();
    const std::string prefix = TrashFolder() + "/" + DocumentKey(path) + ".";
    for (const std::string& name : report.merged) {
        if (MoveFile((folder / name).string(), prefix + name) != 0)
            report.notMoved.push_back(name);
    }
    DropOldConflictCopies(path);
}

ConflictCopyReport MergeConflictCopies(CBrindleDoc& doc, const std::string& path,
                                       const std::function<bool()>& save) {
    ConflictCopyReport report = MergeConflictCopiesInto(doc, path);
    if (!report.Any())
        return report;
    report.saved = save();
    if (report.saved)
        TrashMergedCopies(path, report);
    return report;
}

} // namespace brindle
