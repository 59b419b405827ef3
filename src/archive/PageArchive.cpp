// SPDX-License-Identifier: GPL-3.0-or-later
#include "archive/PageArchive.h"

#include "store/BrindleDoc.h"
#include "store/Trash.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <sqlite3.h>
#define ZSTD_STATIC_LINKING_ONLY  // attaching a dictionary instead of copying it
#define ZDICT_STATIC_LINKING_ONLY // fixed training parameters: the default search takes seconds
#include <zdict.h>
#include <zstd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstring>
#include <limits>
#include <thread>
#include <unordered_set>
#include <utility>

namespace brindle {

namespace {

// Texts larger than this are no page this archive wrote.
constexpr unsigned long long kMaxTextBytes = 16ull * 1024 * 1024;
constexpr int kCompressionLevel = 3;
constexpr int kSnippetWords = 16;

using CDictPtr = std::unique_ptr<ZSTD_CDict, decltype(&ZSTD_freeCDict)>;
using DDictPtr = std::unique_ptr<ZSTD_DDict, decltype(&ZSTD_freeDDict)>;

} // namespace

// The dictionaries of the archive by their id (a frame names the one it needs, 0 for none) and
// the newest one for writing.
struct PageArchive::Codec {
    std::unordered_map<unsigned, DDictPtr> readers;
    CDictPtr writer{nullptr, ZSTD_freeCDict};
    std::string newest; // the dictionary `writer` is made from
};

// What ranking needs of every page, held in memory so that a query's matches are ranked without
// a read per match: the length in words of its title and body (the index's own counts), and its
// URL. Read on the first search and again after a write.
struct PageArchive::Memo {
    std::int64_t version = -1; // PRAGMA data_version when read; -1: to be read
    std::vector<std::uint32_t> titleWords, bodyWords; // by row id
    double average[2] = {1, 1};                       // title, body
    // The URLs one after the other, and where each row's starts and ends (0, 0: no such row):
    // looked up for every match, so without a hash table's scattered reads.
    std::string urlText;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> urls;
    std::optional<std::string_view> Url(std::int64_t id) const {
        if (id < 0 || static_cast<std::size_t>(id) >= urls.size() ||
            urls[static_cast<std::size_t>(id)].second == 0)
            return std::nullopt;
        const auto [start, end] = urls[static_cast<std::size_t>(id)];
        return std::string_view(urlText).substr(start, end - start - 1);
    }
};

namespace {

std::string Compress(std::string_view text, const ZSTD_CDict* dictionary) {
    thread_local std::unique_ptr<ZSTD_CCtx, decltype(&ZSTD_freeCCtx)> context(ZSTD_createCCtx(),
                                                                              ZSTD_freeCCtx);
    std::string out(ZSTD_compressBound(text.size()), '\0');
    std::size_t n;
    if (dictionary) {
        // Attached, not copied: copying the dictionary's tables costs more than a page.
        ZSTD_CCtx_reset(context.get(), ZSTD_reset_session_and_parameters);
        ZSTD_CCtx_refCDict(context.get(), dictionary);
        ZSTD_CCtx_setParameter(context.get(), ZSTD_c_forceAttachDict, ZSTD_dictForceAttach);
        n = ZSTD_compress2(context.get(), out.data(), out.size(), text.data(), text.size());
    } else {
        n = ZSTD_compressCCtx(context.get(), out.data(), out.size(), text.data(), text.size(),
                              kCompressionLevel);
    }
    if (ZSTD_isError(n))
        return {};
    out.resize(n);
    return out;
}

// Decompresses into `out` (of the frame's size); false when the frame is damaged, too large or
// needs a dictionary this archive does not have.
template <typename Buffer>
bool DecompressInto(const PageArchive::Codec* codec, const void* data, std::size_t size,
                    Buffer&& allocate) {
    const unsigned long long length = ZSTD_getFrameContentSize(data, size);
    if (length == ZSTD_CONTENTSIZE_ERROR || length == ZSTD_CONTENTSIZE_UNKNOWN ||
        length > kMaxTextBytes)
        return false;
    const ZSTD_DDict* dictionary = nullptr;
    if (const unsigned id = ZSTD_getDictID_fromFrame(data, size); id != 0) {
        if (!codec)
            return false;
        const auto it = codec->readers.find(id);
        if (it == codec->readers.end())
            return false;
        dictionary = it->second.get();
    }
    thread_local std::unique_ptr<ZSTD_DCtx, decltype(&ZSTD_freeDCtx)> context(ZSTD_createDCtx(),
                                                                              ZSTD_freeDCtx);
    char* out = allocate(static_cast<std::size_t>(length));
    if (!out)
        return false;
    const std::size_t n =
        ZSTD_decompress_usingDDict(context.get(), out, length, data, size, dictionary);
    return !ZSTD_isError(n) && n == length;
}

std::optional<std::string> Decompress(const PageArchive::Codec* codec, const void* data,
                                      std::size_t size) {
    std::string out;
    if (!data || !DecompressInto(codec, data, size, [&](std::size_t n) {
            out.resize(n);
            return out.data();
        }))
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
    const auto* codec = static_cast<const PageArchive::Codec*>(sqlite3_user_data(context));
    char* text = nullptr;
    std::size_t length = 0;
    if (!DecompressInto(codec, data, static_cast<std::size_t>(size), [&](std::size_t n) {
            length = n;
            return text = static_cast<char*>(sqlite3_malloc64(n + 1));
        })) {
        sqlite3_free(text);
        sqlite3_result_error(context, "damaged page text", -1);
        return;
    }
    sqlite3_result_text64(context, text, length, sqlite3_free, SQLITE_UTF8);
}

// page_idf(page_index): the inverse document frequency of the query's words and phrases,
// summed, for bm25 counting each word once (the index keeps no word positions).
double QueryIdf(const Fts5ExtensionApi* api, Fts5Context* fts) {
    sqlite3_int64 rows = 0;
    api->xRowCount(fts, &rows);
    // Pages per phrase: counted up to a few thousand, beyond that estimated from how far into the
    // rows the count got (rows are numbered densely in archiving order).
    struct Count {
        sqlite3_int64 hits = 0, last = 0;
    };
    constexpr sqlite3_int64 kCounted = 4000;
    double idf = 0;
    for (int p = 0; p < api->xPhraseCount(fts); ++p) {
        Count n;
        api->xQueryPhrase(fts, p, &n, [](const Fts5ExtensionApi* a, Fts5Context* f, void* user) {
            auto* c = static_cast<Count*>(user);
            c->last = a->xRowid(f);
            return ++c->hits >= kCounted ? SQLITE_DONE : SQLITE_OK;
        });
        double hits = double(n.hits);
        if (n.hits >= kCounted && n.last > 0)
            hits = std::min(double(rows), hits * double(rows) / double(n.last));
        idf += std::max(1e-6, std::log((double(rows) - hits + 0.5) / (hits + 0.5)));
    }
    return idf;
}

void PageIdfFunction(const Fts5ExtensionApi* api, Fts5Context* fts, sqlite3_context* context, int,
                     sqlite3_value**) {
    sqlite3_result_double(context, QueryIdf(api, fts));
}

bool RegisterRanking(sqlite3* db) {
    fts5_api* api = nullptr;
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT fts5(?1)", -1, &s, nullptr) != SQLITE_OK)
        return false;
    sqlite3_bind_pointer(s, 1, &api, "fts5_api_ptr", nullptr);
    sqlite3_step(s);
    sqlite3_finalize(s);
    return api &&
           api->xCreateFunction(api, "page_idf", nullptr, PageIdfFunction, nullptr) == SQLITE_OK;
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

// The index form: which pages hold each word, nothing more (a title index beside it tells the
// pages whose title holds it), and which hold a word starting with each three letters (a prefix
// query of three letters would merge the lists of hundreds of words). Each transaction writes
// its words as a new segment of the index, merged with others of its size once there are
// sixteen rather than four: merging was most of the cost of archiving, and a search reads the
// few more segments quickly. The words of a batch are gathered in memory up to 64 MiB (rather
// than 1 MiB) before a segment is written.
constexpr const char* kIndexSchema = R"(
CREATE VIRTUAL TABLE page_index USING fts5(
  title, body, content='page_text', content_rowid='id',
  tokenize='unicode61 remove_diacritics 2', detail=none, prefix='3');
CREATE VIRTUAL TABLE page_title USING fts5(
  title, content='page', content_rowid='id',
  tokenize='unicode61 remove_diacritics 2', detail=none);
INSERT INTO page_index(page_index, rank) VALUES('automerge', 16);
INSERT INTO page_index(page_index, rank) VALUES('hashsize', 67108864);
)";

constexpr const char* kSchema = R"(
CREATE TABLE IF NOT EXISTS page_dictionary(id INTEGER PRIMARY KEY, dictionary BLOB NOT NULL);
CREATE TABLE IF NOT EXISTS page(
  id INTEGER PRIMARY KEY,
  url TEXT NOT NULL UNIQUE,
  final_url TEXT NOT NULL,
  fetched INTEGER NOT NULL,
  title TEXT NOT NULL,
  body BLOB NOT NULL);
CREATE VIEW IF NOT EXISTS page_text(id, title, body) AS
  SELECT id, title, page_body(body) FROM page;
)";

} // namespace

