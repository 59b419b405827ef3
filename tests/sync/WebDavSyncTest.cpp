// SPDX-License-Identifier: GPL-3.0-or-later
// A document linked to a bookmark file on a WebDAV server (rclone, on 127.0.0.1, with a user
// and password) that the test edits as a browser extension does: its lock file first, then the
// whole file with its ids and highest id, then the lock removed.

#include "SyncFixture.h"

#include "support/ProgramRun.h"

#include "platform/net/WebDav.h"

#include <curl/curl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <thread>

using namespace brindle;
using testutil::BrowserEdit;

namespace {

constexpr const char* kUser = "browser";
constexpr const char* kPassword = "s3cret pass";

std::string FindProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string_view dirs = path ? path : "/usr/bin:/bin";
    while (!dirs.empty()) {
        const std::size_t colon = dirs.find(':');
        const std::string candidate = std::string(dirs.substr(0, colon)) + '/' + name;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        dirs = colon == std::string_view::npos ? std::string_view() : dirs.substr(colon + 1);
    }
    return {};
}

int FreeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

// The browser's side: plain requests with the extension's login.
struct Http {
    long status = 0;
    std::string body;
};

std::size_t Collect(char* data, std::size_t size, std::size_t count, void* out) {
    static_cast<std::string*>(out)->append(data, size * count);
    return size * count;
}

Http Request(const std::string& method, const std::string& url, const std::string* body = nullptr) {
    Http answer;
    CURL* c = curl_easy_init();
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_USERNAME, kUser);
    curl_easy_setopt(c, CURLOPT_PASSWORD, kPassword);
    curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, method.c_str());
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &answer.body);
    if (body) {
        curl_easy_setopt(c, CURLOPT_POSTFIELDS, body->data());
        curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body->size()));
    }
    if (curl_easy_perform(c) == CURLE_OK)
        curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &answer.status);
    curl_easy_cleanup(c);
    return answer;
}

