// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Tool > Archive Pages: fetches the pages of every bookmark, of the selected ones or of those the
// list shows, through the HTTP engine, and keeps their readable text in the document's page
// archive. The run goes on in the background (pages are parsed and written on a thread of their
// own): the prompt pane and a progress bar on the status bar follow it, and the command stops it.

#include <QObject>
#include <QPointer>
#include <QProgressBar>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CBrindleDoc;
class QStatusBar;

namespace brindle {

class FetchWindow;
class HttpPageFetcher;
class PageArchive;
class PageArchiver;

class ArchivePagesController : public QObject {
    Q_OBJECT
  public:
    // `documentPath` gives the open document's path ("" before it is first saved).
    ArchivePagesController(CBrindleDoc& doc, std::function<std::string()> documentPath,
                           QStatusBar* statusBar, QObject* parent = nullptr);
    ~ArchivePagesController() override;

    // Starts fetching the pages of `bookmarks`; false, with a message, when there is nothing to
    // fetch, no document file yet or the archive cannot be opened.
    bool Start(const std::vector<std::uint32_t>& bookmarks);
    // Stops the run; what arrived so far is kept.
    void Stop();
    bool Running() const;

  signals:
    void message(const QString& text);
    void finished();

  private:
    void Close();

    CBrindleDoc& m_doc;
    std::function<std::string()> m_documentPath;
    QPointer<QProgressBar> m_bar; // the status bar owns it
    bool m_stopping = false;
    std::unique_ptr<PageArchive> m_archive;
    std::unique_ptr<HttpPageFetcher> m_fetcher;
    std::unique_ptr<FetchWindow> m_window;
    QMetaObject::Connection m_hostFreed; // the engine may outlive the run
    std::unique_ptr<PageArchiver> m_run;
};

} // namespace brindle
