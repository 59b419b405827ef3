#include "ui/MainFrame.h"

#include "platform/AppPaths.h"
#include "platform/FontDescription.h"
#include "platform/HotKeys.h"
#include "store/BrindleDoc.h"
#include "store/FileCommands.h"
#include "store/TextUtil.h"
#include "ui/BookmarkListModel.h"
#include "ui/BookmarkView.h"
#include "ui/CommandIds.h"
#include "ui/DialogRunner.h"
#include "ui/KeywordDialogs.h"
#include "ui/KeywordView.h"
#include "ui/MacroView.h"
#include "ui/OptionDialogs.h"
#include "ui/UserSplitter.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QWindowStateChangeEvent>

namespace {

constexpr const char* kAppTitle = "Corvane Brindle";
constexpr int kClipboardLimit = 65535; // bytes, with the terminating zero

// The command images of the menus and bands.
QString IconFile(int id) {
    switch (id) {
    case cmd::New:
        return QStringLiteral("file-plus");
    case cmd::Open:
        return QStringLiteral("folder-open");
    case cmd::Save:
        return QStringLiteral("save");
    case cmd::Cut:
        return QStringLiteral("scissors");
    case cmd::Copy:
        return QStringLiteral("copy");
    case cmd::Paste:
        return QStringLiteral("clipboard-paste");
    case cmd::ClearSearch:
        return QStringLiteral("eraser");
    case cmd::KeywordSearch:
        return QStringLiteral("tags");
    case cmd::StringSearch:
        return QStringLiteral("text-search");
    case cmd::FastAdd:
        return QStringLiteral("zap");
    case cmd::Add:
        return QStringLiteral("bookmark-plus");
    case cmd::Properties:
        return QStringLiteral("settings-2");
    case cmd::Delete:
        return QStringLiteral("trash-2");
    case cmd::About:
        return QStringLiteral("info");
    case cmd::MacroKeywords:
        return QStringLiteral("hash");
    case cmd::MacroString:
        return QStringLiteral("text-cursor-input");
    case cmd::SearchOption:
        return QStringLiteral("sliders-horizontal");
    case cmd::Import:
        return QStringLiteral("file-input");
    case cmd::Export:
        return QStringLiteral("file-output");
    case cmd::Dictionary:
        return QStringLiteral("book-open");
    case cmd::MacroUrl:
        return QStringLiteral("link");
    case cmd::ImportWizard:
        return QStringLiteral("wand-sparkles");
    case cmd::Schedules:
        return QStringLiteral("calendar-clock");
    case cmd::Undo:
        return QStringLiteral("undo-2");
    case cmd::Help:
        return QStringLiteral("circle-help");
    case cmd::Fetch:
        return QStringLiteral("download");
    case cmd::StatusCheck:
        return QStringLiteral("shield-check");
    default:
        return {};
    }
}

// Cuts UTF-8 text to fit the clipboard limit without splitting a character.
QString ClipboardText(const std::string& text) {
    const std::size_t n = brindle::Utf8PrefixLength(text, kClipboardLimit - 1);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(n));
}

} // namespace

CMainFrame::CMainFrame(CBrindleDoc& doc, brindle::FileCommands& files, QWidget* parent)
    : QMainWindow(parent), m_doc(doc), m_files(files) {
    setObjectName(QStringLiteral("mainFrame"));
    CreateActions();
    CreateMenus();
    CreateBands();
    CreateStatusBar();
    CreatePanes();
    m_doc.AddListener(this);
    UpdateTitle();
    ApplyModeLayout();
    UpdateCommandStates();
    resize(1000, 700);
}

CMainFrame::~CMainFrame() {
    m_doc.RemoveListener(this);
}

// --- Construction ----------------------------------------------------------------------------

QAction* CMainFrame::MakeAction(int id, const QString& text, const QString& prompt,
                                const QList<QKeySequence>& keys) {
    auto* action = new QAction(text, this);
    action->setData(id);
    action->setObjectName(QStringLiteral("cmd%1").arg(id));
    if (!prompt.isEmpty())
        action->setStatusTip(prompt);
    if (!keys.isEmpty())
        action->setShortcuts(keys);
    const QString icon = IconFile(id);
    if (!icon.isEmpty())
        action->setIcon(QIcon(QStringLiteral(":/icons/%1.svg").arg(icon)));
    m_actions.insert(id, action);
    return action;
}