struct PageArchive::Statements {
    Statement find, insert, update, unindex, index, untitle, title, get, count, body, version, page;
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
    // One thread at a time uses a connection: no locking on every call (a search makes one per
    // match).
    const int flags =
        SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(path.c_str(), &m_db, flags, nullptr) != SQLITE_OK) {
        m_error = m_db ? sqlite3_errmsg(m_db) : "out of memory";
        sqlite3_close(m_db);
        m_db = nullptr;
        return false;
    }
    sqlite3_busy_timeout(m_db, 5000);
    m_codec = std::make_unique<Codec>();
    sqlite3_create_function_v2(m_db, "page_body", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                               m_codec.get(), PageBodyFunction, nullptr, nullptr, nullptr);
    if (!RegisterRanking(m_db))
        return Fail("open");
    // Larger database pages hold several compressed pages whole instead of spilling each into
    // a half-empty overflow page; only a new database takes the size.
    if (!Exec("PRAGMA page_size=65536; PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA "
              "cache_size=-16384;"))
        return Fail("open");
    sqlite3_stmt* probe = nullptr;
    sqlite3_prepare_v2(m_db, "SELECT 1 FROM sqlite_master WHERE name='page_dictionary'", -1, &probe,
                       nullptr);
    const bool exists = probe && sqlite3_step(probe) == SQLITE_ROW;
    sqlite3_finalize(probe);
    if (!exists && !Exec(("BEGIN IMMEDIATE;" + std::string(kSchema) + "COMMIT;").c_str()))
        return Fail("create");
    if (!Migrate())
        return Fail("migrate");
    if (!LoadDictionaries())
        return Fail("open");
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
        prepare(m_stmts->untitle, "INSERT INTO page_title(page_title, rowid, title) "
                                  "SELECT 'delete', id, title FROM page WHERE id=?") &&
        prepare(m_stmts->title, "INSERT INTO page_title(rowid, title) VALUES(?,?)") &&
        prepare(m_stmts->get,
                "SELECT url, final_url, fetched, title, body FROM page WHERE url=?") &&
        prepare(m_stmts->count, "SELECT count(*) FROM page") &&
        prepare(m_stmts->body, "SELECT body FROM page WHERE id=?") &&
        prepare(m_stmts->version, "PRAGMA data_version") &&
        prepare(m_stmts->page, "SELECT title, body FROM page WHERE id=?");
    if (!ok)
        return Fail("prepare");
    return true;
}

