// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/exchange/BrowserCapture.h"

#include "exchange/BrowserSession.h"
#include "platform/BrowserProfiles.h"
#include "platform/net/InstanceSocket.h"
#include "store/BrindleDoc.h"
#include "store/TextUtil.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QTimer>
#include <QUrl>

#include <memory>

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

namespace {
BrowserExtensionLink* g_extensionLink = nullptr;
} // namespace

void BrowserExtensionLink::Attach(QLocalSocket* socket) {
    socket->setParent(this);
    m_sockets.append(QPointer<QLocalSocket>(socket));
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { OnReadyRead(socket); });
    connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
        m_buffers.remove(socket);
        m_sockets.removeAll(QPointer<QLocalSocket>(socket));
    });
    if (socket->bytesAvailable() > 0)
        OnReadyRead(socket);
}

bool BrowserExtensionLink::IsConnected() const {
    for (const QPointer<QLocalSocket>& socket : m_sockets)
        if (socket && socket->state() == QLocalSocket::ConnectedState)
            return true;
    return false;
}

void BrowserExtensionLink::OnReadyRead(QLocalSocket* socket) {
    QByteArray& buffer = m_buffers[socket];
    buffer += socket->readAll();
    bool broken = false;
    while (const std::optional<QByteArray> payload = TakeInstanceMessage(buffer, broken)) {
        const QJsonObject answer = QJsonDocument::fromJson(*payload).object();
        if (answer.value(QLatin1String("type")).toString() != QLatin1String(native::kActiveTabType))
            continue;
        const int request = answer.value(QLatin1String("request")).toInt(-1);
        if (request != m_lastRequest)
            continue; // a late answer to a question given up on
        m_answeredRequest = request;
        const std::string url = answer.value(QLatin1String("url")).toString().toStdString();
        const std::string title = answer.value(QLatin1String("title")).toString().toStdString();
        m_answer =
            url.empty() ? std::nullopt : std::optional(std::pair(url, title.empty() ? url : title));
    }
    if (broken)
        socket->abort();
}

std::optional<std::pair<std::string, std::string>> BrowserExtensionLink::ActiveTab(int timeoutMs) {
    QLocalSocket* socket = nullptr;
    for (const QPointer<QLocalSocket>& candidate : m_sockets)
        if (candidate && candidate->state() == QLocalSocket::ConnectedState)
            socket = candidate;
    if (!socket)
        return std::nullopt;
    const int request = ++m_lastRequest;
    m_answer.reset();
    const QJsonObject question{{QStringLiteral("type"), QStringLiteral("active-tab-request")},
                               {QStringLiteral("request"), request}};
    socket->write(InstanceFrame(QJsonDocument(question).toJson(QJsonDocument::Compact)));
    socket->flush();
    // The answer arrives through the event loop; the capture waits for it a short while.
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QTimer poll;
    connect(&poll, &QTimer::timeout, &loop, [&] {
        if (m_answeredRequest == request || !IsConnected())
            loop.quit();
    });
    timer.start(timeoutMs);
    poll.start(5);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    return m_answeredRequest == request ? m_answer : std::nullopt;
}

void SetBrowserExtensionLink(BrowserExtensionLink* link) {
    g_extensionLink = link;
}

BrowserPageSource SystemBrowserPages() {
    // The extension answers for the first browser asked; a capture that asks a second one then
    // gets nothing more from it, so a page is not added twice.
    auto fromExtension = std::make_shared<std::optional<bool>>();
    return [fromExtension](const std::string& service) {
        if (!fromExtension->has_value() && g_extensionLink && g_extensionLink->IsConnected()) {
            const auto page = g_extensionLink->ActiveTab();
            *fromExtension = page.has_value();
            if (page)
                return BrowserReply(page->first, page->second);
        } else if (fromExtension->value_or(false)) {
            return std::string();
        }
        return GetBrowserPage(service);
    };
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
    const std::string path = m_hooks.documentPath ? m_hooks.documentPath() : std::string();
    // The window may have been opened on a relative path; the extension has no working folder.
    if (path.empty())
        return path;
    return QFileInfo(QString::fromStdString(path)).absoluteFilePath().toStdString();
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