void CMainFrame::CreateActions() {
    using QKS = QKeySequence;
    MakeAction(cmd::New, "&New\tCtrl+N", "Create a new document", {QKS(Qt::CTRL | Qt::Key_N)});
    MakeAction(cmd::Open, "&Open...\tCtrl+O", "Open an existing document",
               {QKS(Qt::CTRL | Qt::Key_O)});
    MakeAction(cmd::Save, "&Save\tCtrl+S", "Save the active document", {QKS(Qt::CTRL | Qt::Key_S)});
    MakeAction(cmd::SaveAs, "Save &As...", "Save the active document with a new name");
    MakeAction(cmd::Import, "I&mport...\tCtrl+I", "Import bookmark from specify file",
               {QKS(Qt::CTRL | Qt::Key_I)});
    MakeAction(cmd::Export, "Ex&port...\tCtrl+E", "Export bookmark files",
               {QKS(Qt::CTRL | Qt::Key_E)});
    MakeAction(cmd::ImportFavorites, "Import &Favorites...",
               "Import windows favorites as bookmars");
    MakeAction(cmd::ImportWizard, "Import &Wizard", "Import wizard ");
    MakeAction(cmd::Exit, "E&xit", "Quit the application; prompts to save documents");

    MakeAction(cmd::Undo, "&Undo...\tCtrl+Z", "Undo the last action",
               {QKS(Qt::CTRL | Qt::Key_Z), QKS(Qt::ALT | Qt::Key_Backspace)});
    MakeAction(cmd::Cut, "Cu&t...\tCtrl+X", "Cut the selection and put it on the Clipboard",
               {QKS(Qt::CTRL | Qt::Key_X), QKS(Qt::SHIFT | Qt::Key_Delete)});
    MakeAction(cmd::Copy, "&Copy...\tCtrl+C", "Copy the selection and put it on the Clipboard",
               {QKS(Qt::CTRL | Qt::Key_C), QKS(Qt::CTRL | Qt::Key_Insert)});
    MakeAction(cmd::Paste, "&Paste...\tCtrl+V", "Insert Clipboard contents",
               {QKS(Qt::CTRL | Qt::Key_V), QKS(Qt::SHIFT | Qt::Key_Insert)});
    MakeAction(cmd::Delete, "Delete...\tDEL", "Delete the selected bookmark",
               {QKS(Qt::Key_Delete)});
    MakeAction(cmd::SelectAll, "Select All", "Select all item");
    MakeAction(cmd::FastAdd, "&Fast Add\tF2", "Fast Add Bookmark", {QKS(Qt::Key_F2)});
    MakeAction(cmd::Add, "&Add\tF3", "Add a new bookmark", {QKS(Qt::Key_F3)});
    MakeAction(cmd::MarkVisited, "&Marked as visited\tF4", "Mark the selected bookmark as visited",
               {QKS(Qt::Key_F4)});
    MakeAction(cmd::Properties, "P&roperties\tF5", "Edit bookmark's properties", {QKS(Qt::Key_F5)});

    MakeAction(cmd::MacroUrl, "&URL Shortcut...", "Macro of URL shortcut");
    MakeAction(cmd::MacroKeywords, "&Keyword Search...", "Macro of keywords search");
    MakeAction(cmd::MacroString, "&String Search...", "Macro of string search");
    MakeAction(cmd::MacroSelectedUrl, "S&elected URL", "Macro of current selected URL");
    MakeAction(cmd::MacroCurrentSearch, "C&urrent Search...",
               "Macro of current search string or keywords");
    MakeAction(cmd::Schedules, "Status &Checking Schedules", QString());
    MakeAction(cmd::Dictionary, "&Dictionary", QString());
    MakeAction(cmd::SearchOption, "Search &Option", QString());
    MakeAction(cmd::CopyKeywords, "Copy &Keywords to Clipboard", "Copy dictionary to clipboard");
    // The item reads F7 but the key is F6, as it always has been.
    MakeAction(cmd::Fetch, "&Fetch\tF7", "Fetch name keywords and description by URL",
               {QKS(Qt::Key_F6)});
    MakeAction(cmd::StatusCheck, "&Status Check\tF8", QString(), {QKS(Qt::Key_F8)});

    MakeAction(cmd::ViewMacro, "&Macro", "Show or hide macro view")->setCheckable(true);
    MakeAction(cmd::ViewToolbar, "&Toolbar", "Show or hide the toolbar")->setCheckable(true);
    MakeAction(cmd::ViewStatusBar, "&Status Bar", "Show or hide the status bar")
        ->setCheckable(true);
    MakeAction(cmd::Column, "&Column...", "Customize the columns to show");
    MakeAction(cmd::Option, "&Option...", "Set option for Brindle");
    MakeAction(cmd::Help, "&Help\tF1", QString(), {QKS(Qt::Key_F1)});
    MakeAction(cmd::HelpIndex, "&Index", QString());
    MakeAction(cmd::About, "&About Brindle...", QString());

    // Search band.
    MakeAction(cmd::ClearSearch, "Clear Search", "Clear search keywords")
        ->setToolTip("ClearKeywords");
    MakeAction(cmd::KeywordSearch, "Keyword Search", "Keywords Search View")->setCheckable(true);
    MakeAction(cmd::StringSearch, "String Search", "String Search View")->setCheckable(true);
    auto* modes = new QActionGroup(this);
    modes->addAction(Action(cmd::KeywordSearch));
    modes->addAction(Action(cmd::StringSearch));
    MakeAction(cmd::PartialMatch, "Parital Match", QString())->setCheckable(true);
    MakeAction(cmd::MatchCase, "Match Case", QString())->setCheckable(true);
    static const char* const kFieldItems[] = {"Name",  "URL",      "Keywords", "Decription",
                                              "Notes", "Schedule", "Status"};
    for (int bit = 0; bit < 7; ++bit)
        MakeAction(cmd::FieldName + bit, kFieldItems[bit], QString())->setCheckable(true);

    for (QAction* a : std::as_const(m_actions))
        addAction(a); // keys work wherever the focus is in the window

    auto on = [this](int id, auto&& slot) { connect(Action(id), &QAction::triggered, this, slot); };
    on(cmd::New, [this] { m_files.New(); });
    on(cmd::Open, [this] { m_files.Open(); });
    on(cmd::Save, [this] { m_files.Save(); });
    on(cmd::SaveAs, [this] { m_files.SaveAs(); });
    on(cmd::Exit, [this] { close(); });
    on(cmd::MacroSelectedUrl,
       [this] { m_doc.AddSelectedUrlMacros(m_bookmarks->SelectedBookmarks()); });
    on(cmd::MacroCurrentSearch, [this] { CreateCurrentSearchMacro(); });
    on(cmd::CopyKeywords, [this] { CopyKeywordsToClipboard(); });
    on(cmd::ViewMacro, [this] { ToggleMacroPane(); });
    on(cmd::ViewToolbar, [this](bool shown) { m_commandBand->setVisible(shown); });
    on(cmd::ViewStatusBar, [this](bool shown) { statusBar()->setVisible(shown); });
    on(cmd::Help, [this] { OpenHelp(); });
    on(cmd::HelpIndex, [this] { OpenHelp(); });
    on(cmd::About, [this] { emit aboutRequested(); });
    on(cmd::ClearSearch, [this] { ClearSearch(); });
    on(cmd::Undo, [this] {
        if (ActiveView() == m_keywords)
            m_keywords->Undo();
        else
            m_bookmarks->Undo();
    });
    on(cmd::Cut, [this] { m_bookmarks->CutSelected(); });
    on(cmd::Copy, [this] {
        if (ActiveView() == m_keywords)
            m_keywords->CopySelected();
        else
            m_bookmarks->CopySelected();
    });
    on(cmd::Paste, [this] { m_bookmarks->Paste(); });
    on(cmd::Delete, [this] {
        if (ActiveView() == m_keywords)
            m_keywords->DeleteSelected();
        else
            m_bookmarks->DeleteSelected();
    });
    on(cmd::SelectAll, [this] { m_bookmarks->SelectAllRows(); });
    on(cmd::MarkVisited, [this] { m_bookmarks->MarkSelectedVisited(); });
    on(cmd::Dictionary, [this] { ShowDictionary(); });
    on(cmd::SearchOption, [this] { ShowSearchOptions(); });
    on(cmd::Column, [this] { m_bookmarks->ChooseColumns(); });
    on(cmd::KeywordSearch, [this] { ShowKeywordSearch(); });
    on(cmd::StringSearch, [this] { ShowStringSearch(); });
    on(cmd::PartialMatch, [this] { m_doc.TogglePartialMatch(); });
    on(cmd::MatchCase, [this] { m_doc.ToggleMatchCase(); });
    for (int bit = 0; bit < 7; ++bit)
        on(cmd::FieldName + bit, [this, bit] { m_doc.ToggleStringField(bit); });
}

