// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/PlacesDatabase.h"

#include <sqlite3.h>

#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

namespace brindle {

namespace {

std::string UriPath(const std::string& path) {
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

// Virtual machine steps between two looks at the clock.
constexpr int kProgressSteps = 1000;

// Bounds for what a statement may ask of SQLite beyond string length; the reader's own
// statements and the schemas of real profiles stay far inside them.
constexpr std::pair<int, int> kLimits[] = {
    {SQLITE_LIMIT_LENGTH, kMaxPlacesValueBytes},
    {SQLITE_LIMIT_SQL_LENGTH, 100000},
    {SQLITE_LIMIT_EXPR_DEPTH, 100},
    {SQLITE_LIMIT_COMPOUND_SELECT, 10},
    {SQLITE_LIMIT_VDBE_OP, 100000},
    {SQLITE_LIMIT_FUNCTION_ARG, 16},
    {SQLITE_LIMIT_ATTACHED, 0},
    {SQLITE_LIMIT_LIKE_PATTERN_LENGTH, 100},
    {SQLITE_LIMIT_VARIABLE_NUMBER, 16},
    {SQLITE_LIMIT_TRIGGER_DEPTH, 1},
    {SQLITE_LIMIT_WORKER_THREADS, 0},
};

} // namespace

PlacesDatabase::PlacesDatabase(std::chrono::milliseconds budget) : m_budget(budget) {}

PlacesDatabase::~PlacesDatabase() {
    if (m_db)
        sqlite3_close(m_db);
}

bool PlacesDatabase::Open(const std::string& path) {
    m_deadline = std::chrono::steady_clock::now() + m_budget;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return false;
    const std::string wal = path + "-wal";
    if (std::filesystem::file_size(wal, ec) > 0 && !ec)
        return OpenCopy(path, wal) && QuickCheck();
    // No journal to replay: nothing can change under us that we must see, so the file is read
    // as it lies, without taking or honouring locks.
    const std::string uri = "file:" + UriPath(path) + "?immutable=1";
    return OpenUri(uri, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI);
}

bool PlacesDatabase::OpenUri(const std::string& uri, int flags) {
    if (sqlite3_open_v2(uri.c_str(), &m_db, flags, nullptr) != SQLITE_OK || !Harden()) {
        sqlite3_close(m_db);
        m_db = nullptr;
        return false;
    }
    return true;
}

// Before the first statement reads the schema.
bool PlacesDatabase::Harden() {
    sqlite3_busy_timeout(m_db, 0);
    for (const auto& [option, value] :
         {std::pair{SQLITE_DBCONFIG_DEFENSIVE, 1}, std::pair{SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0},
          std::pair{SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0},
          std::pair{SQLITE_DBCONFIG_ENABLE_TRIGGER, 0},
          std::pair{SQLITE_DBCONFIG_ENABLE_VIEW, 0}}) {
        int now = -1;
        if (sqlite3_db_config(m_db, option, value, &now) != SQLITE_OK || now != value)
            return false;
    }
    for (const auto& [limit, value] : kLimits)
        sqlite3_limit(m_db, limit, value);
    sqlite3_progress_handler(m_db, kProgressSteps, &PlacesDatabase::Progress, this);
    return sqlite3_exec(m_db,
                        "PRAGMA trusted_schema=OFF; PRAGMA mmap_size=0; PRAGMA cell_size_check=ON;",
                        nullptr, nullptr, nullptr) == SQLITE_OK;
}

int PlacesDatabase::Progress(void* self) {
    return std::chrono::steady_clock::now() > static_cast<PlacesDatabase*>(self)->m_deadline;
}

bool PlacesDatabase::OpenCopy(const std::string& path, const std::string& wal) {
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
    // Read-write, so that SQLite can bring the log into the copy; nothing here writes.
    return OpenUri("file:" + UriPath(db), SQLITE_OPEN_READWRITE | SQLITE_OPEN_URI);
}

bool PlacesDatabase::QuickCheck() {
    bool ok = false;
    const bool ran =
        EachRow("PRAGMA quick_check(1)", [&](sqlite3_stmt* st) { ok = ColumnText(st, 0) == "ok"; });
    return ran && ok;
}

bool PlacesDatabase::HasTableWith(const char* table, std::initializer_list<const char*> columns) {
    // One object of that name, and an ordinary table.
    int objects = 0;
    bool ordinary = false;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(m_db,
                           "SELECT type, IFNULL(sql,'') FROM main.sqlite_master "
                           "WHERE name = ?1 COLLATE NOCASE",
                           -1, &st, nullptr) != SQLITE_OK)
        return false;
    sqlite3_bind_text(st, 1, table, -1, SQLITE_STATIC);
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        ++objects;
        const std::string_view type = ColumnText(st, 0);
        const std::string_view sql = ColumnText(st, 1);
        ordinary = type == "table" && !sqlite3_strnicmp(sql.data(), "CREATE TABLE", 12);
    }
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE || objects != 1 || !ordinary)
        return false;

    // Its columns: hidden 0 is an ordinary column; 2 and 3 are generated ones.
    std::vector<std::string> plain;
    st = nullptr;
    if (sqlite3_prepare_v2(m_db, "SELECT name, hidden FROM pragma_table_xinfo(?1, 'main')", -1, &st,
                           nullptr) != SQLITE_OK)
        return false;
    sqlite3_bind_text(st, 1, table, -1, SQLITE_STATIC);
    while ((rc = sqlite3_step(st)) == SQLITE_ROW)
        if (sqlite3_column_int(st, 1) == 0)
            plain.emplace_back(ColumnText(st, 0));
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE)
        return false;
    for (const char* column : columns) {
        bool found = false;
        for (const std::string& name : plain)
            found = found || sqlite3_stricmp(name.c_str(), column) == 0;
        if (!found)
            return false;
    }
    return true;
}

bool PlacesDatabase::EachRow(const char* sql, const std::function<void(sqlite3_stmt*)>& row) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(m_db, sql, -1, &st, nullptr) != SQLITE_OK)
        return false;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW)
        row(st);
    sqlite3_finalize(st);
    return rc == SQLITE_DONE;
}

std::string_view PlacesDatabase::ColumnText(sqlite3_stmt* st, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, column));
    if (!text)
        return {};
    return {text, static_cast<std::size_t>(sqlite3_column_bytes(st, column))};
}

} // namespace brindle
