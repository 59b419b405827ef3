// SPDX-License-Identifier: GPL-3.0-or-later
// brindle-cli native-host as the browser runs it: messages framed on standard input, replies read
// back from standard output, in a private home whose settings name the last document. With no
// window the host changes the document itself; with a window listening on the single-instance
// socket every request goes there and the file is left alone.

#include "exchange/NativeMessaging.h"
#include "platform/SingleInstance.h"
#include "platform/net/InstanceSocket.h"
#include "store/BrindleDoc.h"
#include "store/DocumentArchive.h"
#include "support/TestFiles.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QProcess>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <set>

using brindle::native::EncodeFrame;

namespace {

constexpr int kTimeoutMs = 20000;

QJsonObject Json(const std::string& text) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
}

// Runs this process's events until `done` holds; false after the time-out.
bool WaitUntil(const std::function<bool()>& done) {
    QDeadlineTimer deadline(kTimeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

struct HostRun {
    int code = -1;
    std::vector<std::string> replies;
    std::string rest; // bytes after the last whole reply
};

class NativeHost : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!QCoreApplication::instance()) {
            static int argc = 1;
            static char name[] = "native_host_tests";
            static char* argv[] = {name, nullptr};
            static QCoreApplication app(argc, argv);
        }
    }

    testutil::TempDirectory dir;
    std::string doc = dir.File("doc.brx");

    void SetUp() override {
        for (const char* folder : {"home/config/Brindle", "home/run"})
            QDir().mkpath(QString::fromStdString(dir.File(folder)));
        QFile::setPermissions(QString::fromStdString(dir.File("home/run")),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                  QFileDevice::ExeOwner);
        CBrindleDoc empty;
        ASSERT_TRUE(brindle::WriteDocumentFile(empty, doc));
        SetLastDocument(doc);
    }

    void SetLastDocument(const std::string& path) {
        testutil::WriteFile(dir.File("home/config/Brindle/Brindle.conf"),
                            "[Recent File List]\nFile1=" + path + "\n");
    }

    QProcessEnvironment Environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", QString::fromStdString(dir.File("home")));
        env.insert("XDG_CONFIG_HOME", QString::fromStdString(dir.File("home/config")));
        env.insert("XDG_RUNTIME_DIR", QString::fromStdString(dir.File("home/run")));
        return env;
    }

    void Start(QProcess& process, const std::vector<std::string>& args = {"native-host"}) {
        process.setProcessEnvironment(Environment());
        QStringList list;
        for (const std::string& a : args)
            list << QString::fromStdString(a);
        process.start(QStringLiteral(BRINDLE_CLI_PATH), list);
        ASSERT_TRUE(process.waitForStarted(kTimeoutMs));
    }

    // Waits for the end while this process's event loop runs (a window in this process must be
    // able to answer), then splits the output into replies.
    static HostRun Finish(QProcess& process) {
        if (process.state() != QProcess::NotRunning) {
            QEventLoop loop;
            QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
            QTimer::singleShot(kTimeoutMs, &loop, &QEventLoop::quit);
            loop.exec();
        }
        HostRun run;
        if (process.state() == QProcess::NotRunning && process.exitStatus() == QProcess::NormalExit)
            run.code = process.exitCode();
        std::string out = process.readAllStandardOutput().toStdString();
        std::size_t at = 0;
        while (out.size() - at >= 4) {
            std::uint32_t length = 0;
            std::memcpy(&length, out.data() + at, 4);
            if (out.size() - at - 4 < length)
                break;
            run.replies.push_back(out.substr(at + 4, length));
            at += 4 + length;
        }
        run.rest = out.substr(at);
        return run;
    }

    HostRun RunHost(const std::string& input, const std::vector<std::string>& args = {
                                                  "native-host", "chrome-extension://id/"}) {
        QProcess process;
        Start(process, args);
        process.write(QByteArray::fromStdString(input));
        process.closeWriteChannel();
        return Finish(process);
    }

    std::vector<std::string> UrlsOnDisk() {
        CBrindleDoc document;
        EXPECT_TRUE(brindle::OpenDocumentFile(document, doc));
        std::vector<std::string> urls;
        for (const BookmarkRef b : document.Bookmarks())
            urls.emplace_back(b.m_strURL);
        return urls;
    }
};