void CMainFrame::CreateMenus() {
    QMenuBar* bar = menuBar();
    auto add = [this](QMenu* menu, int id) { menu->addAction(Action(id)); };

    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    for (int id : {cmd::New, cmd::Open, cmd::Save, cmd::SaveAs})
        add(file, id);
    file->addSeparator();
    add(file, cmd::Import);
    add(file, cmd::Export);
    file->addSeparator();
    add(file, cmd::ImportFavorites);
    add(file, cmd::ImportWizard);
    file->addSeparator();
    m_recentPlaceholder = file->addAction(QStringLiteral("Recent File"));
    m_recentPlaceholder->setData(static_cast<int>(cmd::RecentFirst));
    m_recentPlaceholder->setStatusTip(QStringLiteral("Open this document"));
    m_recentPlaceholder->setEnabled(false);
    for (int i = 0; i < 4; ++i) {
        auto* recent = new QAction(this);
        recent->setData(cmd::RecentFirst + i);
        recent->setStatusTip(QStringLiteral("Open this document"));
        recent->setVisible(false);
        connect(recent, &QAction::triggered, this, [this, i] {
            if (i < m_recentFiles.size())
                emit recentFileChosen(m_recentFiles[i]);
        });
        file->addAction(recent);
        m_recentActions.append(recent);
    }
    file->addSeparator();
    add(file, cmd::Exit);

    QMenu* edit = bar->addMenu(QStringLiteral("&Edit"));
    add(edit, cmd::Undo);
    edit->addSeparator();
    for (int id : {cmd::Cut, cmd::Copy, cmd::Paste, cmd::Delete, cmd::SelectAll})
        add(edit, id);
    edit->addSeparator();
    add(edit, cmd::FastAdd);
    add(edit, cmd::Add);
    edit->addSeparator();
    add(edit, cmd::MarkVisited);
    add(edit, cmd::Properties);

    QMenu* tool = bar->addMenu(QStringLiteral("&Tool"));
    QMenu* macro = tool->addMenu(QStringLiteral("&New Macro"));
    for (int id : {cmd::MacroUrl, cmd::MacroKeywords, cmd::MacroString})
        add(macro, id);
    macro->addSeparator();
    add(macro, cmd::MacroSelectedUrl);
    add(macro, cmd::MacroCurrentSearch);
    for (int id : {cmd::Schedules, cmd::Dictionary, cmd::SearchOption, cmd::CopyKeywords})
        add(tool, id);
    tool->addSeparator();
    add(tool, cmd::Fetch);
    add(tool, cmd::StatusCheck);

    QMenu* view = bar->addMenu(QStringLiteral("&View"));
    for (int id : {cmd::ViewMacro, cmd::ViewToolbar, cmd::ViewStatusBar})
        add(view, id);
    view->addSeparator();
    add(view, cmd::Column);
    add(view, cmd::Option);

    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    add(help, cmd::Help);
    add(help, cmd::HelpIndex);
    help->addSeparator();
    add(help, cmd::About);

    for (QMenu* menu : {file, edit, tool, macro, view, help})
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandStates);
}

