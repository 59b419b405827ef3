// Whole-file replacement and folder chains.

#include "ExchangeTestUtil.h"

#include "exchange/ExchangeFiles.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace brindle;
namespace fs = std::filesystem;

TEST(WriteWholeFile, ReplacesInOneStepKeepingLinksAndPermissions) {
    test::TempDir dir;
    const fs::path real = dir.path() / "real.htm";
    test::WriteFile(real, "old");
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink(real, dir.path() / "link.htm");

    ASSERT_TRUE(WriteWholeFile((dir.path() / "link.htm").string(), "new contents"));
    EXPECT_TRUE(fs::is_symlink(dir.path() / "link.htm")); // the link still points at the file
    EXPECT_EQ(test::ReadFile(real), "new contents");
    EXPECT_EQ(fs::status(real).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
}

TEST(WriteWholeFile, FailsWithoutTouchingWhatIsThere) {
    test::TempDir dir;
    fs::create_directories(dir.path() / "folder.htm");
    EXPECT_FALSE(WriteWholeFile((dir.path() / "folder.htm").string(), "x"));
    EXPECT_TRUE(fs::is_directory(dir.path() / "folder.htm"));
    EXPECT_FALSE(WriteWholeFile((dir.path() / "missing/out.htm").string(), "x"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(FolderChain, CreatesEveryMissingFolderOnce) {
    test::TempDir dir;
    EXPECT_TRUE(CreateFolderChain((dir.path() / "a/b/c").string()));
    EXPECT_TRUE(fs::is_directory(dir.path() / "a/b/c"));
    EXPECT_TRUE(CreateFolderChain((dir.path() / "a/b").string())); // existing: no failure
    test::WriteFile(dir.path() / "file", "x");
    EXPECT_FALSE(CreateFolderChain((dir.path() / "file/sub").string()));
    EXPECT_EQ(FolderOfPath("plain.htm"), ".");
    EXPECT_EQ(FolderOfPath("/x/y/z.htm"), "/x/y");
}
