// SPDX-License-Identifier: GPL-3.0-or-later
// brindle-cli end to end: the built program is run with arguments; its standard output, error
// and exit code are checked, and the files it writes are compared with the format's reference
// examples.

#include "support/NewDocument.h"
#include "support/ProgramRun.h"
#include "support/TestFiles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

using ::testing::HasSubstr;
using ::testing::StartsWith;
using testutil::Exists;
using testutil::ReadFile;
using testutil::TempDirectory;
using testutil::WriteFile;

namespace {

using CliRun = testutil::ProgramRun;

class Cli : public ::testing::Test {
  protected:
    TempDirectory dir;

    // Runs brindle-cli with `args` in UTC (dates in listings are local time).
    CliRun RunCli(const std::vector<std::string>& args) {
        return testutil::RunProgram(BRINDLE_CLI_PATH, args, {"TZ=UTC", "LC_ALL=C"}, dir.Path());
    }

    static std::string Fixture(const std::string& name) {
        return ReadFile(testutil::TestDataDir() + "/brx/" + name);
    }

    // A document with three bookmarks, written without backups.
    std::string ThreeBookmarks() {
        const std::string path = dir.File("three.brx");
        EXPECT_EQ(RunCli({"new", path}).code, 0);
        EXPECT_EQ(RunCli({"add", path, "--name", "Java tutorial", "--url", "http://java/",
                          "--keywords", "java programming", "--added", "86400", "--no-backup"})
                      .code,
                  0);
        EXPECT_EQ(RunCli({"add", path, "--name", "Daily news", "--url", "http://news/",
                          "--keywords", "news web", "--description", "Headlines\tand more",
                          "--added", "172800", "--no-backup"})
                      .code,
                  0);
        EXPECT_EQ(
            RunCli({"add", path, "--name", "Web tools", "--url", "http://tools/", "--keywords",
                    "web tools", "--status", "OK", "--added", "0", "--no-backup"})
                .code,
            0);
        return path;
    }
};

TEST_F(Cli, HelpOnTheToolAndEveryCommand) {
    const CliRun help = RunCli({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_THAT(help.out, StartsWith("Usage: brindle-cli COMMAND"));
    for (const char* command : {"new", "info", "add", "list", "keywords"}) {
        EXPECT_THAT(help.out, HasSubstr(std::string("\n  ") + command + " "));
        const CliRun own = RunCli({command, "--help"});
        EXPECT_EQ(own.code, 0) << command;
        EXPECT_THAT(own.out, StartsWith(std::string("Usage: brindle-cli ") + command));
        EXPECT_THAT(own.out, HasSubstr("--help"));
        EXPECT_EQ(own.err, "");
    }
}

TEST_F(Cli, BothProgramsPrintTheProjectVersion) {
    const CliRun cli = RunCli({"--version"});
    EXPECT_EQ(cli.code, 0);
    EXPECT_EQ(cli.out, "brindle-cli " BRINDLE_PROJECT_VERSION "\n");
    // The window program answers before it looks for a display (xcb without one would abort).
    const CliRun gui =
        testutil::RunProgram(BRINDLE_GUI_PATH, {"--version"},
                             {"DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM=xcb"}, dir.Path());
    EXPECT_EQ(gui.code, 0);
    EXPECT_EQ(gui.out, "brindle " BRINDLE_PROJECT_VERSION "\n");
}

TEST_F(Cli, BadUsageExitsWith2) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {},
             {"frobnicate"},
             {"info"},
             {"info", "a.brx", "b.brx"},
             {"info", "a.brx", "--bogus"},
             {"list", "a.brx", "--sort"},
             {"list", "a.brx", "--sort", "12"},
             {"list", "a.brx", "--columns", "0,x"},
             {"list", "a.brx", "--fields", "300"},
             {"add", "a.brx", "--url", "u"},
             {"add", "a.brx", "--name", "n"},
             {"add", "a.brx", "--name", "n", "--url", "u", "--added", "soon"},
             {"new", "x.brx", "--no-backup=1"}}) {
        const CliRun r = RunCli(args);
        EXPECT_EQ(r.code, 2) << ::testing::PrintToString(args);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err, "");
    }
}

TEST_F(Cli, NewWritesTheEmptyDocument) {
    const std::string path = dir.File("empty.brx");
    const CliRun r = RunCli({"new", path});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(ReadFile(path), testutil::AsNewDocumentWritesIt(Fixture("empty.brx")));
    EXPECT_FALSE(Exists(dir.File("empty.bak")));
}

