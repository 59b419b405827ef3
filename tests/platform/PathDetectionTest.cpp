// SPDX-License-Identifier: GPL-3.0-or-later
// Browser and folder detection with the Linux stand-ins, the "exists" test, and the path
// checks made when the options are confirmed.

#include "platform/PathDetection.h"

#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace brindle;

namespace {

class PathDetectionTest : public ::testing::Test {
  protected:
    std::string MakeFile(const QString& relative, bool executable = false) {
        const QString path = m_dir.path() + QLatin1Char('/') + relative;
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n");
        file.close();
        if (executable)
            file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path.toStdString();
    }
    std::string Missing() const {
        return (m_dir.path() + QStringLiteral("/missing")).toStdString();
    }

    QTemporaryDir m_dir;
};

TEST_F(PathDetectionTest, ExistsForFilesFoldersAndProgramsOnPath) {
    const std::string file = MakeFile(QStringLiteral("a/b.html"));
    EXPECT_TRUE(PathExists(file));
    EXPECT_TRUE(PathExists(m_dir.path().toStdString()));
    EXPECT_FALSE(PathExists(Missing()));
    EXPECT_FALSE(PathExists(""));

    MakeFile(QStringLiteral("bin/mybrowser"), true);
    testutil::ScopedEnv path("PATH", (m_dir.path() + QStringLiteral("/bin")).toUtf8());
    EXPECT_TRUE(PathExists("mybrowser"));
    EXPECT_FALSE(PathExists("otherbrowser"));
}

TEST_F(PathDetectionTest, NetscapeIsAFirefoxOnPath) {
    const QString bin = m_dir.path() + QStringLiteral("/bin");
    testutil::ScopedEnv path("PATH", bin.toUtf8());
    EXPECT_EQ(DetectNetscapePath(), "");

    const std::string esr = MakeFile(QStringLiteral("bin/firefox-esr"), true);
    EXPECT_EQ(DetectNetscapePath(), esr);

    const std::string firefox = MakeFile(QStringLiteral("bin/firefox"), true);
    EXPECT_EQ(DetectNetscapePath(), firefox);
    EXPECT_TRUE(PathExists(DetectNetscapePath()));
}

TEST_F(PathDetectionTest, InternetExplorerStandInNeedsNoProgram) {
    EXPECT_EQ(DetectIEPath(), "");
    EXPECT_EQ(DetectPaths().iePath, "");
}

TEST_F(PathDetectionTest, FavoritesIsTheHomeFavoritesFolderWhenThere) {
    testutil::ScopedEnv home("HOME", m_dir.path().toUtf8());
    EXPECT_EQ(DetectFavoritesPath(), "");
    MakeFile(QStringLiteral("Favorites"));
    EXPECT_EQ(DetectFavoritesPath(), "") << "a file named Favorites is not the folder";
    QFile::remove(m_dir.path() + QStringLiteral("/Favorites"));
    QDir(m_dir.path()).mkdir(QStringLiteral("Favorites"));
    EXPECT_EQ(DetectFavoritesPath(), (m_dir.path() + QStringLiteral("/Favorites")).toStdString());
}

TEST_F(PathDetectionTest, ConfirmedOptionsKeepExistingPathsAndDetectTheOthers) {
    int detections = 0;
    const auto detect = [&detections] {
        ++detections;
        return DetectedPaths{"/detected/ie", "/detected/firefox", "/detected/Favorites"};
    };

    CPreferences s;
    s.m_strIEPath = MakeFile(QStringLiteral("ie"), true);
    s.m_strNetscapePath = MakeFile(QStringLiteral("netscape"), true);
    s.m_strFavPath = m_dir.path().toStdString();
    s.m_strNBookmarkPath = MakeFile(QStringLiteral("bookmarks.html"));
    const CPreferences before = s;
    CheckOptionPaths(s, detect);
    EXPECT_EQ(detections, 0);
    EXPECT_EQ(s.m_strIEPath, before.m_strIEPath);
    EXPECT_EQ(s.m_strNetscapePath, before.m_strNetscapePath);
    EXPECT_EQ(s.m_strFavPath, before.m_strFavPath);
    EXPECT_EQ(s.m_strNBookmarkPath, before.m_strNBookmarkPath);

    s.m_strIEPath = Missing();
    s.m_strNetscapePath = "";
    s.m_strFavPath = Missing();
    s.m_strNBookmarkPath = Missing();
    CheckOptionPaths(s, detect);
    EXPECT_EQ(detections, 1);
    EXPECT_EQ(s.m_strIEPath, "/detected/ie");
    EXPECT_EQ(s.m_strNetscapePath, "/detected/firefox");
    EXPECT_EQ(s.m_strFavPath, "/detected/Favorites");
    EXPECT_EQ(s.m_strNBookmarkPath, "") << "a missing bookmark file is cleared, not detected";
}

} // namespace
