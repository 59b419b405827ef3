// SPDX-License-Identifier: GPL-3.0-or-later
// Address normal forms, duplicate groups, and merging a group with its undo.
#include "store/BrindleDoc.h"
#include "store/DuplicateGroups.h"
#include "store/UrlNormalForm.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

using brindle::LikelyUrlKey;
using brindle::SameUrlKey;

struct Variant {
    const char* url;
    const char* same;
    const char* likely;
};

// Addresses as browsers and mail campaigns write them, with both keys.
const Variant kVariants[] = {
    {"HTTP://WWW.Mozilla.ORG/en-US/about/", "http://www.mozilla.org/en-US/about/",
     "http://mozilla.org/en-US/about"},
    {"https://gitter.im/y-js/yjs?utm_source=badge&utm_medium=badge&utm_campaign=pr-badge",
     "https://gitter.im/y-js/yjs", "http://gitter.im/y-js/yjs"},
    {"https://www.theverge.com:443/?fbclid=IwAR0x&gclid=abc", "https://www.theverge.com/",
     "http://theverge.com"},
    {"http://www.panix.com:80/%7ecomdog/", "http://www.panix.com/~comdog/",
     "http://panix.com/~comdog"},
    {"http://storml.deviantart.com/art/x?q=in%3ascraps%20sort%3atime&qo=1&mc_cid=9f&mc_eid=1",
     "http://storml.deviantart.com/art/x?q=in%3Ascraps%20sort%3Atime&qo=1",
     "http://storml.deviantart.com/art/x?q=in%3Ascraps%20sort%3Atime&qo=1"},
    // An escaped name is judged decoded: a key's key is the key itself.
    {"https://example.com/?utm%5Fsource=x&q=1", "https://example.com/?q=1",
     "http://example.com?q=1"},
    {"https://example.com?", "https://example.com/", "http://example.com"},
    {"https://example.com:8443/a#", "https://example.com:8443/a", "http://example.com:8443/a"},
    {"https://docs.example.com/guide/#install", "https://docs.example.com/guide/#install",
     "http://docs.example.com/guide"},
    {"https://mail.example.com/#/inbox/42", "https://mail.example.com/#/inbox/42",
     "http://mail.example.com#/inbox/42"},
    {"http://twitter.com/#!/user", "http://twitter.com/#!/user", "http://twitter.com#!/user"},
    {"http://[2001:DB8::1]:80/x", "http://[2001:db8::1]/x", "http://[2001:db8::1]/x"},
    {"http://User:PW@Example.COM:0080/", "http://User:PW@example.com/",
     "http://User:PW@example.com"},
    {"https://Bücher.example/Straße", "https://xn--bcher-kva.example/Straße",
     "http://xn--bcher-kva.example/Straße"},
    {"  https://www.reddit.com/  ", "https://www.reddit.com/", "http://reddit.com"},
    // Not web addresses: only the scheme's case changes.
    {"MAILTO:Someone@Example.COM", "mailto:Someone@Example.COM", "mailto:Someone@Example.COM"},
    {"JavaScript:alert('Hi')", "javascript:alert('Hi')", "javascript:alert('Hi')"},
    {"File:///Otter%20Pop/Gerbils/", "file:///Otter%20Pop/Gerbils/",
     "file:///Otter%20Pop/Gerbils/"},
    {"place:sort=8&maxResults=10", "place:sort=8&maxResults=10", "place:sort=8&maxResults=10"},
    // Malformed: left as they are.
    {"?KvNdlQ", "?KvNdlQ", "?KvNdlQ"},
    {"http://[::1/x", "http://[::1/x", "http://[::1/x"},
    {"http://host:12ab/", "http://host:12ab/", "http://host:12ab/"},
    {"https://", "https://", "https://"},
    {"http://a.com/%zz%4", "http://a.com/%zz%4", "http://a.com/%zz%4"},
};

TEST(UrlNormalForm, RealWorldVariants) {
    for (const Variant& v : kVariants) {
        SCOPED_TRACE(v.url);
        EXPECT_EQ(SameUrlKey(v.url), v.same);
        EXPECT_EQ(LikelyUrlKey(v.url), v.likely);
    }
}

TEST(UrlNormalForm, KeepsWhatChangesThePage) {
    // Path case, other parameters and their order, escaped reserved bytes all matter.
    EXPECT_NE(SameUrlKey("https://example.com/A"), SameUrlKey("https://example.com/a"));
    EXPECT_NE(SameUrlKey("https://example.com/?a=1&b=2"),
              SameUrlKey("https://example.com/?b=2&a=1"));
    EXPECT_NE(SameUrlKey("https://example.com/a%2Fb"), SameUrlKey("https://example.com/a/b"));
    EXPECT_NE(SameUrlKey("http://example.com/"), SameUrlKey("https://example.com/"));
    EXPECT_NE(LikelyUrlKey("https://example.com/#/a"), LikelyUrlKey("https://example.com/#/b"));
    EXPECT_NE(LikelyUrlKey("https://example.com:8080/"), LikelyUrlKey("https://example.com/"));
}