bool PageArchive::Migrate() {
    // Archives written before the index dropped word positions get the new index, built from
    // the stored texts (which stay as they are).
    Statement s;
    if (sqlite3_prepare_v2(m_db, "SELECT sql FROM sqlite_master WHERE name='page_index'", -1,
                           &s.stmt, nullptr) != SQLITE_OK)
        return false;
    const std::string sql = sqlite3_step(s.stmt) == SQLITE_ROW ? ColumnText(s.stmt, 0) : "";
    sqlite3_finalize(std::exchange(s.stmt, nullptr)); // a running read would block the drop
    if (sql.find("detail=none") != std::string::npos)
        return true;
    return Exec(("BEGIN IMMEDIATE; DROP TABLE IF EXISTS page_index; DROP TABLE IF EXISTS "
                 "page_title;" +
                 std::string(kIndexSchema) +
                 "INSERT INTO page_index(page_index) VALUES('rebuild');"
                 "INSERT INTO page_title(page_title) VALUES('rebuild'); COMMIT;")
                    .c_str()) ||
           (Exec("ROLLBACK"), false);
}

bool PageArchive::LoadDictionaries() {
    Statement s;
    if (sqlite3_prepare_v2(m_db, "SELECT id, dictionary FROM page_dictionary ORDER BY rowid", -1,
                           &s.stmt, nullptr) != SQLITE_OK)
        return false;
    while (sqlite3_step(s.stmt) == SQLITE_ROW) {
        const void* data = sqlite3_column_blob(s.stmt, 1);
        const auto size = static_cast<std::size_t>(sqlite3_column_bytes(s.stmt, 1));
        DDictPtr reader(ZSTD_createDDict(data, size), ZSTD_freeDDict);
        if (!reader)
            continue;
        m_codec->readers.insert_or_assign(static_cast<unsigned>(sqlite3_column_int64(s.stmt, 0)),
                                          std::move(reader));
        // Made when a page is written: a reader of the archive does not pay for it.
        m_codec->newest.assign(static_cast<const char*>(data), size);
    }
    return true;
}

bool PageArchive::TrainDictionary() {
    // Trained on the first pages, which are then compressed again with it (same text, so the
    // index stays as it is).
    std::vector<std::int64_t> ids;
    std::string samples;
    std::vector<std::size_t> sizes;
    {
        Statement s;
        if (sqlite3_prepare_v2(m_db, "SELECT id, body FROM page ORDER BY id LIMIT ?", -1, &s.stmt,
                               nullptr) != SQLITE_OK)
            return false;
        sqlite3_bind_int64(s.stmt, 1, static_cast<std::int64_t>(kDictionaryPages));
        while (sqlite3_step(s.stmt) == SQLITE_ROW) {
            const auto text = Decompress(m_codec.get(), sqlite3_column_blob(s.stmt, 1),
                                         static_cast<std::size_t>(sqlite3_column_bytes(s.stmt, 1)));
            if (!text || text->empty())
                continue;
            ids.push_back(sqlite3_column_int64(s.stmt, 0));
            samples += *text;
            sizes.push_back(text->size());
        }
    }
    std::string dictionary(kDictionaryBytes, '\0');
    ZDICT_fastCover_params_t parameters{};
    parameters.k = 200;
    parameters.d = 8;
    parameters.f = 18;
    parameters.accel = 1;
    parameters.splitPoint = 1.0;
    parameters.zParams.compressionLevel = kCompressionLevel;
    const std::size_t n = ZDICT_trainFromBuffer_fastCover(
        dictionary.data(), dictionary.size(), samples.data(), sizes.data(),
        static_cast<unsigned>(sizes.size()), parameters);
    if (ZDICT_isError(n))
        return true; // too little to learn from: pages stay compressed on their own
    dictionary.resize(n);
    const unsigned id = ZDICT_getDictID(dictionary.data(), n);
    DDictPtr reader(ZSTD_createDDict(dictionary.data(), n), ZSTD_freeDDict);
    CDictPtr writer(ZSTD_createCDict(dictionary.data(), n, kCompressionLevel), ZSTD_freeCDict);
    if (id == 0 || !reader || !writer || m_codec->readers.count(id))
        return true;
    Statement insert, update;
    if (sqlite3_prepare_v2(m_db, "INSERT INTO page_dictionary(id, dictionary) VALUES(?,?)", -1,
                           &insert.stmt, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(m_db, "UPDATE page SET body=? WHERE id=?", -1, &update.stmt, nullptr) !=
            SQLITE_OK)
        return false;
    sqlite3_bind_int64(insert.stmt, 1, id);
    sqlite3_bind_blob(insert.stmt, 2, dictionary.data(), static_cast<int>(n), SQLITE_STATIC);
    if (sqlite3_step(insert.stmt) != SQLITE_DONE)
        return false;
    m_codec->readers.emplace(id, std::move(reader));
    m_codec->writer = std::move(writer);
    m_codec->newest = dictionary;
    std::size_t offset = 0;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const std::string body =
            Compress(std::string_view(samples).substr(offset, sizes[i]), m_codec->writer.get());
        offset += sizes[i];
        if (body.empty())
            continue;
        sqlite3_bind_blob(update.stmt, 1, body.data(), static_cast<int>(body.size()),
                          SQLITE_STATIC);
        sqlite3_bind_int64(update.stmt, 2, ids[i]);
        const int rc = sqlite3_step(update.stmt);
        sqlite3_reset(update.stmt);
        if (rc != SQLITE_DONE)
            return false;
    }
    return true;
}

