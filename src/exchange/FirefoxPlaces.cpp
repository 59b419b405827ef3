// SPDX-License-Identifier: GPL-3.0-or-later
// Reading Firefox's places database.

#include "exchange/FirefoxPlaces.h"

#include "exchange/FolderKeywords.h"
#include "exchange/PlacesDatabase.h"
#include "store/BrindleDoc.h"
#include "store/TextUtil.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace brindle {

bool LooksLikeSqliteDatabase(std::string_view head) {
    constexpr std::string_view kSqliteMagic{"SQLite format 3\0", 16};
    return head.substr(0, kSqliteMagic.size()) == kSqliteMagic;
}

namespace {

constexpr std::int64_t kMicrosPerSecond = 1000000;

BrxTime MicrosToSeconds(std::int64_t micros) {
    return micros <= 0 ? 0 : static_cast<BrxTime>(micros / kMicrosPerSecond);
}

struct PlacesItem {
    std::int64_t id = 0;
    std::int64_t parent = 0;
    std::int64_t position = 0;
    std::int64_t fk = 0;
    int type = 0; // 1 bookmark, 2 folder, 3 separator
    std::string title;
    std::string guid;
    BrxTime added = 0;
    BrxTime modified = 0;
};

struct Place {
    std::string url;
    BrxTime lastVisit = 0;
    std::string tags;        // comma-separated
    std::string description; // the page's own (current profiles)
};

// The folder names Firefox itself gives its roots in a Netscape export: the menu's links are at
// the top, the other roots are folders.
std::string_view RootFolderName(std::string_view guid, std::string_view title) {
    if (guid == "menu________")
        return {};
    if (guid == "toolbar_____")
        return "Bookmarks Toolbar";
    if (guid == "unfiled_____")
        return "Other Bookmarks";
    if (guid == "mobile______")
        return "Mobile Bookmarks";
    return title;
}

// What the database holds, read in three statements.
struct PlacesContent {
    std::vector<PlacesItem> items;
    std::unordered_map<std::int64_t, Place> places;
    std::unordered_map<std::int64_t, std::string> descriptions;
};

// Bookmark rows read at most (the statement asks for one more, to see a database that passes
// it): real profiles hold a few thousand, and each row read costs memory.
constexpr std::size_t kMaxPlacesItems = 1'000'000;

bool ReadContent(PlacesDatabase& db, PlacesContent& c) {
    // The tables read must be what they say they are before anything is read from them.
    if (!db.HasTableWith("moz_bookmarks", {"id", "parent", "position", "fk", "type", "title",
                                           "guid", "dateAdded", "lastModified"}) ||
        !db.HasTableWith("moz_places", {"id", "url", "last_visit_date"}))
        return false;
    static const std::string kItems =
        "SELECT id, IFNULL(parent,0), IFNULL(position,0), IFNULL(fk,0), IFNULL(type,0), "
        "IFNULL(title,''), IFNULL(guid,''), IFNULL(dateAdded,0), IFNULL(lastModified,0) "
        "FROM moz_bookmarks LIMIT " +
        std::to_string(kMaxPlacesItems + 1);
    const bool read =
        db.EachRow(kItems.c_str(),
                   [&](sqlite3_stmt* st) {
                       PlacesItem item;
                       item.id = sqlite3_column_int64(st, 0);
                       item.parent = sqlite3_column_int64(st, 1);
                       item.position = sqlite3_column_int64(st, 2);
                       item.fk = sqlite3_column_int64(st, 3);
                       item.type = sqlite3_column_int(st, 4);
                       item.title = PlacesDatabase::ColumnText(st, 5);
                       item.guid = PlacesDatabase::ColumnText(st, 6);
                       item.added = MicrosToSeconds(sqlite3_column_int64(st, 7));
                       item.modified = MicrosToSeconds(sqlite3_column_int64(st, 8));
                       c.items.push_back(std::move(item));
                   }) &&
        c.items.size() <= kMaxPlacesItems &&
        db.EachRow("SELECT id, IFNULL(url,''), IFNULL(last_visit_date,0) FROM moz_places "
                   "WHERE id IN (SELECT fk FROM moz_bookmarks)",
                   [&](sqlite3_stmt* st) {
                       Place& p = c.places[sqlite3_column_int64(st, 0)];
                       p.url = PlacesDatabase::ColumnText(st, 1);
                       p.lastVisit = MicrosToSeconds(sqlite3_column_int64(st, 2));
                   });
    if (!read)
        return false;
    // Descriptions lived in item annotations until Firefox 62; later ones keep a page's
    // description in moz_places. The annotation wins where both are there.
    if (db.HasTableWith("moz_places", {"id", "description"}) &&
        !db.EachRow("SELECT id, description FROM moz_places WHERE description IS NOT NULL AND "
                    "description != '' AND id IN (SELECT fk FROM moz_bookmarks)",
                    [&](sqlite3_stmt* st) {
                        auto place = c.places.find(sqlite3_column_int64(st, 0));
                        if (place != c.places.end())
                            place->second.description = PlacesDatabase::ColumnText(st, 1);
                    }))
        return false;
    if (!db.HasTableWith("moz_items_annos", {"item_id", "anno_attribute_id", "content"}) ||
        !db.HasTableWith("moz_anno_attributes", {"id", "name"}))
        return true;
    return db.EachRow("SELECT a.item_id, IFNULL(a.content,'') FROM moz_items_annos a "
                      "JOIN moz_anno_attributes n ON a.anno_attribute_id = n.id "
                      "WHERE n.name = 'bookmarkProperties/description'",
                      [&](sqlite3_stmt* st) {
                          c.descriptions[sqlite3_column_int64(st, 0)] =
                              PlacesDatabase::ColumnText(st, 1);
                      });
}

// Walks the bookmark tree from the root and hands every link to the document.
class PlacesWalk {
  public:
    PlacesWalk(CBrindleDoc& doc, const BookmarkSink& sink, PlacesContent& content,
               ImportResult& result)
        : m_doc(doc), m_sink(sink), m_c(content), m_result(result) {}

