// SPDX-License-Identifier: GPL-3.0-or-later
// Export into Netscape users' bookmark files.

#include "exchange/ProfileExport.h"

#include "exchange/ExchangeFiles.h"
#include "exchange/HtmlTags.h"
#include "exchange/Netscape.h"
#include "exchange/TextCodec.h"
#include "store/BrindleDoc.h"
#include "store/TextUtil.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <filesystem>
#include <unordered_set>

namespace fs = std::filesystem;

namespace brindle {

std::vector<NetscapeUser> FindNetscapeUsers(const std::string& home) {
    const QString homeDir = home.empty() ? QDir::homePath() : QString::fromStdString(home);
    return ReadFirefoxProfiles((homeDir + QStringLiteral("/.mozilla/firefox")).toStdString());
}

std::vector<NetscapeUser> ReadFirefoxProfiles(const std::string& firefoxFolder,
                                              std::string* defaultFolder) {
    const QString base = QString::fromStdString(firefoxFolder);
    const QString iniPath = base + QStringLiteral("/profiles.ini");
    std::vector<NetscapeUser> users;
    if (!QFileInfo::exists(iniPath))
        return users;
    QSettings ini(iniPath, QSettings::IniFormat);
    auto folderOf = [&](const QString& path, bool relative) {
        return (relative ? QDir(base).filePath(path) : QDir::cleanPath(path)).toStdString();
    };
    std::vector<std::pair<long, QString>> groups;
    QString installDefault; // newer Firefox names the default per installation
    for (const QString& g : ini.childGroups()) {
        if (g.startsWith(QLatin1String("Install")) && installDefault.isEmpty())
            installDefault = ini.value(g + QStringLiteral("/Default")).toString().trimmed();
        if (!g.startsWith(QLatin1String("Profile")))
            continue;
        bool ok = false;
        const long number = g.mid(7).toLong(&ok);
        groups.emplace_back(ok ? number : 1L << 30, g);
    }
    std::stable_sort(groups.begin(), groups.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::string flaggedDefault;
    for (const auto& [number, group] : groups) {
        ini.beginGroup(group);
        NetscapeUser user;
        user.name = ini.value(QStringLiteral("Name")).toString().toStdString();
        const QString path = ini.value(QStringLiteral("Path")).toString().trimmed();
        const bool relative =
            ini.value(QStringLiteral("IsRelative"), !QDir::isAbsolutePath(path)).toBool();
        if (!path.isEmpty())
            user.profileFolder = folderOf(path, relative);
        if (ini.value(QStringLiteral("Default")).toString() == QLatin1String("1") &&
            flaggedDefault.empty())
            flaggedDefault = user.profileFolder;
        ini.endGroup();
        if (!user.name.empty())
            users.push_back(std::move(user));
    }
    if (defaultFolder) {
        if (!installDefault.isEmpty())
            *defaultFolder = folderOf(installDefault, !QDir::isAbsolutePath(installDefault));
        else if (!flaggedDefault.empty())
            *defaultFolder = flaggedDefault;
        else
            *defaultFolder = users.empty() ? std::string() : users.front().profileFolder;
    }
    return users;
}

std::string ProfileExportTotals(int total, int successes) {
    return "Export Information:\nTotal file number:" + std::to_string(total) +
           "\nSuccessful exporting files number:" + std::to_string(successes);
}

namespace {

// The URL of a line that holds a link ("<a" then a tag whose text starts with href and has a
// double-quoted value after its first '='), lower-cased; false for any other line.
bool LinkUrlOfLine(std::string_view line, std::string& url) {
    size_t at = 0;
    while ((at = FindNoCase(line, "<a", at)) != std::string_view::npos) {
        const size_t stop = line.find_first_of("<>", at + 2);
        if (stop == std::string_view::npos || line[stop] != '>')
            return false;
        const std::string_view tag = TrimView(line.substr(at + 2, stop - at - 2));
        if (StartsWithNoCase(tag, "href")) {
            const size_t eq = tag.find('=');
            const size_t open = eq == std::string_view::npos ? eq : tag.find('"', eq + 1);
            const size_t close = open == std::string_view::npos ? open : tag.find('"', open + 1);
            if (close != std::string_view::npos &&
                TrimView(tag.substr(eq + 1, open - eq - 1)).empty()) {
                url = ToLower(
                    TrimView(DecodeCharacterReferences(tag.substr(open + 1, close - open - 1))));
                return true;
            }
        }
        at = stop;
    }
    return false;
}

} // namespace

std::vector<std::string> MergeBrindleSection(std::vector<std::string> lines,
                                             const std::string& userName,
                                             const std::vector<std::string>& entries,
                                             const std::vector<std::string>& entryUrls) {
    size_t heading = lines.size();
    for (size_t i = lines.size(); i-- > 0;) {
        const std::string lower = ToLower(lines[i]);
        if (lower.find("<h") != std::string::npos && lower.find("brindle") != std::string::npos) {
            heading = i;
            break;
        }
    }
    std::vector<std::string> block;
    block.emplace_back("<DL>");
    block.insert(block.end(), entries.begin(), entries.end());
    if (heading == lines.size()) {
        lines.emplace_back("<HR>");
        lines.push_back("<H1>Brindle Bookmark For Netscape User:" + EscapeHtml(userName) + "</H1>");
        lines.insert(lines.end(), block.begin(), block.end());
        lines.emplace_back("</DL>");
        return lines;
    }
    // The earlier section runs to the next heading. Its links survive unless the new export
    // has the same URL (then the new entry, with current names and dates, stands).
    std::unordered_set<std::string> exported;
    for (const std::string& u : entryUrls)
        exported.insert(ToLower(TrimView(u)));
    size_t end = heading + 1;
    while (end < lines.size() && FindNoCase(lines[end], "<h") == std::string::npos)
        ++end;
    for (size_t i = heading + 1; i < end; ++i) {
        std::string url;
        if (LinkUrlOfLine(lines[i], url) && !exported.count(url))
            block.push_back(lines[i]);
    }
    block.emplace_back("</DL>");
    std::vector<std::string> merged;
    merged.reserve(lines.size() - (end - heading - 1) + block.size());
    merged.insert(
        merged.end(), std::make_move_iterator(lines.begin()),
        std::make_move_iterator(lines.begin() + static_cast<std::ptrdiff_t>(heading + 1)));
    merged.insert(merged.end(), block.begin(), block.end());
    merged.insert(merged.end(),
                  std::make_move_iterator(lines.begin() + static_cast<std::ptrdiff_t>(end)),
                  std::make_move_iterator(lines.end()));
    return merged;
}

bool ExportToNetscapeUser(CBrindleDoc& doc, const std::string& userName,
                          const ExportOptions& options, ExchangeReport& report,
                          const std::string& home) {
    const std::vector<NetscapeUser> users = FindNetscapeUsers(home);
    const auto user = std::find_if(users.begin(), users.end(),
                                   [&](const NetscapeUser& u) { return u.name == userName; });
    if (user == users.end())
        return false;
    const std::string folder = Trim(user->profileFolder);
    if (folder.empty()) {
        report.Add(MessageIcon::Information,
                   userName + "'s Netscape profile directory does not appear,export failed");
        return false;
    }
    const std::string file = (fs::path(folder) / kProfileBookmarkFile).string();
    if (!FileExists(file)) {
        if (!CreateFolderChain(folder)) {
            report.Add(MessageIcon::Exclamation, kMsgCreateDirectoryFail);
            return false;
        }
        return ExportNetscape(doc, file, options, report);
    }

    std::string bytes;
    if (!ReadWholeFile(file, bytes)) {
        report.Add(MessageIcon::Stop, kMsgCannotOpenProfileFile);
        return false;
    }
    // Lines outside Brindle's section go back byte for byte, whatever their encoding.
    std::string text = std::move(bytes);
    NormalizeLineEnds(text);
    std::vector<std::string> lines;
    for (size_t pos = 0; pos < text.size();) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        lines.emplace_back(text, pos, end - pos);
        pos = end + 1;
    }

    std::vector<std::string> entries;
    std::vector<std::string> urls;
    for (const BookmarkRef& b : SelectForExport(doc, options)) {
        std::string line;
        AppendNetscapeEntry(line, b);
        entries.push_back(std::move(line));
        urls.emplace_back(b.m_strURL);
    }
    lines = MergeBrindleSection(std::move(lines), userName, entries, urls);

    std::string out;
    for (const std::string& line : lines) {
        out += line;
        out += kLineEnd;
    }
    if (WriteFileAtomically(file, out) != 0) {
        report.Add(MessageIcon::Stop, kMsgCannotWriteBookmark);
        return false;
    }
    return true;
}

int ExportToNetscapeUsers(CBrindleDoc& doc, const std::vector<std::string>& userNames,
                          const ExportOptions& options, ExchangeReport& report,
                          const std::string& home) {
    int successes = 0;
    for (const std::string& name : userNames)
        if (ExportToNetscapeUser(doc, name, options, report, home))
            ++successes;
    report.Add(MessageIcon::Information,
               ProfileExportTotals(static_cast<int>(userNames.size()), successes));
    return successes;
}

} // namespace brindle
