// SPDX-License-Identifier: GPL-3.0-or-later
// The archive database: pages kept and replaced, the search syntax and its errors, the trained
// dictionary, an archive of the earlier index form, Save As, and a writer killed in the middle of
// a batch.
#include "archive/PageArchive.h"
#include "store/BrindleDoc.h"
#include "store/Trash.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <csignal>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

using namespace brindle;

namespace {

class PageArchiveTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(m_archive.Open(Path("a.sqlite"), true)) << m_archive.Error();
    }
    std::string Path(const char* name) const { return m_dir.filePath(name).toStdString(); }
    void Add(const std::string& url, const std::string& title, const std::string& text) {
        ASSERT_TRUE(m_archive.Put({url, url + "/final", 1700000000, title, text}))
            << m_archive.Error();
    }
    std::vector<std::string> Find(const std::string& query) {
        const TextSearchResult r = m_archive.Search(query, 0, 0);
        EXPECT_EQ(r.error, "") << query;
        std::vector<std::string> urls;
        for (const TextHit& hit : r.hits)
            urls.emplace_back(hit.url);
        return urls;
    }
    void AddSamples() {
        Add("u:kube", "Kubernetes notes", "Pods and deployments run containers in a cluster.");
        Add("u:docker", "Containers", "Docker builds container images; a cluster is optional.");
        Add("u:bread", "Baking", "Sourdough bread needs a starter and a long, slow rise.");
        Add("u:cafe", "Café", "A café in Zürich serves bread and coffee.");
    }

    QTemporaryDir m_dir;
    PageArchive m_archive;
};

using Urls = std::vector<std::string>;

} // namespace

TEST_F(PageArchiveTest, PagesAreKeptCompressedAndReplacedWholly) {
    const std::string text(20000, 'x');
    Add("http://a/", "A", "first words " + text);
    Add("http://a/", "A again", "second words");
    EXPECT_EQ(m_archive.Count(), 1u);
    const auto page = m_archive.Get("http://a/");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->title, "A again");
    EXPECT_EQ(page->text, "second words");
    EXPECT_EQ(page->finalUrl, "http://a//final");
    EXPECT_EQ(page->fetched, 1700000000);
    EXPECT_EQ(Find("first"), Urls{}) << "the replaced text left the index";
    EXPECT_EQ(Find("second"), Urls{"http://a/"});
    {
        // Pages another connection archives are found by a search of this one.
        PageArchive writer;
        ASSERT_TRUE(writer.Open(Path("a.sqlite"), false));
        ASSERT_TRUE(writer.Put({"http://b/", "", 1, "B", "second page"}));
    }
    EXPECT_EQ(Find("second").size(), 2u);
    EXPECT_FALSE(m_archive.Get("http://other/"));
    EXPECT_EQ(m_archive.FetchDates().at("http://a/"), 1700000000);
    EXPECT_EQ(m_archive.Verify(), "");
}

TEST_F(PageArchiveTest, QuerySyntax) {
    AddSamples();
    Urls both = Find("cluster");
    std::sort(both.begin(), both.end());
    EXPECT_EQ(both, (Urls{"u:docker", "u:kube"}));
    EXPECT_EQ(Find("CLUSTER pods"), Urls{"u:kube"}) << "words AND together, any case";
    EXPECT_EQ(Find("\"slow rise\""), Urls{"u:bread"});
    EXPECT_EQ(Find("\"rise slow\""), Urls{}) << "a phrase keeps its order";
    EXPECT_EQ(Find("\"slow rise\" bread (sourdough OR pods) starter"), Urls{"u:bread"})
        << "words after a phrase or parentheses";
    EXPECT_EQ(Find("\"LONG slow\""), Urls{"u:bread"}) << "case and punctuation between words";
    EXPECT_EQ(Find("\"starter long\""), Urls{}) << "a word between breaks the phrase";
    EXPECT_EQ(Find("kube*"), Urls{"u:kube"});
    EXPECT_EQ(Find("contain* NOT docker"), Urls{"u:kube"});
    EXPECT_EQ(Find("sourdough OR pods").size(), 2u);
    EXPECT_EQ(Find("(docker OR pods) AND images"), Urls{"u:docker"});
    EXPECT_EQ(Find("zurich cafe"), Urls{"u:cafe"}) << "accents fold";
    EXPECT_EQ(Find("coffee-bread"), Urls{}) << "a hyphenated word is a phrase";
    EXPECT_EQ(Find("bread coffee"), Urls{"u:cafe"});
    EXPECT_EQ(Find("\"slow ris"), Urls{}) << "an unclosed quote is closed";
    EXPECT_EQ(Find("title:baking"), Urls{}) << "no column filters: a phrase of two words";
    EXPECT_EQ(Find("NEAR"), Urls{}) << "operators of the index are plain words here";
}

