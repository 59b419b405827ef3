// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/archive/ArchivePagesController.h"

#include "archive/FetchWindow.h"
#include "archive/PageArchive.h"
#include "archive/PageArchiver.h"
#include "platform/net/PageFetchers.h"
#include "store/BrindleDoc.h"

#include <QStatusBar>
#include <QTimer>

#include <ctime>

namespace brindle {

ArchivePagesController::ArchivePagesController(CBrindleDoc& doc,
                                               std::function<std::string()> documentPath,
                                               QStatusBar* statusBar, QObject* parent)
    : QObject(parent), m_doc(doc), m_documentPath(std::move(documentPath)),
      m_bar(new QProgressBar(statusBar)) {
    m_bar->setObjectName(QStringLiteral("archiveProgress"));
    m_bar->setMaximumWidth(160);
    m_bar->setTextVisible(true);
    m_bar->hide();
    statusBar->addPermanentWidget(m_bar);
}

ArchivePagesController::~ArchivePagesController() {
    Close();
}

bool ArchivePagesController::Running() const {
    return m_run && m_run->Running();
}

bool ArchivePagesController::Start(const std::vector<std::uint32_t>& bookmarks) {
    if (m_run) // running, or its end not yet closed
        return false;
    const std::string path = m_documentPath();
    if (path.empty()) {
        emit message(tr("Save the document first: its archived pages are kept beside its name."));
        return false;
    }
    std::vector<std::string> urls;
    for (std::uint32_t i : bookmarks)
        if (i < m_doc.Bookmarks().size() && !m_doc.Bookmarks()[i].m_strURL.empty())
            urls.emplace_back(m_doc.Bookmarks()[i].m_strURL);
    if (urls.empty()) {
        emit message(tr("No bookmark with an address to archive."));
        return false;
    }
    m_archive = std::make_unique<PageArchive>();
    if (!m_archive->Open(PageArchive::LocationFor(path), true)) {
        emit message(tr("The page archive cannot be opened: %1")
                         .arg(QString::fromStdString(m_archive->Error())));
        m_archive.reset();
        return false;
    }
    DropTextsOfGoneBookmarks(*m_archive, m_doc, path);
    m_fetcher = std::make_unique<HttpPageFetcher>(SessionSettings::FromPreferences(m_doc.Prefs()));
    // Pages go through a window as the command line's do, so that a host with many pages is kept
    // as busy as its limits allow instead of waiting for its turn among all the others.
    CurlEngine& engine = m_fetcher->Engine();
    m_window = std::make_unique<FetchWindow>(
        *m_fetcher, static_cast<std::size_t>(engine.Limits().maxConnections), &CurlEngine::HostKey,
        [&engine](const std::string& host) { return engine.HostBusy(host); });
    m_hostFreed = connect(&engine, &CurlEngine::hostFreed, this, [this] {
        if (m_window)
            m_window->Refill();
    });
    m_run = std::make_unique<PageArchiver>(
        *m_archive, *m_window, [] { return static_cast<std::int64_t>(std::time(nullptr)); });
    // Pages are parsed and written on the run's own thread; their results come back here.
    m_run->SetWorker([this](std::function<void()> result) {
        QMetaObject::invokeMethod(this, std::move(result), Qt::QueuedConnection);
    });
    m_run->SetStep([this](const PageArchiver::Progress& p, const std::string&, int, bool) {
        m_bar->setMaximum(static_cast<int>(p.total));
        m_bar->setValue(static_cast<int>(p.done));
        emit message(tr("Archiving pages: %1 of %2 answered, %3 kept")
                         .arg(p.done)
                         .arg(p.total)
                         .arg(p.stored));
    });
    m_run->SetFinished([this](const PageArchiver::Progress& p, const std::string& error) {
        if (m_stopping)
            emit message(tr("Archiving stopped: %1 of %2 pages kept.").arg(p.stored).arg(p.total));
        else if (error.empty())
            emit message(tr("Archived %1 of %2 pages.").arg(p.stored).arg(p.total));
        else
            emit message(tr("Archiving stopped: %1").arg(QString::fromStdString(error)));
        // The run is still on the stack that reports: let it return before it goes.
        QTimer::singleShot(0, this, [this] {
            Close();
            emit finished();
        });
    });
    m_bar->setRange(0, static_cast<int>(urls.size()));
    m_bar->setValue(0);
    m_bar->show();
    emit message(tr("Archiving pages: 0 of %1 answered").arg(urls.size()));
    m_run->Start(urls);
    return true;
}

void ArchivePagesController::Stop() {
    if (!Running())
        return;
    m_stopping = true;
    m_run->Cancel(); // reports as finished, which closes the run
}

void ArchivePagesController::Close() {
    disconnect(m_hostFreed);
    if (m_window)
        m_window->CancelAll();
    m_run.reset();
    m_window.reset();
    m_fetcher.reset();
    m_archive.reset();
    m_stopping = false;
    if (m_bar)
        m_bar->hide();
}

} // namespace brindle