namespace {

// A varint of the index's size records (big-endian groups of seven bits, the high bit set on all
// but the last); false past the end.
bool ReadVarint(const unsigned char*& p, const unsigned char* end, std::uint32_t& value) {
    value = 0;
    for (int i = 0; i < 5 && p < end; ++i) {
        const unsigned char byte = *p++;
        value = (value << 7) | (byte & 0x7f);
        if (!(byte & 0x80))
            return true;
    }
    return false;
}

} // namespace

const PageArchive::Memo* PageArchive::Memorized() {
    if (!m_db)
        return nullptr;
    // Another connection's commit (an archiving run) changes the version.
    sqlite3_stmt* v = m_stmts->version.stmt;
    std::int64_t version = -1;
    if (sqlite3_step(v) == SQLITE_ROW)
        version = sqlite3_column_int64(v, 0);
    sqlite3_reset(v);
    if (m_memo && m_memo->version == version && version >= 0)
        return m_memo.get();
    auto memo = std::make_unique<Memo>();
    memo->version = version;
    Statement s;
    // The URL index holds every URL with its row: a small read, not the pages.
    if (sqlite3_prepare_v2(m_db, "SELECT id, url FROM page INDEXED BY sqlite_autoindex_page_1", -1,
                           &s.stmt, nullptr) != SQLITE_OK)
        return nullptr;
    while (sqlite3_step(s.stmt) == SQLITE_ROW) {
        const std::int64_t id = sqlite3_column_int64(s.stmt, 0);
        if (id < 0)
            continue;
        const auto row = static_cast<std::size_t>(id);
        if (row >= memo->urls.size())
            memo->urls.resize(row + 1 + row / 4);
        const auto start = static_cast<std::uint32_t>(memo->urlText.size());
        memo->urlText += ColumnText(s.stmt, 1);
        // The end is kept one past, so that an empty URL still differs from no row.
        memo->urls[row] = {start, static_cast<std::uint32_t>(memo->urlText.size()) + 1};
    }
    sqlite3_finalize(std::exchange(s.stmt, nullptr));
    if (sqlite3_prepare_v2(m_db, "SELECT id, sz FROM page_index_docsize", -1, &s.stmt, nullptr) !=
        SQLITE_OK)
        return nullptr;
    double total[2] = {0, 0};
    std::size_t rows = 0;
    while (sqlite3_step(s.stmt) == SQLITE_ROW) {
        const std::int64_t id = sqlite3_column_int64(s.stmt, 0);
        const auto* p = static_cast<const unsigned char*>(sqlite3_column_blob(s.stmt, 1));
        const unsigned char* end = p + sqlite3_column_bytes(s.stmt, 1);
        std::uint32_t title = 0, body = 0;
        if (id < 0 || !p || !ReadVarint(p, end, title) || !ReadVarint(p, end, body))
            continue;
        const auto row = static_cast<std::size_t>(id);
        if (row >= memo->bodyWords.size()) {
            memo->titleWords.resize(row + 1 + row / 4);
            memo->bodyWords.resize(row + 1 + row / 4);
        }
        memo->titleWords[row] = title;
        memo->bodyWords[row] = body;
        total[0] += title;
        total[1] += body;
        ++rows;
    }
    for (int c = 0; c < 2; ++c)
        memo->average[c] = rows > 0 ? std::max(1.0, total[c] / double(rows)) : 1.0;
    m_memo = std::move(memo);
    return m_memo.get();
}

void PageArchive::Close() {
    m_memo.reset();
    m_pages = kUnknown;
    m_stmts.reset();
    if (m_db)
        sqlite3_close_v2(m_db);
    m_db = nullptr;
    m_codec.reset();
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

bool PageArchive::Put(const std::vector<ArchivedPage>& pages) {
    if (!m_db)
        return false;
    if (!PrepareWriter())
        return false;
    if (!m_codec->writer || pages.size() < 2) {
        // No dictionary yet (one may be trained within the batch): page by page.
        for (const ArchivedPage& page : pages)
            if (!Put(page))
                return false;
        return true;
    }
    // The texts are compressed on a second thread while the index takes the pages before them
    // (the index is the slower part).
    std::vector<std::string> bodies(pages.size());
    std::atomic<std::size_t> ready{0};
    const ZSTD_CDict* dictionary = m_codec->writer.get();
    std::thread compressor([&] {
        for (std::size_t i = 0; i < pages.size(); ++i) {
            bodies[i] = Compress(pages[i].text, dictionary);
            ready.store(i + 1, std::memory_order_release);
        }
    });
    bool ok = true;
    for (std::size_t i = 0; i < pages.size() && ok; ++i) {
        while (ready.load(std::memory_order_acquire) <= i)
            std::this_thread::yield();
        ok = Store(pages[i], bodies[i]);
    }
    compressor.join();
    return ok;
}

bool PageArchive::Put(const ArchivedPage& page) {
    if (!m_db || !PrepareWriter())
        return false;
    return Store(page, Compress(page.text, m_codec->writer.get()));
}

bool PageArchive::PrepareWriter() {
    m_memo.reset();
    if (!m_codec->writer && !m_codec->newest.empty())
        m_codec->writer.reset(
            ZSTD_createCDict(m_codec->newest.data(), m_codec->newest.size(), kCompressionLevel));
    if (!m_codec->writer && m_codec->newest.empty() && m_pages != kNoTraining) {
        if (m_pages == kUnknown)
            m_pages = Count();
        if (m_pages >= kDictionaryPages) {
            m_pages = kNoTraining;
            if (!TrainDictionary()) {
                m_error = sqlite3_errmsg(m_db);
                return false;
            }
        }
    }
    return true;
}

bool PageArchive::Store(const ArchivedPage& page, const std::string& body) {
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
        sqlite3_bind_int64(m_stmts->untitle.stmt, 1, id);
        if (!step(m_stmts->unindex) || !step(m_stmts->untitle))
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
        if (m_pages < kNoTraining)
            ++m_pages;
    }
    sqlite3_stmt* s = m_stmts->index.stmt;
    sqlite3_bind_int64(s, 1, id);
    bindText(s, 2, page.title);
    bindText(s, 3, page.text);
    sqlite3_stmt* t = m_stmts->title.stmt;
    sqlite3_bind_int64(t, 1, id);
    bindText(t, 2, page.title);
    return step(m_stmts->index) && step(m_stmts->title);
}