TEST_F(PageArchiveTest, RelevanceOrdersAndSnippetsMarkTheWords) {
    AddSamples();
    Add("u:title", "Cluster cluster", "unrelated text about something else entirely");
    const TextSearchResult r = m_archive.Search("cluster", 0, 1);
    ASSERT_EQ(r.hits.size(), 3u);
    EXPECT_EQ(r.hits[0].url, "u:title") << "title words weigh more";
    EXPECT_GT(r.hits[0].score, r.hits[2].score);
    EXPECT_NE(r.hits[0].snippet.find("[Cluster]"), std::string::npos) << r.hits[0].snippet;
    EXPECT_EQ(r.hits[1].snippet, "") << "only the first hits get snippets";
    EXPECT_NE(m_archive.Snippet("cluster", "u:kube").find("[cluster]"), std::string::npos);
    EXPECT_EQ(m_archive.Search("cluster", 2, 50).hits.size(), 2u);
}

TEST_F(PageArchiveTest, BadQueriesGiveAMessageAndNoHits) {
    AddSamples();
    for (const char* bad : {"bread AND", "OR bread", "NOT", "(bread", "bread)", "bread NOT"}) {
        TextSearchResult r;
        EXPECT_NO_THROW(r = m_archive.Search(bad, 0, 50));
        EXPECT_NE(r.error, "") << bad;
        EXPECT_TRUE(r.hits.empty()) << bad;
    }
    EXPECT_EQ(m_archive.Search("*** ---", 0, 0).error, "The query has no words to look for.");
    EXPECT_EQ(m_archive.Search("   ", 0, 0).error, "") << "an empty box is no error";
}

TEST_F(PageArchiveTest, PagesBeforeAndAfterTheDictionaryReadBackAndMatch) {
    const auto text = [](std::size_t i) {
        std::string t;
        for (std::size_t w = 0; w < 200; ++w)
            t += "word" + std::to_string((w * 7 + i) % 300) + (w % 11 ? " " : ". ");
        return t + "alpha beta page" + std::to_string(i);
    };
    const std::size_t pages = PageArchive::kDictionaryPages + 50;
    ASSERT_TRUE(m_archive.Begin());
    for (std::size_t i = 0; i <= PageArchive::kDictionaryPages; ++i)
        Add("u:" + std::to_string(i), "T", text(i));
    // With the dictionary a batch is compressed on a second thread; one page of it is replaced.
    std::vector<ArchivedPage> batch{{"u:0", "", 1, "T", "replaced"}};
    for (std::size_t i = PageArchive::kDictionaryPages + 1; i < pages; ++i)
        batch.push_back({"u:" + std::to_string(i), "", 1, "T", text(i)});
    ASSERT_TRUE(m_archive.Put(batch)) << m_archive.Error();
    ASSERT_TRUE(m_archive.Commit());
    m_archive.Close();
    ASSERT_TRUE(m_archive.Open(Path("a.sqlite"), false)) << m_archive.Error();
    for (const std::size_t i : {std::size_t{1}, pages / 2, pages - 2, pages - 1})
        EXPECT_EQ(m_archive.Get("u:" + std::to_string(i))->text, text(i)) << i;
    EXPECT_EQ(m_archive.Get("u:0")->text, "replaced");
    EXPECT_EQ(Find("page" + std::to_string(pages - 1)), Urls{"u:" + std::to_string(pages - 1)});
    EXPECT_EQ(Find("\"alpha beta\"").size(), pages - 1);
    EXPECT_EQ(Find("\"beta alpha\"").size(), 0u) << "both words in every page, not in this order";
    EXPECT_EQ(m_archive.Verify(), "");
}

