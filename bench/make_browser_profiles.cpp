// SPDX-License-Identifier: GPL-3.0-or-later
// Writes a Firefox places.sqlite and a Chromium Bookmarks file of COUNT bookmarks each, spread
// over nested folders with tags, as a browser profile holds them:
//   make_browser_profiles FOLDER [COUNT]      (default 100000)

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <sqlite3.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

constexpr int kPerFolder = 50;  // links per folder
constexpr int kFoldersDeep = 4; // folders nest this deep, then start again at the top

std::string Url(std::size_t i) {
    return "https://site" + std::to_string(i % 9973) + ".example.com/path/" + std::to_string(i) +
           "?q=" + std::to_string(i * 7) + "&lang=en";
}

std::string Title(std::size_t i) {
    static const char* const kWords[] = {"Linux",  "Guide", "Rezept", "Café",  "News", "Python",
                                         "Kernel", "Wiki",  "Blog",   "Forum", "Docs", "Music"};
    return std::string(kWords[i % 12]) + " " + kWords[(i / 12) % 12] + " " + std::to_string(i);
}

bool Exec(sqlite3* db, const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "sqlite: %s\n", error ? error : "?");
        sqlite3_free(error);
        return false;
    }
    return true;
}

bool WritePlaces(const std::string& path, std::size_t count) {
    std::filesystem::remove(path);
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK)
        return false;
    bool ok =
        Exec(db, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; BEGIN;"
                 "CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url LONGVARCHAR, title "
                 "LONGVARCHAR, rev_host LONGVARCHAR, visit_count INTEGER DEFAULT 0, "
                 "last_visit_date INTEGER, guid TEXT, url_hash INTEGER DEFAULT 0 NOT NULL);"
                 "CREATE TABLE moz_bookmarks (id INTEGER PRIMARY KEY, type INTEGER, fk INTEGER "
                 "DEFAULT NULL, parent INTEGER, position INTEGER, title LONGVARCHAR, keyword_id "
                 "INTEGER, folder_type TEXT, dateAdded INTEGER, lastModified INTEGER, guid "
                 "TEXT, syncStatus INTEGER NOT NULL DEFAULT 0, syncChangeCounter INTEGER NOT "
                 "NULL DEFAULT 1);"
                 "CREATE INDEX moz_bookmarks_itemindex ON moz_bookmarks (fk, type);"
                 "CREATE INDEX moz_bookmarks_parentindex ON moz_bookmarks (parent, position);"
                 "INSERT INTO moz_bookmarks (id, type, parent, position, title, guid) VALUES"
                 " (1, 2, 0, 0, '', 'root________'), (2, 2, 1, 0, 'menu', 'menu________'),"
                 " (3, 2, 1, 1, 'toolbar', 'toolbar_____'), (4, 2, 1, 2, 'tags', "
                 "'tags________'), (5, 2, 1, 3, 'unfiled', 'unfiled_____');"
                 "INSERT INTO moz_bookmarks (id, type, parent, position, title) VALUES"
                 " (6, 2, 4, 0, 'reading'), (7, 2, 4, 1, 'work');");
    sqlite3_stmt* place = nullptr;
    sqlite3_stmt* item = nullptr;
    ok = ok &&
         sqlite3_prepare_v2(db,
                            "INSERT INTO moz_places (id, url, title, last_visit_date) VALUES "
                            "(?,?,?,?)",
                            -1, &place, nullptr) == SQLITE_OK &&
         sqlite3_prepare_v2(db,
                            "INSERT INTO moz_bookmarks (id, type, fk, parent, position, "
                            "title, dateAdded, lastModified) VALUES (?,?,?,?,?,?,?,?)",
                            -1, &item, nullptr) == SQLITE_OK;
    std::int64_t nextId = 100;
    std::int64_t folder = 2;
    int depth = 0;
    int inFolder = kPerFolder;
    int tagPosition = 0;
    const std::int64_t base = 1600000000LL * 1000000;
    auto insertItem = [&](std::int64_t id, int type, std::int64_t fk, std::int64_t parent,
                          int position, const std::string& title, std::int64_t added) {
        sqlite3_bind_int64(item, 1, id);
        sqlite3_bind_int(item, 2, type);
        if (fk)
            sqlite3_bind_int64(item, 3, fk);
        else
            sqlite3_bind_null(item, 3);
        sqlite3_bind_int64(item, 4, parent);
        sqlite3_bind_int(item, 5, position);
        sqlite3_bind_text(item, 6, title.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(item, 7, added);
        sqlite3_bind_int64(item, 8, added);
        ok = ok && sqlite3_step(item) == SQLITE_DONE;
        sqlite3_reset(item);
    };
    for (std::size_t i = 0; ok && i < count; ++i) {
        if (inFolder == kPerFolder) {
            // A new folder: one level deeper, or back to the top after kFoldersDeep levels.
            const std::int64_t parent = depth == kFoldersDeep ? (i % 2 ? 2 : 3) : folder;
            depth = depth == kFoldersDeep ? 1 : depth + 1;
            folder = nextId++;
            insertItem(folder, 2, 0, parent, static_cast<int>(i % 1000),
                       "Folder " + std::to_string(folder), base);
            inFolder = 0;
        }
        const std::int64_t placeId = static_cast<std::int64_t>(i) + 1;
        sqlite3_bind_int64(place, 1, placeId);
        const std::string url = Url(i);
        sqlite3_bind_text(place, 2, url.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_null(place, 3);
        sqlite3_bind_int64(place, 4, base + static_cast<std::int64_t>(i) * 1000000);
        ok = ok && sqlite3_step(place) == SQLITE_DONE;
        sqlite3_reset(place);
        insertItem(nextId++, 1, placeId, folder, inFolder++, Title(i),
                   base + static_cast<std::int64_t>(i) * 1000000);
        if (i % 10 == 0) // every tenth link is tagged
            insertItem(nextId++, 1, placeId, i % 20 ? 6 : 7, tagPosition++, "", base);
    }
    sqlite3_finalize(place);
    sqlite3_finalize(item);
    ok = ok && Exec(db, "COMMIT;");
    sqlite3_close(db);
    return ok;
}

bool WriteBookmarks(const std::string& path, std::size_t count) {
    constexpr std::int64_t kChromiumBase = 13300000000000000; // µs since 1601
    QJsonObject bar{{"type", "folder"}, {"name", "Bookmarks bar"}, {"children", QJsonArray()}};
    QJsonObject other{{"type", "folder"}, {"name", "Other bookmarks"}, {"children", QJsonArray()}};
    // Folders kFoldersDeep deep, each of kPerFolder links, built from the inside out.
    QJsonArray top[2];
    std::size_t i = 0;
    while (i < count) {
        QJsonObject chain;
        for (int level = kFoldersDeep; level >= 1 && i < count; --level) {
            QJsonArray children;
            if (!chain.isEmpty())
                children.append(chain);
            for (int k = 0; k < kPerFolder && i < count; ++k, ++i)
                children.append(QJsonObject{
                    {"type", "url"},
                    {"name", QString::fromStdString(Title(i))},
                    {"url", QString::fromStdString(Url(i))},
                    {"date_added",
                     QString::number(kChromiumBase + static_cast<std::int64_t>(i) * 1000000)},
                    {"id", QString::number(i + 10)}});
            chain = QJsonObject{{"type", "folder"},
                                {"name", QStringLiteral("Folder %1 %2").arg(i).arg(level)},
                                {"children", children}};
        }
        top[i % 2].append(chain);
    }
    bar["children"] = top[0];
    other["children"] = top[1];
    const QJsonObject root{
        {"checksum", "0"},
        {"version", 1},
        {"roots", QJsonObject{{"bookmark_bar", bar},
                              {"other", other},
                              {"synced", QJsonObject{{"type", "folder"},
                                                     {"name", "Mobile bookmarks"},
                                                     {"children", QJsonArray()}}}}}};
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const QByteArray json = QJsonDocument(root).toJson(QJsonDocument::Indented);
    out.write(json.constData(), json.size());
    return static_cast<bool>(out);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_browser_profiles FOLDER [COUNT]\n");
        return 2;
    }
    const std::string folder = argv[1];
    const std::size_t count = argc > 2 ? std::stoul(argv[2]) : 100000;
    std::filesystem::create_directories(folder);
    if (!WritePlaces(folder + "/places.sqlite", count) ||
        !WriteBookmarks(folder + "/Bookmarks", count)) {
        std::fprintf(stderr, "make_browser_profiles: cannot write into %s\n", folder.c_str());
        return 1;
    }
    return 0;
}
