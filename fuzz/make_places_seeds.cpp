// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the seeds of fuzz_places: small Firefox places databases of the real layout (512-byte
// pages, so that each is a few kilobytes), with and without annotations, tags, nesting, an index
// and the write-ahead-log mode Firefox leaves in the header.
//   make_places_seeds FOLDER

#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

const char* const kSchema =
    "PRAGMA page_size=512;"
    "CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url LONGVARCHAR, title LONGVARCHAR, "
    "last_visit_date INTEGER, guid TEXT);"
    "CREATE TABLE moz_bookmarks (id INTEGER PRIMARY KEY, type INTEGER, fk INTEGER DEFAULT NULL, "
    "parent INTEGER, position INTEGER, title LONGVARCHAR, keyword_id INTEGER, folder_type TEXT, "
    "dateAdded INTEGER, lastModified INTEGER, guid TEXT);"
    "INSERT INTO moz_bookmarks (id, type, parent, position, title, guid) VALUES "
    "(1, 2, 0, 0, '', 'root________'), (2, 2, 1, 0, 'menu', 'menu________'), "
    "(3, 2, 1, 1, 'toolbar', 'toolbar_____'), (4, 2, 1, 2, 'tags', 'tags________'), "
    "(5, 2, 1, 3, 'unfiled', 'unfiled_____');";

const char* const kLinks =
    "INSERT INTO moz_places (id, url, last_visit_date) VALUES "
    "(100, 'https://example.com/a?b=1&c=\"x\"', 1700000000000000), (101, 'https://news.example/', "
    "0), (102, 'https://\xC3\x9C"
    "bung.example/', 0), (103, 'place:sort=8', 0);"
    "INSERT INTO moz_bookmarks (id, type, fk, parent, position, title, dateAdded, lastModified) "
    "VALUES (10, 1, 100, 2, 0, 'Search & Co', 1600000000000000, 1600000005000000), "
    "(11, 3, NULL, 2, 1, '', 0, 0), (12, 2, NULL, 2, 2, 'Work', 0, 0), "
    "(13, 1, 101, 12, 0, 'News', 0, 0), (14, 1, 102, 3, 0, 'Toolbar link', 0, 0), "
    "(15, 1, 103, 3, 1, 'Most Visited', 0, 0);";

const char* const kTags =
    "INSERT INTO moz_bookmarks (id, type, fk, parent, position, title) VALUES "
    "(20, 2, NULL, 4, 0, 'reading'), (21, 1, 101, 20, 0, ''), (22, 2, NULL, 4, 1, 'daily'), "
    "(23, 1, 100, 22, 0, '');";

const char* const kAnnotations =
    "CREATE TABLE moz_anno_attributes (id INTEGER PRIMARY KEY, name VARCHAR(32));"
    "CREATE TABLE moz_items_annos (id INTEGER PRIMARY KEY, item_id INTEGER, anno_attribute_id "
    "INTEGER, content LONGVARCHAR);"
    "INSERT INTO moz_anno_attributes VALUES (1, 'bookmarkProperties/description');"
    "INSERT INTO moz_items_annos (item_id, anno_attribute_id, content) VALUES (13, 1, 'Paper');";

const char* const kNesting =
    "INSERT INTO moz_bookmarks (id, type, fk, parent, position, title) WITH RECURSIVE "
    "n(i) AS (SELECT 30 UNION ALL SELECT i + 1 FROM n WHERE i < 45) "
    "SELECT i, 2, NULL, CASE i WHEN 30 THEN 5 ELSE i - 1 END, 0, 'Level ' || i FROM n;"
    "INSERT INTO moz_bookmarks (id, type, fk, parent, position, title) VALUES "
    "(50, 1, 101, 45, 0, 'Deep link');";

const char* const kIndex = "CREATE INDEX url_index ON moz_places (url);";
const char* const kWalMode = "PRAGMA journal_mode=WAL;";

bool Write(const std::filesystem::path& file, const std::string& sql) {
    std::filesystem::remove(file);
    sqlite3* db = nullptr;
    char* error = nullptr;
    const bool ok = sqlite3_open(file.c_str(), &db) == SQLITE_OK &&
                    sqlite3_exec(db, (kSchema + sql + "VACUUM;").c_str(), nullptr, nullptr,
                                 &error) == SQLITE_OK;
    if (!ok)
        std::fprintf(stderr, "%s: %s\n", file.c_str(), error ? error : sqlite3_errmsg(db));
    sqlite3_free(error);
    sqlite3_close(db); // a database in log mode is checkpointed and its log removed
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    const std::string links = kLinks;
    const bool ok =
        Write(folder / "roots.sqlite", "") && Write(folder / "links.sqlite", links) &&
        Write(folder / "tags.sqlite", links + kTags) &&
        Write(folder / "annotations.sqlite", links + kTags + kAnnotations) &&
        Write(folder / "nested.sqlite", links + kNesting) &&
        Write(folder / "firefox.sqlite", links + kTags + kAnnotations + kIndex + kWalMode);
    return ok ? 0 : 1;
}
