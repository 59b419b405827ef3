// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Bookmarking the page a browser shows: Add from Browser (the bookmark the Add Bookmark sheet
// opens with), Fast Add (added at once, one per browser that answers) and the bookmark of a URL
// on the clipboard.

#include "exchange/NativeMessaging.h"
#include "store/Bookmark.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>
#include <string>

class CBrindleDoc;
class QLocalSocket;

namespace brindle {

// Said when no running browser gave a page to capture.
QString NoBrowserPageText();

// Asks a browser ("IEXPLORE" or "NETSCAPE") for its page; the reply form of GetBrowserPage.
using BrowserPageSource = std::function<std::string(const std::string& service)>;

// The browser extensions connected to the window (through their hosts' standing connections over
// the single-instance socket), asked for the page in front before any session file is read.
class BrowserExtensionLink : public QObject {
  public:
    // The longest wait for the extension's answer before the session files are read instead.
    static constexpr int kAnswerTimeoutMs = 1500;

    explicit BrowserExtensionLink(QObject* parent = nullptr) : QObject(parent) {}
    // Takes a host's connection; it stays until the host ends.
    void Attach(QLocalSocket* socket);
    bool IsConnected() const;
    // The page in front of the most recently connected extension's browser; nothing when none is
    // connected, it did not answer in time, or it shows no page that can be bookmarked.
    std::optional<std::pair<std::string, std::string>> ActiveTab(int timeoutMs = kAnswerTimeoutMs);

  private:
    void OnReadyRead(QLocalSocket* socket);

    QList<QPointer<QLocalSocket>> m_sockets;
    QHash<QLocalSocket*, QByteArray> m_buffers;
    int m_lastRequest = 0;
    int m_answeredRequest = -1;
    std::optional<std::pair<std::string, std::string>> m_answer;
};

// The link captures ask first (the window's; nullptr: none).
void SetBrowserExtensionLink(BrowserExtensionLink* link);

// The pages of the user's own browsers: the connected extension's page in front, answering the
// first browser asked, else GetBrowserPage's session files.
BrowserPageSource SystemBrowserPages();

// Add from Browser: the bookmark for the preferred browser's page ("Prefer" 1: the default
// browser, else Firefox), or nothing when that browser gave no URL and title. Keywords are the
// "Fast Add Keywords" text, a blank and the title; with no default schedule the status is
// "Checking Off". Add date and last checked are now.
std::optional<CBookmark> CaptureBrowserBookmark(const CBrindleDoc& doc,
                                                const BrowserPageSource& pages);

// Fast Add: for the default browser and then Firefox, each page with a URL and a title is added
// straight away (status "Waiting" even without a schedule). Returns the number added.
int FastAddFromBrowsers(CBrindleDoc& doc, const BrowserPageSource& pages);

// Hot key 1053: the bookmark for a URL on the clipboard (absolute, with a scheme a browser
// opens), named by the URL; nothing when the text is not such a URL.
std::optional<CBookmark> ClipboardBookmark(const CBrindleDoc& doc, const QString& clipboardText);

// The window's side of the browser extension: the requests its host hands over the window's
// socket, answered from the open document. "add" opens the Add Bookmark sheet (after the reply,
// so that the browser is not kept waiting while the sheet is open); with "quiet" and for
// "add-tabs" the pages are added straight away.
class BrowserRequests : public native::HostTarget {
  public:
    struct Hooks {
        std::function<std::string()> documentPath;          // "" for a new document
        std::function<void(const CBookmark&)> openAddSheet; // brings the window up first
    };
    BrowserRequests(CBrindleDoc& doc, Hooks hooks);

    // The reply to one request message.
    QByteArray Answer(const QByteArray& json);

    std::optional<std::string> DocumentPath(std::string& error) override;
    std::optional<std::vector<std::string>> Lookup(const std::string& url,
                                                   std::string& error) override;
    native::AddResult Add(const native::Request& request) override;
    std::optional<native::TabsResult> AddTabs(const std::vector<native::Tab>& tabs,
                                              std::string& error) override;

  private:
    CBrindleDoc& m_doc;
    Hooks m_hooks;
};

} // namespace brindle
