// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A browser's SQLite database, read as the untrusted input it is: a database file is a program
// as much as data (views, triggers, generated columns), and one from a shared disk, a backup or
// a download may be made to never finish or to fill the memory. It is opened read-only in
// SQLite's defensive mode with an untrusted schema, views and triggers off, no memory mapping,
// cell size checks, a bound on every string and blob, and a time budget for all its statements.

#include <QTemporaryDir>

#include <chrono>
#include <cstddef>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace brindle {

// The longest string or blob a statement may produce: far above any real title or URL, far
// below what would strain the memory.
inline constexpr int kMaxPlacesValueBytes = 16 << 20;

class PlacesDatabase {
  public:
    explicit PlacesDatabase(std::chrono::milliseconds budget);
    PlacesDatabase(const PlacesDatabase&) = delete;
    PlacesDatabase& operator=(const PlacesDatabase&) = delete;
    ~PlacesDatabase();

    // Without a -wal file beside it, the database is opened immutable (a running browser's
    // locks are not honoured, nor needed); with one, both are copied to a private folder first
    // so that the latest changes are seen and the browser's files are never touched, and the
    // copy must pass SQLite's quick check. The budget starts here.
    bool Open(const std::string& path);

    // Whether `table` is an ordinary table (no view, no virtual table) holding each of
    // `columns` as an ordinary column (not generated): the reader reads nothing else.
    bool HasTableWith(const char* table, std::initializer_list<const char*> columns);

    // Runs `sql` and calls `row` for each result row; false when the statement fails, produces
    // a value over the bound or runs past the budget.
    bool EachRow(const char* sql, const std::function<void(sqlite3_stmt*)>& row);

    // A text column of the current row; empty for NULL.
    static std::string_view ColumnText(sqlite3_stmt* st, int column);

  private:
    bool OpenUri(const std::string& uri, int flags);
    bool OpenCopy(const std::string& path, const std::string& wal);
    bool Harden();
    bool QuickCheck();
    static int Progress(void* self);

    sqlite3* m_db = nullptr;
    QTemporaryDir m_copy;
    std::chrono::milliseconds m_budget;
    std::chrono::steady_clock::time_point m_deadline;
};

} // namespace brindle