    void Run() {
        Index();
        CollectTags();
        const std::string schedule = m_doc.DefaultScheduleOrNone();
        // Depth-first, with an explicit stack: (folder's children, next child).
        struct Frame {
            const std::vector<std::size_t>* list;
            std::size_t next;
        };
        std::vector<Frame> stack;
        auto enter = [&](std::int64_t folder) {
            auto it = m_children.find(folder);
            static const std::vector<std::size_t> kNone;
            stack.push_back({it == m_children.end() ? &kNone : &it->second, 0});
        };
        // A damaged database can make a folder its own ancestor: each folder is walked once.
        std::unordered_set<std::int64_t> entered{m_rootId};
        enter(m_rootId);
        while (!stack.empty()) {
            Frame& top = stack.back();
            if (top.next == top.list->size()) {
                stack.pop_back();
                if (!stack.empty())
                    m_keywords.Pop();
                continue;
            }
            const PlacesItem& item = m_c.items[(*top.list)[top.next++]];
            if (item.type == 2) {
                if (item.id == m_tagsRoot || !entered.insert(item.id).second)
                    continue;
                m_keywords.Push(stack.size() == 1 ? RootFolderName(item.guid, item.title)
                                                  : std::string_view(item.title));
                enter(item.id);
                continue;
            }
            if (item.type == 1)
                Link(item, schedule);
            // separators add nothing
        }
    }

  private:
    // Children of each folder in their order, and the roots.
    void Index() {
        std::unordered_map<std::int64_t, std::size_t> byId;
        const std::vector<PlacesItem>& items = m_c.items;
        for (std::size_t i = 0; i < items.size(); ++i) {
            m_children[items[i].parent].push_back(i);
            byId[items[i].id] = i;
        }
        for (auto& [parent, list] : m_children)
            std::sort(list.begin(), list.end(), [&](std::size_t a, std::size_t b) {
                return items[a].position != items[b].position
                           ? items[a].position < items[b].position
                           : items[a].id < items[b].id;
            });
        for (const PlacesItem& item : items) {
            if (item.guid == "root________")
                m_rootId = item.id;
            else if (item.guid == "tags________")
                m_tagsRoot = item.id;
        }
        if (m_rootId < 0) {
            // A database without the usual root: the folder nobody holds.
            for (const PlacesItem& item : items)
                if (item.type == 2 && !byId.contains(item.parent)) {
                    m_rootId = item.id;
                    break;
                }
        }
    }

    // Tags are folders under the tags root holding bookmarks of the tagged places.
    void CollectTags() {
        auto tagFolders = m_children.find(m_tagsRoot);
        if (tagFolders == m_children.end())
            return;
        for (std::size_t t : tagFolders->second) {
            const PlacesItem& tag = m_c.items[t];
            auto tagged = m_children.find(tag.id);
            if (tag.type != 2 || tag.title.empty() || tagged == m_children.end())
                continue;
            for (std::size_t b : tagged->second) {
                auto place = m_c.places.find(m_c.items[b].fk);
                if (place == m_c.places.end())
                    continue;
                if (!place->second.tags.empty())
                    place->second.tags += ',';
                place->second.tags += tag.title;
            }
        }
    }

    void Link(const PlacesItem& item, const std::string& schedule) {
        auto place = m_c.places.find(item.fk);
        if (place == m_c.places.end() || TrimView(place->second.url).empty())
            return;
        const std::string_view url = place->second.url;
        if (url.starts_with("place:"))
            return; // Firefox's own saved queries, which no other program can open
        const auto annotation = m_c.descriptions.find(item.id);
        const std::string_view description = annotation != m_c.descriptions.end()
                                                 ? std::string_view(annotation->second)
                                                 : std::string_view(place->second.description);
        m_keywords.KeywordsFor(m_text, item.title, place->second.tags);
        const BookmarkFields fields{.name = item.title,
                                    .url = url,
                                    .keywords = m_text,
                                    .description = TrimView(description),
                                    .statusChecking = 1,
                                    .schedule = schedule,
                                    .status = kStatusWaiting,
                                    .addDate = item.added,
                                    .lastVisited = place->second.lastVisit,
                                    .lastModified = item.modified};
        AddImported(m_doc, m_sink, fields, m_result);
    }

    CBrindleDoc& m_doc;
    const BookmarkSink& m_sink;
    PlacesContent& m_c;
    ImportResult& m_result;
    std::unordered_map<std::int64_t, std::vector<std::size_t>> m_children;
    std::int64_t m_rootId = -1;
    std::int64_t m_tagsRoot = -1;
    FolderKeywords m_keywords;
    std::string m_text;
};

} // namespace

ImportResult ImportFirefoxPlaces(CBrindleDoc& doc, const std::string& path,
                                 const ImportOptions& options) {
    ImportResult result;
    PlacesContent content;
    {
        PlacesDatabase db(options.timeBudget);
        if (!db.Open(path) || !ReadContent(db, content)) {
            result.problems.Add(MessageIcon::Stop, kMsgCannotOpenFile, path);
            return result;
        }
    }
    result.format = FormatId::FirefoxPlaces;
    PlacesWalk(doc, options.sink, content, result).Run();
    return result;
}

} // namespace brindle