TEST_F(Cli, AddWritesTheHomeExampleByteForByte) {
    const std::string path = dir.File("home.brx");
    ASSERT_EQ(RunCli({"new", path}).code, 0);
    const CliRun r = RunCli({"add", path, "--name", "Home", "--url", "", "--keywords", "web",
                             "--added", "933279936", "--no-backup"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(ReadFile(path), testutil::AsNewDocumentWritesIt(Fixture("home.brx")));
    EXPECT_FALSE(Exists(dir.File("home.bak")));
}

TEST_F(Cli, AddSavesWithBackups) {
    const std::string path = dir.File("web.brx");
    ASSERT_EQ(RunCli({"new", path}).code, 0);
    ASSERT_EQ(RunCli({"add", path, "--name", "Home", "--url", "", "--keywords", "web", "--added",
                      "933279936"})
                  .code,
              0);
    const std::string home = testutil::AsNewDocumentWritesIt(Fixture("home.brx"));
    EXPECT_EQ(ReadFile(path), home);
    EXPECT_EQ(ReadFile(dir.File("web.bak")), home);
    EXPECT_EQ(ReadFile(dir.File("web.bk0")), home);
}

TEST_F(Cli, RefusedAddSaysNotAdded) {
    const std::string path = dir.File("home.brx");
    WriteFile(path, Fixture("home.brx"));
    CliRun r = RunCli({"add", path, "--name", "Home", "--url", "", "--no-backup"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "not added\n");
    r = RunCli({"add", path, "--name", "   ", "--url", "x", "--no-backup"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "not added\n");
    EXPECT_EQ(ReadFile(path), Fixture("home.brx"));
}

TEST_F(Cli, InfoPrintsStateAndCounts) {
    const std::string path = dir.File("one.brx");
    WriteFile(path, Fixture("one_each.brx"));
    const CliRun r = RunCli({"info", path});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "search_mode: 1\nstring_fields: 0\npartial_match: 1\ncolumns: 4095\n"
                     "match_case: 0\nsort_ascending: 1\nsort_column: 0\nbookmarks: 1\n"
                     "macros: 1\nschedules: 1\n");
    EXPECT_EQ(r.err, "");
}

TEST_F(Cli, FailuresPrintTheSystemsTextAndExit1) {
    const std::string missing = dir.File("missing.brx");
    CliRun r = RunCli({"info", missing});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, missing + " was not found.\n");
    EXPECT_EQ(r.out, "");

    const std::string garbage = dir.File("garbage.brx");
    WriteFile(garbage, "this is not a document");
    for (const char* command : {"info", "list", "keywords"}) {
        r = RunCli({command, garbage});
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.err, "Unexpected file format.\n");
    }
    r = RunCli({"add", garbage, "--name", "n", "--url", "u"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "Unexpected file format.\n");
    EXPECT_EQ(ReadFile(garbage), "this is not a document");

    r = RunCli({"new", "/dev/full"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "Disk full while accessing /dev/full.\n");

    const std::string badPath = dir.File("no-folder/x.brx");
    r = RunCli({"new", badPath});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, badPath + " contains an invalid path.\n");
}

TEST_F(Cli, ListRunsTheSearch) {
    const std::string path = ThreeBookmarks();
    CliRun r = RunCli({"list", path});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out,
              "Daily news\thttp://news/\nJava tutorial\thttp://java/\nWeb tools\thttp://tools/\n");

    r = RunCli({"list", path, "--query", "web"});
    EXPECT_EQ(r.out, "Daily news\thttp://news/\nWeb tools\thttp://tools/\n");
    r = RunCli({"list", path, "--query", "we"}); // partial match of the last term
    EXPECT_EQ(r.out, "Daily news\thttp://news/\nWeb tools\thttp://tools/\n");
    r = RunCli({"list", path, "--query", "we", "--no-partial"});
    EXPECT_EQ(r.out, "");
    r = RunCli({"list", path, "--query", "web!tools"});
    EXPECT_EQ(r.out, "Daily news\thttp://news/\n");

    r = RunCli({"list", path, "--string", "--query", "TOOLS"});
    EXPECT_EQ(r.out, "Web tools\thttp://tools/\n");
    r = RunCli({"list", path, "--string", "--query", "TOOLS", "--match-case"});
    EXPECT_EQ(r.out, "");
    r = RunCli({"list", path, "--string", "--query", "tools", "--fields", "1"});
    EXPECT_EQ(r.out, "Web tools\thttp://tools/\n");
    r = RunCli({"list", path, "--string", "--query", "http", "--fields", "0x1"});
    EXPECT_EQ(r.out, "");
    r = RunCli({"list", path, "--string", "--query", "http", "--fields", "0x2", "--columns", "0"});
    EXPECT_EQ(r.out, "Daily news\nJava tutorial\nWeb tools\n");

    r = RunCli({"list", path, "--sort", "Add date", "--descending", "--columns", "0,8,7,5"});
    EXPECT_EQ(r.out, "Daily news\t1970-01-03 00:00:00\tWaiting\tEnable\n"
                     "Java tutorial\t1970-01-02 00:00:00\tWaiting\tEnable\n"
                     "Web tools\t\tOK\tEnable\n"); // added 0: never, no date
    r = RunCli({"list", path, "--sort", "8", "--columns", "0"});
    EXPECT_EQ(r.out, "Web tools\nJava tutorial\nDaily news\n");
    // A tab inside a text is escaped so that every hit stays one line.
    r = RunCli({"list", path, "--query", "news", "--columns", "3"});
    EXPECT_EQ(r.out, "Headlines\\tand more\n");
}

TEST_F(Cli, KeywordsListsEveryKeywordOnce) {
    const std::string path = ThreeBookmarks();
    const CliRun r = RunCli({"keywords", path});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "java\nprogramming\nnews\nweb\ntools\n");
    const std::string empty = dir.File("empty.brx");
    ASSERT_EQ(RunCli({"new", empty}).code, 0);
    EXPECT_EQ(RunCli({"keywords", empty}).out, "");
}

} // namespace

