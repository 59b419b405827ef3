// SPDX-License-Identifier: GPL-3.0-or-later
#include "archive/PageArchive.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <sqlite3.h>
#include <zstd.h>

namespace brindle {

namespace {

// Texts larger than this are no page this archive wrote.
constexpr unsigned long long kMaxTextBytes = 16ull * 1024 * 1024;
constexpr int kCompressionLevel = 3;
constexpr int kSnippetWords = 16;

std::string Compress(std::string_view text) {
    thread_local std::unique_ptr<ZSTD_CCtx, decltype(&ZSTD_freeCCtx)> context(ZSTD_createCCtx(),
                                                                              ZSTD_freeCCtx);
    std::string out(ZSTD_compressBound(text.size()), '\0');
    const std::size_t n = ZSTD_compressCCtx(context.get(), out.data(), out.size(), text.data(),
                                            text.size(), kCompressionLevel);
    if (ZSTD_isError(n))
        return {};
    out.resize(n);
    return out;
}

std::optional<std::string> Decompress(const void* data, std::size_t size) {
    const unsigned long long length = ZSTD_getFrameContentSize(data, size);
    if (length == ZSTD_CONTENTSIZE_ERROR || length == ZSTD_CONTENTSIZE_UNKNOWN ||
        length > kMaxTextBytes)
        return std::nullopt;
    std::string out(static_cast<std::size_t>(length), '\0');
    const std::size_t n = ZSTD_decompress(out.data(), out.size(), data, size);
    if (ZSTD_isError(n) || n != out.size())
        return std::nullopt;
    return out;
}

// page_body(blob): the stored text, for the view the index reads.
void PageBodyFunction(sqlite3_context* context, int, sqlite3_value** args) {
    const void* data = sqlite3_value_blob(args[0]);
    const int size = sqlite3_value_bytes(args[0]);
    if (!data || size <= 0) {
        sqlite3_result_text(context, "", 0, SQLITE_STATIC);
        return;
    }
    const unsigned long long length =
        ZSTD_getFrameContentSize(data, static_cast<std::size_t>(size));
    if (length == ZSTD_CONTENTSIZE_ERROR || length == ZSTD_CONTENTSIZE_UNKNOWN ||
        length > kMaxTextBytes) {
        sqlite3_result_error(context, "damaged page text", -1);
        return;
    }
    char* text = static_cast<char*>(sqlite3_malloc64(length + 1));
    if (!text) {
        sqlite3_result_error_nomem(context);
        return;
    }
    const std::size_t n = ZSTD_decompress(text, length, data, static_cast<std::size_t>(size));
    if (ZSTD_isError(n) || n != length) {
        sqlite3_free(text);
        sqlite3_result_error(context, "damaged page text", -1);
        return;
    }
    sqlite3_result_text64(context, text, length, sqlite3_free, SQLITE_UTF8);
}

bool IsWordByte(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c >= 0x80;
}

// The words of `text` (runs of letters, digits and non-ASCII characters) joined by blanks.
std::string WordsOf(std::string_view text) {
    std::string out;
    bool gap = false;
    for (char ch : text) {
        if (!IsWordByte(static_cast<unsigned char>(ch))) {
            gap = !out.empty();
            continue;
        }
        if (gap)
            out += ' ';
        gap = false;
        out += ch;
    }
    return out;
}

std::string ColumnText(sqlite3_stmt* stmt, int column) {
    const auto* text = sqlite3_column_text(stmt, column);
    return text ? std::string(reinterpret_cast<const char*>(text),
                              static_cast<std::size_t>(sqlite3_column_bytes(stmt, column)))
                : std::string();
}

struct Statement {
    sqlite3_stmt* stmt = nullptr;
    ~Statement() { sqlite3_finalize(stmt); }
};

constexpr const char* kSchema = R"(
CREATE TABLE IF NOT EXISTS page(
  id INTEGER PRIMARY KEY,
  url TEXT NOT NULL UNIQUE,
  final_url TEXT NOT NULL,
  fetched INTEGER NOT NULL,
  title TEXT NOT NULL,
  body BLOB NOT NULL);
CREATE VIEW IF NOT EXISTS page_text(id, title, body) AS
  SELECT id, title, page_body(body) FROM page;
CREATE VIRTUAL TABLE IF NOT EXISTS page_index USING fts5(
  title, body, content='page_text', content_rowid='id',
  tokenize='unicode61 remove_diacritics 2');
INSERT INTO page_index(page_index, rank) VALUES('rank', 'bm25(8.0, 1.0)');
)";

} // namespace

