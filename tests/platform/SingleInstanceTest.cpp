// SPDX-License-Identifier: GPL-3.0-or-later
// One instance per user, tested with real processes: the first start listens, later starts
// hand over their path and end, and a crashed instance does not block the next start.

#include "platform/SingleInstance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr int kTimeoutMs = 10000;

class Helper {
  public:
    explicit Helper(const QStringList& args, const QString& workingDir = QString()) {
        if (!workingDir.isEmpty())
            m_process.setWorkingDirectory(workingDir);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(SINGLE_INSTANCE_HELPER), args);
    }
    ~Helper() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(kTimeoutMs);
        }
    }

    // The next line of output, or "<timeout>".
    QString NextLine() {
        QElapsedTimer timer;
        timer.start();
        while (!m_process.canReadLine() && timer.elapsed() < kTimeoutMs) {
            if (!m_process.waitForReadyRead(100) && m_process.state() == QProcess::NotRunning &&
                !m_process.canReadLine())
                break;
        }
        if (!m_process.canReadLine())
            return QStringLiteral("<timeout>");
        return QString::fromUtf8(m_process.readLine()).chopped(1);
    }
    // Waits for the end; the exit code, or -1 when it did not end or crashed.
    int Finish() {
        if (!m_process.waitForFinished(kTimeoutMs) ||
            m_process.exitStatus() != QProcess::NormalExit)
            return -1;
        return m_process.exitCode();
    }
    void Crash() {
        m_process.kill();
        m_process.waitForFinished(kTimeoutMs);
    }

  private:
    QProcess m_process;
};

class SingleInstanceTest : public ::testing::Test {
  protected:
    QStringList Args(const QString& path = QString(), bool withPath = true) const {
        QStringList args = {m_dir.path(), QStringLiteral("test")};
        if (withPath)
            args << path;
        return args;
    }
    // A second start with `args`: it must hand over and end.
    void HandOver(const QStringList& args, const QString& workingDir = QString()) {
        Helper second(args, workingDir);
        EXPECT_EQ(second.NextLine(), QStringLiteral("secondary"));
        EXPECT_EQ(second.Finish(), 0);
    }
    QString LockPath() const { return m_dir.path() + QStringLiteral("/test.lock"); }
    QString SocketPath() const { return m_dir.path() + QStringLiteral("/test.socket"); }

    QTemporaryDir m_dir;
};

TEST_F(SingleInstanceTest, SecondStartHandsItsPathToTheFirstAndEnds) {
    Helper first(Args(QString(), false));
    ASSERT_EQ(first.NextLine(), QStringLiteral("primary"));

    HandOver(Args(QStringLiteral("/data/web site/web.brx")));
    EXPECT_EQ(first.NextLine(), QStringLiteral("received:/data/web site/web.brx"));

    // No path: the first instance is only brought forward.
    HandOver(Args(QString(), false));
    EXPECT_EQ(first.NextLine(), QStringLiteral("received:"));

    const QString unicode = QStringLiteral("/data/Lesezeichen \u00fc\u4e66.brx");
    HandOver(Args(unicode));
    EXPECT_EQ(first.NextLine(), QStringLiteral("received:") + unicode);

    HandOver(Args(QStringLiteral("/quit")));
    EXPECT_EQ(first.NextLine(), QStringLiteral("received:/quit"));
    EXPECT_EQ(first.Finish(), 0);
    // A clean end leaves the lock free: the next start runs.
    EXPECT_FALSE(QFile::exists(LockPath()));
    Helper next(Args(QString(), false));
    EXPECT_EQ(next.NextLine(), QStringLiteral("primary"));
}

TEST_F(SingleInstanceTest, RelativePathsArriveAbsolute) {
    Helper first(Args(QString(), false));
    ASSERT_EQ(first.NextLine(), QStringLiteral("primary"));
    QTemporaryDir elsewhere;
    HandOver(Args(QStringLiteral("sub/web.brx")), elsewhere.path());
    EXPECT_EQ(first.NextLine(),
              QStringLiteral("received:") + elsewhere.path() + QStringLiteral("/sub/web.brx"));
}

TEST_F(SingleInstanceTest, CrashedInstanceDoesNotBlockTheNextStart) {
    {
        Helper crashed(Args(QString(), false));
        ASSERT_EQ(crashed.NextLine(), QStringLiteral("primary"));
        crashed.Crash();
    }
    // Its lock and socket are still there.
    ASSERT_TRUE(QFile::exists(LockPath()));
    ASSERT_TRUE(QFile::exists(SocketPath()));

    Helper first(Args(QString(), false));
    ASSERT_EQ(first.NextLine(), QStringLiteral("primary"));
    HandOver(Args(QStringLiteral("/after/crash.brx")));
    EXPECT_EQ(first.NextLine(), QStringLiteral("received:/after/crash.brx"));
}

TEST_F(SingleInstanceTest, BadMessagesAreDroppedAndLaterStartsStillArrive) {
    Helper first(Args(QString(), false));
    ASSERT_EQ(first.NextLine(), QStringLiteral("primary"));

    {
        // A length far beyond what a path needs: the connection is dropped.
        QLocalSocket bogus;
        bogus.connectToServer(SocketPath());
        ASSERT_TRUE(bogus.waitForConnected(kTimeoutMs));
        QByteArray message(4, '\0');
        qToBigEndian<quint32>(0xFFFFFFF0u, message.data());
        bogus.write(message + QByteArray(64, 'x'));
        bogus.waitForBytesWritten(kTimeoutMs);
        EXPECT_TRUE(bogus.state() == QLocalSocket::UnconnectedState ||
                    bogus.waitForDisconnected(kTimeoutMs));
    }
    {
        // Half a message, then gone.
        QLocalSocket partial;
        partial.connectToServer(SocketPath());
        ASSERT_TRUE(partial.waitForConnected(kTimeoutMs));
        partial.write(QByteArray("\0\0\0\x10/half", 9));
        partial.waitForBytesWritten(kTimeoutMs);
        partial.disconnectFromServer();
    }
    // A message sent in pieces still arrives whole.
    {
        QLocalSocket slow;
        slow.connectToServer(SocketPath());
        ASSERT_TRUE(slow.waitForConnected(kTimeoutMs));
        const QByteArray path = "/in/pieces.brx";
        QByteArray message(4, '\0');
        qToBigEndian<quint32>(static_cast<quint32>(path.size()), message.data());
        message += path;
        for (char byte : message) {
            slow.write(&byte, 1);
            slow.waitForBytesWritten(kTimeoutMs);
        }
        ASSERT_TRUE(slow.waitForReadyRead(kTimeoutMs));
        EXPECT_EQ(slow.readAll(), QByteArray("\x01"));
    }
    EXPECT_EQ(first.NextLine(), QStringLiteral("received:/in/pieces.brx"));

    HandOver(Args(QStringLiteral("/still/works.brx")));
    EXPECT_EQ(first.NextLine(), QStringLiteral("received:/still/works.brx"));
}

TEST_F(SingleInstanceTest, SendFailsWhenNobodyListens) {
    EXPECT_FALSE(brindle::SingleInstance::Send(SocketPath(), QStringLiteral("/x.brx"), 500));
}

} // namespace
