// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window/MainFrame.h"

#include "archive/PageArchive.h"
#include "platform/AppPaths.h"
#include "platform/FontDescription.h"
#include "store/BrindleDoc.h"
#include "store/FileCommands.h"
#include "store/TextUtil.h"
#include "ui/archive/ArchivePagesController.h"
#include "ui/archive/TextSearchController.h"

#include "ui/bookmarks/AddMarkPropertySheet.h"
#include "ui/bookmarks/BookmarkView.h"
#include "ui/bookmarks/DuplicatesDialog.h"
#include "ui/bookmarks/PageOpener.h"
#include "ui/exchange/ExchangeController.h"
#include "ui/exchange/LinkedFileController.h"
#include "ui/keywords/KeywordDialogs.h"
#include "ui/keywords/KeywordView.h"
#include "ui/linkcheck/FetchDialog.h"
#include "ui/linkcheck/LinkCheckController.h"
#include "ui/linkcheck/ScheduleDialogs.h"
#include "ui/macros/MacroController.h"
#include "ui/widgets/DialogRunner.h"
#include "ui/window/BookmarkWorkspace.h"
#include "ui/window/CommandIds.h"
#include "ui/window/CommandTable.h"
#include "ui/window/SearchBar.h"
#include "ui/window/StatusPanes.h"
#include "ui/window/TrayController.h"
#include <QUrl>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
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
    m_textSearch = new TextSearchController(
        m_doc, [this] { return m_files.PathName(); }, this);
    connect(m_textSearch, &TextSearchController::message, this,
            [this](const QString& text) { m_panes->SetText(kPanePrompt, text); });
    m_search->SetTextSearch(m_textSearch);
    m_commands->Register(
        cmd::OpenArchivedText,
        [this, pages = m_workspace->Pages()] {
            const auto chosen = m_workspace->Bookmarks()->SelectedBookmarks();
            if (chosen.empty())
                return;
            const QString file = m_textSearch->WritePageFile(chosen.front());
            if (file.isEmpty())
                m_panes->SetText(kPanePrompt, tr("The page of this bookmark is not archived."));
            else
                pages->OpenURL(QUrl::fromLocalFile(file).toString());
        },
        [this] { return m_workspace->Bookmarks()->SelectedBookmarks().size() == 1; });
    m_archivePages = new ArchivePagesController(
        m_doc, [this] { return m_files.PathName(); }, statusBar(), this);
    connect(m_archivePages, &ArchivePagesController::message, this,
            [this](const QString& text) { m_panes->SetText(kPanePrompt, text); });
    m_commands->Register(cmd::ArchivePages, [this] { ArchivePages(); });
    m_tray = new TrayController(m_doc, *m_commands, *m_panes, this);
    m_links =
        new LinkCheckController(m_doc, *m_commands, *m_workspace->Bookmarks(), *m_panes, this);
    setCentralWidget(m_workspace);
    connect(m_workspace->Keywords(), &CKeyWordView::appendRequested, m_search, &SearchBar::Append);
    // Opening pages and running macros.
    PageOpener* pages = m_workspace->Pages();
    connect(pages, &PageOpener::message, this,
            [this](const QString& text) { m_panes->SetText(kPanePrompt, text); });
    connect(m_workspace, &BookmarkWorkspace::message, this,
            [this](const QString& text) { m_panes->SetText(kPanePrompt, text); });
    connect(m_tray, &TrayController::bookmarkChosen, this, [this, pages](int position) {
        const auto& hits = m_doc.ActiveHits();
        if (position >= 0 && static_cast<std::size_t>(position) < hits.size())
            pages->OpenBookmark(hits[static_cast<std::size_t>(position)]);
    });
    m_macros = new MacroController(m_doc, *m_commands, *m_workspace, *m_search, *pages, this);
    m_tray->SetAddSheetOpener([this](const CBookmark& page) { m_workspace->ShowAddSheet(page); });
    // Dialogs of other features reached from the property sheet's buttons.
    m_workspace->SetSheetPreparer([this](CAddMarkPropertySheet& sheet) {
        sheet.SetFetchHandler([this](const QString& url, QWidget* parent)
                                  -> std::optional<CAddMarkPropertySheet::FetchResult> {
            const std::optional<FetchedPage> page = FetchDialog::Run(parent, url, m_doc.Prefs());
            if (!page)
                return std::nullopt;
            // A page that could not be read still tells where its address led.
            CAddMarkPropertySheet::FetchResult found;
            found.url = page->url;
            if (page->fetched) {
                found.name = page->name;
                found.description = page->description;
                found.keywords = page->keywords;
            }
            return found;
        });
        sheet.SetScheduleEditHandler(
            [this](QWidget* parent) { brindle::RunScheduleProperties(parent, m_doc); });
    });

    RegisterCommands();
    UpdateTitle();
    m_search->DocumentReplaced();
    m_commands->UpdateStates();
    resize(1000, 700);
}

