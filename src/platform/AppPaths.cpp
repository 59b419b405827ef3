#include "platform/AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace brindle {

QString ResourceDir() {
    const QString marker = QStringLiteral("help/contexthelp.htm");
    QStringList candidates;
    if (QCoreApplication::instance())
        candidates << QCoreApplication::applicationDirPath() + QStringLiteral("/res");
    for (const QString& dir :
         QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("brindle"),
                                   QStandardPaths::LocateDirectory))
        candidates << dir;
    candidates << QStringLiteral(BRINDLE_SOURCE_RES_DIR);
    for (const QString& dir : candidates)
        if (QFileInfo::exists(dir + QLatin1Char('/') + marker))
            return QDir(dir).absolutePath();
    return QStringLiteral(BRINDLE_SOURCE_RES_DIR);
}

QString HelpPagePath() {
    return ResourceDir() + QStringLiteral("/help/contexthelp.htm");
}

} // namespace brindle
