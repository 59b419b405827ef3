// SPDX-License-Identifier: GPL-3.0-or-later
// The ".brx" file type in the user's XDG data folders, the first-run mark and the recent
// files.

#include "platform/DesktopIntegration.h"

#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

using namespace brindle;

namespace {

QString ReadText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString ExecLine(const QString& entry) {
    for (const QString& line : entry.split(QLatin1Char('\n')))
        if (line.startsWith(QStringLiteral("Exec=")))
            return line;
    return {};
}

TEST(FileTypeTest, WritesTheDesktopEntryAndMimeTypeIntoXdgDataHome) {
    testutil::TempXdgHome home;
    EXPECT_TRUE(RegisterFileType(QStringLiteral("/opt/brindle/bin/brindle"), false));

    const QString entryPath =
        home.Data() + QStringLiteral("/applications/org.example.brindle.desktop");
    const QString mimePath = home.Data() + QStringLiteral("/mime/packages/brindle.xml");
    EXPECT_EQ(DesktopEntryPath(), entryPath);
    EXPECT_EQ(MimePackagePath(), mimePath);

    const QString entry = ReadText(entryPath);
    EXPECT_TRUE(entry.startsWith(QStringLiteral("[Desktop Entry]\n")));
    EXPECT_EQ(ExecLine(entry), QStringLiteral("Exec=/opt/brindle/bin/brindle %f"));
    EXPECT_TRUE(entry.contains(QStringLiteral("\nType=Application\n")));
    EXPECT_TRUE(entry.contains(QStringLiteral("\nMimeType=application/x-brindle;\n")));

    // The MIME package is well-formed XML declaring the type with its glob.
    QXmlStreamReader xml(ReadText(mimePath));
    QString type;
    QString glob;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QStringLiteral("mime-type"))
            type = xml.attributes().value(QStringLiteral("type")).toString();
        else if (xml.name() == QStringLiteral("glob"))
            glob = xml.attributes().value(QStringLiteral("pattern")).toString();
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(type, QStringLiteral("application/x-brindle"));
    EXPECT_EQ(glob, QStringLiteral("*.brx"));
}

TEST(FileTypeTest, RewritesOnlyWhatChanged) {
    testutil::TempXdgHome home;
    ASSERT_TRUE(RegisterFileType(QStringLiteral("/old/brindle"), false));
    // Mark the files so that a rewrite shows.
    const QDateTime old = QDateTime::currentDateTime().addDays(-1);
    for (const QString& path : {DesktopEntryPath(), MimePackagePath()}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(old, QFileDevice::FileModificationTime));
    }
    ASSERT_TRUE(RegisterFileType(QStringLiteral("/new/brindle"), false));
    EXPECT_EQ(QFileInfo(MimePackagePath()).lastModified(), old);
    EXPECT_NE(QFileInfo(DesktopEntryPath()).lastModified(), old);
    EXPECT_EQ(ExecLine(ReadText(DesktopEntryPath())), QStringLiteral("Exec=/new/brindle %f"));
}

TEST(FileTypeTest, ProgramPathsWithReservedCharactersAreQuoted) {
    EXPECT_EQ(ExecLine(DesktopEntryText(QStringLiteral("/opt/my apps/brindle"))),
              QStringLiteral("Exec=\"/opt/my apps/brindle\" %f"));
    // $ is escaped inside the quotes, and that backslash again as the format escapes strings.
    EXPECT_EQ(ExecLine(DesktopEntryText(QStringLiteral("/opt/a$b/brindle"))),
              QStringLiteral("Exec=\"/opt/a\\\\$b/brindle\" %f"));
    EXPECT_EQ(ExecLine(DesktopEntryText(QStringLiteral("/opt/100%/brindle"))),
              QStringLiteral("Exec=/opt/100%%/brindle %f"));
}

// The files an installation puts in share/applications and share/mime/packages are the ones
// the program writes for the user, with the program found on the PATH.
TEST(FileTypeTest, TheInstalledFilesAreWhatStartUpWrites) {
    EXPECT_EQ(ReadText(QStringLiteral(BRINDLE_RES_DIR "/desktop/org.example.brindle.desktop")),
              DesktopEntryText(QStringLiteral("brindle")));
    EXPECT_EQ(ReadText(QStringLiteral(BRINDLE_RES_DIR "/desktop/brindle.xml")), MimePackageText());
}