struct PageArchive::Statements {
    Statement find, insert, update, unindex, index, get, count;
};

std::string IndexQuery(std::string_view text, std::string* error) {
    std::string out;
    bool words = false;
    const auto add = [&](std::string_view piece) {
        if (!out.empty())
            out += ' ';
        out += piece;
    };
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            ++i;
        } else if (c == '(' || c == ')') {
            add(std::string(1, c));
            ++i;
        } else if (c == '"') {
            const std::size_t close = text.find('"', i + 1);
            const std::size_t end = close == std::string_view::npos ? text.size() : close;
            const std::string phrase = WordsOf(text.substr(i + 1, end - i - 1));
            i = close == std::string_view::npos ? text.size() : close + 1;
            const bool prefix = i < text.size() && text[i] == '*';
            if (prefix)
                ++i;
            if (!phrase.empty()) {
                add("\"" + phrase + "\"" + (prefix ? "*" : ""));
                words = true;
            }
        } else {
            std::size_t end = i;
            while (end < text.size() && text[end] != ' ' && text[end] != '\t' &&
                   text[end] != '\n' && text[end] != '\r' && text[end] != '"' && text[end] != '(' &&
                   text[end] != ')')
                ++end;
            const std::string_view token = text.substr(i, end - i);
            i = end;
            if (token == "AND" || token == "OR" || token == "NOT") {
                add(token);
                continue;
            }
            const bool prefix = token.back() == '*';
            const std::string term = WordsOf(token);
            if (!term.empty()) {
                add("\"" + term + "\"" + (prefix ? "*" : ""));
                words = true;
            }
        }
    }
    if (!words) {
        if (error)
            *error = text.find_first_not_of(" \t\r\n") == std::string_view::npos
                         ? std::string()
                         : std::string("The query has no words to look for.");
        return {};
    }
    return out;
}

std::string ArchivedPageHtml(const ArchivedPage& page) {
    const auto escape = [](std::string_view text) {
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))
            .toHtmlEscaped()
            .toStdString();
    };
    const std::string title = escape(page.title.empty() ? page.url : page.title);
    const std::string url = escape(page.finalUrl.empty() ? page.url : page.finalUrl);
    const QString date = QDateTime::fromSecsSinceEpoch(page.fetched, Qt::UTC)
                             .toString(QStringLiteral("yyyy-MM-dd hh:mm 'UTC'"));
    std::string html =
        "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">"
        "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'\">"
        "<title>" +
        title + "</title></head>\n<body><h1>" + title + "</h1>\n<p><i>" + url + " &middot; " +
        date.toStdString() + "</i></p>\n";
    std::size_t start = 0;
    while (start < page.text.size()) {
        std::size_t end = page.text.find('\n', start);
        if (end == std::string::npos)
            end = page.text.size();
        html += "<p>" + escape(std::string_view(page.text).substr(start, end - start)) + "</p>\n";
        start = end + 1;
    }
    html += "</body></html>\n";
    return html;
}

PageArchive::PageArchive() = default;

PageArchive::~PageArchive() {
    Close();
}

std::string PageArchive::LocationFor(const std::string& documentPath) {
    const QFileInfo info(QString::fromStdString(documentPath));
    QString absolute = info.canonicalFilePath();
    if (absolute.isEmpty())
        absolute = info.absoluteFilePath();
    const QByteArray hash =
        QCryptographicHash::hash(absolute.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty() || QDir::isRelativePath(dataHome))
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    return (dataHome + QStringLiteral("/brindle/archive/") + info.completeBaseName() + u'-' +
            QString::fromLatin1(hash) + QStringLiteral(".sqlite"))
        .toStdString();
}

bool PageArchive::CopyFor(const std::string& from, const std::string& to, std::string* error) {
    const std::string source = LocationFor(from);
    const std::string target = LocationFor(to);
    if (source == target || !QFileInfo::exists(QString::fromStdString(source)))
        return true;
    for (const char* suffix : {"", "-wal", "-shm"})
        QFile::remove(QString::fromStdString(target + suffix));
    PageArchive archive;
    if (!archive.Open(source, false)) {
        if (error)
            *error = archive.Error();
        return false;
    }
    // A consistent copy even while another process writes to the source.
    sqlite3_stmt* stmt = nullptr;
    bool ok = sqlite3_prepare_v2(archive.m_db, "VACUUM INTO ?", -1, &stmt, nullptr) == SQLITE_OK;
    ok = ok && sqlite3_bind_text(stmt, 1, target.c_str(), -1, SQLITE_TRANSIENT) == SQLITE_OK &&
         sqlite3_step(stmt) == SQLITE_DONE;
    if (!ok && error)
        *error = sqlite3_errmsg(archive.m_db);
    sqlite3_finalize(stmt);
    return ok;
}

