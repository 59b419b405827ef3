// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/LinkedSync.h"

#include "exchange/ExchangeFiles.h"
#include "exchange/FolderKeywords.h"
#include "exchange/TextCodec.h"
#include "store/BrindleDoc.h"
#include "store/DocumentMerge.h"
#include "store/DocumentSync.h"
#include "store/KeywordText.h"
#include "store/TextUtil.h"

#include <algorithm>
#include <charconv>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>

namespace brindle {

namespace {

constexpr int kNone = -1;

std::string Key(std::string_view name, std::string_view url) {
    std::string key(name);
    key += '\0';
    key += url;
    return key;
}

// A bookmark of the file that a sync follows.
struct RemoteMark {
    XbelItem* item;
    std::string name; // the title, or the address for an untitled bookmark
    std::string folder;
};

// A bookmark of the document, as views of its texts: every use comes before the document
// changes (the file's side is changed first).
struct LocalMark {
    std::uint32_t index;
    std::string_view name;
    std::string_view url;
};

std::string RemoteName(const XbelItem& item) {
    const std::string_view title = TrimView(item.title);
    return std::string(title.empty() ? TrimView(item.href) : title);
}

std::uint64_t NumericId(std::string_view id) {
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(id.data(), id.data() + id.size(), value);
    return ec == std::errc() && end == id.data() + id.size() ? value : 0;
}

std::vector<std::string_view> FolderTitles(std::string_view folder) {
    std::vector<std::string_view> titles;
    std::size_t from = 0;
    while (!folder.empty() && from <= folder.size()) {
        const std::size_t cut = folder.find(kFolderSeparator, from);
        titles.push_back(folder.substr(from, cut == std::string_view::npos ? cut : cut - from));
        if (cut == std::string_view::npos)
            break;
        from = cut + 1;
    }
    return titles;
}

// The words of a keyword text, in order.
std::vector<std::string> Words(std::string_view text) {
    std::vector<std::string> words;
    ForEachKeyword(text, [&words](std::string_view w) { words.emplace_back(w); });
    return words;
}

// The keyword words a folder path gives its bookmarks, outermost first.
std::vector<std::string> FolderWords(std::string_view folder) {
    FolderKeywords rule;
    for (std::string_view title : FolderTitles(folder))
        rule.Push(title);
    std::string text;
    rule.KeywordsFor(text, {}, {});
    return Words(text);
}

// The keyword text after a move from `oldFolder` to `newFolder`: the old folder's words go, the
// new folder's come first, every other word stays.
std::string MovedKeywords(std::string_view keywords, std::string_view oldFolder,
                          std::string_view newFolder) {
    std::vector<std::string> old = FolderWords(oldFolder);
    const std::vector<std::string> words = Words(keywords);
    std::string text;
    for (const std::string& w : FolderWords(newFolder))
        text += w + ' ';
    for (const std::string& w : words) {
        const auto at = std::find(old.begin(), old.end(), w);
        if (at != old.end()) {
            old.erase(at); // each folder word takes away one keyword
            continue;
        }
        text += w + ' ';
    }
    return text;
}

// The first word of a keyword text, as written.
std::string FirstKeyword(std::string_view keywords) {
    const std::string_view text = TrimView(keywords);
    return std::string(text.substr(0, text.find(' ')));
}

void AppendConflict(std::string& notes, int field, std::string_view value) {
    notes += '\n';
    notes += kMergeConflictMarker;
    notes += ' ';
    notes += FieldTitle(field);
    notes += ": ";
    notes += value;
}

class Reconciler {
  public:
    Reconciler(CBrindleDoc& doc, XbelTree& tree, std::vector<SyncBaseEntry>& base,
               LinkSyncCounts& counts)
        : m_doc(doc), m_tree(tree), m_base(base), m_counts(counts) {}

    bool Run(bool allowMassDelete, bool& fileChanged) {
        // New ids go above both the announced highest id and every id in the file.
        m_highest = m_tree.highestId;
        CollectRemote(m_tree.items, {});
        CollectLocal();
        m_counts.documentBookmarks = m_doc.Bookmarks().size();
        m_counts.fileBookmarks = m_remote.size();
        PairLocalWithBase();
        Plan();
        // The old base is read: let its memory go before both sides change.
        std::vector<SyncBaseEntry>().swap(m_base);
        // Planned deletions are reported even when refused: the question names them.
        m_counts.deletedFromDocument = m_localDeletes.size();
        m_counts.deletedFromFile = m_remoteDeletes.size();
        if (!allowMassDelete &&
            (IsMassDeletion(m_localDeletes.size(), m_counts.documentBookmarks) ||
             IsMassDeletion(m_remoteDeletes.size(), m_counts.fileBookmarks)))
            return false;
        Apply();
        fileChanged = m_fileChanged;
        return true;
    }