TEST_F(PageArchiveTest, AnArchiveOfTheEarlierIndexFormIsReindexedOnOpening) {
    Add("u:old", "Old page", "kept with word positions once");
    m_archive.Close();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(Path("a.sqlite").c_str(), &db), SQLITE_OK);
    const char* earlier = "DROP TABLE page_index; DROP TABLE page_title; DROP TABLE "
                          "page_dictionary; CREATE VIRTUAL TABLE page_index USING fts5(title, "
                          "body, content='page_text', content_rowid='id', tokenize='unicode61 "
                          "remove_diacritics 2')";
    EXPECT_EQ(sqlite3_exec(db, earlier, nullptr, nullptr, nullptr), SQLITE_OK)
        << sqlite3_errmsg(db);
    sqlite3_close(db);
    ASSERT_TRUE(m_archive.Open(Path("a.sqlite"), false)) << m_archive.Error();
    EXPECT_EQ(Find("positions"), Urls{"u:old"});
    EXPECT_EQ(m_archive.Verify(), "");
}

TEST_F(PageArchiveTest, TextsGoWhenNoBookmarkNorTrashEntryKeepsTheirUrl) {
    qputenv("XDG_DATA_HOME", m_dir.filePath("data").toUtf8());
    const std::string path = Path("doc.brx");
    CBrindleDoc doc;
    ASSERT_TRUE(doc.AddBookmark({.name = "Kept", .url = "http://kept/"}));
    ASSERT_TRUE(doc.AddBookmark({.name = "Twin", .url = "http://kept/"}));
    Trash trash;
    trash.Append({{CBookmark("Trashed", "http://trashed/", "", "", "", 0, "<None>", "", 0, 0, 0, 0),
                   CBrindleDoc::Now(),
                   TrashReason::Deleted,
                   {}}});
    ASSERT_EQ(trash.Save(TrashFileFor(path)), 0);
    for (const char* url : {"http://kept/", "http://trashed/", "http://gone/"})
        Add(url, "T", "some words");
    EXPECT_EQ(DropTextsOfGoneBookmarks(m_archive, doc, path), 1u);
    EXPECT_FALSE(m_archive.Get("http://gone/"));
    EXPECT_EQ(Find("words"), (Urls{"http://kept/", "http://trashed/"}));
    // The Trash entry goes (retention or a delete there), then its text.
    ASSERT_EQ(Trash().Save(TrashFileFor(path)), 0);
    EXPECT_EQ(DropTextsOfGoneBookmarks(m_archive, doc, path), 1u);
    EXPECT_EQ(Find("words"), Urls{"http://kept/"});
    EXPECT_EQ(m_archive.Verify(), "");
}

TEST_F(PageArchiveTest, SaveAsCopiesTheArchiveToTheNewName) {
    qputenv("XDG_DATA_HOME", m_dir.filePath("data").toUtf8());
    const std::string oldDoc = Path("old.brx");
    const std::string newDoc = Path("new.brx");
    EXPECT_NE(PageArchive::LocationFor(oldDoc), PageArchive::LocationFor(newDoc));
    EXPECT_EQ(PageArchive::LocationFor(oldDoc).rfind(m_dir.filePath("data").toStdString(), 0), 0u);
    {
        PageArchive archive;
        ASSERT_TRUE(archive.Open(PageArchive::LocationFor(oldDoc), true));
        ASSERT_TRUE(archive.Put({"http://x/", "http://x/", 5, "X", "archived words"}));
    }
    std::string error;
    ASSERT_TRUE(PageArchive::CopyFor(oldDoc, newDoc, &error)) << error;
    PageArchive copy;
    ASSERT_TRUE(copy.Open(PageArchive::LocationFor(newDoc), false));
    ASSERT_EQ(copy.Search("archived", 0, 1).hits.size(), 1u);
    EXPECT_EQ(copy.Verify(), "");
    EXPECT_TRUE(PageArchive::CopyFor(Path("none.brx"), newDoc, &error)) << "nothing to copy";
}

