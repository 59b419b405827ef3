#include "ui/MainFrame.h"

#include "platform/AppPaths.h"
#include "platform/FontDescription.h"
#include "store/BrindleDoc.h"
#include "store/FileCommands.h"
#include "store/TextUtil.h"
#include "ui/BookmarkWorkspace.h"
#include "ui/CommandIds.h"
#include "ui/CommandTable.h"
#include "ui/DialogRunner.h"
#include "ui/KeywordDialogs.h"
#include "ui/KeywordView.h"
#include "ui/LinkCheckController.h"
#include "ui/SearchBar.h"
#include "ui/StatusPanes.h"
#include "ui/TrayController.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <QUrl>

namespace {

constexpr int kClipboardLimit = 65535; // bytes, with the terminating zero

// Cuts UTF-8 text to fit the clipboard limit without splitting a character.
QString ClipboardText(const std::string& text) {
    const std::size_t n = brindle::Utf8PrefixLength(text, kClipboardLimit - 1);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(n));
}

} // namespace

CMainFrame::CMainFrame(CBrindleDoc& doc, brindle::FileCommands& files, QWidget* parent)
    : QMainWindow(parent), m_doc(doc), m_files(files) {
    using namespace brindle;
    setObjectName(QStringLiteral("mainFrame"));
    m_commands = new CommandTable(this);
    m_commands->BuildMenuBar(menuBar());
    CreateRecentFileItems();

    m_commandBand = addToolBar(tr("Commands"));
    m_commandBand->setObjectName(QStringLiteral("commandBand"));
    m_commandBand->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_commandBand->setIconSize(QSize(25, 25));
    m_commandBand->setMovable(false);
    m_commands->FillBand(m_commandBand, BandId::Commands);
    addToolBarBreak();

    m_workspace = new BookmarkWorkspace(m_doc, *m_commands, this);
    m_search = new SearchBar(m_doc, *m_commands, *m_workspace, this);
    addToolBar(m_search);
    m_panes = new StatusPanes(m_doc, statusBar());
    m_tray = new TrayController(m_doc, *m_commands, *m_panes, this);
    m_links =
        new LinkCheckController(m_doc, *m_commands, *m_workspace->Bookmarks(), *m_panes, this);
    setCentralWidget(m_workspace);
    connect(m_workspace->Keywords(), &CKeyWordView::appendRequested, m_search, &SearchBar::Append);

    RegisterCommands();
    UpdateTitle();
    m_search->DocumentReplaced();
    m_commands->UpdateStates();
    resize(1000, 700);
}

CMainFrame::~CMainFrame() = default;

QAction* CMainFrame::Action(int id) const {
    return m_commands->Action(id);
}

void CMainFrame::RegisterCommands() {
    brindle::CommandTable& c = *m_commands;
    c.Register(cmd::New, [this] { m_files.New(); });
    c.Register(cmd::Open, [this] { m_files.Open(); });
    c.Register(cmd::Save, [this] { m_files.Save(); });
    c.Register(cmd::SaveAs, [this] { m_files.SaveAs(); });
    c.Register(cmd::Exit, [this] { close(); });
    c.Register(
        cmd::CopyKeywords, [this] { CopyKeywordsToClipboard(); },
        [this] { return !m_doc.m_arrBookmarks.empty(); });
    c.Register(cmd::Dictionary, [this] { ShowDictionary(); });
    c.Register(
        cmd::ViewToolbar,
        [this] { m_commandBand->setVisible(Action(cmd::ViewToolbar)->isChecked()); }, {},
        [this] { return !m_commandBand->isHidden(); });
    c.Register(
        cmd::ViewStatusBar,
        [this] { statusBar()->setVisible(Action(cmd::ViewStatusBar)->isChecked()); }, {},
        [this] { return !statusBar()->isHidden(); });
    c.Register(cmd::Help, [this] { OpenHelp(); });
    c.Register(cmd::HelpIndex, [this] { OpenHelp(); });
    c.Register(cmd::About, [this] { emit aboutRequested(); });
}

void CMainFrame::CreateRecentFileItems() {
    // Four entries after the "Recent File" stand-in, shown while they hold a path.
    QMenu* file = m_commands->Menu(brindle::MenuId::File);
    QAction* placeholder = Action(cmd::RecentFirst);
    const QList<QAction*> items = file->actions();
    QAction* before = items.value(items.indexOf(placeholder) + 1);
    for (int i = 0; i < 4; ++i) {
        auto* recent = new QAction(this);
        recent->setData(cmd::RecentFirst + i);
        recent->setStatusTip(placeholder->statusTip());
        recent->setVisible(false);
        connect(recent, &QAction::triggered, this, [this, i] {
            if (i < m_recentFiles.size())
                emit recentFileChosen(m_recentFiles[i]);
        });
        file->insertAction(before, recent);
        m_recentActions.append(recent);
    }
}

// --- Document life ------------------------------------------------------------------------

void CMainFrame::DocumentReplaced() {
    UpdateTitle();
    m_search->DocumentReplaced();
    m_workspace->DocumentReplaced();
    m_commands->UpdateStates();
}

void CMainFrame::UpdateTitle() {
    //: The window title: the document's name and the program's
    setWindowTitle(tr("%1 - Corvane Brindle").arg(QString::fromStdString(m_files.Title())));
}

void CMainFrame::SetRecentFiles(const QStringList& paths) {
    m_recentFiles = paths.mid(0, 4);
    for (int i = 0; i < m_recentActions.size(); ++i) {
        QAction* a = m_recentActions[i];
        if (i < m_recentFiles.size() && !m_recentFiles[i].isEmpty()) {
            a->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(m_recentFiles[i]));
            a->setVisible(true);
        } else {
            a->setVisible(false);
        }
    }
    Action(cmd::RecentFirst)->setVisible(m_recentFiles.isEmpty());
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (m_files.SaveModified())
        event->accept();
    else
        event->ignore();
}

// --- Frame commands -----------------------------------------------------------------------

void CMainFrame::CopyKeywordsToClipboard() {
    if (m_doc.m_arrBookmarks.empty())
        return;
    if (QClipboard* clipboard = QApplication::clipboard())
        clipboard->setText(ClipboardText(m_doc.CollectAllKeywords()));
}

void CMainFrame::OpenHelp() {
    QDesktopServices::openUrl(QUrl::fromLocalFile(brindle::HelpPagePath()));
}

void CMainFrame::ShowDictionary() {
    CDictionaryDlg dialog(m_doc, this);
    brindle::DialogRunner::Run(dialog);
}

void CMainFrame::ApplyListFont() {
    m_workspace->ApplyListFont(brindle::FontFromLogFont(m_doc.Prefs().m_logFont));
}

void CMainFrame::ApplyOptions(bool trayFlagChanged) {
    ApplyListFont();
    m_tray->RegisterHotKeys();
    if (trayFlagChanged)
        m_tray->UpdateTrayIcon();
    m_doc.RefreshViews();
}