std::optional<ArchivedPage> PageArchive::Get(std::string_view url) {
    if (!m_db)
        return std::nullopt;
    sqlite3_stmt* s = m_stmts->get.stmt;
    sqlite3_bind_text(s, 1, url.data(), static_cast<int>(url.size()), SQLITE_STATIC);
    std::optional<ArchivedPage> page;
    if (sqlite3_step(s) == SQLITE_ROW) {
        auto text = Decompress(m_codec.get(), sqlite3_column_blob(s, 4),
                               static_cast<std::size_t>(sqlite3_column_bytes(s, 4)));
        if (text)
            page = ArchivedPage{ColumnText(s, 0), ColumnText(s, 1), sqlite3_column_int64(s, 2),
                                ColumnText(s, 3), std::move(*text)};
    }
    sqlite3_reset(s);
    sqlite3_clear_bindings(s);
    return page;
}

std::size_t PageArchive::DropUnless(const std::function<bool(const std::string&)>& keep) {
    if (!m_db)
        return 0;
    std::vector<std::int64_t> gone;
    {
        Statement s;
        if (sqlite3_prepare_v2(m_db, "SELECT id, url FROM page", -1, &s.stmt, nullptr) != SQLITE_OK)
            return 0;
        while (sqlite3_step(s.stmt) == SQLITE_ROW)
            if (!keep(ColumnText(s.stmt, 1)))
                gone.push_back(sqlite3_column_int64(s.stmt, 0));
    }
    if (gone.empty())
        return 0;
    Statement remove;
    bool ok = sqlite3_prepare_v2(m_db, "DELETE FROM page WHERE id=?", -1, &remove.stmt, nullptr) ==
                  SQLITE_OK &&
              Begin();
    for (std::size_t i = 0; ok && i < gone.size(); ++i)
        for (sqlite3_stmt* s : {m_stmts->unindex.stmt, m_stmts->untitle.stmt, remove.stmt}) {
            sqlite3_bind_int64(s, 1, gone[i]);
            ok = ok && sqlite3_step(s) == SQLITE_DONE;
            sqlite3_reset(s);
        }
    if (!ok || !Commit()) {
        m_error = sqlite3_errmsg(m_db);
        Exec("ROLLBACK");
        return 0;
    }
    m_memo.reset();
    if (m_pages < kNoTraining)
        m_pages -= std::min(m_pages, gone.size());
    return gone.size();
}

std::size_t DropTextsOfGoneBookmarks(PageArchive& archive, CBrindleDoc& doc,
                                     const std::string& documentPath) {
    Trash trash;
    if (!trash.Load(TrashFileFor(documentPath)))
        return 0; // unreadable: better keep texts than drop those of trashed bookmarks
    std::unordered_set<std::string_view> kept;
    for (const brindle::BookmarkList* list : {&doc.Bookmarks(), &doc.DeletedBookmarks()})
        for (std::size_t i = 0; i < list->size(); ++i)
            kept.insert((*list)[i].m_strURL);
    for (const TrashEntry& e : doc.Trashed().Entries())
        kept.insert(e.bookmark.m_strURL);
    for (const TrashEntry& e : trash.Entries())
        kept.insert(e.bookmark.m_strURL);
    return archive.DropUnless([&](const std::string& url) { return kept.count(url) > 0; });
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

// The words of `text` as the index splits them (at every character that is no letter, digit or
// mark); `fold`: also in the index's letter case and without accents, for comparing.
std::vector<QString> IndexWords(const QString& text, bool fold) {
    const QString source = fold ? text.normalized(QString::NormalizationForm_D) : text;
    std::vector<QString> words;
    QString word;
    for (const QChar c : source) {
        if (c.isLetterOrNumber() || c.isMark()) {
            if (!fold || !c.isMark())
                word += fold ? c.toCaseFolded() : c;
        } else if (!word.isEmpty()) {
            words.push_back(std::exchange(word, QString()));
        }
    }
    if (!word.isEmpty())
        words.push_back(word);
    return words;
}

// " word word … " of `text` folded for comparing.
std::string Folded(std::string_view text) {
    std::string out = " ";
    if (std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; })) {
        // Phrases are checked against every candidate page's text: a table and one pass over a
        // buffer sized up front, not a call into the C locale and an append per character.
        static const std::array<char, 128> kFold = [] {
            std::array<char, 128> fold{};
            for (int c = 0; c < 128; ++c)
                if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z'))
                    fold[static_cast<std::size_t>(c)] = static_cast<char>(c);
                else if (c >= 'A' && c <= 'Z')
                    fold[static_cast<std::size_t>(c)] = static_cast<char>(c - 'A' + 'a');
            return fold;
        }();
        out.resize(text.size() + 2);
        char* o = out.data() + 1;
        // Without branches: a blank is written always and kept only after a letter.
        bool afterBlank = true;
        for (const char c : text) {
            const char f = kFold[static_cast<unsigned char>(c)];
            const bool blank = f == 0;
            *o = blank ? ' ' : f;
            o += static_cast<std::size_t>(!(blank & afterBlank));
            afterBlank = blank;
        }
        if (o[-1] != ' ')
            *o++ = ' ';
        out.resize(static_cast<std::size_t>(o - out.data()));
        return out;
    }
    const QString source = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    for (const QString& word : IndexWords(source, true))
        out += word.toStdString() + ' ';
    return out;
}