  private:
    // --- Reading both sides --------------------------------------------------------------
    void CollectRemote(std::vector<XbelItem>& items, const std::string& folder) {
        for (XbelItem& item : items) {
            m_highest = std::max(m_highest, NumericId(item.id));
            if (item.kind == XbelItem::Kind::Folder) {
                std::string path = folder;
                if (!path.empty())
                    path += kFolderSeparator;
                path += TrimView(item.title);
                CollectRemote(item.children, path);
            } else if (item.kind == XbelItem::Kind::Bookmark && !TrimView(item.href).empty()) {
                m_remote.push_back({&item, RemoteName(item), folder});
            }
        }
    }

    void CollectLocal() {
        const BookmarkList& list = m_doc.Bookmarks();
        m_local.reserve(list.size());
        for (std::uint32_t i = 0; i < list.size(); ++i) {
            const BookmarkRef b = list[i];
            if (b.m_strURL.empty())
                continue;
            m_localByKey.emplace(Key(b.m_strName, b.m_strURL), static_cast<int>(m_local.size()));
            m_local.push_back({i, b.m_strName, b.m_strURL});
        }
    }

    // Each base entry finds its document bookmark: by name and URL, else (renamed or
    // re-addressed here) by the URL or the name it kept, when only one bookmark fits.
    void PairLocalWithBase() {
        m_localOfBase.assign(m_base.size(), kNone);
        m_baseOfLocal.assign(m_local.size(), kNone);
        for (std::size_t b = 0; b < m_base.size(); ++b) {
            const auto at = m_localByKey.find(Key(m_base[b].name, m_base[b].url));
            if (at != m_localByKey.end() && m_baseOfLocal[at->second] == kNone)
                Link(b, at->second);
        }
        PairBy([](const SyncBaseEntry& e) { return e.url; },
               [](const LocalMark& l) { return std::string(l.url); });
        PairBy([](const SyncBaseEntry& e) { return e.name; },
               [](const LocalMark& l) { return std::string(l.name); });
    }

    template <typename BaseKey, typename LocalKey> void PairBy(BaseKey baseKey, LocalKey localKey) {
        std::unordered_map<std::string, int> candidates; // key -> local, or -2 when ambiguous
        for (std::size_t l = 0; l < m_local.size(); ++l)
            if (m_baseOfLocal[l] == kNone) {
                auto [at, fresh] = candidates.emplace(localKey(m_local[l]), static_cast<int>(l));
                if (!fresh)
                    at->second = -2;
            }
        std::unordered_map<std::string, int> wanted; // key -> base entries wanting it
        for (std::size_t b = 0; b < m_base.size(); ++b)
            if (m_localOfBase[b] == kNone)
                ++wanted[baseKey(m_base[b])];
        for (std::size_t b = 0; b < m_base.size(); ++b) {
            if (m_localOfBase[b] != kNone)
                continue;
            const std::string key = baseKey(m_base[b]);
            const auto at = candidates.find(key);
            if (at != candidates.end() && at->second >= 0 && wanted[key] == 1 &&
                m_baseOfLocal[at->second] == kNone)
                Link(b, at->second);
        }
    }

    BookmarkRef Ref(int l) const { return m_doc.Bookmarks()[m_local[l].index]; }

    void Link(std::size_t b, int l) {
        m_localOfBase[b] = l;
        m_baseOfLocal[l] = static_cast<int>(b);
    }

    // --- Deciding ------------------------------------------------------------------------
    struct DocEdit {
        int local = 0;
        std::string name, url, keywords, notes;
        bool nameSet = false, urlSet = false, keywordsSet = false, notesSet = false;
    };

