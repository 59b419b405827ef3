#include "exchange/PlacesDatabase.h"

#include <sqlite3.h>

#include <cctype>
#include <filesystem>

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

} // namespace

PlacesDatabase::~PlacesDatabase() {
    if (m_db)
        sqlite3_close(m_db);
}

bool PlacesDatabase::Open(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return false;
    const std::string wal = path + "-wal";
    if (std::filesystem::file_size(wal, ec) > 0 && !ec)
        return OpenCopy(path, wal);
    // No journal to replay: nothing can change under us that we must see, so the file is read
    // as it lies, without taking or honouring locks.
    const std::string uri = "file:" + UriPath(path) + "?immutable=1";
    return OpenUri(uri, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI);
}

bool PlacesDatabase::HasTable(const char* name) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(m_db, "SELECT 1 FROM sqlite_master WHERE type='table' AND name=?", -1,
                           &st, nullptr) != SQLITE_OK)
        return false;
    sqlite3_bind_text(st, 1, name, -1, SQLITE_STATIC);
    const bool found = sqlite3_step(st) == SQLITE_ROW;
    sqlite3_finalize(st);
    return found;
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

bool PlacesDatabase::OpenUri(const std::string& uri, int flags) {
    if (sqlite3_open_v2(uri.c_str(), &m_db, flags, nullptr) != SQLITE_OK) {
        sqlite3_close(m_db);
        m_db = nullptr;
        return false;
    }
    sqlite3_busy_timeout(m_db, 0);
    return true;
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
    return OpenUri("file:" + UriPath(db), SQLITE_OPEN_READWRITE | SQLITE_OPEN_URI);
}

} // namespace brindle