bool PageArchive::Open(const std::string& path, bool create) {
    Close();
    if (create)
        QDir().mkpath(QFileInfo(QString::fromStdString(path)).absolutePath());
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(path.c_str(), &m_db, flags, nullptr) != SQLITE_OK) {
        m_error = m_db ? sqlite3_errmsg(m_db) : "out of memory";
        sqlite3_close(m_db);
        m_db = nullptr;
        return false;
    }
    sqlite3_busy_timeout(m_db, 5000);
    sqlite3_create_function_v2(m_db, "page_body", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                               PageBodyFunction, nullptr, nullptr, nullptr);
    if (!Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"))
        return Fail("open");
    sqlite3_stmt* probe = nullptr;
    sqlite3_prepare_v2(m_db, "SELECT 1 FROM sqlite_master WHERE name='page_index'", -1, &probe,
                       nullptr);
    const bool exists = probe && sqlite3_step(probe) == SQLITE_ROW;
    sqlite3_finalize(probe);
    if (!exists && !Exec(("BEGIN;" + std::string(kSchema) + "COMMIT;").c_str()))
        return Fail("create");
    m_stmts = std::make_unique<Statements>();
    const auto prepare = [&](Statement& s, const char* sql) {
        return sqlite3_prepare_v3(m_db, sql, -1, SQLITE_PREPARE_PERSISTENT, &s.stmt, nullptr) ==
               SQLITE_OK;
    };
    const bool ok =
        prepare(m_stmts->find, "SELECT id FROM page WHERE url=?") &&
        prepare(m_stmts->insert,
                "INSERT INTO page(url, final_url, fetched, title, body) VALUES(?,?,?,?,?)") &&
        prepare(m_stmts->update,
                "UPDATE page SET final_url=?, fetched=?, title=?, body=? WHERE id=?") &&
        prepare(m_stmts->unindex, "INSERT INTO page_index(page_index, rowid, title, body) "
                                  "SELECT 'delete', id, title, body FROM page_text WHERE id=?") &&
        prepare(m_stmts->index, "INSERT INTO page_index(rowid, title, body) VALUES(?,?,?)") &&
        prepare(m_stmts->get,
                "SELECT url, final_url, fetched, title, body FROM page WHERE url=?") &&
        prepare(m_stmts->count, "SELECT count(*) FROM page");
    if (!ok)
        return Fail("prepare");
    return true;
}

const std::unordered_map<std::int64_t, std::string>& PageArchive::Urls() {
    if (m_urlsLoaded || !m_db)
        return m_urls;
    // The URL index holds every URL with its row: a small read, not the pages.
    Statement s;
    if (sqlite3_prepare_v2(m_db, "SELECT id, url FROM page INDEXED BY sqlite_autoindex_page_1", -1,
                           &s.stmt, nullptr) == SQLITE_OK) {
        while (sqlite3_step(s.stmt) == SQLITE_ROW)
            m_urls.emplace(sqlite3_column_int64(s.stmt, 0), ColumnText(s.stmt, 1));
        m_urlsLoaded = true;
    }
    return m_urls;
}

void PageArchive::Close() {
    m_urls.clear();
    m_urlsLoaded = false;
    m_stmts.reset();
    if (m_db)
        sqlite3_close_v2(m_db);
    m_db = nullptr;
}

bool PageArchive::Exec(const char* sql) {
    char* message = nullptr;
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    m_error = message ? message : sqlite3_errmsg(m_db);
    sqlite3_free(message);
    return false;
}

bool PageArchive::Fail(const char* what) {
    if (m_error.empty() && m_db)
        m_error = sqlite3_errmsg(m_db);
    m_error = std::string(what) + ": " + m_error;
    Close();
    return false;
}

bool PageArchive::Begin() {
    return m_db && Exec("BEGIN IMMEDIATE");
}

bool PageArchive::Commit() {
    return m_db && Exec("COMMIT");
}