TEST_F(NativeHost, AnswersEveryMessageAndWritesTheLastDocument) {
    const HostRun run = RunHost(
        EncodeFrame(R"({"type":"ping"})") +
        EncodeFrame(R"({"type":"add","url":"http://a/","title":"A","description":"about A"})") +
        EncodeFrame("not json") + EncodeFrame(R"({"type":"lookup","url":"http://a/#part"})") +
        EncodeFrame(
            R"({"type":"add-tabs","tabs":[{"url":"http://a/","title":"A"},{"url":"http://b/"}]})") +
        EncodeFrame(R"({"type":"add","url":"http://b/","title":"B"})"));
    EXPECT_EQ(run.code, 0);
    ASSERT_EQ(run.replies.size(), 6u);
    EXPECT_EQ(Json(run.replies[0])["document"].toString().toStdString(), doc);
    EXPECT_EQ(Json(run.replies[1])["result"], "added");
    EXPECT_EQ(Json(run.replies[2])["type"], "error");
    EXPECT_EQ(Json(run.replies[3])["saved"], true);
    EXPECT_EQ(Json(run.replies[4])["added"], 1);
    EXPECT_EQ(Json(run.replies[4])["existing"], 1);
    EXPECT_EQ(Json(run.replies[5])["result"], "exists");
    EXPECT_EQ(UrlsOnDisk(), (std::vector<std::string>{"http://a/", "http://b/"}));
}

TEST_F(NativeHost, CutOrOverlongInputEndsTheHostWithoutTouchingTheDocument) {
    const std::string add = EncodeFrame(R"({"type":"add","url":"http://a/","title":"A"})");
    const HostRun cut = RunHost(EncodeFrame(R"({"type":"ping"})") + add.substr(0, add.size() - 3));
    EXPECT_EQ(cut.code, 1);
    EXPECT_EQ(cut.replies.size(), 1u);
    EXPECT_EQ(cut.rest, "");

    std::string overlong(4, '\xff');
    overlong += add;
    const HostRun over = RunHost(overlong);
    EXPECT_EQ(over.code, 1);
    ASSERT_EQ(over.replies.size(), 1u);
    EXPECT_EQ(Json(over.replies[0])["type"], "error");
    EXPECT_EQ(UrlsOnDisk(), std::vector<std::string>{});
}

TEST_F(NativeHost, TwoHostsAtOnceLoseNothing) {
    constexpr int kEach = 25;
    std::string inputs[2];
    std::set<std::string> expected;
    for (int host = 0; host < 2; ++host)
        for (int i = 0; i < kEach; ++i) {
            const std::string url = "http://h" + std::to_string(host) + "/" + std::to_string(i);
            expected.insert(url);
            inputs[host] += EncodeFrame(R"({"type":"lookup","url":")" + url + R"("})") +
                            EncodeFrame(R"({"type":"add","url":")" + url + R"(","title":"p"})");
        }
    QProcess first;
    QProcess second;
    Start(first);
    Start(second);
    first.write(QByteArray::fromStdString(inputs[0]));
    second.write(QByteArray::fromStdString(inputs[1]));
    first.closeWriteChannel();
    second.closeWriteChannel();
    for (QProcess* process : {&first, &second}) {
        const HostRun run = Finish(*process);
        EXPECT_EQ(run.code, 0);
        ASSERT_EQ(run.replies.size(), 2u * kEach);
        for (int i = 1; i < 2 * kEach; i += 2)
            EXPECT_EQ(Json(run.replies[i])["result"], "added") << run.replies[i];
    }
    const std::vector<std::string> urls = UrlsOnDisk();
    EXPECT_EQ(std::set<std::string>(urls.begin(), urls.end()), expected);
    EXPECT_EQ(urls.size(), expected.size());
}

TEST_F(NativeHost, WithoutAnyDocumentTheRepliesSayHowToChooseOne) {
    SetLastDocument("");
    const HostRun run = RunHost(EncodeFrame(R"({"type":"ping"})") +
                                EncodeFrame(R"({"type":"add","url":"http://a/"})"));
    EXPECT_EQ(run.code, 0);
    ASSERT_EQ(run.replies.size(), 2u);
    EXPECT_FALSE(Json(run.replies[0]).contains("document"));
    EXPECT_TRUE(Json(run.replies[0])["message"].toString().contains("open the document"));
    EXPECT_EQ(Json(run.replies[1])["result"], "error");
}

TEST_F(NativeHost, ARunningWindowAnswersInsteadOfTheFile) {
    brindle::SingleInstance window(QStringLiteral("Brindle"),
                                   QString::fromStdString(dir.File("home/run")));
    ASSERT_EQ(window.Start(QString()), brindle::SingleInstance::Role::Primary);
    std::vector<std::string> received;
    window.SetRequestHandler([&](const QByteArray& json) {
        received.push_back(json.toStdString());
        return QByteArrayLiteral(R"({"type":"add","result":"opened","message":"in the window"})");
    });
    const HostRun run = RunHost(EncodeFrame(R"({"type":"add","url":"http://w/","title":"W"})") +
                                EncodeFrame("{broken"));
    EXPECT_EQ(run.code, 0);
    ASSERT_EQ(run.replies.size(), 2u);
    EXPECT_EQ(Json(run.replies[0])["result"], "opened");
    // A malformed message is answered by the host; the window sees only requests.
    EXPECT_EQ(Json(run.replies[1])["type"], "error");
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(Json(received[0])["url"], "http://w/");
    EXPECT_EQ(UrlsOnDisk(), std::vector<std::string>{});
}

TEST_F(NativeHost, TheWindowAsksTheExtensionForThePageInFrontThroughTheHost) {
    brindle::SingleInstance window(QStringLiteral("Brindle"),
                                   QString::fromStdString(dir.File("home/run")));
    ASSERT_EQ(window.Start(QString()), brindle::SingleInstance::Role::Primary);
    QLocalSocket* link = nullptr;
    window.SetAttachHandler([&](QLocalSocket* socket) { link = socket; });
    QProcess host;
    Start(host);
    ASSERT_TRUE(WaitUntil([&] { return link != nullptr; })) << "the host never connected";

    link->write(brindle::InstanceFrame(R"({"type":"active-tab-request","request":3})"));
    link->flush();
    ASSERT_TRUE(WaitUntil([&] { return host.bytesAvailable() >= 4; }));
    host.waitForReadyRead(1000);
    const QByteArray question = host.readAllStandardOutput();
    EXPECT_EQ(QJsonDocument::fromJson(question.mid(4)).object()["type"], "active-tab-request");

    host.write(QByteArray::fromStdString(
        EncodeFrame(R"({"type":"active-tab","request":3,"url":"http://front/","title":"Front"})")));
    QByteArray buffer;
    bool broken = false;
    std::optional<QByteArray> answer;
    ASSERT_TRUE(WaitUntil([&] {
        buffer += link->readAll();
        answer = brindle::TakeInstanceMessage(buffer, broken);
        return answer.has_value() || broken;
    }));
    ASSERT_TRUE(answer);
    EXPECT_EQ(QJsonDocument::fromJson(*answer).object()["url"], "http://front/");
    host.closeWriteChannel();
    const HostRun run = Finish(host);
    EXPECT_EQ(run.code, 0);
    EXPECT_TRUE(run.replies.empty()); // the extension's answer gets no reply of its own
}

TEST_F(NativeHost, InstallWritesEachBrowsersManifest) {
    QProcess install;
    Start(install, {"install-browser-host", "--user", "--host", "/opt/b/brindle-native-host"});
    const HostRun run = Finish(install);
    EXPECT_EQ(run.code, 0);
    const std::string firefox =
        dir.File("home/.mozilla/native-messaging-hosts/org.example.brindle.json");
    const std::string chromium =
        dir.File("home/config/chromium/NativeMessagingHosts/org.example.brindle.json");
    EXPECT_EQ(Json(testutil::ReadFile(firefox))["allowed_extensions"].toArray().size(), 1);
    EXPECT_EQ(Json(testutil::ReadFile(chromium))["path"], "/opt/b/brindle-native-host");
    // A browser that never ran here gets no folder.
    EXPECT_FALSE(testutil::Exists(dir.File("home/config/vivaldi")));

    QProcess system;
    Start(system, {"install-browser-host", "--system", "--root", dir.File("root"), "--host",
                   "/usr/bin/brindle-native-host"});
    EXPECT_EQ(Finish(system).code, 0);
    EXPECT_TRUE(testutil::Exists(
        dir.File("root/usr/lib/mozilla/native-messaging-hosts/org.example.brindle.json")));
    EXPECT_TRUE(testutil::Exists(
        dir.File("root/etc/chromium/native-messaging-hosts/org.example.brindle.json")));
}

} // namespace