void CMainFrame::CreateBands() {
    m_commandBand = addToolBar(QStringLiteral("Commands"));
    m_commandBand->setObjectName(QStringLiteral("commandBand"));
    m_commandBand->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_commandBand->setIconSize(QSize(25, 25));
    m_commandBand->setMovable(false);
    struct Button {
        int id;
        const char* caption;
    };
    static const Button kButtons[] = {{cmd::New, "New"},
                                      {cmd::Open, "Open"},
                                      {cmd::Save, "Save"},
                                      {0, nullptr},
                                      {cmd::Undo, "Undo"},
                                      {cmd::Cut, "Cut"},
                                      {cmd::Copy, "Copy"},
                                      {cmd::Paste, "Paste"},
                                      {0, nullptr},
                                      {cmd::Delete, "Del"},
                                      {cmd::Add, "Add"},
                                      {cmd::FastAdd, "Fast"},
                                      {cmd::Properties, "Prop"},
                                      {0, nullptr},
                                      {cmd::Fetch, "Fetch"},
                                      {cmd::StatusCheck, "Check"}};
    for (const Button& b : kButtons) {
        if (!b.caption) {
            m_commandBand->addSeparator();
            continue;
        }
        // A button of its own with a short caption, triggering the menu's command.
        auto* button = new QToolButton(m_commandBand);
        button->setDefaultAction(Action(b.id));
        button->setText(QString::fromLatin1(b.caption));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setFixedWidth(50);
        button->setObjectName(QStringLiteral("band%1").arg(b.id));
        connect(Action(b.id), &QAction::changed, button,
                [button, caption = QString::fromLatin1(b.caption)] { button->setText(caption); });
        m_commandBand->addWidget(button);
    }

    addToolBarBreak();
    m_searchBand = addToolBar(QStringLiteral("Search"));
    m_searchBand->setObjectName(QStringLiteral("searchBand"));
    m_searchBand->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_searchBand->setIconSize(QSize(16, 15));
    m_searchBand->setMovable(false);
    m_searchBox = new QLineEdit(m_searchBand);
    m_searchBox->setObjectName(QStringLiteral("searchBox"));
    m_searchBox->setFixedWidth(260);
    m_searchBox->setFont(QFont(QStringLiteral("Arial"), 9));
    m_searchBox->setClearButtonEnabled(false);
    connect(m_searchBox, &QLineEdit::textChanged, this, &CMainFrame::OnSearchTextChanged);
    m_searchBand->addWidget(m_searchBox);
    m_searchBand->addAction(Action(cmd::ClearSearch));
    m_searchBand->addAction(Action(cmd::KeywordSearch));
    m_searchBand->addAction(Action(cmd::StringSearch));

    m_searchOptionMenu = new QMenu(this);
    m_searchOptionMenu->setObjectName(QStringLiteral("searchOptionMenu"));
    connect(m_searchOptionMenu, &QMenu::aboutToShow, this, &CMainFrame::PrepareSearchOptionMenu);
    auto* option = new QToolButton(m_searchBand);
    option->setObjectName(QStringLiteral("searchOptionButton"));
    // Not the action itself: the drop-down works even while the dialog is unavailable.
    option->setIcon(Action(cmd::SearchOption)->icon());
    option->setText(QStringLiteral("Search Option"));
    connect(option, &QToolButton::clicked, Action(cmd::SearchOption), &QAction::trigger);
    option->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    option->setPopupMode(QToolButton::MenuButtonPopup);
    option->setMenu(m_searchOptionMenu);
    m_searchBand->addWidget(option);
}