    void Plan() {
        std::unordered_map<std::string_view, int> remoteById;
        for (std::size_t r = 0; r < m_remote.size(); ++r) {
            XbelItem& item = *m_remote[r].item;
            // An id seen before, or none, is given a fresh one: ids identify one item.
            if (item.id.empty() || !remoteById.emplace(item.id, static_cast<int>(r)).second)
                m_renumber.push_back(static_cast<int>(r));
        }
        for (int r : m_renumber) {
            m_remote[r].item->id = std::to_string(++m_highest);
            m_fileChanged = true;
            remoteById.emplace(m_remote[r].item->id, r);
        }
        std::vector<bool> remoteSeen(m_remote.size(), false);
        for (std::size_t b = 0; b < m_base.size(); ++b) {
            const SyncBaseEntry& e = m_base[b];
            const auto found = remoteById.find(e.id);
            const int r = found == remoteById.end() ? kNone : found->second;
            const int l = m_localOfBase[b];
            if (r != kNone)
                remoteSeen[r] = true;
            if (r == kNone && l == kNone)
                continue;
            if (l == kNone) {
                m_remoteDeletes.insert(m_remote[r].item);
                continue;
            }
            if (r == kNone) {
                m_localDeletes.push_back(m_local[l].index);
                continue;
            }
            Both(e, l, r);
        }
        // The rest are new on one side; the same bookmark new on both is taken once.
        std::vector<int> newRemote;
        for (std::size_t r = 0; r < m_remote.size(); ++r)
            if (!remoteSeen[r])
                newRemote.push_back(static_cast<int>(r));
        std::unordered_map<std::string, int> newLocalByKey, newLocalByUrl;
        for (std::size_t l = 0; l < m_local.size(); ++l)
            if (m_baseOfLocal[l] == kNone) {
                newLocalByKey.emplace(Key(m_local[l].name, m_local[l].url), static_cast<int>(l));
                auto [at, fresh] =
                    newLocalByUrl.emplace(std::string(m_local[l].url), static_cast<int>(l));
                if (!fresh)
                    at->second = -2;
            }
        std::vector<bool> localTaken(m_local.size(), false);
        std::vector<int> unpaired;
        for (int r : newRemote) {
            const RemoteMark& mark = m_remote[r];
            const auto at = newLocalByKey.find(Key(mark.name, TrimView(mark.item->href)));
            if (at != newLocalByKey.end() && !localTaken[at->second]) {
                localTaken[at->second] = true;
                Keep(mark, m_local[at->second].name, m_local[at->second].url);
            } else {
                unpaired.push_back(r);
            }
        }
        for (int r : unpaired) {
            const RemoteMark& mark = m_remote[r];
            const auto at = newLocalByUrl.find(std::string(TrimView(mark.item->href)));
            if (at != newLocalByUrl.end() && at->second >= 0 && !localTaken[at->second]) {
                // The same address under two names: the document's name wins.
                localTaken[at->second] = true;
                const LocalMark& local = m_local[at->second];
                if (mark.name != local.name)
                    SetRemote(*mark.item, local.name, local.url);
                Keep(mark, local.name, local.url);
            } else {
                // Copied: the file's items move once the file changes.
                m_docAdds.push_back({mark.item->id, mark.name,
                                     std::string(TrimView(mark.item->href)), mark.folder,
                                     mark.item->added});
            }
        }
        for (std::size_t l = 0; l < m_local.size(); ++l)
            if (m_baseOfLocal[l] == kNone && !localTaken[l])
                m_fileAdds.push_back(static_cast<int>(l));
    }

    // A bookmark both sides still hold.
    void Both(const SyncBaseEntry& e, int l, int r) {
        const LocalMark& local = m_local[l];
        RemoteMark& remote = m_remote[r];
        const std::string remoteUrl(TrimView(remote.item->href));
        DocEdit edit;
        edit.local = l;
        std::string name(local.name), url(local.url);
        bool fileEdit = false;
        auto field = [&](int number, std::string_view base, std::string_view mine,
                         const std::string& theirs, std::string& result, bool& docSet) {
            const bool mineChanged = mine != base, theirsChanged = theirs != base;
            if (theirsChanged && !mineChanged) {
                result = theirs;
                docSet = true;
            } else if (mineChanged && theirs != mine) {
                fileEdit = true;
                if (theirsChanged) {
                    ++m_counts.conflicts;
                    if (!edit.notesSet)
                        edit.notes = Ref(l).m_strNotes;
                    edit.notesSet = true;
                    AppendConflict(edit.notes, number, theirs);
                }
            }
        };
        field(kFieldName, e.name, local.name, remote.name, name, edit.nameSet);
        field(kFieldURL, e.url, local.url, remoteUrl, url, edit.urlSet);
        // A name and URL the document holds already for another bookmark cannot be taken.
        if ((edit.nameSet || edit.urlSet) && m_localByKey.count(Key(name, url))) {
            name = local.name;
            url = local.url;
            edit.nameSet = edit.urlSet = false;
            fileEdit = true;
        }
        edit.name = name;
        edit.url = url;
        if (remote.folder != e.folder) {
            edit.keywords = MovedKeywords(Ref(l).m_strKeywords, e.folder, remote.folder);
            edit.keywordsSet = true;
        }
        if (fileEdit)
            SetRemote(*remote.item, name, url);
        if (edit.nameSet || edit.urlSet || edit.keywordsSet || edit.notesSet) {
            m_localByKey.emplace(Key(name, url), l);
            m_docEdits.push_back(std::move(edit));
        }
        m_newBase.push_back({remote.item->id, name, url, remote.folder});
    }

