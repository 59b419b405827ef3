// SPDX-License-Identifier: GPL-3.0-or-later
// brindle-cli search and archive --show over an archive the test writes itself.
#include "support/ProgramRun.h"
#include "support/TestFiles.h"

#include "archive/PageArchive.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

using ::testing::HasSubstr;
using testutil::TempDirectory;

namespace {

class CliArchive : public ::testing::Test {
  protected:
    void SetUp() override {
        // The archive's place follows XDG_DATA_HOME, here and in the program run.
        setenv("XDG_DATA_HOME", dir.File("data").c_str(), 1);
        path = dir.File("doc.brx");
        ASSERT_EQ(Run({"new", path}).code, 0);
        for (const auto& [name, url] :
             {std::pair{"Kube notes", "http://kube/"}, std::pair{"Bread", "http://bread/"},
              std::pair{"Bread again", "http://bread/"}})
            ASSERT_EQ(Run({"add", path, "--name", name, "--url", url, "--no-backup"}).code, 0);
        brindle::PageArchive archive;
        ASSERT_TRUE(archive.Open(brindle::PageArchive::LocationFor(path), true));
        archive.Put({"http://kube/", "https://kube/", 86400, "Kubernetes",
                     "Pods\tand deployments in a cluster.\nSecond line."});
        archive.Put({"http://bread/", "http://bread/", 0, "Baking", "Sourdough bread <rises>."});
        archive.Put({"http://gone/", "http://gone/", 0, "Gone", "a deleted bookmark's cluster"});
    }
    testutil::ProgramRun Run(const std::vector<std::string>& args) {
        return testutil::RunProgram(BRINDLE_CLI_PATH, args,
                                    {"TZ=UTC", "LC_ALL=C", "XDG_DATA_HOME=" + dir.File("data")},
                                    dir.Path());
    }

    TempDirectory dir;
    std::string path;
};

} // namespace

TEST_F(CliArchive, SearchPrintsScoreNameUrlAndSnippet) {
    auto r = Run({"search", path, "cluster"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_THAT(r.out, ::testing::MatchesRegex(
                           "[-+.e0-9]+\tKube notes\thttp://kube/\t[^\t\n]*\\[cluster\\][^\t\n]*\n"))
        << "the deleted bookmark's page is not listed; tabs and line breaks become blanks";
    r = Run({"search", path, "bread"});
    EXPECT_THAT(r.out, HasSubstr("\tBread\thttp://bread/\t"));
    EXPECT_THAT(r.out, HasSubstr("\tBread again\thttp://bread/\t")) << "one page, two bookmarks";
    EXPECT_EQ(Run({"search", path, "bread", "--limit", "1"}).out.find('\n'), r.out.find('\n'));
    r = Run({"search", path, "bread AND"});
    EXPECT_EQ(r.code, 1);
    EXPECT_THAT(r.err, HasSubstr("incomplete"));
    EXPECT_EQ(Run({"search", path, "x", "--limit", "0"}).code, 2);

    // The text of a deleted bookmark stays: adding its URL again finds it.
    ASSERT_EQ(Run({"add", path, "--name", "Back", "--url", "http://gone/", "--no-backup"}).code, 0);
    EXPECT_THAT(Run({"search", path, "deleted"}).out, HasSubstr("\tBack\thttp://gone/\t"));
}

TEST_F(CliArchive, ShowPrintsTheStoredText) {
    auto r = Run({"archive", path, "--show", "Kube notes"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "Kubernetes\nhttps://kube/\nfetched 1970-01-02T00:00:00Z\n\n"
                     "Pods\tand deployments in a cluster.\nSecond line.\n");
    EXPECT_EQ(Run({"archive", path, "--show", "Nobody"}).code, 1);
    EXPECT_EQ(Run({"archive", path, "--older-than", "soon"}).code, 2);
    EXPECT_EQ(Run({"archive", path, "--connect-max", "0"}).code, 2);
    const std::string other = dir.File("other.brx");
    ASSERT_EQ(Run({"new", other}).code, 0);
    r = Run({"search", other, "bread"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_THAT(r.err, HasSubstr("no archived pages"));
}
