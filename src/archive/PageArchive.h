// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The text of archived pages, kept beside a document rather than in it: one SQLite database per
// document under the user's data folder (the document file stays as it is, and the archive is
// this machine's own; it can always be fetched again). A page is known by the bookmark's URL, so
// several bookmarks of one page share its text, and a deleted bookmark's text stays. The text is
// stored compressed (zstd, with a dictionary trained on the archive's first pages once there are
// enough of them: pages are short, and a shared dictionary saves about a seventh); a full-text
// index (FTS5) reads it through a view that decompresses, so nothing is stored twice. The index
// keeps which words each page's title and body hold, not where: positions would cost more than
// the compressed text itself. Phrases are therefore checked against the text of the pages that
// hold all their words. Writes go through a write-ahead log in transactions: a process killed
// while archiving leaves the pages of the batches it committed.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct sqlite3;
class CBrindleDoc;

namespace brindle {

struct ArchivedPage {
    std::string url;          // the bookmark's URL, the key
    std::string finalUrl;     // where the redirects led
    std::int64_t fetched = 0; // seconds since 1970-01-01 UTC
    std::string title;
    std::string text;
};

struct TextHit {
    // The page's URL, held by the archive: valid until its next write, search or Close (a search
    // may match tens of thousands of pages, and copying their URLs cost more than the ranking).
    std::string_view url;
    double score = 0;    // relevance, higher is better (bm25, title words weigh more)
    std::string snippet; // the words around the matches, each match between [ and ]
};

struct TextSearchResult {
    std::vector<TextHit> hits; // best first
    std::string error;         // why the query could not run ("" when it ran)
    // Pages holding every word of the query's phrases whose text was not checked for the
    // phrases (the search stopped once it had found enough): further hits may be among them.
    std::size_t unchecked = 0;
};

// The archived text as a simple, self-contained HTML page: title, where and when it was
// fetched, one paragraph per line; every text escaped.
std::string ArchivedPageHtml(const ArchivedPage& page);

// A query as the search box takes it (words, "phrases", prefix*, AND, OR, NOT, parentheses) in
// the index's syntax: a word holding other characters than letters and digits becomes a phrase
// of its parts, an unclosed quote is closed. "" with `error` set when nothing is left to look for.
std::string IndexQuery(std::string_view text, std::string* error);

class PageArchive {
  public:
    PageArchive();
    ~PageArchive();
    PageArchive(const PageArchive&) = delete;
    PageArchive& operator=(const PageArchive&) = delete;

    // Where the archive of the document at `documentPath` lives: a file named after the
    // document and a hash of its absolute path, in "brindle/archive" of the data folder.
    static std::string LocationFor(const std::string& documentPath);
    // Save As: the document at `to` starts with a copy of the archive of `from` (replacing any
    // it had). True when there was nothing to copy.
    static bool CopyFor(const std::string& from, const std::string& to, std::string* error);

    // Opens (`create`: making it and its folder when missing) the database at `path`.
    bool Open(const std::string& path, bool create);
    bool IsOpen() const { return m_db != nullptr; }
    void Close();
    const std::string& Error() const { return m_error; }

    // Writes go in transactions: many pages at once are quick, and a crash keeps whole batches.
    bool Begin();
    bool Commit();
    // Stores or replaces the page of `page.url`.
    bool Put(const ArchivedPage& page);
    // The same for each of `pages`, compressing their texts on a second thread meanwhile.
    bool Put(const std::vector<ArchivedPage>& pages);
    std::optional<ArchivedPage> Get(std::string_view url);
    // Removes the pages whose URL `keep` refuses; how many went (0 also on an error).
    std::size_t DropUnless(const std::function<bool(const std::string& url)>& keep);
    // When each archived page was fetched, by URL.
    std::unordered_map<std::string, std::int64_t> FetchDates();
    std::size_t Count();
    // Reads what every search needs (page lengths, URLs) ahead of the first one.
    void Prepare() { Memorized(); }

    // The pages matching `query` (search-box syntax), best first (bm25 counting a word once per
    // title or body, the title weighing more); `limit` 0 is all of them, and the first
    // `snippets` hits get their snippet. A phrase is checked against the text of the pages
    // holding its words, best first, until `checked` hits are found (0: all of them).
    TextSearchResult Search(std::string_view query, std::size_t limit, std::size_t snippets,
                            std::size_t checked = 0);
    // The snippet of one page for `query`; "" when it does not match.
    std::string Snippet(std::string_view query, std::string_view url);

    // Pages compressed without a dictionary before one is trained from them.
    static constexpr std::size_t kDictionaryPages = 1000;
    static constexpr std::size_t kDictionaryBytes = 112 * 1024;

    // The database's own consistency checks, the index's included; "" when all is well.
    std::string Verify();

    struct Codec;

  private:
    bool Exec(const char* sql);
    bool Migrate();
    bool LoadDictionaries();
    bool TrainDictionary();
    // Makes the compressor of the newest dictionary, training one when it is time.
    bool PrepareWriter();
    bool Store(const ArchivedPage& page, const std::string& body);
    // Whether the text of page `id` holds all of `phrases` (each " words " or " words").
    bool HasPhrases(std::int64_t id, const std::vector<std::string>& phrases);
    // The snippet of page `id` for `terms` made here; nothing when the index must make it.
    std::optional<std::string> QuickSnippet(std::int64_t id,
                                            const std::vector<std::pair<std::string, bool>>& terms);
    struct Memo;
    const Memo* Memorized();
    bool Fail(const char* what);

    sqlite3* m_db = nullptr;
    std::string m_error;
    struct Statements;
    std::unique_ptr<Statements> m_stmts;
    std::unique_ptr<Codec> m_codec;
    // Rows, counted when first needed, until a dictionary is trained.
    static constexpr std::size_t kUnknown = SIZE_MAX, kNoTraining = SIZE_MAX - 1;
    std::size_t m_pages = kUnknown;
    std::unique_ptr<Memo> m_memo;
};

// A page's text goes when no bookmark keeps its URL: not one of `doc`, not one deleted since its
// last save, not one in the Trash of the document at `documentPath`. Run when an archiving run
// opens the archive, so texts leave with their bookmarks' Trash entries (retention or a delete
// there); how many went.
std::size_t DropTextsOfGoneBookmarks(PageArchive& archive, CBrindleDoc& doc,
                                     const std::string& documentPath);

} // namespace brindle
