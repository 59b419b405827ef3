// Reading Firefox's places database and Chromium's Bookmarks file.

#include "exchange/BrowserBookmarks.h"

#include "exchange/ExchangeFiles.h"
#include "exchange/TextCodec.h"
#include "store/BrindleDoc.h"
#include "store/TextUtil.h"

#include <QByteArray>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <unordered_map>
#include <vector>

namespace brindle {

namespace {

// Folder names that may join a link's keyword text, in bytes, as for a Netscape file.
constexpr std::size_t kMaxFolderKeywordBytes = 1024;

std::string ScheduleFor(CBrindleDoc& doc) {
    return doc.DefaultScheduleOrNone();
}

// False when the document refused the bookmark (a duplicate of name and URL).
bool Deliver(CBrindleDoc& doc, const BookmarkSink& sink, const BookmarkFields& fields) {
    if (!sink)
        return doc.AddBookmark(fields);
    sink(fields);
    return true;
}

// Browsers show an untitled bookmark by its address; a bookmark needs a name.
std::string_view NameOrUrl(std::string_view title, std::string_view url) {
    return TrimView(title).empty() ? url : title;
}

} // namespace

// --- Keywords from folders -------------------------------------------------------------------

void FolderKeywords::Push(std::string_view folderName) {
    m_marks.push_back(m_prefix.size());
    const std::string piece = ToLower(TrimView(folderName));
    if (!piece.empty() && m_prefix.size() + piece.size() + 1 <= kMaxFolderKeywordBytes) {
        m_prefix += piece;
        m_prefix += ' ';
    }
}

void FolderKeywords::Pop() {
    if (m_marks.empty())
        return;
    m_prefix.resize(m_marks.back());
    m_marks.pop_back();
}

const std::string& FolderKeywords::For(std::string_view name, std::string_view tags) {
    m_text.assign(m_prefix);
    AppendLower(m_text, name);
    if (!tags.empty()) {
        // Tag lists are comma-separated; the keyword rules would drop a word before a comma.
        m_text += ' ';
        const std::size_t from = m_text.size();
        AppendLower(m_text, tags);
        std::replace(m_text.begin() + static_cast<std::ptrdiff_t>(from), m_text.end(), ',', ' ');
    }
    return m_text;
}

// --- Detection ---------------------------------------------------------------------------------

BrowserFileKind DetectBrowserFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return BrowserFileKind::None;
    std::string head(4096, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(in.gcount()));
    constexpr std::string_view kSqliteMagic{"SQLite format 3\0", 16};
    if (std::string_view(head).substr(0, kSqliteMagic.size()) == kSqliteMagic)
        return BrowserFileKind::FirefoxPlaces;
    std::string_view text = SkipUtf8Bom(head);
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first != std::string_view::npos && text[first] == '{' &&
        text.find("\"roots\"") != std::string_view::npos)
        return BrowserFileKind::ChromiumBookmarks;
    return BrowserFileKind::None;
}

// --- Firefox places --------------------------------------------------------------------------

namespace {

constexpr std::int64_t kMicrosPerSecond = 1000000;

// The database, open for reading only.
class PlacesDatabase {
  public:
    ~PlacesDatabase() {
        if (m_db)
            sqlite3_close(m_db);
    }

    bool Open(const std::string& path) {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(path, ec))
            return false;
        const std::string wal = path + "-wal";
        if (std::filesystem::file_size(wal, ec) > 0 && !ec)
            return OpenCopy(path, wal);
        // No journal to replay: nothing can change under us that we must see, so the file is
        // read as it lies, without taking or honouring locks.
        const std::string uri = "file:" + UriPath(path) + "?immutable=1";
        return OpenUri(uri, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI);
    }

    sqlite3* Handle() const { return m_db; }

