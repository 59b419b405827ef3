// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>

namespace brindle {

QString ResourceDirFor(const QString& programDir) {
    const QString marker = QStringLiteral("help/contexthelp.htm");
    QStringList candidates;
    if (!programDir.isEmpty())
        candidates << QDir::cleanPath(programDir + QLatin1Char('/') +
                                      QStringLiteral(BRINDLE_DATA_DIR_FROM_BIN));
    for (const QString& dir :
         QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("brindle"),
                                   QStandardPaths::LocateDirectory))
        candidates << dir;
    for (const QString& dir : candidates)
        if (QFileInfo::exists(dir + QLatin1Char('/') + marker))
            return QDir(dir).absolutePath();
    return candidates.value(0);
}

QString ResourceDir() {
    return ResourceDirFor(QCoreApplication::instance() ? QCoreApplication::applicationDirPath()
                                                       : QString());
}

QString HelpPagePath() {
    return ResourceDir() + QStringLiteral("/help/contexthelp.htm");
}

} // namespace brindle