void CMainFrame::CreateStatusBar() {
    static const char* const kStart[6] = {"Ready",        "SM:Keyword", "ONLINE",
                                          "SC:CHECK OFF", "0 Keywords", "0 of 0 Bookmarks"};
    for (int i = 0; i < 6; ++i) {
        auto* label = new QLabel(this);
        label->setObjectName(QStringLiteral("pane%1").arg(i));
        m_panes[i] = label;
        if (i == 0) {
            statusBar()->addWidget(label, 1);
        } else {
            label->setFrameStyle(QFrame::Panel | QFrame::Raised);
            statusBar()->addPermanentWidget(label);
        }
        SetPaneText(i, QString::fromLatin1(kStart[i]));
    }
}

void CMainFrame::CreatePanes() {
    m_outer = new QSplitter(Qt::Horizontal, this);
    m_outer->setObjectName(QStringLiteral("outerSplitter"));
    m_outer->setChildrenCollapsible(true);
    m_macros = new CMacroView(m_doc, m_outer);
    m_right = new CUserSplitter(Qt::Vertical, m_outer);
    m_right->setObjectName(QStringLiteral("rightSplitter"));
    m_keywords = new CKeyWordView(m_doc, m_right);
    m_bookmarks = new CBookMarkView(m_doc, m_right);
    m_right->addWidget(m_keywords);
    m_right->addWidget(m_bookmarks);
    m_right->setSizes({100, 500});
    m_right->setStretchFactor(1, 1);
    m_outer->addWidget(m_macros);
    m_outer->addWidget(m_right);
    m_outer->setSizes({120, 700});
    m_outer->setStretchFactor(1, 1);
    setCentralWidget(m_outer);
    m_bookmarks->setFocus();

    connect(m_keywords, &CKeyWordView::appendRequested, this, &CMainFrame::AppendToSearch);
    connect(m_bookmarks, &CBookMarkView::macrosChanged, this, &CMainFrame::ReloadMacros);
    connect(m_bookmarks, &CBookMarkView::autoSaveDue, this, [this] { m_files.AutoSave(); });
    connect(m_bookmarks, &CBookMarkView::reloadLastFileRequested, this, [this] {
        // After the New or Open in progress has finished.
        QTimer::singleShot(0, this, [this] {
            if (!m_recentFiles.isEmpty() && !m_recentFiles.first().isEmpty())
                emit recentFileChosen(m_recentFiles.first());
        });
    });
    connect(m_bookmarks->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CMainFrame::UpdateCommandStates);
    connect(m_bookmarks, &CBookMarkView::commandRequested, this, [this](int id) {
        if (QAction* a = Action(id))
            a->trigger();
    });
    m_activeView = m_bookmarks;
    // Paste follows what the clipboard holds, also when another program changes it.
    if (QClipboard* clipboard = QApplication::clipboard())
        connect(clipboard, &QClipboard::dataChanged, this, &CMainFrame::UpdateCommandStates);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        for (QWidget* view : {static_cast<QWidget*>(m_bookmarks), static_cast<QWidget*>(m_keywords),
                              static_cast<QWidget*>(m_macros)})
            if (now && (now == view || view->isAncestorOf(now)))
                m_activeView = view;
    });
}

// --- Document notifications ---------------------------------------------------------------

void CMainFrame::ReloadRows() {
    m_bookmarks->ReloadRows();
    UpdateCommandStates(); // rows, selection and undo may all have changed
}

void CMainFrame::RefillKeywords() {
    m_keywords->Refill();
}

void CMainFrame::ReloadMacros() {
    m_macros->Fill();
}

void CMainFrame::Rebuild() {
    m_bookmarks->RebuildColumns();
    m_keywords->Refill();
    m_macros->Fill();
}

void CMainFrame::SetPaneText(int pane, const std::string& text) {
    SetPaneText(pane, QString::fromStdString(text));
}

void CMainFrame::SetPaneText(int pane, const QString& text) {
    if (pane < 0 || pane >= static_cast<int>(m_panes.size()))
        return;
    QLabel* label = m_panes[pane];
    label->setText(text);
    if (pane != 0) // the message pane stretches; the others fit their text
        label->setFixedWidth(label->fontMetrics().horizontalAdvance(text) +
                             2 * label->frameWidth() + 8);
}

QString CMainFrame::PaneText(int pane) const {
    return pane >= 0 && pane < static_cast<int>(m_panes.size()) ? m_panes[pane]->text() : QString();
}

// --- Document life ------------------------------------------------------------------------

void CMainFrame::DocumentReplaced() {
    UpdateTitle();
    m_savedKeywordText.clear();
    m_savedStringText.clear();
    m_macros->Fill();
    ApplyModeLayout();
    m_bookmarks->InitialUpdate();
    m_keywords->Refill();
    UpdateCommandStates();
}

void CMainFrame::UpdateTitle() {
    setWindowTitle(QString::fromStdString(m_files.Title()) + QStringLiteral(" - ") +
                   QLatin1String(kAppTitle));
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
    m_recentPlaceholder->setVisible(m_recentFiles.isEmpty());
}