    void SetRemote(XbelItem& item, std::string_view name, std::string_view url) {
        if (RemoteName(item) != name)
            item.title = name;
        if (TrimView(item.href) != url)
            item.href = url;
        m_fileChanged = true;
        ++m_counts.changedInFile;
    }

    void Keep(const RemoteMark& mark, std::string_view name, std::string_view url) {
        m_newBase.push_back({mark.item->id, std::string(name), std::string(url), mark.folder});
    }

    // --- Applying ------------------------------------------------------------------------
    void Apply() {
        // The file first: its new bookmarks read their keywords from the unchanged document.
        if (!m_remoteDeletes.empty()) {
            m_counts.deletedFromFile = m_remoteDeletes.size();
            Prune(m_tree.items);
            m_fileChanged = true;
        }
        AddToFile();
        if (m_fileChanged || !m_tree.hasHighestId || m_tree.highestId != m_highest) {
            m_tree.hasHighestId = true;
            m_tree.highestId = m_highest;
            m_fileChanged = true;
        }
        for (const DocEdit& edit : m_docEdits) {
            const std::uint32_t index = m_local[edit.local].index;
            if (edit.nameSet)
                m_doc.SetFieldText(index, kFieldName, edit.name);
            if (edit.urlSet)
                m_doc.SetFieldText(index, kFieldURL, edit.url);
            if (edit.keywordsSet)
                m_doc.SetKeywords(index, edit.keywords);
            if (edit.notesSet)
                m_doc.SetFieldText(index, kFieldNotes, edit.notes);
            ++m_counts.changedInDocument;
        }
        const std::string schedule = m_doc.DefaultScheduleOrNone();
        std::string keywords;
        for (const DocAdd& add : m_docAdds) {
            FolderKeywords rule;
            for (std::string_view title : FolderTitles(add.folder))
                rule.Push(title);
            rule.KeywordsFor(keywords, add.name, {});
            if (m_doc.AddBookmark({.name = add.name,
                                   .url = add.url,
                                   .keywords = keywords,
                                   .statusChecking = 1,
                                   .schedule = schedule,
                                   .status = kStatusWaiting,
                                   .addDate = add.added ? add.added : CBrindleDoc::Now()})) {
                ++m_counts.addedToDocument;
                m_newBase.push_back({add.id, add.name, add.url, add.folder});
            }
        }
        if (!m_localDeletes.empty()) {
            std::sort(m_localDeletes.begin(), m_localDeletes.end());
            const TrashLog::Scope why(m_doc.Trashed(), TrashReason::Synced);
            m_doc.DeleteBookmarks(m_localDeletes);
            m_counts.deletedFromDocument = m_localDeletes.size();
        }
        m_base = std::move(m_newBase);
    }

    void Prune(std::vector<XbelItem>& items) {
        for (XbelItem& item : items)
            if (item.kind == XbelItem::Kind::Folder)
                Prune(item.children);
        std::erase_if(items, [&](const XbelItem& item) { return m_remoteDeletes.count(&item); });
    }

    struct FolderSlot {
        XbelItem* folder;
        std::string path;
        std::size_t depth;
    };

    void FindFolders(std::vector<XbelItem>& items, const std::string& path, std::size_t depth,
                     std::unordered_map<std::string, FolderSlot>& byTitle) {
        for (XbelItem& item : items) {
            if (item.kind != XbelItem::Kind::Folder)
                continue;
            std::string sub = path;
            if (!sub.empty())
                sub += kFolderSeparator;
            sub += TrimView(item.title);
            const std::string title = ToLower(TrimView(item.title));
            const auto at = byTitle.find(title);
            // The shallowest folder of a title is the one meant.
            if (at == byTitle.end() || at->second.depth > depth)
                byTitle[title] = {&item, sub, depth};
            FindFolders(item.children, sub, depth + 1, byTitle);
        }
    }