class WebDavSync : public testutil::SyncFixture {
  protected:
    void SetUp() override {
        SyncFixture::SetUp();
        const std::string rclone = FindProgram("rclone");
        if (rclone.empty())
            GTEST_SKIP() << "rclone is not installed: the WebDAV sync tests do not run";
        m_served = std::filesystem::path(docPath).parent_path() / "served";
        std::filesystem::create_directories(m_served);
        const int port = FreeLoopbackPort();
        const std::string address = "127.0.0.1:" + std::to_string(port);
        m_pid = ::fork();
        if (m_pid == 0) {
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::dup2(null, 2);
            ::execl(rclone.c_str(), "rclone", "serve", "webdav", m_served.c_str(), "--addr",
                    address.c_str(), "--user", kUser, "--pass", kPassword, "--config", "/dev/null",
                    "--dir-cache-time", "0s", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        url = "http://" + address + "/bookmarks.xbel";
        for (int i = 0; i < 100 && Request("GET", url).status != 404; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ASSERT_EQ(Request("GET", url).status, 404) << "rclone did not start";
    }
    void TearDown() override {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }

    std::unique_ptr<SyncTarget> Target(const std::string& password = kPassword) const {
        return MakeWebDavTarget(url, {kUser, password});
    }

    // The extension's whole write: lock, read, edit, write, unlock.
    void BrowserWrite(const std::function<void(BrowserEdit&)>& edit) {
        const std::string lock = "extension";
        ASSERT_EQ(Request("PUT", url + ".lock", &lock).status / 100, 2);
        const Http file = Request("GET", url);
        ASSERT_EQ(file.status, 200);
        BrowserEdit browser(file.body);
        edit(browser);
        const std::string text = browser.Text();
        ASSERT_EQ(Request("PUT", url, &text).status / 100, 2);
        ASSERT_EQ(Request("DELETE", url + ".lock").status / 100, 2);
    }

    std::string url;
    std::filesystem::path m_served;

  private:
    pid_t m_pid = -1;
};

} // namespace

TEST_F(WebDavSync, ExtensionEditsArriveAndOursTakeFreshIds) {
    MakeLinkedDocument(20, url);
    EXPECT_EQ(Sync(*Target("wrong")).outcome, LinkSyncOutcome::Failed);
    ASSERT_EQ(Sync(*Target()).outcome, LinkSyncOutcome::Synced);
    std::uint64_t highest = 0;
    BrowserWrite([&](BrowserEdit& browser) {
        browser.Add("Work", "Browser added", "http://browser.example/");
        browser.Rename("N1", "N1 renamed");
        browser.Readdress("http://n2.example/", "http://n2.example/moved");
        browser.Delete("N3");
        browser.Move("N4", "Reading");
    });
    {
        XbelTree tree;
        ASSERT_TRUE(ParseXbel(Request("GET", url).body, tree));
        highest = tree.highestId;
        CBrindleDoc doc;
        LoadDoc(doc);
        doc.AddBookmark({.name = "Mine", .url = "http://mine.example/", .keywords = "reading"});
        SaveDoc(doc);
    }
    const LinkSyncResult result = Sync(*Target());
    ASSERT_EQ(result.outcome, LinkSyncOutcome::Synced) << result.error;
    const std::string text = Request("GET", url).body;
    const std::set<std::string> marks = DocumentMarks();
    EXPECT_EQ(marks, FileMarks(text));
    for (const char* mark :
         {"Browser added|http://browser.example/", "N1 renamed|http://n1.example/",
          "N2|http://n2.example/moved", "Mine|http://mine.example/"})
        EXPECT_TRUE(marks.count(mark)) << mark;
    EXPECT_FALSE(marks.count("N3|http://n3.example/"));
    // Ours went into the folder of its first keyword with an id above the browser's highest.
    XbelTree tree;
    ASSERT_TRUE(ParseXbel(text, tree));
    EXPECT_EQ(tree.highestId, highest + 1);
    const XbelItem& reading = tree.items.back();
    ASSERT_EQ(reading.title, "Reading");
    ASSERT_EQ(reading.children.size(), 2u);
    EXPECT_EQ(reading.children[1].title, "Mine");
    EXPECT_EQ(reading.children[1].id, std::to_string(highest + 1));
    EXPECT_EQ(Request("GET", url + ".lock").status, 404); // the lock is gone when done
    EXPECT_EQ(Sync(*Target()).outcome, LinkSyncOutcome::Unchanged);
}

TEST_F(WebDavSync, AFreshLockIsWaitedForAndAStaleOneTakenOver) {
    MakeLinkedDocument(10, url);
    ASSERT_EQ(Sync(*Target()).outcome, LinkSyncOutcome::Synced);
    {
        CBrindleDoc doc;
        LoadDoc(doc);
        doc.AddBookmark({.name = "Waiting", .url = "http://waiting.example/"});
        SaveDoc(doc);
    }
    const std::string lock = "extension";
    ASSERT_EQ(Request("PUT", url + ".lock", &lock).status / 100, 2);
    const std::string before = Request("GET", url).body;
    LinkSyncResult result;
    const auto started = std::chrono::steady_clock::now();
    std::thread sync([&] {
        LinkSyncOptions options;
        options.lockWait = std::chrono::seconds(30);
        result = Sync(*Target(), options);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    EXPECT_EQ(Request("GET", url).body, before); // still waiting
    ASSERT_EQ(Request("DELETE", url + ".lock").status / 100, 2);
    sync.join();
    EXPECT_EQ(result.outcome, LinkSyncOutcome::Synced) << result.error;
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(2500));
    EXPECT_TRUE(FileMarks(Request("GET", url).body).count("Waiting|http://waiting.example/"));

    // A lock sixteen minutes old by the server's clock is taken over.
    ASSERT_EQ(Request("PUT", url + ".lock", &lock).status / 100, 2);
    const std::string lockFile = (m_served / "bookmarks.xbel.lock").string();
    const timespec old[2] = {{std::time(nullptr) - 16 * 60, 0}, {std::time(nullptr) - 16 * 60, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, lockFile.c_str(), old, 0), 0);
    {
        CBrindleDoc doc;
        LoadDoc(doc);
        doc.AddBookmark({.name = "Stale", .url = "http://stale.example/"});
        SaveDoc(doc);
    }
    LinkSyncOptions shortWait;
    shortWait.lockWait = std::chrono::seconds(3);
    const LinkSyncResult taken = Sync(*Target(), shortWait);
    EXPECT_EQ(taken.outcome, LinkSyncOutcome::Synced) << taken.error;
    EXPECT_EQ(Request("GET", url + ".lock").status, 404);
}

TEST_F(WebDavSync, TheCommandLineLinksAndSyncs) {
    MakeLinkedDocument(5, m_served.string() + "/unused.xbel");
    const std::vector<std::string> env = {
        "XDG_STATE_HOME=" + std::string(std::getenv("XDG_STATE_HOME")),
        "BRINDLE_WEBDAV_USER=" + std::string(kUser),
        "BRINDLE_WEBDAV_PASSWORD=" + std::string(kPassword), "DBUS_SESSION_BUS_ADDRESS="};
    const std::filesystem::path folder = std::filesystem::path(docPath).parent_path();
    const auto link = testutil::RunProgram(BRINDLE_CLI_PATH, {"link", docPath, url}, env, folder);
    ASSERT_EQ(link.code, 0) << link.err;
    const auto sync = testutil::RunProgram(BRINDLE_CLI_PATH, {"sync", docPath}, env, folder);
    ASSERT_EQ(sync.code, 0) << sync.err;
    EXPECT_NE(sync.out.find("linked file: 5 added"), std::string::npos) << sync.out;
    EXPECT_EQ(FileMarks(Request("GET", url).body), DocumentMarks());
    const auto again = testutil::RunProgram(BRINDLE_CLI_PATH, {"sync", docPath}, env, folder);
    EXPECT_EQ(again.out, "nothing changed\n");
}