TEST(UrlNormalForm, NormalFormIsStableAndRandomBytesNeverBreakIt) {
    for (const Variant& v : kVariants) {
        EXPECT_EQ(SameUrlKey(v.same), v.same);
        EXPECT_EQ(LikelyUrlKey(v.likely), v.likely);
    }
    std::mt19937 random(7);
    const std::string alphabet = "hts:/p.[]@%#?&=_-~aAfF09\xc3\xbc\x80 ";
    std::string buffer;
    for (int n = 0; n < 20000; ++n) {
        std::string url = n % 2 ? "http://" : "";
        const int length = static_cast<int>(random() % 24);
        for (int i = 0; i < length; ++i)
            url += alphabet[random() % alphabet.size()];
        brindle::SameUrlKey(url, buffer);
        EXPECT_EQ(SameUrlKey(buffer), buffer) << url;
        brindle::LikelyUrlKey(url, buffer);
    }
}

BookmarkFields Fields(const char* name, const char* url) {
    return {.name = name, .url = url, .statusChecking = 1, .status = "Waiting", .addDate = 100};
}

TEST(DuplicateGroups, SameBeforeLikelyAndLikelyOnlyWhenItJoinsSomething) {
    CBrindleDoc doc;
    doc.AddBookmark(Fields("a", "https://www.example.com/page/"));          // 0
    doc.AddBookmark(Fields("b", "https://www.example.com/page/?utm_id=2")); // 1
    doc.AddBookmark(Fields("c", "http://example.com/page"));                // 2
    doc.AddBookmark(Fields("d", "https://other.org/"));                     // 3
    doc.AddBookmark(Fields("e", "https://other.org/"));                     // 4
    doc.AddBookmark(Fields("f", "https://alone.net/"));                     // 5
    const auto groups = brindle::FindDuplicateGroups(doc.Bookmarks(), true);
    ASSERT_EQ(groups.size(), 3u);
    EXPECT_EQ(groups[0].kind, brindle::DuplicateKind::Same);
    EXPECT_EQ(groups[0].members, (std::vector<std::uint32_t>{0, 1}));
    EXPECT_EQ(groups[1].members, (std::vector<std::uint32_t>{3, 4}));
    EXPECT_EQ(groups[2].kind, brindle::DuplicateKind::Likely);
    EXPECT_EQ(groups[2].members, (std::vector<std::uint32_t>{0, 1, 2}));
    EXPECT_EQ(brindle::FindDuplicateGroups(doc.Bookmarks(), false).size(), 2u);
}

TEST(DuplicateGroups, AgreeWithGroupingByTheKeysThemselves) {
    // Pairs take a shortcut, larger runs do not: random variants of a few pages give both.
    std::mt19937 rng(7);
    const std::vector<std::string> variants = {"https://www.", "http://", "https://",
                                               "HTTPS://WWW."};
    CBrindleDoc doc;
    for (int i = 0; i < 400; ++i) {
        std::string url = variants[rng() % variants.size()] + "site" + std::to_string(rng() % 40) +
                          ".org/p" + std::to_string(rng() % 5);
        if (rng() % 3 == 0)
            url += "/?utm_source=x";
        doc.AddBookmark(Fields("n", url.c_str()));
    }
    std::map<std::string, std::vector<std::uint32_t>> same;
    std::map<std::string, std::vector<std::uint32_t>> likely;
    for (std::uint32_t i = 0; i < doc.Bookmarks().size(); ++i) {
        same[brindle::SameUrlKey(doc.Bookmarks()[i].m_strURL)].push_back(i);
        likely[brindle::LikelyUrlKey(doc.Bookmarks()[i].m_strURL)].push_back(i);
    }
    std::set<std::vector<std::uint32_t>> expectSame, expectLikely, gotSame, gotLikely;
    for (const auto& [key, members] : same)
        if (members.size() >= 2)
            expectSame.insert(members);
    for (const auto& [key, members] : likely) {
        std::set<std::string> sameKeys;
        for (std::uint32_t m : members)
            sameKeys.insert(brindle::SameUrlKey(doc.Bookmarks()[m].m_strURL));
        if (sameKeys.size() >= 2)
            expectLikely.insert(members);
    }
    for (const auto& g : brindle::FindDuplicateGroups(doc.Bookmarks(), true))
        (g.kind == brindle::DuplicateKind::Same ? gotSame : gotLikely).insert(g.members);
    EXPECT_EQ(gotSame, expectSame);
    EXPECT_EQ(gotLikely, expectLikely);
    EXPECT_GT(expectSame.size(), 10u);
}