int CMainFrame::MacroPaneWidth() const {
    if (m_macros->isHidden())
        return 0;
    return m_outer->sizes().value(0);
}

int CMainFrame::KeywordPaneHeight() const {
    return m_right->PaneSize(0);
}

void CMainFrame::UpdateCommandStates() {
    const bool hasRows = m_bookmarks->Model()->rowCount() > 0;
    const bool selected =
        m_bookmarks->selectionModel() && m_bookmarks->selectionModel()->hasSelection();
    const bool keywordMode = m_doc.m_nSearchMode == kSearchKeyword;
    Action(cmd::CopyKeywords)->setEnabled(!m_doc.m_arrBookmarks.empty());
    Action(cmd::MacroCurrentSearch)->setEnabled(!m_searchBox->text().trimmed().isEmpty());
    Action(cmd::MacroSelectedUrl)->setEnabled(selected);
    Action(cmd::KeywordSearch)->setChecked(keywordMode);
    Action(cmd::StringSearch)->setChecked(!keywordMode);
    Action(cmd::ViewMacro)->setChecked(MacroPaneWidth() != 0);
    Action(cmd::ViewToolbar)->setChecked(!m_commandBand->isHidden());
    Action(cmd::ViewStatusBar)->setChecked(!statusBar()->isHidden());
    // The editing commands go to the active view: the keyword list when it has the focus, else
    // the bookmark list.
    const bool keywordsActive = ActiveView() == m_keywords;
    const bool oneKeyword = keywordMode && m_keywords->SelectedRow() >= 0;
    Action(cmd::Undo)->setEnabled(keywordsActive ? m_keywords->CanUndo() : m_bookmarks->CanUndo());
    Action(cmd::Copy)->setEnabled(keywordsActive ? oneKeyword : selected);
    Action(cmd::Delete)->setEnabled(keywordsActive ? oneKeyword : selected);
    Action(cmd::Cut)->setEnabled(!keywordsActive && selected);
    Action(cmd::Paste)->setEnabled(!keywordsActive && CBookMarkView::CanPaste());
    Action(cmd::SelectAll)->setEnabled(!keywordsActive && hasRows);
    Action(cmd::MarkVisited)->setEnabled(!keywordsActive && selected);
    for (int id : {cmd::Dictionary, cmd::SearchOption, cmd::Column})
        Action(id)->setEnabled(true);
    // Commands that import and export, the property sheet, the macro dialogs, schedules,
    // options, the browser, the fetcher and the status checker will carry out.
    for (int id : {cmd::Import, cmd::Export, cmd::ImportFavorites, cmd::ImportWizard, cmd::FastAdd,
                   cmd::Add, cmd::Properties, cmd::MacroUrl, cmd::MacroKeywords, cmd::MacroString,
                   cmd::Schedules, cmd::Fetch, cmd::StatusCheck, cmd::Option})
        Action(id)->setEnabled(false);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (m_files.SaveModified())
        event->accept();
    else
        event->ignore();
}

// --- Search box -----------------------------------------------------------------------------

void CMainFrame::OnSearchTextChanged() {
    if (!m_searchOnChange) {
        m_searchOnChange = true;
        return;
    }
    m_doc.Search(m_searchBox->text().toStdString(), m_doc.m_bMatchCase != 0,
                 m_doc.m_byStringFields);
    Action(cmd::MacroCurrentSearch)->setEnabled(!m_searchBox->text().trimmed().isEmpty());
}

void CMainFrame::SetSearchText(const QString& text) {
    // Writing the same text is still a change of the box, as the search relies on.
    if (m_searchBox->text() == text)
        OnSearchTextChanged();
    else
        m_searchBox->setText(text);
}

void CMainFrame::ClearSearch() {
    if (!m_searchBox->text().trimmed().isEmpty())
        SetSearchText(QString());
}

void CMainFrame::ApplyModeLayout() {
    if (m_doc.m_nSearchMode == kSearchKeyword)
        m_right->SetPaneSize(0, 100, 50);
    else
        m_right->SetPaneSize(0, 0, 0);
    Action(cmd::KeywordSearch)->setChecked(m_doc.m_nSearchMode == kSearchKeyword);
    Action(cmd::StringSearch)->setChecked(m_doc.m_nSearchMode != kSearchKeyword);
}

void CMainFrame::ShowKeywordSearch() {
    m_right->SetPaneSize(0, 100, 50);
    m_doc.m_nSearchMode = kSearchKeyword;
    m_savedStringText = m_searchBox->text();
    SetSearchText(m_savedKeywordText);
    UpdateCommandStates();
}

void CMainFrame::ShowStringSearch() {
    m_right->SetPaneSize(0, 0, 0);
    m_doc.m_nSearchMode = kSearchString;
    m_savedKeywordText = m_searchBox->text();
    m_searchOnChange = false;
    SetSearchText(m_savedStringText);
    m_doc.Search(m_savedStringText.toStdString(), m_doc.m_bLastMatchCase != 0,
                 m_doc.m_byLastFields);
    UpdateCommandStates();
}

