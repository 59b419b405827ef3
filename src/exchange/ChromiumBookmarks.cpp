// SPDX-License-Identifier: GPL-3.0-or-later
// Reading Chromium's Bookmarks file.

#include "exchange/ChromiumBookmarks.h"

#include "exchange/ExchangeFiles.h"
#include "exchange/FolderKeywords.h"
#include "exchange/TextCodec.h"
#include "store/BrindleDoc.h"
#include "store/TextUtil.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace brindle {

bool LooksLikeChromiumBookmarks(std::string_view head) {
    const std::string_view text = SkipUtf8Bom(head);
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    return first != std::string_view::npos && text[first] == '{' &&
           text.find("\"roots\"") != std::string_view::npos;
}

BrxTime ChromiumTimeToSeconds(std::int64_t micros) {
    constexpr std::int64_t kMicrosPerSecond = 1000000;
    // Seconds between 1601-01-01 and 1970-01-01.
    constexpr std::int64_t kEpochOffset = 11644473600;
    if (micros <= 0)
        return 0;
    const std::int64_t seconds = micros / kMicrosPerSecond - kEpochOffset;
    return seconds > 0 ? static_cast<BrxTime>(seconds) : 0;
}

namespace {

std::int64_t ChromiumTime(const QJsonValue& value) {
    // Written as a decimal string (the numbers pass 2^53).
    if (value.isString())
        return value.toString().toLongLong();
    return static_cast<std::int64_t>(value.toDouble());
}

// Browsers show an untitled bookmark by its address; a bookmark needs a name.
std::string_view NameOrUrl(std::string_view title, std::string_view url) {
    return TrimView(title).empty() ? url : title;
}

class ChromiumWalk {
  public:
    ChromiumWalk(CBrindleDoc& doc, const BookmarkSink& sink, ImportResult& result)
        : m_doc(doc), m_sink(sink), m_result(result), m_schedule(doc.DefaultScheduleOrNone()) {}

    void Node(const QJsonObject& node) {
        const QString type = node.value(QLatin1String("type")).toString();
        const std::string title = node.value(QLatin1String("name")).toString().toStdString();
        if (type == QLatin1String("folder")) {
            Folder(node, title);
        } else if (type == QLatin1String("url")) {
            const std::string url = node.value(QLatin1String("url")).toString().toStdString();
            if (TrimView(url).empty())
                return;
            const std::string_view name = NameOrUrl(title, url);
            m_keywords.KeywordsFor(m_text, name, {});
            const BookmarkFields fields{.name = name,
                                        .url = url,
                                        .keywords = m_text,
                                        .statusChecking = 1,
                                        .schedule = m_schedule,
                                        .status = kStatusWaiting,
                                        .addDate = ChromiumTimeToSeconds(
                                            ChromiumTime(node.value(QLatin1String("date_added")))),
                                        .lastVisited = ChromiumTimeToSeconds(ChromiumTime(
                                            node.value(QLatin1String("date_last_used")))),
                                        .lastModified = 0};
            AddImported(m_doc, m_sink, fields, m_result);
        }
    }

    void Folder(const QJsonObject& folder, std::string_view name) {
        m_keywords.Push(name);
        const QJsonArray list = folder.value(QLatin1String("children")).toArray();
        for (const QJsonValue& child : list)
            if (child.isObject())
                Node(child.toObject());
        m_keywords.Pop();
    }

  private:
    CBrindleDoc& m_doc;
    const BookmarkSink& m_sink;
    ImportResult& m_result;
    std::string m_schedule;
    FolderKeywords m_keywords;
    std::string m_text;
};

} // namespace

ImportResult ReadChromiumBookmarksText(CBrindleDoc& doc, std::string_view json,
                                       const ImportOptions& options) {
    ImportResult result;
    json = SkipUtf8Bom(json);
    QJsonParseError error;
    const QJsonDocument parsed = QJsonDocument::fromJson(
        QByteArray::fromRawData(json.data(), static_cast<qsizetype>(json.size())), &error);
    if (error.error != QJsonParseError::NoError || !parsed.isObject())
        return result;
    const QJsonValue roots = parsed.object().value(QLatin1String("roots"));
    if (!roots.isObject())
        return result;
    result.format = FormatId::Chromium;
    const QJsonObject rootObject = roots.toObject();
    ChromiumWalk walk(doc, options.sink, result);
    // The three roots in the order the browser shows them; each is a folder of its own name.
    for (const char* key : {"bookmark_bar", "other", "synced"}) {
        const QJsonValue root = rootObject.value(QLatin1String(key));
        if (root.isObject())
            walk.Folder(root.toObject(),
                        root.toObject().value(QLatin1String("name")).toString().toStdString());
    }
    return result;
}

ImportResult ImportChromiumBookmarks(CBrindleDoc& doc, const std::string& path,
                                     const ImportOptions& options) {
    std::string bytes;
    ImportResult result;
    if (ReadWholeFile(path, bytes))
        result = ReadChromiumBookmarksText(doc, bytes, options);
    if (!result.Read())
        result.problems.Add(MessageIcon::Stop, kMsgCannotOpenFile, path);
    return result;
}

} // namespace brindle
