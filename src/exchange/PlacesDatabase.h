#pragma once
// A browser's SQLite database, opened for reading only and never waited for.

#include <QTemporaryDir>

#include <functional>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace brindle {

class PlacesDatabase {
  public:
    PlacesDatabase() = default;
    PlacesDatabase(const PlacesDatabase&) = delete;
    PlacesDatabase& operator=(const PlacesDatabase&) = delete;
    ~PlacesDatabase();

    // Without a -wal file beside it, the database is opened immutable (a running browser's
    // locks are not honoured, nor needed); with one, both are copied to a private folder first
    // so that the latest changes are seen and the browser's files are never touched.
    bool Open(const std::string& path);

    bool HasTable(const char* name);

    // Runs `sql` and calls `row` for each result row; false when the statement fails.
    bool EachRow(const char* sql, const std::function<void(sqlite3_stmt*)>& row);

    // A text column of the current row; empty for NULL.
    static std::string_view ColumnText(sqlite3_stmt* st, int column);

  private:
    bool OpenUri(const std::string& uri, int flags);
    bool OpenCopy(const std::string& path, const std::string& wal);

    sqlite3* m_db = nullptr;
    QTemporaryDir m_copy;
};

} // namespace brindle