// The query for an index without word positions: a phrase becomes its words ANDed. When the
// query only ANDs, its phrases go to `phrases` (folded, " a b " or " a b" for a prefix) to be
// checked against the text; under OR and NOT the words of a phrase stand for it.
std::string IndexForm(const std::string& query, std::vector<std::string>* phrases) {
    std::string out;
    bool onlyAnd = true;
    // The index takes no implicit AND next to parentheses ("(a b) c", "a (b OR c)"), and a
    // phrase becomes such a group: operands side by side get an explicit AND.
    bool afterOperand = false;
    const auto operand = [&] {
        if (afterOperand)
            out += "AND ";
        afterOperand = true;
    };
    std::size_t i = 0;
    while (i < query.size()) {
        if (query[i] == ' ') {
            out += ' ';
            ++i;
            continue;
        }
        if (query[i] == '"') {
            const std::size_t close = query.find('"', i + 1); // every quote is closed
            const QString inner = QString::fromStdString(query.substr(i + 1, close - i - 1));
            i = close + 1;
            const bool prefix = i < query.size() && query[i] == '*';
            if (prefix)
                ++i;
            const std::vector<QString> words = IndexWords(inner, false);
            operand();
            if (words.size() <= 1) {
                out += '"' + (words.empty() ? std::string() : words[0].toStdString()) + '"' +
                       (prefix ? "*" : "");
                continue;
            }
            out += '(';
            for (std::size_t k = 0; k < words.size(); ++k)
                out += (k ? " AND \"" : "\"") + words[k].toStdString() + '"';
            out += prefix ? "*)" : ")";
            std::string folded = Folded(inner.toStdString());
            if (prefix)
                folded.pop_back();
            phrases->push_back(folded);
            continue;
        }
        std::size_t end = query.find_first_of(" \"", i);
        if (end == std::string::npos)
            end = query.size();
        const std::string_view token = std::string_view(query).substr(i, end - i);
        if (token == "OR" || token == "NOT" || token == "(" || token == ")")
            onlyAnd = false;
        if (token == ")")
            afterOperand = true;
        else if (token == "AND" || token == "OR" || token == "NOT")
            afterOperand = false;
        else
            operand();
        if (token == "(")
            afterOperand = false;
        out += token;
        i = end;
    }
    if (!onlyAnd)
        phrases->clear();
    return out;
}