bool PageArchive::Put(const ArchivedPage& page) {
    if (!m_db)
        return false;
    const std::string body = Compress(page.text);
    const auto step = [&](Statement& s) {
        const int rc = sqlite3_step(s.stmt);
        sqlite3_reset(s.stmt);
        sqlite3_clear_bindings(s.stmt);
        if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
            m_error = sqlite3_errmsg(m_db);
            return false;
        }
        return true;
    };
    sqlite3_stmt* find = m_stmts->find.stmt;
    sqlite3_bind_text(find, 1, page.url.data(), static_cast<int>(page.url.size()), SQLITE_STATIC);
    std::int64_t id = 0;
    if (sqlite3_step(find) == SQLITE_ROW)
        id = sqlite3_column_int64(find, 0);
    sqlite3_reset(find);
    sqlite3_clear_bindings(find);

    const auto bindText = [](sqlite3_stmt* s, int i, const std::string& t) {
        sqlite3_bind_text(s, i, t.data(), static_cast<int>(t.size()), SQLITE_STATIC);
    };
    if (id != 0) {
        sqlite3_bind_int64(m_stmts->unindex.stmt, 1, id);
        if (!step(m_stmts->unindex))
            return false;
        sqlite3_stmt* s = m_stmts->update.stmt;
        bindText(s, 1, page.finalUrl);
        sqlite3_bind_int64(s, 2, page.fetched);
        bindText(s, 3, page.title);
        sqlite3_bind_blob(s, 4, body.data(), static_cast<int>(body.size()), SQLITE_STATIC);
        sqlite3_bind_int64(s, 5, id);
        if (!step(m_stmts->update))
            return false;
    } else {
        sqlite3_stmt* s = m_stmts->insert.stmt;
        bindText(s, 1, page.url);
        bindText(s, 2, page.finalUrl);
        sqlite3_bind_int64(s, 3, page.fetched);
        bindText(s, 4, page.title);
        sqlite3_bind_blob(s, 5, body.data(), static_cast<int>(body.size()), SQLITE_STATIC);
        if (!step(m_stmts->insert))
            return false;
        id = sqlite3_last_insert_rowid(m_db);
        if (m_urlsLoaded)
            m_urls.emplace(id, page.url);
    }
    sqlite3_stmt* s = m_stmts->index.stmt;
    sqlite3_bind_int64(s, 1, id);
    bindText(s, 2, page.title);
    bindText(s, 3, page.text);
    return step(m_stmts->index);
}

std::optional<ArchivedPage> PageArchive::Get(std::string_view url) {
    if (!m_db)
        return std::nullopt;
    sqlite3_stmt* s = m_stmts->get.stmt;
    sqlite3_bind_text(s, 1, url.data(), static_cast<int>(url.size()), SQLITE_STATIC);
    std::optional<ArchivedPage> page;
    if (sqlite3_step(s) == SQLITE_ROW) {
        auto text = Decompress(sqlite3_column_blob(s, 4),
                               static_cast<std::size_t>(sqlite3_column_bytes(s, 4)));
        if (text)
            page = ArchivedPage{ColumnText(s, 0), ColumnText(s, 1), sqlite3_column_int64(s, 2),
                                ColumnText(s, 3), std::move(*text)};
    }
    sqlite3_reset(s);
    sqlite3_clear_bindings(s);
    return page;
}

std::unordered_map<std::string, std::int64_t> PageArchive::FetchDates() {
    std::unordered_map<std::string, std::int64_t> dates;
    Statement s;
    if (!m_db || sqlite3_prepare_v2(m_db, "SELECT url, fetched FROM page", -1, &s.stmt, nullptr) !=
                     SQLITE_OK)
        return dates;
    while (sqlite3_step(s.stmt) == SQLITE_ROW)
        dates.emplace(ColumnText(s.stmt, 0), sqlite3_column_int64(s.stmt, 1));
    return dates;
}

std::size_t PageArchive::Count() {
    if (!m_db)
        return 0;
    sqlite3_stmt* s = m_stmts->count.stmt;
    std::size_t n = 0;
    if (sqlite3_step(s) == SQLITE_ROW)
        n = static_cast<std::size_t>(sqlite3_column_int64(s, 0));
    sqlite3_reset(s);
    return n;
}

