// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A Firefox places database made by a test: the schema's tables with the columns the reader
// reads, the five roots, and the usual tree of links, folders, tags and a description.

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <cstdint>
#include <string>

namespace testutil {

inline constexpr std::int64_t kSecond = 1000000; // Firefox stores microseconds

// A places database with the schema's tables and the columns the reader reads.
class PlacesFixture {
  public:
    explicit PlacesFixture(const std::string& path) {
        EXPECT_EQ(sqlite3_open(path.c_str(), &m_db), SQLITE_OK);
        Exec("CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url LONGVARCHAR, title "
             "LONGVARCHAR, last_visit_date INTEGER, guid TEXT);"
             "CREATE TABLE moz_bookmarks (id INTEGER PRIMARY KEY, type INTEGER, fk INTEGER "
             "DEFAULT NULL, parent INTEGER, position INTEGER, title LONGVARCHAR, keyword_id "
             "INTEGER, folder_type TEXT, dateAdded INTEGER, lastModified INTEGER, guid TEXT);"
             "CREATE TABLE moz_anno_attributes (id INTEGER PRIMARY KEY, name VARCHAR(32));"
             "CREATE TABLE moz_items_annos (id INTEGER PRIMARY KEY, item_id INTEGER, "
             "anno_attribute_id INTEGER, content LONGVARCHAR);"
             "INSERT INTO moz_anno_attributes VALUES (1, 'bookmarkProperties/description');");
        Folder(1, 0, 0, "", "root________");
        Folder(2, 1, 0, "menu", "menu________");
        Folder(3, 1, 1, "toolbar", "toolbar_____");
        Folder(4, 1, 2, "tags", "tags________");
        Folder(5, 1, 3, "unfiled", "unfiled_____");
    }
    ~PlacesFixture() { sqlite3_close(m_db); }

    void Exec(const std::string& sql) {
        char* error = nullptr;
        EXPECT_EQ(sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK)
            << (error ? error : "") << "\n"
            << sql;
        sqlite3_free(error);
    }
    void Folder(int id, int parent, int position, const std::string& title,
                const std::string& guid = "") {
        Item(id, 2, 0, parent, position, title, guid);
    }
    void Item(int id, int type, int fk, int parent, int position, const std::string& title,
              const std::string& guid = "", std::int64_t added = 0) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(m_db,
                           "INSERT INTO moz_bookmarks (id, type, fk, parent, position, title, "
                           "dateAdded, lastModified, guid) VALUES (?,?,?,?,?,?,?,?,?)",
                           -1, &st, nullptr);
        sqlite3_bind_int(st, 1, id);
        sqlite3_bind_int(st, 2, type);
        if (fk)
            sqlite3_bind_int(st, 3, fk);
        sqlite3_bind_int(st, 4, parent);
        sqlite3_bind_int(st, 5, position);
        sqlite3_bind_text(st, 6, title.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(st, 7, added);
        sqlite3_bind_int64(st, 8, added ? added + 5 * kSecond : 0);
        sqlite3_bind_text(st, 9, guid.c_str(), -1, SQLITE_TRANSIENT);
        EXPECT_EQ(sqlite3_step(st), SQLITE_DONE);
        sqlite3_finalize(st);
    }
    void Place(int id, const std::string& url, std::int64_t lastVisit = 0) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(m_db, "INSERT INTO moz_places (id, url, last_visit_date) VALUES (?,?,?)",
                           -1, &st, nullptr);
        sqlite3_bind_int(st, 1, id);
        sqlite3_bind_text(st, 2, url.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(st, 3, lastVisit);
        EXPECT_EQ(sqlite3_step(st), SQLITE_DONE);
        sqlite3_finalize(st);
    }
    // moz_places becomes a view that never ends: a database made to hang its reader.
    void MakePlacesAnEndlessView() {
        Exec("DROP TABLE moz_places; CREATE VIEW moz_places AS WITH RECURSIVE r(id) AS (SELECT 1 "
             "UNION ALL SELECT id + 1 FROM r) SELECT id, 'http://x/' AS url, 0 AS "
             "last_visit_date FROM r;");
    }
    sqlite3* Db() const { return m_db; }

  private:
    sqlite3* m_db = nullptr;
};

// The usual tree: links in the menu, the toolbar, nested folders, tags, a separator, an empty
// folder, a description and Firefox's own "place:" queries.
inline void FillPlaces(PlacesFixture& f) {
    f.Place(100, "https://example.com/Search?a=1&b=\"x\"", 1700000000 * kSecond + 999);
    f.Place(101, "https://news.example/");
    f.Place(102, "https://Übung.example/Straße");
    f.Place(103, "place:sort=8&maxResults=10");
    f.Item(10, 1, 100, 2, 0, "Search & \"Quotes\"", "", 1600000000 * kSecond);
    f.Item(11, 3, 0, 2, 1, "");       // separator
    f.Folder(12, 2, 2, "Work Stuff"); // menu/Work Stuff
    f.Folder(13, 12, 0, "Deep");      // menu/Work Stuff/Deep
    f.Item(14, 1, 101, 13, 0, "News Site");
    f.Folder(15, 12, 1, "Empty");
    f.Item(16, 1, 102, 3, 0, "Übung Straße"); // toolbar
    f.Item(17, 1, 103, 3, 1, "Most Visited");
    // Tags: folders under the tags root holding bookmarks of the tagged place.
    f.Folder(20, 4, 0, "Reading");
    f.Item(21, 1, 101, 20, 0, "");
    f.Folder(22, 4, 1, "Daily");
    f.Item(23, 1, 101, 22, 0, "");
    f.Exec("INSERT INTO moz_items_annos (item_id, anno_attribute_id, content) VALUES "
           "(14, 1, '  Morning paper  ')");
}

} // namespace testutil