// The words a snippet marks: the query's words in the index's form, folded, with whether each is
// a prefix. Nothing when a word is not plain ASCII (the index's own folding then decides).
std::optional<std::vector<std::pair<std::string, bool>>> SnippetTerms(std::string_view match) {
    std::vector<std::pair<std::string, bool>> terms;
    for (std::size_t i = match.find('"'); i != std::string_view::npos; i = match.find('"', i + 1)) {
        const std::size_t close = match.find('"', i + 1);
        if (close == std::string_view::npos)
            break;
        std::string term(match.substr(i + 1, close - i - 1));
        for (char& c : term) {
            if (static_cast<unsigned char>(c) >= 0x80)
                return std::nullopt;
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        terms.emplace_back(std::move(term), close + 1 < match.size() && match[close + 1] == '*');
        i = close;
    }
    return terms;
}

// A snippet of an ASCII title and text as the index's snippet() makes it: the kSnippetWords
// words of one column holding the most different query words (title or body; the title when
// both hold as many), the words between [ and ], … where the column goes on. Nothing for text
// that is not plain ASCII. The index's own snippet reads and splits the text twice through its
// general tokenizer, several times slower, and a keystroke shows fifty of them.
std::optional<std::string> SnippetOf(std::string_view title, std::string_view text,
                                     const std::vector<std::pair<std::string, bool>>& terms) {
    struct Column {
        std::string_view text;
        std::vector<std::pair<std::uint32_t, std::uint32_t>> words; // byte ranges
        std::vector<std::pair<std::uint32_t, int>> matches;         // word, term
        std::vector<std::uint32_t> sentences; // words after ". " or ": ", and the first
        std::size_t start = 0;
        int score = -1;
    };
    Column columns[2];
    columns[0].text = title;
    columns[1].text = text;
    std::string folded;
    for (Column& column : columns) {
        const std::string_view t = column.text;
        for (std::size_t i = 0; i < t.size();) {
            if (static_cast<unsigned char>(t[i]) >= 0x80)
                return std::nullopt;
            if (!std::isalnum(static_cast<unsigned char>(t[i]))) {
                ++i;
                continue;
            }
            std::size_t end = i;
            while (end < t.size() && std::isalnum(static_cast<unsigned char>(t[end])))
                ++end;
            std::size_t before = i;
            while (before > 0 && (t[before - 1] == ' ' || t[before - 1] == '\t' ||
                                  t[before - 1] == '\n' || t[before - 1] == '\r'))
                --before;
            if (column.words.empty() ||
                (before != i && before > 0 && (t[before - 1] == '.' || t[before - 1] == ':')))
                column.sentences.push_back(static_cast<std::uint32_t>(column.words.size()));
            folded.assign(t.substr(i, end - i));
            for (char& c : folded)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            for (std::size_t k = 0; k < terms.size(); ++k)
                if (terms[k].second ? folded.starts_with(terms[k].first)
                                    : folded == terms[k].first) {
                    column.matches.emplace_back(static_cast<std::uint32_t>(column.words.size()),
                                                static_cast<int>(k));
                }
            column.words.emplace_back(static_cast<std::uint32_t>(i),
                                      static_cast<std::uint32_t>(end));
            i = end;
        }
        // The window of kSnippetWords words: around each match (shifted back to centre the
        // matches in it), or from the start of its sentence with a bonus; the most different
        // terms win, then the most matches.
        const std::size_t n = kSnippetWords, size = column.words.size();
        const auto score = [&](std::size_t from, std::uint32_t* first, std::uint32_t* last) {
            std::uint64_t seen = 0;
            int points = 0;
            bool any = false;
            for (const auto& [word, term] : column.matches) {
                if (word < from || word >= from + n)
                    continue;
                const std::uint64_t bit = std::uint64_t(1) << (term & 63);
                points += (seen & bit) ? 1 : 1000;
                seen |= bit;
                if (!any)
                    *first = word;
                any = true;
                *last = word;
            }
            return points;
        };
        std::size_t sentence = 0; // the last sentence start up to the match
        for (const auto& [at, term] : column.matches) {
            while (sentence + 1 < column.sentences.size() && column.sentences[sentence + 1] <= at)
                ++sentence;
            std::uint32_t first = 0, last = 0;
            if (size > n && !column.sentences.empty() && column.sentences[sentence] < at) {
                const std::uint32_t from = column.sentences[sentence];
                const int points = score(from, &first, &last) + (from == 0 ? 120 : 100);
                if (points > column.score) {
                    column.score = points;
                    column.start = from;
                }
            }
            const int points = score(at, &first, &last);
            if (points > column.score) {
                column.score = points;
                const std::size_t span = last - first + 1;
                std::size_t start = first > (n - span) / 2 ? first - (n - span) / 2 : 0;
                column.start = size > n ? std::min(start, size - n) : 0;
            }
        }
    }
    const Column& best = columns[1].score > columns[0].score ? columns[1] : columns[0];
    std::string out;
    if (best.words.empty())
        return std::string(best.text);
    const std::size_t end = std::min(best.words.size(), best.start + kSnippetWords);
    out += best.start > 0 ? std::string_view("…") : best.text.substr(0, best.words[0].first);
    std::size_t match = 0;
    for (std::size_t w = best.start; w < end; ++w) {
        if (w > best.start)
            out += best.text.substr(best.words[w - 1].second,
                                    best.words[w].first - best.words[w - 1].second);
        while (match < best.matches.size() && best.matches[match].first < w)
            ++match;
        const std::string_view word =
            best.text.substr(best.words[w].first, best.words[w].second - best.words[w].first);
        if (match < best.matches.size() && best.matches[match].first == w) {
            out += '[';
            out += word;
            out += ']';
        } else {
            out += word;
        }
    }
    out += end < best.words.size() ? std::string_view("…")
                                   : best.text.substr(best.words[end - 1].second);
    return out;
}

// Sorts by radix, sixteen bits at a time, skipping the digits all keys share (the row's upper
// bits mostly): a keystroke may match most of the archive.
void SortKeys(std::vector<std::uint64_t>& keys) {
    if (keys.size() < 4096) {
        std::sort(keys.begin(), keys.end());
        return;
    }
    std::vector<std::uint64_t> other(keys.size());
    std::vector<std::size_t> count(65536 + 1);
    for (int shift = 0; shift < 64; shift += 16) {
        std::fill(count.begin(), count.end(), 0);
        for (const std::uint64_t k : keys)
            ++count[((k >> shift) & 0xffff) + 1];
        if (count[((keys[0] >> shift) & 0xffff) + 1] == keys.size())
            continue;
        for (std::size_t i = 1; i < count.size(); ++i)
            count[i] += count[i - 1];
        for (const std::uint64_t k : keys)
            other[count[(k >> shift) & 0xffff]++] = k;
        keys.swap(other);
    }
}

} // namespace

std::optional<std::string>
PageArchive::QuickSnippet(std::int64_t id, const std::vector<std::pair<std::string, bool>>& terms) {
    sqlite3_stmt* s = m_stmts->page.stmt;
    sqlite3_bind_int64(s, 1, id);
    std::optional<std::string> snippet;
    if (sqlite3_step(s) == SQLITE_ROW) {
        const auto* title = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
        const std::string_view titleText(title ? title : "",
                                         static_cast<std::size_t>(sqlite3_column_bytes(s, 0)));
        if (const auto text = Decompress(m_codec.get(), sqlite3_column_blob(s, 1),
                                         static_cast<std::size_t>(sqlite3_column_bytes(s, 1))))
            snippet = SnippetOf(titleText, *text, terms);
    }
    sqlite3_reset(s);
    return snippet;
}

bool PageArchive::HasPhrases(std::int64_t id, const std::vector<std::string>& phrases) {
    sqlite3_stmt* s = m_stmts->body.stmt;
    sqlite3_bind_int64(s, 1, id);
    std::optional<std::string> text;
    if (sqlite3_step(s) == SQLITE_ROW)
        text = Decompress(m_codec.get(), sqlite3_column_blob(s, 0),
                          static_cast<std::size_t>(sqlite3_column_bytes(s, 0)));
    sqlite3_reset(s);
    if (!text)
        return false;
    const std::string folded = Folded(*text);
    return std::all_of(phrases.begin(), phrases.end(), [&](const std::string& phrase) {
        return folded.find(phrase) != std::string::npos;
    });
}

