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
#include <cerrno>
#include <charconv>
#include <fcntl.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>

namespace brindle {

namespace {

constexpr int kNone = -1;
constexpr int kAmbiguous = -2;

// The key of a name and an address together, from their hashes.
std::uint64_t PairHash(std::uint64_t name, std::uint64_t url) {
    std::uint64_t h = (name ^ 0x9E3779B97F4A7C15ull) * 0xBF58476D1CE4E5B9ull;
    h ^= url + 0x94D049BB133111EBull + (h << 6) + (h >> 2);
    h ^= h >> 31;
    return h * 0x94D049BB133111EBull;
}

// 64-bit keys (hashes already) to ints, in one flat array: the reconciliation looks up every
// bookmark of both sides several times.
class HashIndex {
  public:
    explicit HashIndex(std::size_t expected) { Resize(expected); }

    const int* Find(std::uint64_t key) const {
        key = Stored(key);
        for (std::size_t at = Home(key);; at = (at + 1) & m_mask) {
            if (m_keys[at] == key)
                return &m_values[at];
            if (m_keys[at] == 0)
                return nullptr;
        }
    }
    // The value of `key`, which is `value` when the key is new (`fresh` then true).
    int& Emplace(std::uint64_t key, int value, bool* fresh = nullptr) {
        if ((m_used + 1) * 5 > m_keys.size() * 4)
            Resize(m_used * 2);
        key = Stored(key);
        std::size_t at = Home(key);
        for (; m_keys[at] != 0; at = (at + 1) & m_mask)
            if (m_keys[at] == key) {
                if (fresh)
                    *fresh = false;
                return m_values[at];
            }
        m_keys[at] = key;
        m_values[at] = value;
        ++m_used;
        if (fresh)
            *fresh = true;
        return m_values[at];
    }

  private:
    static std::uint64_t Stored(std::uint64_t key) { return key ? key : 1; }
    std::size_t Home(std::uint64_t key) const { return static_cast<std::size_t>(key >> m_shift); }

    void Resize(std::size_t expected) {
        std::size_t size = 16;
        int shift = 60;
        while (size * 4 < expected * 5 + 5) {
            size *= 2;
            --shift;
        }
        std::vector<std::uint64_t> keys(size, 0);
        std::vector<int> values(size, 0);
        keys.swap(m_keys);
        values.swap(m_values);
        m_mask = size - 1;
        m_shift = shift;
        m_used = 0;
        for (std::size_t i = 0; i < keys.size(); ++i)
            if (keys[i] != 0)
                Emplace(keys[i], values[i]);
    }

