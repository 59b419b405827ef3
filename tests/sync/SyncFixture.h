// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A linked document for sync tests: a document file of numbered bookmarks, a private state
// folder, and the browser's side of the linked file edited as browser extensions edit it.

#include "support/TestFiles.h"

#include "exchange/Xbel.h"
#include "store/BrindleDoc.h"
#include "store/DocumentArchive.h"
#include "sync/LinkedSync.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <set>
#include <string>

namespace testutil {

// The index of the bookmark named `name`; the bookmark count when there is none.
inline std::uint32_t IndexOf(const CBrindleDoc& doc, std::string_view name) {
    std::uint32_t i = 0;
    for (const BookmarkRef b : doc.Bookmarks()) {
        if (b.m_strName == name)
            break;
        ++i;
    }
    return i;
}

class SyncFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        ::setenv("XDG_STATE_HOME", m_dir.File("state").c_str(), 1);
        docPath = m_dir.File("doc.brx");
        filePath = m_dir.File("shared/bookmarks.xbel");
    }

    // A document of `count` bookmarks "N1".."Ncount" at http://nI.example/, linked to `target`.
    void MakeLinkedDocument(int count, const std::string& target) {
        CBrindleDoc doc;
        for (int i = 1; i <= count; ++i) {
            const std::string n = std::to_string(i);
            doc.AddBookmark({.name = "N" + n,
                             .url = "http://n" + n + ".example/",
                             .keywords = "mine",
                             .statusChecking = 1});
        }
        SaveDoc(doc);
        brindle::SyncState state;
        state.target = target;
        ASSERT_TRUE(brindle::SaveSyncState(brindle::SyncStatePath(docPath), state));
    }

    void LoadDoc(CBrindleDoc& doc) const {
        ASSERT_TRUE(brindle::OpenDocumentFile(doc, docPath).ok);
    }
    void SaveDoc(CBrindleDoc& doc) const {
        ASSERT_TRUE(brindle::WriteDocumentFile(doc, docPath).ok);
    }

    brindle::LinkSyncResult Sync(brindle::SyncTarget& target,
                                 const brindle::LinkSyncOptions& options = {}) {
        CBrindleDoc doc;
        brindle::LinkedDocument document;
        document.path = docPath;
        document.open = [&]() -> CBrindleDoc* {
            return brindle::OpenDocumentFile(doc, docPath).ok ? &doc : nullptr;
        };
        document.save = [&] { return brindle::WriteDocumentFile(doc, docPath).ok; };
        return brindle::SyncLinkedDocument(document, target, options);
    }

    // Every bookmark of the document as "name|url".
    std::set<std::string> DocumentMarks() const {
        CBrindleDoc doc;
        EXPECT_TRUE(brindle::OpenDocumentFile(doc, docPath).ok);
        std::set<std::string> marks;
        for (const BookmarkRef b : doc.Bookmarks())
            EXPECT_TRUE(
                marks.insert(std::string(b.m_strName) + '|' + std::string(b.m_strURL)).second)
                << "twice: " << b.m_strName;
        return marks;
    }

    // Every bookmark of an XBEL text as "name|url"; ids must be numeric and distinct and stay
    // at or below the announced highest id.
    static std::set<std::string> FileMarks(const std::string& text) {
        brindle::XbelTree tree;
        EXPECT_TRUE(brindle::ParseXbel(text, tree));
        EXPECT_TRUE(tree.hasHighestId);
        std::set<std::string> marks;
        std::set<unsigned long long> ids;
        std::function<void(const std::vector<brindle::XbelItem>&)> walk = [&](const auto& items) {
            for (const brindle::XbelItem& item : items) {
                if (item.kind == brindle::XbelItem::Kind::Folder ||
                    item.kind == brindle::XbelItem::Kind::Bookmark) {
                    const unsigned long long id = std::stoull(item.id);
                    EXPECT_TRUE(ids.insert(id).second) << "id twice: " << id;
                    EXPECT_LE(id, tree.highestId);
                }
                if (item.kind == brindle::XbelItem::Kind::Folder) {
                    walk(item.children);
                } else if (item.kind == brindle::XbelItem::Kind::Bookmark) {
                    EXPECT_TRUE(marks.insert(item.title + '|' + item.href).second)
                        << "twice: " << item.title;
                }
            }
        };
        walk(tree.items);
        return marks;
    }

    std::string docPath;
    std::string filePath;

  private:
    TempDirectory m_dir;
};

// The extension's edits of a file: all by text, as the file is, with the highest id raised.
class BrowserEdit {
  public:
    explicit BrowserEdit(std::string text) : m_text(std::move(text)) {
        brindle::XbelTree tree;
        EXPECT_TRUE(brindle::ParseXbel(m_text, tree));
        m_highest = tree.highestId;
    }
    // Adds a bookmark (and its folder, when it has none) at the end of the root.
    std::string Add(const std::string& folder, const std::string& title, const std::string& href) {
        const std::string id = std::to_string(++m_highest);
        std::string item = "<bookmark id=\"" + id + "\" href=\"" + href + "\">\n<title>" + title +
                           "</title>\n</bookmark>\n";
        if (!folder.empty())
            item = "<folder id=\"" + std::to_string(++m_highest) + "\">\n<title>" + folder +
                   "</title>\n" + item + "</folder>\n";
        Replace("</xbel>", item + "</xbel>");
        return id;
    }
    void Rename(const std::string& from, const std::string& to) {
        Replace("<title>" + from + "</title>", "<title>" + to + "</title>");
    }
    void Readdress(const std::string& from, const std::string& to) {
        Replace("href=\"" + from + "\"", "href=\"" + to + "\"");
    }
    // Removes the bookmark element whose title is `title`.
    void Delete(const std::string& title) {
        const std::size_t at = m_text.find("<title>" + title + "</title>");
        ASSERT_NE(at, std::string::npos) << title;
        const std::size_t start = m_text.rfind("<bookmark", at);
        const std::size_t end = m_text.find("</bookmark>", at) + std::string("</bookmark>").size();
        m_text.erase(start, end - start);
    }
    // Moves the bookmark titled `title` into a new folder at the end of the root.
    void Move(const std::string& title, const std::string& folder) {
        const std::size_t at = m_text.find("<title>" + title + "</title>");
        ASSERT_NE(at, std::string::npos) << title;
        const std::size_t start = m_text.rfind("<bookmark", at);
        const std::size_t end = m_text.find("</bookmark>", at) + std::string("</bookmark>").size();
        const std::string element = m_text.substr(start, end - start);
        m_text.erase(start, end - start);
        Replace("</xbel>", "<folder id=\"" + std::to_string(++m_highest) + "\">\n<title>" + folder +
                               "</title>\n" + element + "\n</folder>\n</xbel>");
    }
    std::string Text() {
        const std::size_t at = m_text.find("highestId :");
        const std::size_t end = m_text.find(':', at + 11);
        m_text.replace(at + 11, end - at - 11, std::to_string(m_highest));
        return m_text;
    }

  private:
    void Replace(const std::string& from, const std::string& to) {
        const std::size_t at = m_text.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        m_text.replace(at, from.size(), to);
    }
    std::string m_text;
    std::uint64_t m_highest = 0;
};

} // namespace testutil
