// SPDX-License-Identifier: GPL-3.0-or-later
// The bytes the document writer produces are fixed: tests/data/brx holds files written by an
// earlier version of the store, and the current one must write the same bytes for the same
// documents, whether it builds them itself or reads them from those files.

#include "SampleCollections.h"

#include "support/TestFiles.h"

#include "store/BrindleDoc.h"
#include "store/DocumentArchive.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

using testutil::TempDirectory;

std::string Fixture(const std::string& name) {
    std::ifstream in(std::string(BRINDLE_TEST_DATA_DIR) + "/brx/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(FileBytes, DocumentsBuiltByCommandsWriteTheRecordedBytes) {
    const std::string expected = Fixture("mixed.brx");
    ASSERT_GT(expected.size(), 500000u);
    CBrindleDoc doc;
    brindle::test::BuildMixedCollection(doc);
    EXPECT_TRUE(brindle::DocumentToBytes(doc) == expected);
    TempDirectory dir;
    const std::string path = dir.File("mixed.brx");
    ASSERT_TRUE(brindle::WriteDocumentFile(doc, path));
    EXPECT_TRUE(FileBytes(path) == expected);

    CBrindleDoc foreign;
    ASSERT_TRUE(brindle::test::BuildForeignCollection(foreign));
    EXPECT_EQ(brindle::DocumentToBytes(foreign), Fixture("foreign.brx"));
}

TEST(FileBytes, EveryRecordedFileReadsAndWritesBackUnchanged) {
    for (const char* name : {"mixed.brx", "foreign.brx", "synthetic.brx", "imported.brx",
                             "empty.brx", "home.brx", "name255.brx", "one_each.brx"}) {
        TempDirectory dir;
        const std::string expected = Fixture(name);
        ASSERT_FALSE(expected.empty()) << name;
        CBrindleDoc doc;
        ASSERT_TRUE(
            brindle::OpenDocumentFile(doc, std::string(BRINDLE_TEST_DATA_DIR) + "/brx/" + name))
            << name;
        const std::string path = dir.File("back.brx");
        ASSERT_TRUE(brindle::WriteDocumentFile(doc, path)) << name;
        EXPECT_TRUE(FileBytes(path) == expected) << name;
        // Searching, ordering and a delete taken back leave the bytes alone as well.
        const std::int32_t mode = doc.SearchMode();
        doc.Search("a", false, 0x7F);
        doc.SetSearchMode(kSearchString);
        doc.Search("\xE2\x84\xAA", false, 0x7F);
        doc.SetSearchMode(mode);
        std::vector<std::uint32_t> all;
        for (std::uint32_t i = 0; i < doc.Bookmarks().size(); ++i)
            all.push_back(i);
        doc.DeleteBookmarks(all);
        doc.UndoDeleteBookmarks();
        if (std::string(name) == "synthetic.brx" || std::string(name) == "imported.brx") {
            EXPECT_TRUE(brindle::DocumentToBytes(doc) == expected) << name;
        }
    }
}

} // namespace
