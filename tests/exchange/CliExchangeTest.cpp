// brindle-cli import, export and export-profile, run as a program.

#include "ExchangeTestUtil.h"

#include "store/BrindleDoc.h"
#include "store/DocumentArchive.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

using namespace brindle;
using ::testing::HasSubstr;

namespace {

struct CliRun {
    int code = -1;
    std::string out;
    std::string err;
};

class CliExchange : public ::testing::Test {
  protected:
    test::TempDir dir;

    // Runs brindle-cli with HOME in the test's folder (profiles are found from there).
    CliRun Cli(std::vector<std::string> args) {
        const std::string outPath = dir / ".stdout";
        const std::string errPath = dir / ".stderr";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        args.insert(args.begin(), BRINDLE_CLI_PATH);
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<std::string> env = {"HOME=" + dir.path().string(), "TZ=UTC"};
        for (char** e = environ; *e; ++e)
            if (std::strncmp(*e, "HOME=", 5) != 0 && std::strncmp(*e, "TZ=", 3) != 0)
                env.emplace_back(*e);
        std::vector<char*> envp;
        for (std::string& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        CliRun run;
        pid_t pid = 0;
        const int started =
            posix_spawn(&pid, BRINDLE_CLI_PATH, &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        if (started != 0) {
            ADD_FAILURE() << "cannot start " << BRINDLE_CLI_PATH;
            return run;
        }
        int status = 0;
        waitpid(pid, &status, 0);
        run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.out = test::ReadFile(outPath);
        run.err = test::ReadFile(errPath);
        return run;
    }

    std::unique_ptr<CBrindleDoc> Load(const std::string& path) {
        auto doc = std::make_unique<CBrindleDoc>();
        EXPECT_TRUE(ReadDocumentFile(*doc, path).ok) << path;
        return doc;
    }

    // A document of three bookmarks made through the command line itself.
    std::string MakeDocument() {
        const std::string brx = dir / "doc.brx";
        const CliRun run = Cli({"import", brx, test::DataFile("chrome.html"), "--no-backup"});
        EXPECT_EQ(run.code, 0) << run.err;
        return brx;
    }
};

} // namespace

TEST_F(CliExchange, ImportReadsEachInputByItsKindAndCreatesTheDocument) {
    const std::string brx = dir / "new.brx";
    const CliRun run =
        Cli({"import", brx, test::DataFile("firefox.html"), test::DataFile("powermarks.htm"),
             test::DataFile("url/Example Site.url"), test::DataFile("url"),
             test::DataFile("page.html")});
    EXPECT_EQ(run.code, 1); // the folder holds a file that is no shortcut
    EXPECT_EQ(run.out, test::DataFile("firefox.html") + ": 5 bookmarks, 0 macros, 0 schedules\n" +
                           test::DataFile("powermarks.htm") +
                           ": 4 bookmarks, 3 macros, 2 schedules\n" +
                           test::DataFile("url/Example Site.url") +
                           ": 1 bookmarks, 0 macros, 0 schedules\n" + test::DataFile("url") +
                           ": 1 bookmarks, 0 macros, 0 schedules\n" + test::DataFile("page.html") +
                           ": 6 bookmarks, 0 macros, 0 schedules\n");
    EXPECT_THAT(run.err, HasSubstr("no-section.url: Cannot open this file as a URL file"));
    const auto doc = Load(brx);
    EXPECT_EQ(doc->m_arrBookmarks.size(), 17u);
    EXPECT_EQ(doc->m_arrMacros.size(), 3u);
    EXPECT_NE(test::FindByName(*doc, "Rye Bread \"Classic\""), nullptr);
    EXPECT_NE(test::FindByName(*doc, "IE Created"), nullptr);
}

TEST_F(CliExchange, ImportStopsAtAnInputWithAnotherExtensionKeepingEarlierOnes) {
    const std::string brx = dir / "stop.brx";
    test::WriteFile(dir.path() / "Bookmark.HTM", test::ReadFile(test::DataFile("chrome.html")));
    const CliRun run = Cli({"import", brx, test::DataFile("safari.html"), dir / "Bookmark.HTM",
                            test::DataFile("chrome.html")});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.out, test::DataFile("safari.html") + ": 2 bookmarks, 0 macros, 0 schedules\n");
    EXPECT_THAT(run.err, HasSubstr("Bookmark.HTM: not an .htm, .html or .url file"));
    EXPECT_EQ(Load(brx)->m_arrBookmarks.size(), 2u);
}

TEST_F(CliExchange, ImportReportsAFileThatCannotBeOpened) {
    const std::string brx = dir / "missing.brx";
    const CliRun run = Cli({"import", brx, dir / "absent.html", test::DataFile("safari.html")});
    EXPECT_EQ(run.code, 1);
    EXPECT_THAT(run.err, HasSubstr("absent.html: cannot open the file"));
    EXPECT_THAT(run.out, HasSubstr("absent.html: 0 bookmarks, 0 macros, 0 schedules\n"));
    EXPECT_EQ(Load(brx)->m_arrBookmarks.size(), 2u);
    EXPECT_EQ(Cli({"import", brx}).code, 2); // at least one input
}

TEST_F(CliExchange, ExportWritesEachFormat) {
    const std::string brx = MakeDocument();
    CliRun run = Cli({"export", brx, "--format", "netscape", "--out", dir / "out.htm", "--title",
                      "Mine", "--sort", "Add date", "--descending"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, "Export is successful\n");
    const std::string netscape = test::ReadFile(dir.path() / "out.htm");
    EXPECT_THAT(netscape, HasSubstr("<TITLE>Mine</TITLE>\r\n"));
    // Newest first.
    EXPECT_LT(netscape.find("ADD_DATE=\"1650000005\""), netscape.find("ADD_DATE=\"1650000004\""));

    run = Cli({"export", brx, "--format", "text", "--out", dir / "out.txt", "--fields", "0,8"});
    EXPECT_EQ(run.code, 0) << run.err;
    const std::string text = test::ReadFile(dir.path() / "out.txt");
    EXPECT_THAT(text, HasSubstr("Name:GitHub\r\nAdd Date:2022-04-15 05:20:04 AM\r\n"));
    EXPECT_EQ(text.find("URL:"), std::string::npos);

    for (const char* format : {"powermarks", "html"}) {
        run =
            Cli({"export", brx, "--format", format, "--out", dir / (std::string(format) + ".htm")});
        EXPECT_EQ(run.code, 0) << format << run.err;
    }
    run = Cli({"export", brx, "--format", "favorites", "--out", dir / "fav"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "fav/Brindle_addin/GitHub.url"));
}

TEST_F(CliExchange, ExportSelectedRowsInListOrder) {
    const std::string brx = MakeDocument();
    // The list shows the bookmarks by name: GitHub, Google Search, then the Cyrillic one.
    const CliRun run = Cli({"export", brx, "--format", "text", "--out", dir / "sel.txt", "--fields",
                            "0", "--rows", "2,0,7"});
    EXPECT_EQ(run.code, 0) << run.err;
    const std::string text = test::ReadFile(dir.path() / "sel.txt");
    EXPECT_LT(text.find("Name:GitHub"), text.find("Name:\xD0\x9B"));
    EXPECT_EQ(text.find("Name:Google Search"), std::string::npos);
}

TEST_F(CliExchange, ExportFailuresAndBadUsage) {
    const std::string brx = MakeDocument();
    CliRun run = Cli({"export", brx, "--format", "netscape", "--out", dir / "no/such/folder.htm"});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.out, "Export is not successful\n");
    EXPECT_EQ(run.err, "cannot write the file\n");
    EXPECT_EQ(Cli({"export", brx, "--format", "pdf", "--out", dir / "x"}).code, 2);
    EXPECT_EQ(Cli({"export", brx, "--format", "text"}).code, 2);
    EXPECT_EQ(Cli({"export", brx, "--format", "text", "--out", dir / "x", "--sort", "name"}).code,
              2);
    EXPECT_EQ(Cli({"export", brx, "--format", "text", "--out", dir / "x", "--fields", "12"}).code,
              2);
    EXPECT_EQ(Cli({"export", dir / "absent.brx", "--format", "text", "--out", dir / "x"}).code, 1);
}

TEST_F(CliExchange, ExportProfilePrintsTheTotals) {
    const std::string brx = MakeDocument();
    test::WriteFile(dir.path() / ".mozilla/firefox/profiles.ini",
                    "[Profile0]\nName=alice\nIsRelative=1\nPath=a.default\n\n"
                    "[Profile1]\nName=bob\nIsRelative=1\n");
    CliRun run = Cli({"export-profile", brx, "--user", "alice", "--user", "bob"});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.out,
              "Export Information:\nTotal file number:2\nSuccessful exporting files number:1\n");
    EXPECT_EQ(run.err, "bob's Netscape profile directory does not appear,export failed\n");
    const std::string written =
        test::ReadFile(dir.path() / ".mozilla/firefox/a.default/bookmark.htm");
    EXPECT_THAT(written, HasSubstr("<DT><A HREF=\"https://github.com/\""));

    // A second export refreshes Brindle's section of the existing file.
    run = Cli({"export-profile", brx, "--user", "alice"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr("Successful exporting files number:1"));
    EXPECT_EQ(Cli({"export-profile", brx}).code, 2);
}