    bool HasTable(const char* name) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(m_db, "SELECT 1 FROM sqlite_master WHERE type='table' AND name=?",
                               -1, &st, nullptr) != SQLITE_OK)
            return false;
        sqlite3_bind_text(st, 1, name, -1, SQLITE_STATIC);
        const bool found = sqlite3_step(st) == SQLITE_ROW;
        sqlite3_finalize(st);
        return found;
    }

  private:
    static std::string UriPath(const std::string& path) {
        static const char* kHex = "0123456789ABCDEF";
        std::string out;
        for (const char ch : path) {
            const auto c = static_cast<unsigned char>(ch);
            if (std::isalnum(c) || c == '/' || c == '-' || c == '.' || c == '_' || c == '~') {
                out += ch;
            } else {
                out += '%';
                out += kHex[c >> 4];
                out += kHex[c & 15];
            }
        }
        return out;
    }

    bool OpenUri(const std::string& uri, int flags) {
        if (sqlite3_open_v2(uri.c_str(), &m_db, flags, nullptr) != SQLITE_OK) {
            sqlite3_close(m_db);
            m_db = nullptr;
            return false;
        }
        sqlite3_busy_timeout(m_db, 0);
        return true;
    }

    // A database with changes still in its write-ahead log: a private copy of both is read, so
    // that the browser's own files are never touched.
    bool OpenCopy(const std::string& path, const std::string& wal) {
        if (!m_copy.isValid())
            return false;
        const std::string folder = m_copy.path().toStdString();
        const std::string db = folder + "/places.sqlite";
        std::error_code ec;
        std::filesystem::copy_file(path, db, ec);
        if (ec)
            return false;
        std::filesystem::copy_file(wal, db + "-wal", ec);
        if (ec)
            return false;
        return OpenUri("file:" + UriPath(db), SQLITE_OPEN_READWRITE | SQLITE_OPEN_URI);
    }

    sqlite3* m_db = nullptr;
    QTemporaryDir m_copy;
};

std::string_view ColumnText(sqlite3_stmt* st, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, column));
    if (!text)
        return {};
    return {text, static_cast<std::size_t>(sqlite3_column_bytes(st, column))};
}

BrxTime MicrosToSeconds(std::int64_t micros) {
    return micros <= 0 ? 0 : static_cast<BrxTime>(micros / kMicrosPerSecond);
}

// Runs `sql` and calls `row` for each result row; false when the statement fails.
template <typename Row> bool EachRow(sqlite3* db, const char* sql, Row row) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK)
        return false;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW)
        row(st);
    sqlite3_finalize(st);
    return rc == SQLITE_DONE;
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
    std::string tags; // comma-separated
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

} // namespace