struct Snapshot {
    std::vector<std::string> texts;
    std::vector<std::string> keywordLists;
};
Snapshot Take(const CBrindleDoc& doc) {
    Snapshot s;
    for (std::size_t i = 0; i < doc.Bookmarks().size(); ++i) {
        const BookmarkRef b = doc.Bookmarks()[i];
        std::string row;
        for (int f = 0; f < kFieldCount; ++f)
            row += (f < 8 ? std::string(f == 5 ? (b.m_wStatusChecking ? "1" : "0")
                                               : std::string(*b.TextField(f)))
                          : std::to_string(b.GetFieldTime(f))) +
                   "|";
        s.texts.push_back(row);
        std::string list;
        for (const std::string& k : doc.Bookmarks().KeywordList(i))
            list += k + " ";
        s.keywordLists.push_back(list);
    }
    std::sort(s.texts.begin(), s.texts.end());
    std::sort(s.keywordLists.begin(), s.keywordLists.end());
    return s;
}

TEST(MergeBookmarks, KeepsTheBestOfEachAndUndoRestoresTheGroup) {
    CBrindleDoc doc;
    doc.AddBookmark({.name = "Old",
                     .url = "http://www.example.com/docs/",
                     .keywords = "web docs",
                     .description = "short",
                     .notes = "first note",
                     .statusChecking = 1,
                     .status = "Page not found",
                     .addDate = 500,
                     .lastVisited = 900,
                     .lastModified = 50,
                     .lastChecked = 300});
    doc.AddBookmark(Fields("Unrelated", "https://unrelated.org/"));
    doc.AddBookmark({.name = "New",
                     .url = "https://example.com/docs",
                     .keywords = "manual web",
                     .description = "a longer description",
                     .notes = "second note",
                     .statusChecking = 1,
                     .status = "OK",
                     .addDate = 700,
                     .lastVisited = 100,
                     .lastModified = 80,
                     .lastChecked = 800});
    doc.AddBookmark({.name = "Never",
                     .url = "http://example.com/docs#intro",
                     .notes = "first note",
                     .status = "Waiting",
                     .addDate = 0});
    doc.Search("", false, kSearchAllFields);
    const Snapshot before = Take(doc);

    const auto groups = brindle::FindDuplicateGroups(doc.Bookmarks(), true);
    ASSERT_EQ(groups.size(), 1u);
    std::vector<CBrindleDoc::Hits> chosen = {groups[0].members};
    EXPECT_EQ(doc.MergeBookmarks(chosen), 2u);

    ASSERT_EQ(doc.Bookmarks().size(), 2u);
    EXPECT_EQ(doc.Bookmarks()[0].m_strName, "Unrelated");
    const BookmarkRef m = doc.Bookmarks()[1];
    EXPECT_EQ(m.m_strName, "New");
    EXPECT_EQ(m.m_strURL, "https://example.com/docs");
    EXPECT_EQ(m.m_strKeywords, "manual web docs");
    EXPECT_EQ(m.m_strDescription, "a longer description");
    EXPECT_EQ(m.m_strNotes, "second note\nfirst note");
    EXPECT_EQ(m.m_tAddDate, 500);
    EXPECT_EQ(m.m_tLastVisited, 900);
    EXPECT_EQ(m.m_tLastModified, 80);
    EXPECT_EQ(m.m_tLastChecked, 800);
    EXPECT_EQ(m.m_strStatus, "OK");
    EXPECT_EQ(doc.KeywordHits().size(), 2u);
    EXPECT_TRUE(doc.IsModified());

    doc.UndoDeleteBookmarks();
    const Snapshot after = Take(doc);
    EXPECT_EQ(after.texts, before.texts);
    EXPECT_EQ(after.keywordLists, before.keywordLists);
    EXPECT_EQ(doc.KeywordHits().size(), 4u);
    EXPECT_TRUE(doc.DeletedBookmarks().empty());
}

TEST(MergeBookmarks, OverlappingGroupsMergeAsOneAndANewDeleteEndsTheUndo) {
    CBrindleDoc doc;
    for (const char* url : {"http://a.com/x", "http://a.com/x?utm_source=m", "https://a.com/x/",
                            "http://b.com/", "http://b.com"})
        doc.AddBookmark(Fields(url, url));
    EXPECT_EQ(doc.MergeBookmarks({{0, 1}, {1, 2}, {3, 4}, {9, 3}}), 3u);
    ASSERT_EQ(doc.Bookmarks().size(), 2u);
    EXPECT_EQ(doc.Bookmarks()[0].m_strURL, "https://a.com/x/");
    EXPECT_EQ(doc.Bookmarks()[1].m_strURL, "http://b.com"); // the shorter

    // A delete after the merge is the one that undo takes back; the merge stays.
    doc.ClearUndo(kUndoBookmarks);
    doc.DeleteBookmarks({1});
    doc.UndoDeleteBookmarks();
    ASSERT_EQ(doc.Bookmarks().size(), 2u);
    EXPECT_EQ(doc.Bookmarks()[0].m_strURL, "https://a.com/x/");
    EXPECT_EQ(doc.MergeBookmarks({{0}, {5, 6}}), 0u);
}

} // namespace
