// SPDX-License-Identifier: GPL-3.0-or-later
// Folder chains, and exports whose file cannot be written to the end.

#include "support/ChildProcess.h"
#include "support/TestFiles.h"

#include "exchange/ExchangeFiles.h"
#include "exchange/ExchangeReport.h"
#include "exchange/ExportSelection.h"
#include "exchange/Netscape.h"
#include "exchange/Powermarks.h"
#include "exchange/Reports.h"
#include "store/BrindleDoc.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>

using namespace brindle;
namespace fs = std::filesystem;

TEST(FolderChain, CreatesEveryMissingFolderOnce) {
    testutil::TempDirectory dir;
    EXPECT_TRUE(CreateFolderChain((dir.Path() / "a/b/c").string()));
    EXPECT_TRUE(fs::is_directory(dir.Path() / "a/b/c"));
    EXPECT_TRUE(CreateFolderChain((dir.Path() / "a/b").string())); // existing: no failure
    testutil::WriteFile(dir.Path() / "file", "x");
    EXPECT_FALSE(CreateFolderChain((dir.Path() / "file/sub").string()));
    EXPECT_EQ(FolderOfPath("plain.htm"), ".");
    EXPECT_EQ(FolderOfPath("/x/y/z.htm"), "/x/y");
}

namespace {

// A document whose exports are several megabytes long.
void FillLarge(CBrindleDoc& doc) {
    for (int i = 0; i < 20000; ++i)
        doc.AddBookmark({.name = "Bookmark number " + std::to_string(i),
                         .url = "http://example.com/a/rather/long/path/" + std::to_string(i),
                         .keywords = "alpha beta",
                         .description = "A description long enough to fill the export file",
                         .schedule = kNoSchedule,
                         .status = kStatusWaiting});
}

} // namespace

// The system's file-size limit cuts each export off after its first megabyte: the export fails
// with "cannot write the file", the file that was there stays, and no temporary file is left.
TEST(ExportFile, AWriteFailingMidWayLeavesTheOldFileAndIsReported) {
    using Export =
        bool (*)(CBrindleDoc&, const std::string&, const ExportOptions&, ExchangeReport&);
    const std::pair<const char*, Export> exports[] = {{"netscape.htm", ExportNetscape},
                                                      {"powermarks.htm", ExportPowermarks},
                                                      {"report.htm", ExportHtml},
                                                      {"report.txt", ExportText}};
    CBrindleDoc doc;
    FillLarge(doc);
    for (const auto& [name, exportTo] : exports) {
        testutil::TempDirectory dir;
        const std::string path = dir.File(name);
        testutil::WriteFile(path, "old");
        const testutil::ChildResult child = testutil::RunInChild([&](int fd) {
            std::signal(SIGXFSZ, SIG_IGN);
            struct rlimit limit {
                1 << 20, 1 << 20
            };
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
                return 2;
            ExportOptions options;
            ExchangeReport report;
            const bool ok = exportTo(doc, path, options, report);
            for (const ExchangeMessage& m : report.messages)
                testutil::WriteAll(fd, m.text + "\n");
            return ok ? 1 : 0;
        });
        EXPECT_EQ(child.exitCode, 0) << name;
        EXPECT_EQ(child.output, std::string(kMsgCannotWriteFile) + "\n") << name;
        EXPECT_EQ(testutil::ReadFile(path), "old") << name;
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1)
            << name;
    }
}