int ImportFirefoxPlaces(CBrindleDoc& doc, const std::string& path, ExchangeReport& report,
                        const BookmarkSink& sink) {
    PlacesDatabase db;
    std::vector<PlacesItem> items;
    std::unordered_map<std::int64_t, Place> places;
    const bool read =
        db.Open(path) &&
        EachRow(db.Handle(),
                "SELECT id, IFNULL(parent,0), IFNULL(position,0), IFNULL(fk,0), IFNULL(type,0), "
                "IFNULL(title,''), IFNULL(guid,''), IFNULL(dateAdded,0), IFNULL(lastModified,0) "
                "FROM moz_bookmarks",
                [&](sqlite3_stmt* st) {
                    PlacesItem item;
                    item.id = sqlite3_column_int64(st, 0);
                    item.parent = sqlite3_column_int64(st, 1);
                    item.position = sqlite3_column_int64(st, 2);
                    item.fk = sqlite3_column_int64(st, 3);
                    item.type = sqlite3_column_int(st, 4);
                    item.title = ColumnText(st, 5);
                    item.guid = ColumnText(st, 6);
                    item.added = MicrosToSeconds(sqlite3_column_int64(st, 7));
                    item.modified = MicrosToSeconds(sqlite3_column_int64(st, 8));
                    items.push_back(std::move(item));
                }) &&
        EachRow(db.Handle(),
                "SELECT id, IFNULL(url,''), IFNULL(last_visit_date,0) FROM moz_places "
                "WHERE id IN (SELECT fk FROM moz_bookmarks)",
                [&](sqlite3_stmt* st) {
                    Place& p = places[sqlite3_column_int64(st, 0)];
                    p.url = ColumnText(st, 1);
                    p.lastVisit = MicrosToSeconds(sqlite3_column_int64(st, 2));
                });
    if (!read) {
        report.Add(MessageIcon::Stop, kMsgCannotOpenFile, path);
        return -1;
    }

    // Descriptions lived in item annotations until Firefox dropped them; older profiles have them.
    std::unordered_map<std::int64_t, std::string> descriptions;
    if (db.HasTable("moz_items_annos") && db.HasTable("moz_anno_attributes"))
        EachRow(db.Handle(),
                "SELECT a.item_id, IFNULL(a.content,'') FROM moz_items_annos a "
                "JOIN moz_anno_attributes n ON a.anno_attribute_id = n.id "
                "WHERE n.name = 'bookmarkProperties/description'",
                [&](sqlite3_stmt* st) {
                    descriptions[sqlite3_column_int64(st, 0)] = ColumnText(st, 1);
                });

    // Children of each folder in their order.
    std::unordered_map<std::int64_t, std::vector<std::size_t>> children;
    std::unordered_map<std::int64_t, std::size_t> byId;
    for (std::size_t i = 0; i < items.size(); ++i) {
        children[items[i].parent].push_back(i);
        byId[items[i].id] = i;
    }
    for (auto& [parent, list] : children)
        std::sort(list.begin(), list.end(), [&](std::size_t a, std::size_t b) {
            return items[a].position != items[b].position ? items[a].position < items[b].position
                                                          : items[a].id < items[b].id;
        });

    // Tags are folders under the tags root holding bookmarks of the tagged places.
    std::int64_t rootId = -1;
    std::int64_t tagsRoot = -1;
    for (const PlacesItem& item : items) {
        if (item.guid == "root________")
            rootId = item.id;
        else if (item.guid == "tags________")
            tagsRoot = item.id;
    }
    if (rootId < 0) {
        // A database without the usual root: the folder nobody holds.
        for (const PlacesItem& item : items)
            if (item.type == 2 && !byId.contains(item.parent)) {
                rootId = item.id;
                break;
            }
    }
    if (auto tagFolders = children.find(tagsRoot); tagFolders != children.end()) {
        for (std::size_t t : tagFolders->second) {
            const PlacesItem& tag = items[t];
            auto tagged = children.find(tag.id);
            if (tag.type != 2 || tag.title.empty() || tagged == children.end())
                continue;
            for (std::size_t b : tagged->second) {
                auto place = places.find(items[b].fk);
                if (place == places.end())
                    continue;
                if (!place->second.tags.empty())
                    place->second.tags += ',';
                place->second.tags += tag.title;
            }
        }
    }

    const std::string schedule = ScheduleFor(doc);
    FolderKeywords keywords;
    int added = 0;
    // Depth-first, with an explicit stack: (folder's children, next child).
    struct Frame {
        const std::vector<std::size_t>* list;
        std::size_t next;
    };
    std::vector<Frame> stack;
    auto enter = [&](std::int64_t folder) {
        auto it = children.find(folder);
        static const std::vector<std::size_t> kNone;
        stack.push_back({it == children.end() ? &kNone : &it->second, 0});
    };
    enter(rootId);
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next == top.list->size()) {
            stack.pop_back();
            if (!stack.empty())
                keywords.Pop();
            continue;
        }
        const PlacesItem& item = items[(*top.list)[top.next++]];
        if (item.type == 2) {
            if (item.id == tagsRoot || item.id == rootId)
                continue;
            keywords.Push(stack.size() == 1 ? RootFolderName(item.guid, item.title)
                                            : std::string_view(item.title));
            enter(item.id);
            continue;
        }
        if (item.type != 1)
            continue; // separators
        auto place = places.find(item.fk);
        if (place == places.end() || TrimView(place->second.url).empty())
            continue;
        const std::string_view url = place->second.url;
        if (url.starts_with("place:"))
            continue; // Firefox's own saved queries, which no other program can open
        auto description = descriptions.find(item.id);
        const BookmarkFields fields{.name = item.title,
                                    .url = url,
                                    .keywords = keywords.For(item.title, place->second.tags),
                                    .description = description == descriptions.end()
                                                       ? std::string_view()
                                                       : TrimView(description->second),
                                    .statusChecking = 1,
                                    .schedule = schedule,
                                    .status = kStatusWaiting,
                                    .addDate = item.added,
                                    .lastVisited = place->second.lastVisit,
                                    .lastModified = item.modified};
        if (Deliver(doc, sink, fields))
            ++added;
    }
    return added;
}