TEST(FileTypeTest, FailuresAreReportedNotFatal) {
    QTemporaryDir dir;
    const QString blocker = dir.path() + QStringLiteral("/data");
    QFile file(blocker);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    testutil::ScopedEnv data("XDG_DATA_HOME", blocker.toUtf8());
    EXPECT_FALSE(RegisterFileType(QStringLiteral("/opt/brindle"), false));
}

class StoreTest : public ::testing::Test {
  protected:
    QString StorePath() const { return m_dir.path() + QStringLiteral("/Brindle.conf"); }
    void WriteStore(const QByteArray& text) {
        QFile file(StorePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    bool FirstRun() {
        QSettings store(StorePath(), QSettings::IniFormat);
        return CheckFirstRun(store);
    }
    QTemporaryDir m_dir;
};

TEST_F(StoreTest, FirstRunMarkStartsTheWizardOnceAndIsKept) {
    EXPECT_TRUE(FirstRun());
    QSettings store(StorePath(), QSettings::IniFormat);
    EXPECT_EQ(store.value(QStringLiteral("FirstRun/First")).toString(), QStringLiteral("1"));
    EXPECT_TRUE(QFile::exists(StorePath()));
    EXPECT_FALSE(FirstRun());
    EXPECT_FALSE(FirstRun());
}

TEST_F(StoreTest, FirstRunMarkOtherNumbersStartTheWizardUnreadableOnesDoNot) {
    WriteStore("[FirstRun]\nFirst=0\n");
    EXPECT_TRUE(FirstRun());
    EXPECT_TRUE(FirstRun()) << "the mark is left as it is";

    WriteStore("[FirstRun]\nfirst=2\n");
    EXPECT_TRUE(FirstRun());

    WriteStore("[FirstRun]\nFirst=yes\n");
    EXPECT_FALSE(FirstRun());

    WriteStore("[FirstRun]\nOther=0\n");
    EXPECT_FALSE(FirstRun()) << "the group is there, First cannot be read";
    QSettings store(StorePath(), QSettings::IniFormat);
    EXPECT_FALSE(store.contains(QStringLiteral("FirstRun/First")));
}

TEST_F(StoreTest, RecentFilesKeepFourMostRecentFirst) {
    {
        QSettings store(StorePath(), QSettings::IniFormat);
        WriteRecentFiles(store, {"/a.brx", "", "/b.brx", "/c.brx", "/d.brx", "/e.brx"});
    }
    QSettings store(StorePath(), QSettings::IniFormat);
    EXPECT_EQ(ReadRecentFiles(store), QStringList({"/a.brx", "/b.brx", "/c.brx", "/d.brx"}));
    EXPECT_EQ(store.value(QStringLiteral("Recent File List/File2")).toString(), "/b.brx");
    EXPECT_EQ(MostRecentFile(store), QStringLiteral("/a.brx"));

    // A shorter list leaves no old entries behind.
    WriteRecentFiles(store, {"/z.brx"});
    EXPECT_EQ(ReadRecentFiles(store), QStringList({"/z.brx"}));
    EXPECT_FALSE(store.contains(QStringLiteral("Recent File List/File2")));
}

TEST_F(StoreTest, RecentFilesSkipGapsButFileOneIsWhatIsReopened) {
    WriteStore("[Recent%20File%20List]\nFile2=/two.brx\nfile3=/three.brx\n");
    QSettings store(StorePath(), QSettings::IniFormat);
    EXPECT_EQ(ReadRecentFiles(store), QStringList({"/two.brx", "/three.brx"}));
    EXPECT_EQ(MostRecentFile(store), QString());
}

TEST(RecentFileListTest, AddingMovesToTheFrontWithoutDuplicates) {
    QStringList files = {"/a.brx", "/b.brx", "/c.brx", "/d.brx"};
    files = AddRecentFile(files, QStringLiteral("/c.brx"));
    EXPECT_EQ(files, QStringList({"/c.brx", "/a.brx", "/b.brx", "/d.brx"}));
    files = AddRecentFile(files, QStringLiteral("/e.brx"));
    EXPECT_EQ(files, QStringList({"/e.brx", "/c.brx", "/a.brx", "/b.brx"}));
    EXPECT_EQ(AddRecentFile(files, QString()), files);

    const QString relative = AddRecentFile({}, QStringLiteral("sub/../web.brx")).front();
    EXPECT_EQ(relative, QDir::current().absoluteFilePath(QStringLiteral("web.brx")));
}

} // namespace