void CMainFrame::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // Typing starts a search at once. (The box is laid out only now: focus given earlier is lost.)
    if (!m_shownOnce) {
        m_shownOnce = true;
        m_search->Box()->setFocus(Qt::ActiveWindowFocusReason);
    }
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
    c.Register(cmd::SaveAs, [this] {
        // The archived page text follows the document to its new name.
        const std::string before = m_files.PathName();
        if (m_files.SaveAs() && !before.empty() && before != m_files.PathName()) {
            std::string error;
            if (!brindle::PageArchive::CopyFor(before, m_files.PathName(), &error))
                m_panes->SetText(brindle::kPanePrompt, tr("The archived pages were not copied: %1")
                                                           .arg(QString::fromStdString(error)));
        }
    });
    c.Register(cmd::Exit, [this] { close(); });
    c.Register(
        cmd::CopyKeywords, [this] { CopyKeywordsToClipboard(); },
        [this] { return !m_doc.Bookmarks().empty(); });
    c.Register(cmd::Dictionary, [this] { ShowDictionary(); });
    c.Register(cmd::Schedules, [this] { brindle::RunScheduleProperties(this, m_doc); });
    c.Register(
        cmd::FindDuplicates,
        [this] {
            const std::size_t removed = brindle::DuplicatesDialog::Run(this, m_doc);
            if (removed > 0)
                m_panes->SetText(brindle::kPanePrompt,
                                 tr("Merged duplicates: %1 bookmarks removed (Undo "
                                    "takes the merge back)")
                                     .arg(removed));
        },
        [this] { return m_doc.Bookmarks().size() > 1; });
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

    // Import, export and capture from the browsers.
    m_exchange = new brindle::ExchangeController(m_doc, *m_panes, statusBar(), this);
    m_exchange->RegisterCommands(c, [this] {
        std::vector<std::uint32_t> rows;
        // From the selection's ranges: selecting all is one range, not a row index per row.
        if (QItemSelectionModel* selection = m_workspace->Bookmarks()->selectionModel())
            for (const QItemSelectionRange& range : selection->selection())
                for (int r = range.top(); r <= range.bottom(); ++r)
                    rows.push_back(static_cast<std::uint32_t>(r));
        return rows;
    });
    m_linked = new brindle::LinkedFileController(m_doc, m_files, *m_panes, this);
    m_linked->RegisterCommands(c);
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
    m_linked->DocumentChanged();
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
    if (m_doc.Bookmarks().empty())
        return;
    if (QClipboard* clipboard = QApplication::clipboard())
        clipboard->setText(ClipboardText(m_doc.CollectAllKeywords()));
}

void CMainFrame::OpenHelp() {
    QDesktopServices::openUrl(QUrl::fromLocalFile(brindle::HelpPagePath()));
}

void CMainFrame::ArchivePages() {
    using namespace brindle;
    if (m_archivePages->Running()) {
        m_archivePages->Stop();
        return;
    }
    const std::vector<std::uint32_t> selected = m_workspace->Bookmarks()->SelectedBookmarks();
    QMessageBox box(QMessageBox::Question, tr("Archive Pages"),
                    tr("Fetch the pages of which bookmarks and keep their text for Text Search?"),
                    QMessageBox::Cancel, this);
    QPushButton* all = box.addButton(tr("&All Bookmarks"), QMessageBox::AcceptRole);
    QPushButton* listed =
        box.addButton(tr("&Listed (%1)").arg(m_doc.ActiveHits().size()), QMessageBox::AcceptRole);
    QPushButton* chosen =
        box.addButton(tr("&Selected (%1)").arg(selected.size()), QMessageBox::AcceptRole);
    chosen->setEnabled(!selected.empty());
    box.setDefaultButton(selected.empty() ? listed : chosen);
    DialogRunner::Run(box);
    std::vector<std::uint32_t> bookmarks;
    if (box.clickedButton() == all) {
        bookmarks.resize(m_doc.Bookmarks().size());
        for (std::uint32_t i = 0; i < bookmarks.size(); ++i)
            bookmarks[i] = i;
    } else if (box.clickedButton() == listed) {
        bookmarks.assign(m_doc.ActiveHits().begin(), m_doc.ActiveHits().end());
    } else if (box.clickedButton() == chosen) {
        bookmarks = selected;
    } else {
        return;
    }
    m_archivePages->Start(bookmarks);
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