    void AddToFile() {
        if (m_fileAdds.empty())
            return;
        std::unordered_map<std::string, FolderSlot> byTitle;
        FindFolders(m_tree.items, {}, 0, byTitle);
        std::vector<std::pair<FolderSlot, int>> placed;
        bool needOwnFolder = false;
        for (int l : m_fileAdds) {
            const std::string first = FirstKeyword(Ref(l).m_strKeywords);
            const auto at = first.empty() ? byTitle.end() : byTitle.find(ToLower(first));
            if (at != byTitle.end())
                placed.push_back({at->second, l});
            else
                needOwnFolder = true;
        }
        if (needOwnFolder) {
            const std::string own = ToLower(kNewBookmarksFolder);
            XbelItem* folder = nullptr;
            for (XbelItem& item : m_tree.items)
                if (item.kind == XbelItem::Kind::Folder && ToLower(TrimView(item.title)) == own)
                    folder = &item;
            if (!folder) {
                // A new top folder moves the others: find every folder again afterwards.
                XbelItem created;
                created.kind = XbelItem::Kind::Folder;
                created.id = std::to_string(++m_highest);
                created.title = kNewBookmarksFolder;
                m_tree.items.push_back(std::move(created));
                byTitle.clear();
                FindFolders(m_tree.items, {}, 0, byTitle);
                placed.clear();
                return AddToFile(); // the folder now exists: this pass finds it
            }
            for (int l : m_fileAdds) {
                const std::string first = FirstKeyword(Ref(l).m_strKeywords);
                if (first.empty() || !byTitle.count(ToLower(first)))
                    placed.push_back({{folder, std::string(TrimView(folder->title)), 0}, l});
            }
        }
        // Deeper folders first: adding to a folder moves the folders inside it.
        std::stable_sort(placed.begin(), placed.end(), [](const auto& a, const auto& b) {
            return a.first.depth > b.first.depth;
        });
        for (const auto& [slot, l] : placed) {
            const LocalMark& local = m_local[l];
            XbelItem item;
            item.kind = XbelItem::Kind::Bookmark;
            item.id = std::to_string(++m_highest);
            item.title = local.name;
            item.href = local.url;
            m_newBase.push_back(
                {item.id, std::string(local.name), std::string(local.url), slot.path});
            slot.folder->children.push_back(std::move(item));
            ++m_counts.addedToFile;
        }
        m_fileChanged = true;
    }

    CBrindleDoc& m_doc;
    XbelTree& m_tree;
    std::vector<SyncBaseEntry>& m_base;
    LinkSyncCounts& m_counts;

    std::vector<RemoteMark> m_remote;
    std::vector<LocalMark> m_local;
    std::unordered_map<std::string, int> m_localByKey;
    std::vector<int> m_localOfBase;
    std::vector<int> m_baseOfLocal;
    std::uint64_t m_highest = 0;

    std::vector<int> m_renumber;
    std::vector<DocEdit> m_docEdits;
    struct DocAdd {
        std::string id, name, url, folder;
        BrxTime added;
    };
    std::vector<DocAdd> m_docAdds;
    std::vector<int> m_fileAdds;      // local marks
    CBrindleDoc::Hits m_localDeletes; // bookmark indices
    std::unordered_set<const XbelItem*> m_remoteDeletes;
    std::vector<SyncBaseEntry> m_newBase;
    bool m_fileChanged = false;
};

// HashBytes of a file's bytes, read through a mapping rather than a copy.
bool HashFile(const std::string& path, std::uint64_t& hash) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0;
    if (ok && info.st_size == 0) {
        hash = HashBytes({});
    } else if (ok) {
        const auto size = static_cast<std::size_t>(info.st_size);
        void* map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        ok = map != MAP_FAILED;
        if (ok) {
            hash = HashBytes({static_cast<const char*>(map), size});
            ::munmap(map, size);
        }
    }
    ::close(fd);
    return ok;
}

FileStamp DocumentStamp(const std::string& path) {
    return FileStamp::Of(path);
}

} // namespace

bool IsMassDeletion(std::size_t deleted, std::size_t total) {
    return deleted > kMassDeleteCount ||
           static_cast<double>(deleted) > kMassDeleteShare * static_cast<double>(total);
}