TextSearchResult PageArchive::Search(std::string_view query, std::size_t limit,
                                     std::size_t snippets, std::size_t checked) {
    static_assert(kSnippetWords == 16);
    TextSearchResult result;
    const std::string typed = IndexQuery(query, &result.error);
    if (typed.empty() || !m_db)
        return result;
    std::vector<std::string> phrases;
    const std::string match = IndexForm(typed, &phrases);
    const Memo* memo = Memorized();
    if (!memo) {
        result.error = sqlite3_errmsg(m_db);
        return result;
    }
    Statement s;
    const auto run = [&](const char* sql, auto&& row) {
        if (sqlite3_prepare_v2(m_db, sql, -1, &s.stmt, nullptr) != SQLITE_OK) {
            result.error = sqlite3_errmsg(m_db);
            return false;
        }
        sqlite3_bind_text(s.stmt, 1, match.data(), static_cast<int>(match.size()), SQLITE_STATIC);
        int rc;
        while ((rc = sqlite3_step(s.stmt)) == SQLITE_ROW)
            row();
        sqlite3_finalize(std::exchange(s.stmt, nullptr));
        if (rc != SQLITE_DONE) {
            result.error = QueryError(m_db);
            return false;
        }
        return true;
    };
    // bm25 counting a word once per title or body: the rarer the words and the shorter the page,
    // the better; a page whose title matches weighs more. The lengths come from memory, the
    // word frequencies from the index once per query.
    const std::size_t known = memo->bodyWords.size();
    std::vector<std::uint8_t> inTitle(known, 0);
    double idf = 0;
    std::vector<std::int64_t> ids;
    if (!run("SELECT rowid FROM page_title WHERE page_title MATCH ?1",
             [&] {
                 const auto id = static_cast<std::size_t>(sqlite3_column_int64(s.stmt, 0));
                 if (id < known)
                     inTitle[id] = 1;
             }) ||
        !run("SELECT page_idf(page_index) FROM page_index WHERE page_index MATCH ?1 LIMIT 1",
             [&] { idf = sqlite3_column_double(s.stmt, 0); }) ||
        !run("SELECT rowid FROM page_index WHERE page_index MATCH ?1",
             [&] { ids.push_back(sqlite3_column_int64(s.stmt, 0)); }))
        return result;
    constexpr double k1 = 1.2, b = 0.75, titleWeight = 8.0;
    const auto term = [&](std::uint32_t length, int column) {
        return (k1 + 1) / (1 + k1 * (1 - b + b * double(length) / memo->average[column]));
    };
    const auto score = [&](std::size_t row) {
        return idf * term(memo->bodyWords[row], 1) +
               (inTitle[row] ? titleWeight * idf * term(memo->titleWords[row], 0) : 0.0);
    };
    // Each match as one number that sorts best first: the score's bits (those of a positive
    // float grow with it) inverted, then the row. Tens of thousands of matches sort in a few
    // milliseconds so.
    std::vector<std::uint64_t> rows;
    rows.reserve(ids.size());
    for (const std::int64_t id : ids) {
        const auto row = static_cast<std::size_t>(id);
        // Rows written since the memo was read have no URL in it: left out until it is read again.
        if (id < 0 || row >= known || id > std::numeric_limits<std::uint32_t>::max())
            continue;
        std::uint32_t bits;
        const float value = static_cast<float>(score(row));
        std::memcpy(&bits, &value, sizeof bits);
        rows.push_back((std::uint64_t(~bits) << 32) | std::uint64_t(row));
    }
    SortKeys(rows);

    Statement snippet;
    const std::string snippetSql = std::string("SELECT ") + kSnippetCall +
                                   " FROM page_index WHERE page_index MATCH ?1 AND rowid = ?2";
    if (snippets > 0 &&
        sqlite3_prepare_v2(m_db, snippetSql.c_str(), -1, &snippet.stmt, nullptr) != SQLITE_OK)
        snippets = 0;
    // Phrases are checked against the text, best candidates first, until enough hits are found.
    const std::size_t enough = std::min(limit == 0 ? SIZE_MAX : limit,
                                        checked == 0 || phrases.empty() ? SIZE_MAX : checked);
    result.hits.reserve(std::min(rows.size(), enough));
    const auto terms = SnippetTerms(match);
    std::size_t next = 0;
    for (; next < rows.size() && result.hits.size() < enough; ++next) {
        const auto id = static_cast<std::int64_t>(rows[next] & 0xffffffffu);
        const std::optional<std::string_view> url = memo->Url(id);
        if (!url || (!phrases.empty() && !HasPhrases(id, phrases)))
            continue;
        TextHit hit;
        hit.url = *url;
        hit.score = score(static_cast<std::size_t>(id));
        if (result.hits.size() < snippets && terms) {
            if (std::optional<std::string> quick = QuickSnippet(id, *terms)) {
                hit.snippet = std::move(*quick);
                result.hits.push_back(std::move(hit));
                continue;
            }
        }
        if (result.hits.size() < snippets) {
            sqlite3_bind_text(snippet.stmt, 1, match.data(), static_cast<int>(match.size()),
                              SQLITE_STATIC);
            sqlite3_bind_int64(snippet.stmt, 2, id);
            if (sqlite3_step(snippet.stmt) == SQLITE_ROW)
                hit.snippet = ColumnText(snippet.stmt, 0);
            sqlite3_reset(snippet.stmt);
        }
        result.hits.push_back(std::move(hit));
    }
    if (!phrases.empty())
        result.unchecked = rows.size() - next;
    return result;
}

std::string PageArchive::Snippet(std::string_view query, std::string_view url) {
    std::string error;
    const std::string typed = IndexQuery(query, &error);
    if (typed.empty() || !m_db)
        return {};
    std::vector<std::string> phrases;
    const std::string match = IndexForm(typed, &phrases);
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
    for (const char* index : {"page_index", "page_title"})
        if (!Exec(
                ("INSERT INTO " + std::string(index) + "(" + index + ") VALUES('integrity-check')")
                    .c_str()))
            problems += m_error + "\n";
    return problems;
}

} // namespace brindle
