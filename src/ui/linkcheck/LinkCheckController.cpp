// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/linkcheck/LinkCheckController.h"

#include "platform/BrowserLauncher.h"
#include "platform/net/ArchiveLookup.h"
#include "platform/net/NetProber.h"
#include "platform/net/NetSession.h"
#include "status/LinkResult.h"
#include "store/BrindleDoc.h"
#include "ui/bookmarks/BookmarkListModel.h"
#include "ui/bookmarks/BookmarkView.h"
#include "ui/window/CommandIds.h"
#include "ui/window/CommandTable.h"
#include "ui/window/StatusPanes.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QNetworkInformation>

namespace brindle {

namespace {
// Rows are repainted at most this often while results arrive.
constexpr int kRepaintMs = 100;
} // namespace

LinkCheckController::LinkCheckController(CBrindleDoc& doc, CommandTable& commands,
                                         CBookMarkView& view, StatusPanes& panes, QObject* parent)
    : QObject(parent), m_doc(doc), m_commands(commands), m_view(view), m_panes(panes) {
    m_session = std::make_unique<NetSession>();
    m_checkProber = std::make_unique<NetProber>(*m_session, NetProber::Mode::Probe);
    m_fetchProber = std::make_unique<NetProber>(*m_session, NetProber::Mode::Fetch);
    m_check = std::make_unique<LinkEngine>(LinkJob::Check, m_doc, *m_checkProber, MakeCallbacks());
    m_fetch = std::make_unique<LinkEngine>(LinkJob::Fetch, m_doc, *m_fetchProber, MakeCallbacks());

    m_repaint.setSingleShot(true);
    m_repaint.setInterval(kRepaintMs);
    connect(&m_repaint, &QTimer::timeout, this, [this] { m_view.viewport()->update(); });

    // A run can always be stopped, also when a search has emptied the list meanwhile.
    const auto hasRows = [this] { return m_check->Running() || m_view.Model()->rowCount() > 0; };
    m_commands.Register(
        cmd::StatusCheck, [this] { ToggleStatusCheck(); }, hasRows);
    m_commands.Register(
        cmd::Fetch, [this] { ToggleFetch(); },
        [this] { return m_fetch->Running() || m_view.HasSelection(); },
        [this] { return m_fetch->Running(); });
    if (QAction* fetch = m_commands.Action(cmd::Fetch))
        fetch->setCheckable(true);
    m_commands.Register(
        cmd::OpenArchivedCopy, [this] { OpenArchivedCopy(); },
        [this] { return CanOpenArchivedCopy(); });
    if (QMenu* tool = m_commands.Menu(MenuId::Tool))
        connect(tool, &QMenu::aboutToShow, this, &LinkCheckController::UpdateCommandTexts);

    NetSession::LoadSystemState();
    if (const QNetworkInformation* info = QNetworkInformation::instance())
        connect(info, &QNetworkInformation::reachabilityChanged, this,
                &LinkCheckController::ShowConnection);
    connect(m_session.get(), &NetSession::onlineChanged, this,
            &LinkCheckController::ShowConnection);
    ShowConnection();
}

LinkCheckController::~LinkCheckController() {
    m_archive.reset();
    // The engines cancel their slots before the probers and the session go.
    m_check.reset();
    m_fetch.reset();
}

LinkEngine::Callbacks LinkCheckController::MakeCallbacks() {
    LinkEngine::Callbacks cb;
    cb.broadcast = [this](std::string_view text) {
        m_panes.SetText(kPaneChecker,
                        QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    };
    cb.openSession = [this] { return OpenSession(); };
    cb.applied = [this](std::uint32_t) { RowsChanged(); };
    cb.runChanged = [this] {
        UpdateCommandTexts();
        m_commands.UpdateState(cmd::Fetch);
        m_commands.UpdateState(cmd::StatusCheck);
    };
    return cb;
}

bool LinkCheckController::OpenSession() {
    // The politeness towards each host as the settings have it; the window's own bound is the
    // engines' slot count ("ConnectMax"), so the engine's is only a safety net.
    HostLimits limits;
    limits.perHost = m_doc.Prefs().m_nHostConnections;
    limits.hostRate = m_doc.Prefs().m_nHostRate;
    m_checkProber->Engine().SetLimits(limits);
    // A run of the other engine keeps the requests it has; new ones use the new session.
    return m_session->Open(SessionSettings::FromPreferences(m_doc.Prefs()));
}

void LinkCheckController::ResetSession() {
    if (m_check->Running() || m_fetch->Running())
        OpenSession();
    else
        m_session->Close();
    ShowConnection();
}

void LinkCheckController::ShowConnection() {
    const bool online = m_doc.Prefs().m_nConnectMode != 0 || NetSession::SystemReportsConnection();
    m_panes.SetText(kPaneConnection, online ? tr("ONLINE") : tr("OFFLINE"));
}

void LinkCheckController::UpdateCommandTexts() {
    if (QAction* check = m_commands.Action(cmd::StatusCheck))
        check->setText(m_check->Running() ? tr("&Pause Check") : tr("&Start Check"));
}

void LinkCheckController::RowsChanged() {
    if (!m_repaint.isActive())
        m_repaint.start();
}

void LinkCheckController::ToggleStatusCheck() {
    const bool starting = !m_check->Running();
    std::vector<std::uint32_t> selection;
    if (starting) {
        selection = m_view.SelectedBookmarks();
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    m_check->Toggle(selection);
    if (starting) {
        QApplication::restoreOverrideCursor();
        m_view.viewport()->update();
    }
}

void LinkCheckController::ToggleFetch() {
    const bool starting = !m_fetch->Running();
    std::vector<std::uint32_t> selection;
    if (starting) {
        selection = m_view.SelectedBookmarks();
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    m_fetch->Toggle(selection);
    if (starting) {
        QApplication::restoreOverrideCursor();
        m_view.viewport()->update();
    }
}

bool LinkCheckController::CanOpenArchivedCopy() const {
    const std::vector<std::uint32_t> chosen = m_view.SelectedBookmarks();
    return chosen.size() == 1 && chosen.front() < m_doc.Bookmarks().size() &&
           IsDeadLinkStatus(m_doc.Bookmarks()[chosen.front()].m_strStatus);
}

void LinkCheckController::OpenArchivedCopy() {
    if (!CanOpenArchivedCopy())
        return;
    const BookmarkRef b = m_doc.Bookmarks()[m_view.SelectedBookmarks().front()];
    // Made for each question: the service and the proxy are those of the settings now.
    m_archive = std::make_unique<ArchiveLookup>(
        m_doc.Prefs().m_strArchiveService,
        NetSession::ProxyFor(SessionSettings::FromPreferences(m_doc.Prefs())));
    m_panes.SetText(kPanePrompt, tr("Asking the web archive for a copy..."));
    m_archive->Ask(std::string(b.m_strURL), [this](std::optional<Snapshot> snapshot, int result) {
        if (!snapshot) {
            m_panes.SetText(kPanePrompt, result == 200
                                             ? tr("The web archive has no copy of this page")
                                             : tr("The web archive could not be asked"));
            return;
        }
        const BrowserLauncher::Outcome opened =
            BrowserLauncher(m_doc.Prefs()).OpenURL(QString::fromStdString(snapshot->url));
        m_panes.SetText(kPanePrompt, opened.message.isEmpty()
                                         ? tr("Opened the archived copy of %1")
                                               .arg(QString::fromStdString(snapshot->timestamp))
                                         : opened.message);
    });
}

} // namespace brindle