std::size_t CountLinkedBookmarks(const XbelTree& tree) {
    std::size_t n = 0;
    auto walk = [&n](const std::vector<XbelItem>& items, auto& self) -> void {
        for (const XbelItem& item : items) {
            if (item.kind == XbelItem::Kind::Folder)
                self(item.children, self);
            else if (item.kind == XbelItem::Kind::Bookmark && !TrimView(item.href).empty())
                ++n;
        }
    };
    walk(tree.items, walk);
    return n;
}

bool ReconcileLinked(CBrindleDoc& doc, XbelTree& tree, std::vector<SyncBaseEntry>& base,
                     bool allowMassDelete, LinkSyncCounts& counts, bool& fileChanged) {
    counts = {};
    fileChanged = false;
    return Reconciler(doc, tree, base, counts).Run(allowMassDelete, fileChanged);
}

LinkSyncResult SyncLinkedDocument(LinkedDocument& document, SyncTarget& target,
                                  const LinkSyncOptions& options) {
    LinkSyncResult result;
    auto step = [&](const char* name) {
        if (options.stepHook)
            options.stepHook(name);
    };
    const std::string statePath = SyncStatePath(document.path);
    SyncState state;
    if (!LoadSyncState(statePath, state, true) || state.target.empty()) {
        result.error = "the document is not linked to a bookmark file";
        return result;
    }

    // Nothing changed on either side: neither is parsed, and the document is not even opened.
    std::string bytes;
    bool exists = false;
    const FileStamp stamp = DocumentStamp(document.path);
    if (state.synced && !document.changedInMemory) {
        bool documentSame = stamp.size == state.docSize && stamp.modifiedNs == state.docModifiedNs;
        if (!documentSame && stamp.exists) {
            std::uint64_t hash = 0;
            documentSame = HashFile(document.path, hash) && hash == state.docHash;
        }
        if (documentSame) {
            const TargetResult read = target.Read(bytes, exists);
            if (read.ok && exists && HashBytes(bytes) == state.fileHash) {
                result.outcome = LinkSyncOutcome::Unchanged;
                return result;
            }
        }
    }

    if (const TargetResult locked = target.Lock(options.lockWait); !locked.ok) {
        result.error = locked.error;
        return result;
    }
    step("locked");
    struct Unlock {
        SyncTarget& target;
        ~Unlock() { target.Unlock(); }
    } unlock{target};

    if (const TargetResult read = target.Read(bytes, exists); !read.ok) {
        result.error = read.error;
        return result;
    }
    XbelTree tree;
    std::string why;
    if (exists && !ParseXbel(bytes, tree, &why)) {
        // Never taken for an empty file: that would delete every bookmark.
        result.error = "the linked file cannot be read as XBEL: " + why;
        return result;
    }
    if (!LoadSyncState(statePath, state)) {
        result.error = "the link's state cannot be read";
        return result;
    }
    if (!state.synced)
        state.entries.clear();
    CBrindleDoc* doc = document.open ? document.open() : nullptr;
    if (!doc) {
        result.error = "the document cannot be opened";
        return result;
    }
    bool fileChanged = false;
    if (!ReconcileLinked(*doc, tree, state.entries, options.allowMassDelete, result.counts,
                         fileChanged)) {
        result.outcome = LinkSyncOutcome::MassDelete;
        return result;
    }
    target.RefreshLock();
    if (fileChanged || !exists) {
        bytes.clear();
        WriteXbel(tree, bytes, {.sharedLayout = true});
        if (const TargetResult written = target.Write(bytes); !written.ok) {
            result.error = written.error;
            return result;
        }
    }
    state.fileHash = HashBytes(bytes);
    // Neither is needed any more: their memory goes before the document is written.
    tree = {};
    std::string().swap(bytes);
    step("file-written");
    if (doc->IsModified() || document.changedInMemory) {
        if (!document.save || !document.save()) {
            result.error = "the document cannot be saved";
            return result;
        }
    }
    step("document-saved");
    const FileStamp saved = DocumentStamp(document.path);
    if (!HashFile(document.path, state.docHash)) {
        result.error = "the document cannot be read back";
        return result;
    }
    state.synced = true;
    state.docSize = saved.size;
    state.docModifiedNs = saved.modifiedNs;
    if (!SaveSyncState(statePath, state)) {
        result.error = "the link's state cannot be written to " + statePath;
        return result;
    }
    step("state-saved");
    result.outcome = LinkSyncOutcome::Synced;
    return result;
}

} // namespace brindle
