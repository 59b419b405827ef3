// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/PathDetection.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <optional>

namespace brindle {

bool PathExists(const std::string& path) {
    if (path.empty())
        return false;
    const QString name = QString::fromStdString(path);
    if (!name.contains(QLatin1Char('/')))
        return !QStandardPaths::findExecutable(name).isEmpty() || QFileInfo::exists(name);
    return QFileInfo::exists(name);
}

std::string DetectIEPath() {
    return {};
}

std::string DetectNetscapePath() {
    for (const char* program : {"firefox", "firefox-esr"}) {
        const QString found = QStandardPaths::findExecutable(QString::fromLatin1(program));
        if (!found.isEmpty())
            return found.toStdString();
    }
    return {};
}

std::string DetectFavoritesPath() {
    const QString favorites = QDir::homePath() + QStringLiteral("/Favorites");
    return QFileInfo(favorites).isDir() ? favorites.toStdString() : std::string();
}

DetectedPaths DetectPaths() {
    return {DetectIEPath(), DetectNetscapePath(), DetectFavoritesPath()};
}

void CheckOptionPaths(CPreferences& settings, const std::function<DetectedPaths()>& detect) {
    std::optional<DetectedPaths> detected;
    auto detectedPaths = [&]() -> const DetectedPaths& {
        if (!detected)
            detected = detect();
        return *detected;
    };
    if (!PathExists(settings.m_strIEPath))
        settings.m_strIEPath = detectedPaths().iePath;
    if (!PathExists(settings.m_strNetscapePath))
        settings.m_strNetscapePath = detectedPaths().netscapePath;
    if (!PathExists(settings.m_strFavPath))
        settings.m_strFavPath = detectedPaths().favoritesPath;
    if (!PathExists(settings.m_strNBookmarkPath))
        settings.m_strNBookmarkPath.clear();
}

} // namespace brindle