// --- Chromium Bookmarks --------------------------------------------------------------------

BrxTime ChromiumTimeToSeconds(std::int64_t micros) {
    // Seconds between 1601-01-01 and 1970-01-01.
    constexpr std::int64_t kEpochOffset = 11644473600;
    if (micros <= 0)
        return 0;
    const std::int64_t seconds = micros / kMicrosPerSecond - kEpochOffset;
    return seconds > 0 ? static_cast<BrxTime>(seconds) : 0;
}

namespace {

std::int64_t ChromiumTime(const QJsonValue& value) {
    // Written as a decimal string (the numbers pass 2^53).
    if (value.isString())
        return value.toString().toLongLong();
    return static_cast<std::int64_t>(value.toDouble());
}

class ChromiumWalk {
  public:
    ChromiumWalk(CBrindleDoc& doc, const BookmarkSink& sink)
        : m_doc(doc), m_sink(sink), m_schedule(ScheduleFor(doc)) {}

    void Node(const QJsonObject& node) {
        const QString type = node.value(QLatin1String("type")).toString();
        const std::string title = node.value(QLatin1String("name")).toString().toStdString();
        if (type == QLatin1String("folder")) {
            Folder(node, title);
        } else if (type == QLatin1String("url")) {
            const std::string url = node.value(QLatin1String("url")).toString().toStdString();
            if (TrimView(url).empty())
                return;
            const std::string_view name = NameOrUrl(title, url);
            const BookmarkFields fields{.name = name,
                                        .url = url,
                                        .keywords = m_keywords.For(name, {}),
                                        .statusChecking = 1,
                                        .schedule = m_schedule,
                                        .status = kStatusWaiting,
                                        .addDate = ChromiumTimeToSeconds(
                                            ChromiumTime(node.value(QLatin1String("date_added")))),
                                        .lastVisited = ChromiumTimeToSeconds(ChromiumTime(
                                            node.value(QLatin1String("date_last_used")))),
                                        .lastModified = 0};
            if (Deliver(m_doc, m_sink, fields))
                ++m_added;
        }
    }

    void Folder(const QJsonObject& folder, std::string_view name) {
        m_keywords.Push(name);
        const QJsonArray list = folder.value(QLatin1String("children")).toArray();
        for (const QJsonValue& child : list)
            if (child.isObject())
                Node(child.toObject());
        m_keywords.Pop();
    }

    int Added() const { return m_added; }

  private:
    CBrindleDoc& m_doc;
    const BookmarkSink& m_sink;
    std::string m_schedule;
    FolderKeywords m_keywords;
    int m_added = 0;
};

} // namespace

int ReadChromiumBookmarksText(CBrindleDoc& doc, std::string_view json, const BookmarkSink& sink) {
    json = SkipUtf8Bom(json);
    QJsonParseError error;
    const QJsonDocument parsed = QJsonDocument::fromJson(
        QByteArray::fromRawData(json.data(), static_cast<qsizetype>(json.size())), &error);
    if (error.error != QJsonParseError::NoError || !parsed.isObject())
        return -1;
    const QJsonValue roots = parsed.object().value(QLatin1String("roots"));
    if (!roots.isObject())
        return -1;
    const QJsonObject rootObject = roots.toObject();
    ChromiumWalk walk(doc, sink);
    // The three roots in the order the browser shows them; each is a folder of its own name.
    for (const char* key : {"bookmark_bar", "other", "synced"}) {
        const QJsonValue root = rootObject.value(QLatin1String(key));
        if (root.isObject())
            walk.Folder(root.toObject(),
                        root.toObject().value(QLatin1String("name")).toString().toStdString());
    }
    return walk.Added();
}

int ImportChromiumBookmarks(CBrindleDoc& doc, const std::string& path, ExchangeReport& report,
                            const BookmarkSink& sink) {
    std::string bytes;
    int added = -1;
    if (ReadWholeFile(path, bytes))
        added = ReadChromiumBookmarksText(doc, bytes, sink);
    if (added < 0)
        report.Add(MessageIcon::Stop, kMsgCannotOpenFile, path);
    return added;
}

} // namespace brindle