TEST_F(PageArchiveTest, AWriterKilledMidBatchLeavesAConsistentArchive) {
    m_archive.Close();
    const std::string path = Path("killed.sqlite");
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        PageArchive archive;
        if (!archive.Open(path, true))
            _exit(3);
        for (int batch = 0;; ++batch) {
            archive.Begin();
            for (int i = 0; i < 20; ++i) {
                const std::string n = std::to_string(batch * 20 + i);
                archive.Put({"http://p/" + n, "", 1, "page " + n,
                             "words of page number " + n + " and more words"});
            }
            archive.Commit();
        }
    }
    // Let it commit some batches, then kill it wherever it is.
    PageArchive reader;
    for (int i = 0; i < 400 && reader.Count() < 100; ++i) {
        usleep(10000);
        if (!reader.IsOpen())
            reader.Open(path, false);
    }
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    reader.Close();
    PageArchive after;
    ASSERT_TRUE(after.Open(path, false)) << after.Error();
    const std::size_t count = after.Count();
    EXPECT_GE(count, 100u);
    EXPECT_EQ(count % 20, 0u) << "whole batches only";
    EXPECT_EQ(after.Verify(), "");
    EXPECT_EQ(after.Search("words", 0, 0).hits.size(), count);
}

TEST_F(PageArchiveTest, TheFirstScreenAgreesWithTheIndexOwnEvaluation) {
    // Pages of a small vocabulary, so that words repeat within and across pages, with
    // sentences, capitals and punctuation; snippets and phrase checks made here must match
    // what the index makes, and stopping early must not change the hits found.
    const char* words[] = {"alpha", "beta", "gamma", "delta", "omega",  "kappa",
                           "sigma", "zeta", "theta", "iota",  "lambda", "rho"};
    std::uint32_t seed = 1;
    const auto next = [&] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    for (int p = 0; p < 120; ++p) {
        std::string text, title = std::string(words[next() % 12]) + " " + words[next() % 12];
        const int length = 5 + static_cast<int>(next() % 80);
        for (int w = 0; w < length; ++w) {
            std::string word = words[next() % 12];
            if (next() % 9 == 0)
                word[0] = static_cast<char>(word[0] - 32);
            text += word + (next() % 7 == 0 ? ". " : next() % 11 == 0 ? ": " : " ");
        }
        Add("u:" + std::to_string(p), p % 10 ? title : "", text);
    }
    for (const char* query : {"gamma", "Beta zeta", "lamb*", "(iota OR rho) NOT alpha",
                              "\"sigma theta\"", "\"kappa kappa\" omega", "gamma sigma rho"}) {
        const TextSearchResult all = m_archive.Search(query, 0, 1000);
        ASSERT_EQ(all.error, "") << query;
        ASSERT_FALSE(all.hits.empty()) << query;
        for (const TextHit& hit : all.hits)
            EXPECT_EQ(hit.snippet, m_archive.Snippet(query, hit.url)) << query << " " << hit.url;
        // A phrase is checked until three hits are found; other queries are not cut short.
        const TextSearchResult first = m_archive.Search(query, 0, 0, 3);
        ASSERT_GE(first.hits.size(), std::min<std::size_t>(3, all.hits.size())) << query;
        ASSERT_LE(first.hits.size(), all.hits.size()) << query;
        for (std::size_t i = 0; i < first.hits.size(); ++i)
            EXPECT_EQ(first.hits[i].url, all.hits[i].url) << query;
        EXPECT_GE(first.unchecked, all.hits.size() - first.hits.size()) << query;
        EXPECT_EQ(all.unchecked, 0u);
    }
}