void CMainFrame::AppendToSearch(const QString& text) {
    QString box = m_searchBox->text();
    if (!box.isEmpty() && !box.endsWith(QLatin1Char('.')))
        box += QLatin1Char('.');
    box += text;
    SetSearchText(box);
}

void CMainFrame::RunKeywordMacro(const QString& text) {
    const QString trimmed = text.trimmed();
    if (m_doc.m_nSearchMode != kSearchKeyword) {
        m_right->SetPaneSize(0, 150, 50);
        m_doc.m_nSearchMode = kSearchKeyword;
    }
    SetSearchText(trimmed);
    UpdateCommandStates();
}

void CMainFrame::RunStringMacro(const QString& text, std::uint8_t value) {
    const QString trimmed = text.trimmed();
    if (m_doc.m_nSearchMode != kSearchString) {
        m_right->SetPaneSize(0, 0, 0);
        m_doc.m_nSearchMode = kSearchString;
    }
    m_searchOnChange = false;
    SetSearchText(trimmed);
    m_doc.Search(trimmed.toStdString(), (value & 0x80) != 0,
                 static_cast<std::uint8_t>(value & 0x7F));
    UpdateCommandStates();
}

void CMainFrame::PrepareSearchOptionMenu() {
    m_searchOptionMenu->clear();
    if (m_doc.m_nSearchMode == kSearchKeyword) {
        Action(cmd::PartialMatch)->setChecked(m_doc.m_bPartialMatch != 0);
        m_searchOptionMenu->addAction(Action(cmd::PartialMatch));
        return;
    }
    Action(cmd::MatchCase)->setChecked(m_doc.m_bMatchCase != 0);
    m_searchOptionMenu->addAction(Action(cmd::MatchCase));
    m_searchOptionMenu->addSeparator();
    for (int bit = 0; bit < 7; ++bit) {
        Action(cmd::FieldName + bit)->setChecked((m_doc.m_byStringFields & (1u << bit)) != 0);
        m_searchOptionMenu->addAction(Action(cmd::FieldName + bit));
    }
}

// --- Other frame commands -----------------------------------------------------------------

void CMainFrame::ToggleMacroPane() {
    // Showing always gives the column 150 pixels, whatever it had before it was hidden.
    if (MacroPaneWidth() == 0) {
        m_macros->show();
        m_macros->setMinimumWidth(30);
        QList<int> sizes = m_outer->sizes();
        const int total = sizes.value(0) + sizes.value(1);
        m_outer->setSizes({150, std::max(0, total - 150)});
    } else {
        m_macros->setMinimumWidth(0);
        m_macros->hide();
    }
    Action(cmd::ViewMacro)->setChecked(MacroPaneWidth() != 0);
}

void CMainFrame::CopyKeywordsToClipboard() {
    if (m_doc.m_arrBookmarks.empty())
        return;
    if (QClipboard* clipboard = QApplication::clipboard())
        clipboard->setText(ClipboardText(m_doc.CollectAllKeywords()));
}

void CMainFrame::CreateCurrentSearchMacro() {
    const QString text = m_searchBox->text();
    if (text.trimmed().isEmpty())
        return;
    const std::string t = text.toStdString();
    if (m_doc.m_nSearchMode == kSearchKeyword)
        m_doc.AddMacro(kMacroKeywords, t, t, 0);
    else
        m_doc.AddStringMacro(t, t, m_doc.m_byStringFields, m_doc.m_bMatchCase != 0, 0);
    m_macros->Fill();
}

void CMainFrame::OpenHelp() {
    QDesktopServices::openUrl(QUrl::fromLocalFile(brindle::HelpPagePath()));
}

// --- Active view and dialogs ------------------------------------------------------------------

QWidget* CMainFrame::ActiveView() const {
    return m_activeView;
}

void CMainFrame::ShowDictionary() {
    CDictionaryDlg dialog(m_doc, this);
    brindle::DialogRunner::Run(dialog);
}

void CMainFrame::ShowSearchOptions() {
    CSearchOptionDlg dialog(m_doc.m_bPartialMatch != 0, m_doc.m_byStringFields,
                            m_doc.m_bMatchCase != 0, this);
    if (brindle::DialogRunner::Run(dialog) != QDialog::Accepted)
        return;
    // Taken over without searching again: the list changes with the next search.
    m_doc.m_bPartialMatch = dialog.PartialMatch() ? 1 : 0;
    m_doc.m_byStringFields = dialog.Fields();
    m_doc.m_bMatchCase = dialog.MatchCase() ? 1 : 0;
    m_doc.SetModifiedFlag(true);
}

// --- Tray
// -----------------------------------------------------------------------------------------