TEST_F(Cli, DuplicatesAreListedMergedAndSkippedOnImport) {
    const std::string html = dir.File("links.html");
    WriteFile(html, "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n"
                    "<DT><A HREF=\"https://www.theverge.com/\" ADD_DATE=\"1500000000\">Verge</A>\n"
                    "<DT><A HREF=\"https://www.theverge.com/?utm_source=tw\" "
                    "ADD_DATE=\"1400000000\">Verge from a tweet</A>\n"
                    "<DT><A HREF=\"http://theverge.com\" ADD_DATE=\"1600000000\">verge</A>\n"
                    "<DT><A HREF=\"https://www.mozilla.org/about/\">Mozilla</A>\n"
                    "</DL><p>\n");
    const std::string path = dir.File("links.brx");
    ASSERT_EQ(RunCli({"import", path, html, "--no-backup"}).code, 0);

    const CliRun skip = RunCli({"import", path, html, "--skip-duplicates", "--no-backup"});
    EXPECT_EQ(skip.code, 0);
    EXPECT_EQ(skip.out, html + ": 0 bookmarks, 0 macros, 0 schedules, 4 duplicates skipped\n");

    const CliRun same = RunCli({"duplicates", path});
    EXPECT_EQ(same.code, 0);
    EXPECT_EQ(same.out, "same: 2\n\thttps://www.theverge.com/\tVerge\n"
                        "\thttps://www.theverge.com/?utm_source=tw\tVerge from a tweet\n"
                        "same groups: 1, likely groups: 0\n");

    const CliRun merge = RunCli({"duplicates", path, "--likely", "--merge", "--no-backup"});
    EXPECT_EQ(merge.code, 0);
    EXPECT_THAT(merge.out, HasSubstr("likely: 3\n"));
    EXPECT_THAT(merge.out, HasSubstr("merged: 2 bookmarks removed\n"));
    // The clean https address stays, with the earliest add date of the three.
    EXPECT_EQ(RunCli({"list", path}).out,
              "Mozilla\thttps://www.mozilla.org/about/\nVerge\thttps://www.theverge.com/\n");
    EXPECT_THAT(RunCli({"list", path, "--columns", "0,8"}).out,
                HasSubstr("Verge\t2014-05-13 16:53:20\n"));
}
namespace {

TEST_F(Cli, TrashListsRestoresAndDeletes) {
    const std::string path = ThreeBookmarks();
    ASSERT_EQ(RunCli({"trash", path, "--delete", "Daily news", "--no-backup"}).code, 0);
    EXPECT_EQ(RunCli({"trash", path, "--delete", "Nothing like it"}).code, 1);
    const CliRun listed = RunCli({"trash", path});
    EXPECT_EQ(listed.code, 0);
    EXPECT_THAT(listed.out, HasSubstr("\tDeleted\tDaily news\thttp://news/\n"));
    EXPECT_THAT(RunCli({"list", path}).out, ::testing::Not(HasSubstr("Daily news")));
    const CliRun restored = RunCli({"trash", path, "--restore", "Daily news", "--no-backup"});
    EXPECT_EQ(restored.code, 0) << restored.err;
    EXPECT_EQ(restored.out, "restored: 1\n");
    EXPECT_THAT(RunCli({"list", path}).out, HasSubstr("Daily news"));
    EXPECT_EQ(RunCli({"trash", path}).out, "");
    EXPECT_EQ(RunCli({"trash", path, "--restore", "Daily news"}).code, 1);
}

} // namespace