    std::vector<std::uint64_t> m_keys; // 0: an empty slot
    std::vector<int> m_values;
    std::size_t m_mask = 0;
    int m_shift = 0;
    std::size_t m_used = 0;
};

std::uint64_t TextHash(std::string_view text) {
    return HashBytes(text);
}

// A bookmark of the file that a sync follows, by the hashes of its texts (its name is the
// trimmed title, or the address for an untitled bookmark).
struct RemoteMark {
    std::uint32_t node;
    std::uint32_t folder; // in the file's folder paths
    std::uint64_t id, nameHash, urlHash;
};

// A bookmark of the document, by its index and the hashes of its texts.
struct LocalMark {
    std::uint32_t index;
    std::uint64_t nameHash, urlHash;
};

XbelText Trimmed(const XbelCompactTree& tree, XbelText text) {
    const std::string_view whole = tree.Text(text);
    const std::string_view trimmed = TrimView(whole);
    if (trimmed.empty())
        return {text.offset, 0};
    return {static_cast<std::uint32_t>(text.offset + (trimmed.data() - whole.data())),
            static_cast<std::uint32_t>(trimmed.size())};
}

XbelText RemoteName(const XbelCompactTree& tree, const XbelNode& node) {
    const XbelText title = Trimmed(tree, node.title);
    return title.size != 0 ? title : Trimmed(tree, node.href);
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
    Reconciler(CBrindleDoc& doc, XbelCompactTree& tree, SyncState& base, LinkSyncCounts& counts)
        : m_doc(doc), m_tree(tree), m_base(base.entries), m_baseFolders(base.folders),
          m_state(base), m_counts(counts) {}

    bool Run(bool allowMassDelete, bool& fileChanged,
             const std::function<bool(bool fileChanged)>& beforeDocument) {
        // New ids go above both the announced highest id and every id in the file.
        m_highest = m_tree.highestId;
        m_remote.reserve(m_tree.nodes.size());
        CollectRemote(0, {}, FolderIndex({}));
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
        ApplyToFile();
        fileChanged = m_fileChanged;
        if (beforeDocument && !beforeDocument(m_fileChanged))
            return false;
        ApplyToDocument();
        return true;
    }

  private:
    std::string_view Text(XbelText text) const { return m_tree.Text(text); }
    std::string_view RemoteNameOf(const RemoteMark& mark) const {
        return Text(RemoteName(m_tree, m_tree.nodes[mark.node]));
    }
    std::string_view RemoteUrlOf(const RemoteMark& mark) const {
        return Text(Trimmed(m_tree, m_tree.nodes[mark.node].href));
    }
    // The document's texts stay where they are until the document changes, after the file.
    std::string_view LocalName(std::uint32_t index) const {
        return m_doc.Bookmarks().Record(index).Text(BookmarkRecord::kName);
    }
    std::string_view LocalUrl(std::uint32_t index) const {
        return m_doc.Bookmarks().Record(index).Text(BookmarkRecord::kURL);
    }

    // --- Reading both sides --------------------------------------------------------------
    std::uint32_t FolderIndex(const std::string& path) {
        const auto [at, fresh] =
            m_folderIndex.emplace(path, static_cast<std::uint32_t>(m_folders.size()));
        if (fresh)
            m_folders.push_back(path);
        return at->second;
    }

    void CollectRemote(std::uint32_t parent, const std::string& folder, std::uint32_t folderIndex) {
        for (std::uint32_t n = m_tree.nodes[parent].firstChild; n != kNoXbelNode;
             n = m_tree.nodes[n].next) {
            const XbelNode& node = m_tree.nodes[n];
            m_highest = std::max(m_highest, NumericId(Text(node.id)));
            if (node.kind == XbelItem::Kind::Folder) {
                std::string path = folder;
                if (!path.empty())
                    path += kFolderSeparator;
                path += Text(Trimmed(m_tree, node.title));
                CollectRemote(n, path, FolderIndex(path));
            } else if (node.kind == XbelItem::Kind::Bookmark) {
                const XbelText href = Trimmed(m_tree, node.href);
                if (href.size == 0)
                    continue;
                m_remote.push_back({n, folderIndex, TextHash(Text(node.id)),
                                    TextHash(Text(RemoteName(m_tree, node))),
                                    TextHash(Text(href))});
            }
        }
    }

    void CollectLocal() {
        const BookmarkList& list = m_doc.Bookmarks();
        m_local.reserve(list.size());
        m_localByKey = HashIndex(list.size());
        for (std::uint32_t i = 0; i < list.size(); ++i) {
            const std::string_view url = LocalUrl(i);
            if (url.empty())
                continue;
            const LocalMark mark{i, TextHash(LocalName(i)), TextHash(url)};
            m_localByKey.Emplace(PairHash(mark.nameHash, mark.urlHash),
                                 static_cast<int>(m_local.size()));
            m_local.push_back(mark);
        }
    }

    // Each base entry finds its document bookmark: by name and URL, else (renamed or
    // re-addressed here) by the URL or the name it kept, when only one bookmark fits.
    void PairLocalWithBase() {
        m_localOfBase.assign(m_base.size(), kNone);
        m_baseOfLocal.assign(m_local.size(), kNone);
        std::size_t unpaired = 0;
        for (std::size_t b = 0; b < m_base.size(); ++b) {
            const int* at = m_localByKey.Find(PairHash(m_base[b].name, m_base[b].url));
            if (at && m_baseOfLocal[*at] == kNone)
                Link(b, *at);
            else
                ++unpaired;
        }
        if (unpaired == 0)
            return;
        PairBy([](const SyncBaseEntry& e) { return e.url; },
               [](const LocalMark& l) { return l.urlHash; });
        PairBy([](const SyncBaseEntry& e) { return e.name; },
               [](const LocalMark& l) { return l.nameHash; });
    }

    template <typename BaseKey, typename LocalKey> void PairBy(BaseKey baseKey, LocalKey localKey) {
        HashIndex candidates(64); // key -> local, or kAmbiguous
        for (std::size_t l = 0; l < m_local.size(); ++l)
            if (m_baseOfLocal[l] == kNone) {
                bool fresh = false;
                int& at = candidates.Emplace(localKey(m_local[l]), static_cast<int>(l), &fresh);
                if (!fresh)
                    at = kAmbiguous;
            }
        HashIndex wanted(64); // key -> base entries wanting it
        for (std::size_t b = 0; b < m_base.size(); ++b)
            if (m_localOfBase[b] == kNone)
                ++wanted.Emplace(baseKey(m_base[b]), 0);
        for (std::size_t b = 0; b < m_base.size(); ++b) {
            if (m_localOfBase[b] != kNone)
                continue;
            const std::uint64_t key = baseKey(m_base[b]);
            const int* at = candidates.Find(key);
            if (at && *at >= 0 && *wanted.Find(key) == 1 && m_baseOfLocal[*at] == kNone)
                Link(b, *at);
        }
    }

    BookmarkRef Ref(std::uint32_t index) const { return m_doc.Bookmarks()[index]; }

    void Link(std::size_t b, int l) {
        m_localOfBase[b] = l;
        m_baseOfLocal[l] = static_cast<int>(b);
    }

    // --- Deciding ------------------------------------------------------------------------
    struct DocEdit {
        std::uint32_t index = 0; // the bookmark's
        std::string name, url, keywords, notes;
        bool nameSet = false, urlSet = false, keywordsSet = false, notesSet = false;
    };

    void Plan() {
        HashIndex remoteById(m_remote.size());
        std::vector<int> renumber;
        for (std::size_t r = 0; r < m_remote.size(); ++r) {
            const RemoteMark& mark = m_remote[r];
            // An id seen before, or none, is given a fresh one: ids identify one item.
            bool fresh = false;
            if (m_tree.nodes[mark.node].id.size != 0)
                remoteById.Emplace(mark.id, static_cast<int>(r), &fresh);
            if (!fresh)
                renumber.push_back(static_cast<int>(r));
        }
        for (int r : renumber) {
            const std::string id = std::to_string(++m_highest);
            m_tree.nodes[m_remote[r].node].id = m_tree.Store(id);
            m_remote[r].id = TextHash(id);
            m_fileChanged = true;
            remoteById.Emplace(m_remote[r].id, r);
        }
        // Where each folder of the base is in the file now.
        m_folderNow.assign(m_baseFolders.size(), kNoXbelNode);
        for (std::size_t f = 0; f < m_baseFolders.size(); ++f)
            if (const auto at = m_folderIndex.find(m_baseFolders[f]); at != m_folderIndex.end())
                m_folderNow[f] = at->second;

        // Every entry of the next base is a bookmark of one side or both.
        m_newBase.reserve(m_remote.size() + m_local.size());
        std::vector<bool> remoteSeen(m_remote.size(), false);
        for (std::size_t b = 0; b < m_base.size(); ++b) {
            const SyncBaseEntry& e = m_base[b];
            const int* found = remoteById.Find(e.id);
            const int r = found ? *found : kNone;
            const int l = m_localOfBase[b];
            if (r != kNone)
                remoteSeen[r] = true;
            if (r == kNone && l == kNone)
                continue;
            if (l == kNone) {
                m_remoteDeletes.push_back(m_remote[r].node);
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
        std::vector<int> newLocal;
        for (std::size_t l = 0; l < m_local.size(); ++l)
            if (m_baseOfLocal[l] == kNone)
                newLocal.push_back(static_cast<int>(l));
        HashIndex newLocalByKey(newLocal.size()), newLocalByUrl(newLocal.size());
        for (int l : newLocal) {
            newLocalByKey.Emplace(PairHash(m_local[l].nameHash, m_local[l].urlHash), l);
            bool fresh = false;
            int& at = newLocalByUrl.Emplace(m_local[l].urlHash, l, &fresh);
            if (!fresh)
                at = kAmbiguous;
        }
        std::vector<bool> localTaken(m_local.size(), false);
        std::vector<int> unpaired;
        for (int r : newRemote) {
            const RemoteMark& mark = m_remote[r];
            const int* at = newLocalByKey.Find(PairHash(mark.nameHash, mark.urlHash));
            if (at && !localTaken[*at]) {
                localTaken[*at] = true;
                Keep(mark, m_local[*at]);
            } else {
                unpaired.push_back(r);
            }
        }
        for (int r : unpaired) {
            const RemoteMark& mark = m_remote[r];
            const int* at = newLocalByUrl.Find(mark.urlHash);
            if (at && *at >= 0 && !localTaken[*at]) {
                // The same address under two names: the document's name wins.
                localTaken[*at] = true;
                const LocalMark& local = m_local[*at];
                Keep(mark, local);
                if (RemoteNameOf(mark) != LocalName(local.index))
                    SetRemote(mark.node, LocalName(local.index), LocalUrl(local.index));
            } else {
                // Copied: the file's texts move once the file changes.
                m_docAdds.push_back({mark.id, std::string(RemoteNameOf(mark)),
                                     std::string(RemoteUrlOf(mark)), mark.folder,
                                     m_tree.nodes[mark.node].added});
            }
        }
        for (int l : newLocal)
            if (!localTaken[l])
                m_fileAdds.push_back({m_local[l].index, m_local[l].nameHash, m_local[l].urlHash});
    }

    // A bookmark both sides still hold.
    void Both(const SyncBaseEntry& e, int l, int r) {
        const LocalMark& local = m_local[l];
        const RemoteMark& remote = m_remote[r];
        DocEdit edit;
        edit.index = local.index;
        const std::string_view localName = LocalName(local.index), localUrl = LocalUrl(local.index);
        std::string_view name = localName, url = localUrl;
        std::uint64_t nameHash = local.nameHash, urlHash = local.urlHash;
        bool fileEdit = false;
        auto field = [&](int number, std::uint64_t base, std::string_view mine,
                         std::uint64_t mineHash, std::string_view theirs, std::uint64_t theirsHash,
                         std::string_view& result, std::uint64_t& resultHash, bool& docSet) {
            const bool mineChanged = mineHash != base, theirsChanged = theirsHash != base;
            if (theirsChanged && !mineChanged) {
                result = theirs;
                resultHash = theirsHash;
                docSet = true;
            } else if (mineChanged && theirs != mine) {
                fileEdit = true;
                if (theirsChanged) {
                    ++m_counts.conflicts;
                    if (!edit.notesSet)
                        edit.notes = Ref(local.index).m_strNotes;
                    edit.notesSet = true;
                    AppendConflict(edit.notes, number, theirs);
                }
            }
        };
        field(kFieldName, e.name, localName, local.nameHash, RemoteNameOf(remote), remote.nameHash,
              name, nameHash, edit.nameSet);
        field(kFieldURL, e.url, localUrl, local.urlHash, RemoteUrlOf(remote), remote.urlHash, url,
              urlHash, edit.urlSet);
        // A name and URL the document holds already for another bookmark cannot be taken.
        if ((edit.nameSet || edit.urlSet) && m_localByKey.Find(PairHash(nameHash, urlHash))) {
            name = localName;
            url = localUrl;
            nameHash = local.nameHash;
            urlHash = local.urlHash;
            edit.nameSet = edit.urlSet = false;
            fileEdit = true;
        }
        if (edit.nameSet)
            edit.name = name;
        if (edit.urlSet)
            edit.url = url;
        if (m_folderNow[e.folder] != remote.folder) {
            edit.keywords = MovedKeywords(Ref(local.index).m_strKeywords, m_baseFolders[e.folder],
                                          m_folders[remote.folder]);
            edit.keywordsSet = true;
        }
        m_newBase.push_back({remote.id, nameHash, urlHash, remote.folder});
        if (edit.nameSet || edit.urlSet || edit.keywordsSet || edit.notesSet) {
            m_localByKey.Emplace(PairHash(nameHash, urlHash), l);
            m_docEdits.push_back(std::move(edit));
        }
        // Last: the file's texts may move.
        if (fileEdit)
            SetRemote(remote.node, name, url);
    }

    void SetRemote(std::uint32_t n, std::string_view name, std::string_view url) {
        if (Text(RemoteName(m_tree, m_tree.nodes[n])) != name)
            m_tree.nodes[n].title = m_tree.Store(name);
        if (Text(Trimmed(m_tree, m_tree.nodes[n].href)) != url)
            m_tree.nodes[n].href = m_tree.Store(url);
        m_fileChanged = true;
        ++m_counts.changedInFile;
    }

    void Keep(const RemoteMark& mark, const LocalMark& local) {
        m_newBase.push_back({mark.id, local.nameHash, local.urlHash, mark.folder});
    }

    // --- Applying ------------------------------------------------------------------------
    void ApplyToFile() {
        // The file first: its new bookmarks read their keywords from the unchanged document.
        if (!m_remoteDeletes.empty()) {
            m_counts.deletedFromFile = m_remoteDeletes.size();
            for (std::uint32_t n : m_remoteDeletes)
                m_tree.nodes[n].removed = true;
            m_fileChanged = true;
        }
        AddToFile();
        if (m_fileChanged || !m_tree.hasHighestId || m_tree.highestId != m_highest) {
            m_tree.hasHighestId = true;
            m_tree.highestId = m_highest;
            m_fileChanged = true;
        }
        // What found the pairs is done with: the file's text and the document's changes may
        // use its memory.
        Release(m_remote);
        Release(m_local);
        m_localByKey = HashIndex(0);
        Release(m_localOfBase);
        Release(m_baseOfLocal);
    }

    // After the file's side: the tree is not used any more.
    void ApplyToDocument() {
        for (const DocEdit& edit : m_docEdits) {
            const std::uint32_t index = edit.index;
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
            for (std::string_view title : FolderTitles(m_folders[add.folder]))
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
                m_newBase.push_back({add.id, TextHash(add.name), TextHash(add.url), add.folder});
            }
        }
        if (!m_localDeletes.empty()) {
            std::sort(m_localDeletes.begin(), m_localDeletes.end());
            const TrashLog::Scope why(m_doc.Trashed(), TrashReason::Synced);
            m_doc.DeleteBookmarks(m_localDeletes);
            m_counts.deletedFromDocument = m_localDeletes.size();
        }
        m_base = std::move(m_newBase);
        m_state.folders = std::move(m_folders);
    }

    template <typename T> static void Release(std::vector<T>& items) {
        std::vector<T>().swap(items);
    }

    struct FolderSlot {
        std::uint32_t node;
        std::uint32_t folder; // its path's index
        std::size_t depth;
    };

    void FindFolders(std::uint32_t parent, const std::string& path, std::size_t depth,
                     std::unordered_map<std::string, FolderSlot>& byTitle) {
        for (std::uint32_t n = m_tree.nodes[parent].firstChild; n != kNoXbelNode;
             n = m_tree.nodes[n].next) {
            const XbelNode& node = m_tree.nodes[n];
            if (node.kind != XbelItem::Kind::Folder)
                continue;
            const std::string_view trimmed = Text(Trimmed(m_tree, node.title));
            std::string sub = path;
            if (!sub.empty())
                sub += kFolderSeparator;
            sub += trimmed;
            const std::string title = ToLower(trimmed);
            const auto at = byTitle.find(title);
            // The shallowest folder of a title is the one meant.
            if (at == byTitle.end() || at->second.depth > depth)
                byTitle[title] = {n, FolderIndex(sub), depth};
            FindFolders(n, sub, depth + 1, byTitle);
        }
    }

    void AddToFile() {
        if (m_fileAdds.empty())
            return;
        std::unordered_map<std::string, FolderSlot> byTitle;
        FindFolders(0, {}, 0, byTitle);
        std::vector<std::pair<FolderSlot, LocalMark>> placed;
        bool needOwnFolder = false;
        for (const LocalMark& add : m_fileAdds) {
            const std::string first = FirstKeyword(Ref(add.index).m_strKeywords);
            const auto at = first.empty() ? byTitle.end() : byTitle.find(ToLower(first));
            if (at != byTitle.end())
                placed.push_back({at->second, add});
            else
                needOwnFolder = true;
        }
        if (needOwnFolder) {
            const std::string own = ToLower(kNewBookmarksFolder);
            std::uint32_t folder = kNoXbelNode;
            for (std::uint32_t n = m_tree.nodes[0].firstChild; n != kNoXbelNode;
                 n = m_tree.nodes[n].next)
                if (m_tree.nodes[n].kind == XbelItem::Kind::Folder &&
                    ToLower(Text(Trimmed(m_tree, m_tree.nodes[n].title))) == own)
                    folder = n;
            if (folder == kNoXbelNode) {
                const std::uint32_t created = m_tree.Add(0, XbelItem::Kind::Folder);
                m_tree.nodes[created].id = m_tree.Store(std::to_string(++m_highest));
                m_tree.nodes[created].title = m_tree.Store(kNewBookmarksFolder);
                return AddToFile(); // the folder now exists: this pass finds it
            }
            const std::uint32_t path =
                FolderIndex(std::string(Text(Trimmed(m_tree, m_tree.nodes[folder].title))));
            for (const LocalMark& add : m_fileAdds) {
                const std::string first = FirstKeyword(Ref(add.index).m_strKeywords);
                if (first.empty() || !byTitle.count(ToLower(first)))
                    placed.push_back({{folder, path, 0}, add});
            }
        }
        // Deeper folders first, as their items come first in the file.
        std::stable_sort(placed.begin(), placed.end(), [](const auto& a, const auto& b) {
            return a.first.depth > b.first.depth;
        });
        for (const auto& [slot, add] : placed) {
            const std::uint32_t n = m_tree.Add(slot.node, XbelItem::Kind::Bookmark);
            const std::string id = std::to_string(++m_highest);
            m_tree.nodes[n].id = m_tree.Store(id);
            m_tree.nodes[n].title = m_tree.Store(LocalName(add.index));
            m_tree.nodes[n].href = m_tree.Store(LocalUrl(add.index));
            m_newBase.push_back({TextHash(id), add.nameHash, add.urlHash, slot.folder});
            ++m_counts.addedToFile;
        }
        m_fileChanged = true;
    }

    CBrindleDoc& m_doc;
    XbelCompactTree& m_tree;
    std::vector<SyncBaseEntry>& m_base;
    const std::vector<std::string> m_baseFolders;
    SyncState& m_state;
    LinkSyncCounts& m_counts;

    std::vector<RemoteMark> m_remote;
    std::vector<LocalMark> m_local;
    // The file's folder paths now (the next base's), and where each old one is among them.
    std::vector<std::string> m_folders;
    std::unordered_map<std::string, std::uint32_t> m_folderIndex;
    std::vector<std::uint32_t> m_folderNow;
    HashIndex m_localByKey{0};
    std::vector<int> m_localOfBase;
    std::vector<int> m_baseOfLocal;
    std::uint64_t m_highest = 0;

    std::vector<DocEdit> m_docEdits;
    struct DocAdd {
        std::uint64_t id;
        std::string name, url;
        std::uint32_t folder;
        BrxTime added;
    };
    std::vector<DocAdd> m_docAdds;
    std::vector<LocalMark> m_fileAdds;
    CBrindleDoc::Hits m_localDeletes; // bookmark indices
    std::vector<std::uint32_t> m_remoteDeletes;
    std::vector<SyncBaseEntry> m_newBase;
    bool m_fileChanged = false;
};

// HashParts of a file's bytes, read a part at a time: the document may be large, and the sync
// holds it in memory already.
bool HashFile(const std::string& path, std::uint64_t& hash) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    PartHash parts;
    std::vector<char> buffer(std::size_t{1} << 18);
    ssize_t n = 0;
    while ((n = ::read(fd, buffer.data(), buffer.size())) != 0) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            break;
        parts.Add({buffer.data(), static_cast<std::size_t>(n)});
    }
    ::close(fd);
    hash = parts.Value();
    return n == 0;
}

// Gives the memory freed so far back to the system, so that what a sync needs next does not add
// to it: the linked file's text and the reconciliation's tables are large and gone by then.
void ReturnFreeMemory() {
#ifdef __GLIBC__
    ::malloc_trim(0);
#endif
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

bool ReconcileLinked(CBrindleDoc& doc, XbelCompactTree& tree, SyncState& base, bool allowMassDelete,
                     LinkSyncCounts& counts, bool& fileChanged,
                     const std::function<bool(bool fileChanged)>& beforeDocument) {
    counts = {};
    fileChanged = false;
    return Reconciler(doc, tree, base, counts).Run(allowMassDelete, fileChanged, beforeDocument);
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
    // The linked file is not even read when its size and time are still those of the last sync.
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
            TargetStamp file;
            // Only a time finer than seconds tells a rewrite of the same size apart.
            if (state.fileModifiedNs % 1000000000 != 0 && target.Stamp(file) &&
                file.size == state.fileSize && file.modifiedNs == state.fileModifiedNs) {
                result.outcome = LinkSyncOutcome::Unchanged;
                return result;
            }
            const TargetResult read = target.Read(bytes, exists);
            if (read.ok && exists && HashParts(bytes) == state.fileHash) {
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

    // Taken before the read: a change after it shows at the next sync.
    TargetStamp readStamp;
    const bool stamped = target.Stamp(readStamp);
    if (const TargetResult read = target.Read(bytes, exists); !read.ok) {
        result.error = read.error;
        return result;
    }
    const std::uint64_t readHash = HashParts(bytes);
    XbelCompactTree tree;
    std::string why;
    if (exists && !ParseXbel(bytes, tree, &why)) {
        // Never taken for an empty file: that would delete every bookmark.
        result.error = "the linked file cannot be read as XBEL: " + why;
        return result;
    }
    std::string().swap(bytes); // the tree holds what is needed
    ReturnFreeMemory();
    if (!LoadSyncState(statePath, state)) {
        result.error = "the link's state cannot be read";
        return result;
    }
    if (!state.synced) {
        state.entries.clear();
        state.folders.clear();
    }
    CBrindleDoc* doc = document.open ? document.open() : nullptr;
    if (!doc) {
        result.error = "the document cannot be opened";
        return result;
    }
    // The file is written between the reconciliation's two halves: its tree is let go before
    // the document changes.
    bool fileChanged = false;
    bool fileFailed = false;
    const auto writeFile = [&](bool changed) {
        ReturnFreeMemory();
        target.RefreshLock();
        state.fileHash = readHash;
        state.fileSize = stamped ? readStamp.size : 0;
        state.fileModifiedNs = stamped ? readStamp.modifiedNs : 0;
        if (changed || !exists) {
            PartHash hash;
            const TargetResult written = target.WriteParts([&](const SyncTarget::PartSink& put) {
                WriteXbel(tree, bytes, [&](std::string& part) {
                    hash.Add(part);
                    put(part);
                    part.clear();
                });
            });
            if (!written.ok) {
                result.error = written.error;
                fileFailed = true;
                return false;
            }
            state.fileHash = hash.Value();
            TargetStamp now;
            const bool known = target.Stamp(now);
            state.fileSize = known ? now.size : 0;
            state.fileModifiedNs = known ? now.modifiedNs : 0;
        }
        tree = {};
        std::string().swap(bytes);
        ReturnFreeMemory();
        step("file-written");
        return true;
    };
    if (!ReconcileLinked(*doc, tree, state, options.allowMassDelete, result.counts, fileChanged,
                         writeFile)) {
        if (!fileFailed)
            result.outcome = LinkSyncOutcome::MassDelete;
        return result;
    }
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