namespace {

// What the index says about a query it cannot run, in the search box's words.
std::string QueryError(sqlite3* db) {
    const std::string message = sqlite3_errmsg(db);
    if (message.find("syntax error") != std::string::npos)
        return "The query is incomplete: AND, OR and NOT need words on both sides, and every "
               "parenthesis its partner.";
    if (message.find("unknown special query") != std::string::npos ||
        message.find("no such column") != std::string::npos)
        return "The query is not understood (" + message + ").";
    return message;
}

constexpr const char* kSnippetCall =
    "snippet(page_index, -1, '[', ']', '…', 16)"; // kSnippetWords words around the matches

} // namespace

TextSearchResult PageArchive::Search(std::string_view query, std::size_t limit,
                                     std::size_t snippets) {
    static_assert(kSnippetWords == 16);
    TextSearchResult result;
    const std::string match = IndexQuery(query, &result.error);
    if (match.empty() || !m_db)
        return result;
    // The index orders by rank itself and stops at the limit, so snippets (which decompress
    // the page) are made for the rows returned only.
    // URLs come from memory: a join with the page table would cost more than the ranking.
    const auto& urls = Urls();
    const std::string head = "SELECT rowid, rank";
    const std::string tail = " FROM page_index WHERE page_index MATCH ?1 ORDER BY rank LIMIT ?2 "
                             "OFFSET ?3";
    const auto run = [&](bool withSnippets, std::int64_t count, std::int64_t offset) {
        Statement s;
        const std::string sql =
            head + (withSnippets ? std::string(", ") + kSnippetCall : std::string()) + tail;
        if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &s.stmt, nullptr) != SQLITE_OK) {
            result.error = sqlite3_errmsg(m_db);
            return false;
        }
        sqlite3_bind_text(s.stmt, 1, match.data(), static_cast<int>(match.size()), SQLITE_STATIC);
        sqlite3_bind_int64(s.stmt, 2, count);
        sqlite3_bind_int64(s.stmt, 3, offset);
        int rc;
        while ((rc = sqlite3_step(s.stmt)) == SQLITE_ROW) {
            TextHit hit;
            const auto url = urls.find(sqlite3_column_int64(s.stmt, 0));
            if (url == urls.end())
                continue;
            hit.url = url->second;
            hit.score = -sqlite3_column_double(s.stmt, 1);
            if (withSnippets)
                hit.snippet = ColumnText(s.stmt, 2);
            result.hits.push_back(std::move(hit));
        }
        if (rc != SQLITE_DONE) {
            result.error = QueryError(m_db);
            result.hits.clear();
            return false;
        }
        return true;
    };
    const std::int64_t all = limit == 0 ? -1 : static_cast<std::int64_t>(limit);
    const std::int64_t first = limit == 0 ? static_cast<std::int64_t>(snippets)
                                          : static_cast<std::int64_t>(std::min(snippets, limit));
    if (first > 0 && !run(true, first, 0))
        return result;
    if (first > 0 && result.hits.size() < static_cast<std::size_t>(first))
        return result; // every match is in
    if (all < 0 || all > first)
        run(false, all < 0 ? -1 : all - first, first);
    return result;
}

std::string PageArchive::Snippet(std::string_view query, std::string_view url) {
    std::string error;
    const std::string match = IndexQuery(query, &error);
    if (match.empty() || !m_db)
        return {};
    Statement s;
    const std::string sql = std::string("SELECT ") + kSnippetCall +
                            " FROM page_index WHERE page_index MATCH ?1 AND rowid = "
                            "(SELECT id FROM page WHERE url = ?2)";
    if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &s.stmt, nullptr) != SQLITE_OK)
        return {};
    sqlite3_bind_text(s.stmt, 1, match.data(), static_cast<int>(match.size()), SQLITE_STATIC);
    sqlite3_bind_text(s.stmt, 2, url.data(), static_cast<int>(url.size()), SQLITE_STATIC);
    return sqlite3_step(s.stmt) == SQLITE_ROW ? ColumnText(s.stmt, 0) : std::string();
}

std::string PageArchive::Verify() {
    if (!m_db)
        return "not open";
    Statement s;
    std::string problems;
    if (sqlite3_prepare_v2(m_db, "PRAGMA integrity_check", -1, &s.stmt, nullptr) == SQLITE_OK)
        while (sqlite3_step(s.stmt) == SQLITE_ROW) {
            const std::string line = ColumnText(s.stmt, 0);
            if (line != "ok")
                problems += line + "\n";
        }
    if (!Exec("INSERT INTO page_index(page_index) VALUES('integrity-check')"))
        problems += m_error + "\n";
    return problems;
}

} // namespace brindle
