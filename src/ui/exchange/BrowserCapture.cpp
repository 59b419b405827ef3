// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/exchange/BrowserCapture.h"

#include "exchange/BrowserSession.h"
#include "platform/BrowserProfiles.h"
#include "store/BrindleDoc.h"
#include "store/TextUtil.h"

#include <QCoreApplication>
#include <QUrl>

namespace brindle {

namespace {

constexpr const char* kStatusCheckingOff = "Checking Off";

std::string FastKeywords(const CBrindleDoc& doc, std::string_view title) {
    std::string keywords = doc.Prefs().m_strFastKey;
    keywords += ' ';
    keywords += title;
    return keywords;
}

} // namespace

QString NoBrowserPageText() {
    return QCoreApplication::translate(
        "BrowserCapture", "No browser page could be found: start Firefox or a Chromium-family "
                          "browser with the page open, then try again.");
}

BrowserPageSource SystemBrowserPages() {
    return [](const std::string& service) { return GetBrowserPage(service); };
}

std::optional<CBookmark> CaptureBrowserBookmark(const CBrindleDoc& doc,
                                                const BrowserPageSource& pages) {
    const BrowserPage page =
        ParseBrowserReply(pages(doc.Prefs().m_nPrefer == 1 ? "IEXPLORE" : "NETSCAPE"));
    if (page.url.empty() || page.title.empty())
        return std::nullopt;
    std::string schedule = doc.GetDefaultScheduleName();
    std::string status = kStatusWaiting;
    if (schedule.empty()) {
        schedule = kNoSchedule;
        status = kStatusCheckingOff;
    }
    const BrxTime now = CBrindleDoc::Now();
    return CBookmark(page.title, page.url, FastKeywords(doc, page.title), {}, {}, 1,
                     std::move(schedule), std::move(status), now, 0, 0, now);
}

int FastAddFromBrowsers(CBrindleDoc& doc, const BrowserPageSource& pages) {
    int added = 0;
    for (const char* service : {"IEXPLORE", "NETSCAPE"}) {
        const BrowserPage page = ParseBrowserReply(pages(service));
        if (page.url.empty() || page.title.empty())
            continue;
        std::string schedule = doc.GetDefaultScheduleName();
        if (schedule.empty())
            schedule = kNoSchedule;
        const CBookmark bookmark(page.title, page.url, FastKeywords(doc, page.title), {}, {}, 1,
                                 std::move(schedule), kStatusWaiting, CBrindleDoc::Now(), 0, 0, 0);
        if (doc.AddBookmarkToResult(bookmark))
            ++added;
    }
    return added;
}

std::optional<CBookmark> ClipboardBookmark(const CBrindleDoc& doc, const QString& clipboardText) {
    const QString text = clipboardText.trimmed();
    if (text.isEmpty() || text.contains(QLatin1Char('\n')))
        return std::nullopt;
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    const bool web = scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
                     scheme == QLatin1String("ftp");
    if (!url.isValid() || (web && url.host().isEmpty()) ||
        (!web && scheme != QLatin1String("file")))
        return std::nullopt;
    const std::string address = text.toStdString();
    std::string schedule = doc.GetDefaultScheduleName();
    std::string status = kStatusWaiting;
    if (schedule.empty()) {
        schedule = kNoSchedule;
        status = kStatusCheckingOff;
    }
    const BrxTime now = CBrindleDoc::Now();
    return CBookmark(address, address, FastKeywords(doc, {}), {}, {}, 1, std::move(schedule),
                     std::move(status), now, 0, 0, now);
}

} // namespace brindle
