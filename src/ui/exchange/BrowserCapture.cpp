// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/exchange/BrowserCapture.h"

#include "exchange/BrowserSession.h"
#include "platform/BrowserProfiles.h"
#include "store/BrindleDoc.h"
#include "store/TextUtil.h"

#include <QCoreApplication>
#include <QTimer>
#include <QUrl>

namespace brindle {

namespace {

std::string FastKeywords(const CBrindleDoc& doc, std::string_view title) {
    std::string keywords = doc.Prefs().m_strFastKey;
    keywords += ' ';
    keywords += title;
    return keywords;
}

// A captured page waits for its check on the default schedule; without a default schedule it
// gets "<None>" with checking off.
struct Placement {
    std::string schedule;
    std::string status;
};
Placement PlacementFor(const CBrindleDoc& doc) {
    const std::string name = doc.GetDefaultScheduleName();
    if (name.empty())
        return {kNoSchedule, kStatusCheckingOff};
    return {name, kStatusWaiting};
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
    Placement placement = PlacementFor(doc);
    const BrxTime now = CBrindleDoc::Now();
    return CBookmark(page.title, page.url, FastKeywords(doc, page.title), {}, {}, 1,
                     std::move(placement.schedule), std::move(placement.status), now, 0, 0, now);
}

int FastAddFromBrowsers(CBrindleDoc& doc, const BrowserPageSource& pages) {
    int added = 0;
    for (const char* service : {"IEXPLORE", "NETSCAPE"}) {
        const BrowserPage page = ParseBrowserReply(pages(service));
        if (page.url.empty() || page.title.empty())
            continue;
        const CBookmark bookmark(page.title, page.url, FastKeywords(doc, page.title), {}, {}, 1,
                                 doc.DefaultScheduleOrNone(), kStatusWaiting, CBrindleDoc::Now(), 0,
                                 0, 0);
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
    Placement placement = PlacementFor(doc);
    const BrxTime now = CBrindleDoc::Now();
    return CBookmark(address, address, FastKeywords(doc, {}), {}, {}, 1,
                     std::move(placement.schedule), std::move(placement.status), now, 0, 0, now);
}

BrowserRequests::BrowserRequests(CBrindleDoc& doc, Hooks hooks)
    : m_doc(doc), m_hooks(std::move(hooks)) {}

QByteArray BrowserRequests::Answer(const QByteArray& json) {
    return QByteArray::fromStdString(native::HandleMessage(*this, json.toStdString()));
}

std::optional<std::string> BrowserRequests::DocumentPath(std::string&) {
    return m_hooks.documentPath ? m_hooks.documentPath() : std::string();
}

std::optional<std::vector<std::string>> BrowserRequests::Lookup(const std::string& url,
                                                                std::string&) {
    return native::NamesWithUrl(m_doc, url);
}

native::AddResult BrowserRequests::Add(const native::Request& request) {
    using Outcome = native::AddResult::Outcome;
    if (!native::NamesWithUrl(m_doc, request.url).empty())
        return {Outcome::Exists, QCoreApplication::translate("BrowserCapture",
                                                             "The page is in the document already.")
                                     .toStdString()};
    const std::string& name = request.title.empty() ? request.url : request.title;
    if (!request.quiet && m_hooks.openAddSheet) {
        Placement placement = PlacementFor(m_doc);
        const BrxTime now = CBrindleDoc::Now();
        const CBookmark page(name, request.url, FastKeywords(m_doc, request.title),
                             request.description, {}, 1, std::move(placement.schedule),
                             std::move(placement.status), now, 0, 0, now);
        QTimer::singleShot(0, [open = m_hooks.openAddSheet, page] { open(page); });
        return {Outcome::Opened,
                QCoreApplication::translate("BrowserCapture", "Opened in Brindle.").toStdString()};
    }
    const CBookmark bookmark(name, request.url, FastKeywords(m_doc, request.title),
                             request.description, {}, 1, m_doc.DefaultScheduleOrNone(),
                             kStatusWaiting, CBrindleDoc::Now(), 0, 0, 0);
    if (!m_doc.AddBookmarkToResult(bookmark))
        return {Outcome::Error,
                QCoreApplication::translate("BrowserCapture", "The page could not be added.")
                    .toStdString()};
    return {
        Outcome::Added,
        QCoreApplication::translate("BrowserCapture", "Added to the open document.").toStdString()};
}

std::optional<native::TabsResult> BrowserRequests::AddTabs(const std::vector<native::Tab>& tabs,
                                                           std::string&) {
    native::TabsResult result;
    for (const native::Tab& tab : tabs) {
        const std::string& name = tab.title.empty() ? tab.url : tab.title;
        const bool known = !native::NamesWithUrl(m_doc, tab.url).empty();
        const CBookmark bookmark(name, tab.url, FastKeywords(m_doc, tab.title), {}, {}, 1,
                                 m_doc.DefaultScheduleOrNone(), kStatusWaiting, CBrindleDoc::Now(),
                                 0, 0, 0);
        ++(!known && m_doc.AddBookmarkToResult(bookmark) ? result.added : result.existing);
    }
    return result;
}

} // namespace brindle