void CMainFrame::UpdateTrayIcon() {
    const bool wanted = m_doc.Prefs().m_bInTray && QSystemTrayIcon::isSystemTrayAvailable();
    if (wanted && !m_tray) {
        m_tray = new QSystemTrayIcon(QIcon(QStringLiteral(":/icons/bookmark.svg")), this);
        m_tray->setToolTip(QStringLiteral("Brindle"));
        m_trayMenu = new QMenu(this);
        connect(m_trayMenu, &QMenu::aboutToShow, this, &CMainFrame::BuildTrayMenu);
        m_tray->setContextMenu(m_trayMenu);
        connect(m_tray, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    if (reason == QSystemTrayIcon::DoubleClick)
                        OnTrayDoubleClick();
                });
        m_tray->show();
    } else if (!wanted && m_tray) {
        m_tray->hide();
        delete m_tray;
        m_tray = nullptr;
    }
}

QMenu* CMainFrame::BuildTrayMenu() {
    if (!m_trayMenu)
        m_trayMenu = new QMenu(this);
    m_trayMenu->clear();
    const auto& hits = m_doc.ActiveHits();
    const int maxInTray = std::clamp(m_doc.Prefs().m_nMaxInTray, 0, 100);
    const int n = std::min(maxInTray, static_cast<int>(hits.size()));
    for (int k = 0; k < n; ++k) {
        const std::uint32_t index = hits[k];
        if (index >= m_doc.m_arrBookmarks.size())
            continue;
        QAction* a = m_trayMenu->addAction(
            QString::fromStdString(std::string(m_doc.m_arrBookmarks[index].m_strName)));
        a->setData(cmd::TrayBookmarkFirst + k);
        connect(a, &QAction::triggered, this, [this, k] { emit trayBookmarkChosen(k); });
    }
    if (n > 0)
        m_trayMenu->addSeparator();
    QAction* add = m_trayMenu->addAction(QStringLiteral("Add"));
    add->setData(cmd::TrayAdd);
    connect(add, &QAction::triggered, Action(cmd::Add), &QAction::trigger);
    QAction* fast = m_trayMenu->addAction(QStringLiteral("Fast Add"));
    fast->setData(cmd::TrayFastAdd);
    connect(fast, &QAction::triggered, Action(cmd::FastAdd), &QAction::trigger);
    QAction* closeItem = m_trayMenu->addAction(QStringLiteral("Close"));
    closeItem->setData(cmd::TrayClose);
    connect(closeItem, &QAction::triggered, this, &QWidget::close);
    return m_trayMenu;
}

void CMainFrame::OnTrayDoubleClick() {
    if (m_doc.Prefs().m_bHide) {
        show();
        if (isMinimized())
            showNormal();
        raise();
        activateWindow();
    } else if (isMinimized()) {
        showNormal();
    }
}

void CMainFrame::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !isMinimized())
        return;
    // Minimised with the tray icon and "hide" on, the window leaves the task bar altogether.
    if (m_doc.Prefs().m_bInTray && m_doc.Prefs().m_bHide && m_tray)
        QTimer::singleShot(0, this, [this] {
            if (isMinimized())
                hide();
        });
}

void CMainFrame::ApplyListFont() {
    const QFont font = brindle::FontFromLogFont(m_doc.Prefs().m_logFont);
    for (QWidget* view : {static_cast<QWidget*>(m_bookmarks), static_cast<QWidget*>(m_keywords),
                          static_cast<QWidget*>(m_macros)})
        view->setFont(font);
    m_bookmarks->verticalHeader()->setDefaultSectionSize(QFontMetrics(font).height() + 4);
}

void CMainFrame::SetHotKeyService(brindle::HotKeyService* service) {
    m_hotKeys = service;
    if (m_hotKeys)
        connect(m_hotKeys, &brindle::HotKeyService::triggered, this, &CMainFrame::OnHotKey);
}

void CMainFrame::RegisterHotKeys() {
    if (!m_hotKeys)
        return;
    if (!m_hotKeys->IsAvailable()) {
        bool anySet = false;
        for (std::uint16_t vk : m_doc.Prefs().m_wHotKeyVk)
            anySet |= vk != 0;
        if (anySet && !m_toldNoHotKeys) {
            SetPaneText(0, QStringLiteral("Global hot keys are not available on this desktop"));
            m_toldNoHotKeys = true;
        }
        return;
    }
    const auto failures = brindle::RegisterDocumentHotKeys(*m_hotKeys, m_doc.Prefs());
    if (!failures.isEmpty())
        SetPaneText(0, failures.first().error);
}

void CMainFrame::OnHotKey(int id) {
    switch (id) {
    case brindle::kFirstGlobalHotKeyId: // "switch to Brindle:"
        showNormal();
        raise();
        activateWindow();
        break;
    default:
        // Adding from the browser, fast add and adding from the clipboard belong to the
        // browser capture; until it exists these keys only bring the window up.
        show();
        raise();
        break;
    }
}

void CMainFrame::ApplyOptions(bool trayFlagChanged) {
    ApplyListFont();
    RegisterHotKeys();
    if (trayFlagChanged)
        UpdateTrayIcon();
    m_doc.RefreshViews();
}
