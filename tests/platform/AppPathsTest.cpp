// SPDX-License-Identifier: GPL-3.0-or-later
// Where the program finds its help page: beside it in an installation under any prefix and in
// the build folder, else in the XDG data folders.

#include "platform/AppPaths.h"

#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace brindle;

namespace {

void WriteHelpPage(const QString& dataDir) {
    ASSERT_TRUE(QDir().mkpath(dataDir + QStringLiteral("/help")));
    QFile page(dataDir + QStringLiteral("/help/contexthelp.htm"));
    ASSERT_TRUE(page.open(QIODevice::WriteOnly));
    page.write("<html></html>");
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class AppPathsTest : public ::testing::Test {
  protected:
    // No data folder of the machine (an installed copy in /usr/share) may answer.
    testutil::TempXdgHome m_home;
    testutil::ScopedEnv m_dataDirs{"XDG_DATA_DIRS", (m_home.Path() + "/none").toUtf8()};
    QTemporaryDir m_prefix;
};

TEST_F(AppPathsTest, AnInstallationUnderAnyPrefixFindsItsOwnData) {
    const QString prefix = m_prefix.path() + QStringLiteral("/opt/brindle");
    ASSERT_TRUE(QDir().mkpath(prefix + QStringLiteral("/bin")));
    WriteHelpPage(prefix + QStringLiteral("/share/brindle"));
    EXPECT_EQ(ResourceDirFor(prefix + QStringLiteral("/bin")), prefix + "/share/brindle");
}

TEST_F(AppPathsTest, WithoutDataBesideTheProgramTheXdgDataFoldersAnswer) {
    const QString bin = m_prefix.path() + QStringLiteral("/bin");
    ASSERT_TRUE(QDir().mkpath(bin));
    // Nothing anywhere: the place beside the program is named all the same.
    EXPECT_EQ(ResourceDirFor(bin), m_prefix.path() + QStringLiteral("/share/brindle"));
    WriteHelpPage(m_home.Data() + QStringLiteral("/brindle"));
    EXPECT_EQ(ResourceDirFor(bin), m_home.Data() + QStringLiteral("/brindle"));
}

TEST_F(AppPathsTest, TheBuildFolderHoldsTheHelpPageWhereTheProgramsLook) {
    const QString found = ResourceDirFor(QStringLiteral(BRINDLE_BUILD_BIN_DIR));
    EXPECT_EQ(found, QDir::cleanPath(QStringLiteral(BRINDLE_BUILD_DATA_DIR)));
    const QByteArray page = ReadAll(found + QStringLiteral("/help/contexthelp.htm"));
    EXPECT_FALSE(page.isEmpty());
    EXPECT_EQ(page, ReadAll(QStringLiteral(BRINDLE_RES_DIR "/help/contexthelp.htm")));
}

} // namespace
