// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window/SearchBar.h"

#include "store/BrindleDoc.h"
#include "ui/archive/TextSearchController.h"
#include "ui/bookmarks/BookmarkListModel.h"
#include "ui/bookmarks/BookmarkView.h"
#include "ui/options/OptionDialogs.h"
#include "ui/widgets/DialogRunner.h"
#include "ui/window/BookmarkWorkspace.h"
#include "ui/window/CommandIds.h"
#include "ui/window/CommandTable.h"

#include <QAction>
#include <QActionGroup>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QShortcut>
#include <QTimer>
#include <QToolButton>

namespace brindle {

SearchBar::SearchBar(CBrindleDoc& doc, CommandTable& commands, BookmarkWorkspace& workspace,
                     QWidget* parent)
    : QToolBar(tr("Search"), parent), m_doc(doc), m_commands(commands), m_workspace(workspace) {
    setObjectName(QStringLiteral("searchBand"));
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    setIconSize(QSize(16, 15));
    setMovable(false);
    m_box = new QLineEdit(this);
    m_box->setObjectName(QStringLiteral("searchBox"));
    m_box->setFixedWidth(260);
    m_box->setFont(QFont(QStringLiteral("Arial"), 9));
    m_box->setClearButtonEnabled(false);
    connect(m_box, &QLineEdit::textChanged, this, &SearchBar::OnTextChanged);
    m_box->installEventFilter(this);
    addWidget(m_box);
    m_commands.FillBand(this, BandId::Search);
    auto* modes = new QActionGroup(this);
    modes->addAction(m_commands.Action(cmd::KeywordSearch));
    modes->addAction(m_commands.Action(cmd::StringSearch));
    modes->addAction(m_commands.Action(cmd::TextSearch));

    m_optionMenu = new QMenu(this);
    m_optionMenu->setObjectName(QStringLiteral("searchOptionMenu"));
    connect(m_optionMenu, &QMenu::aboutToShow, this, &SearchBar::PrepareOptionMenu);
    auto* option = new QToolButton(this);
    option->setObjectName(QStringLiteral("searchOptionButton"));
    // Not the action itself: the drop-down works even while the dialog is unavailable.
    QAction* dialog = m_commands.Action(cmd::SearchOption);
    option->setIcon(dialog->icon());
    option->setText(tr("Search Option"));
    connect(option, &QToolButton::clicked, dialog, &QAction::trigger);
    option->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    option->setPopupMode(QToolButton::MenuButtonPopup);
    option->setMenu(m_optionMenu);
    addWidget(option);
    RegisterCommands();
    AddFocusKeys(parent ? parent : this);
}

void SearchBar::AddFocusKeys(QWidget* window) {
    // Ctrl+F and Ctrl+L bring the box up, unless a command of the table has the key.
    for (const QKeyCombination key : {Qt::CTRL | Qt::Key_F, Qt::CTRL | Qt::Key_L}) {
        bool taken = false;
        for (const CommandRow& row : CommandTable::Rows())
            taken |= row.keys[0] == key || row.keys[1] == key;
        if (taken)
            continue;
        auto* shortcut = new QShortcut(QKeySequence(key), window);
        connect(shortcut, &QShortcut::activated, this, [this] {
            m_box->setFocus(Qt::ShortcutFocusReason);
            m_box->selectAll();
        });
    }
    // Escape in the box clears it, as "Clear Search" does.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), m_box);
    escape->setContext(Qt::WidgetShortcut);
    connect(escape, &QShortcut::activated, this, &SearchBar::Clear);
}

bool SearchBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_box || event->type() != QEvent::ShortcutOverride)
        return QToolBar::eventFilter(watched, event);
    // The box keeps its own keys (Ctrl+E, Ctrl+A, ...) except where a command of the window has
    // the key and may run now: the command wins, as it does everywhere else in the window.
    auto* key = static_cast<QKeyEvent*>(event);
    const QKeyCombination pressed(key->modifiers() & ~Qt::KeypadModifier, Qt::Key(key->key()));
    for (const CommandRow& row : CommandTable::Rows()) {
        if (row.keys[0] != pressed && row.keys[1] != pressed)
            continue;
        m_commands.UpdateState(row.id);
        if (m_commands.Action(row.id)->isEnabled()) {
            event->ignore();
            return true;
        }
    }
    return false;
}

void SearchBar::RegisterCommands() {
    CommandTable& c = m_commands;
    auto keywordMode = [this] { return m_doc.SearchMode() == kSearchKeyword; };
    // A changed field or match case applies to the string search at once.
    auto searchAgain = [this] {
        if (m_doc.SearchMode() == kSearchString && !TextMode())
            RunSearch();
    };
    c.Register(cmd::ClearSearch, [this] { Clear(); });
    c.Register(
        cmd::KeywordSearch, [this] { ShowKeywordSearch(); }, {}, keywordMode);
    c.Register(
        cmd::StringSearch, [this] { ShowStringSearch(); }, {},
        [this, keywordMode] { return !keywordMode() && !TextMode(); });
    c.Register(
        cmd::TextSearch, [this] { ShowTextSearch(); }, [this] { return m_textSearch != nullptr; },
        [this] { return TextMode(); });
    c.Register(cmd::SearchOption, [this] { ShowOptionsDialog(); });
    c.Register(
        cmd::MacroCurrentSearch, [this] { CreateCurrentSearchMacro(); },
        [this] { return HasText(); });
    // The drop-down's toggles. Partial match waits for the next keyword search.
    c.Register(
        cmd::PartialMatch, [this] { m_doc.TogglePartialMatch(); }, {},
        [this] { return m_doc.PartialMatch() != 0; });
    c.Register(
        cmd::MatchCase,
        [this, searchAgain] {
            m_doc.ToggleMatchCase();
            searchAgain();
        },
        {}, [this] { return m_doc.MatchCase() != 0; });
    for (int bit = 0; bit < kSearchFieldCount; ++bit)
        c.Register(
            cmd::SearchFieldFirst + bit,
            [this, bit, searchAgain] {
                m_doc.ToggleStringField(bit);
                searchAgain();
            },
            {}, [this, bit] { return (m_doc.EffectiveStringFields() & (1u << bit)) != 0; });
}

bool SearchBar::HasText() const {
    return !m_box->text().trimmed().isEmpty();
}

void SearchBar::OnTextChanged() {
    if (!m_searchOnChange) {
        m_searchOnChange = true;
        return;
    }
    RunSearch();
}

void SearchBar::RunSearch() {
    m_doc.SearchWithOptions(m_box->text().toStdString());
    m_commands.UpdateState(cmd::MacroCurrentSearch);
}

void SearchBar::SetText(const QString& text) {
    // Writing the same text is still a change of the box, as the search relies on.
    if (m_box->text() == text)
        OnTextChanged();
    else
        m_box->setText(text);
}

void SearchBar::Clear() {
    if (HasText())
        SetText(QString());
}

bool SearchBar::TextMode() const {
    return m_doc.TextSearchActive();
}

void SearchBar::LeaveTextMode() {
    if (!TextMode())
        return;
    m_savedTextText = m_box->text();
    m_doc.SetTextSearch({});
    m_workspace.Bookmarks()->Model()->SetExtraColumn({}, {});
}

void SearchBar::ShowTextSearch() {
    if (!m_textSearch || TextMode())
        return;
    m_workspace.SetKeywordRow(0, 0);
    if (m_doc.SearchMode() == kSearchKeyword)
        m_savedKeywordText = m_box->text();
    else
        m_savedStringText = m_box->text();
    m_doc.SetSearchMode(kSearchString);
    TextSearchController* controller = m_textSearch;
    m_doc.SetTextSearch([controller](std::string_view q) { return controller->Search(q); });
    m_workspace.Bookmarks()->Model()->SetExtraColumn(
        tr("Snippet"), [controller](std::uint32_t b) { return controller->SnippetOf(b); });
    m_workspace.Bookmarks()->setColumnWidth(m_workspace.Bookmarks()->Model()->columnCount() - 1,
                                            500);
    // With nothing to search yet, the archive is read while the user starts typing.
    if (m_savedTextText.isEmpty())
        QTimer::singleShot(0, controller, [controller] { controller->Prepare(); });
    SetText(m_savedTextText);
    m_commands.UpdateStates();
}

void SearchBar::DocumentReplaced() {
    m_savedKeywordText.clear();
    m_savedStringText.clear();
    m_savedTextText.clear();
    LeaveTextMode();
    ApplyModeLayout();
}

void SearchBar::ApplyModeLayout() {
    if (m_doc.SearchMode() == kSearchKeyword)
        m_workspace.SetKeywordRow(100, 50);
    else
        m_workspace.SetKeywordRow(0, 0);
    m_commands.UpdateState(cmd::KeywordSearch);
    m_commands.UpdateState(cmd::StringSearch);
}

void SearchBar::ShowKeywordSearch() {
    m_workspace.SetKeywordRow(100, 50);
    if (TextMode())
        LeaveTextMode();
    else
        m_savedStringText = m_box->text();
    m_doc.SetSearchMode(kSearchKeyword);
    SetText(m_savedKeywordText);
    m_commands.UpdateStates();
}

void SearchBar::ShowStringSearch() {
    m_workspace.SetKeywordRow(0, 0);
    if (TextMode())
        LeaveTextMode();
    else
        m_savedKeywordText = m_box->text();
    m_doc.SetSearchMode(kSearchString);
    m_searchOnChange = false;
    SetText(m_savedStringText);
    m_doc.Search(m_savedStringText.toStdString(), m_doc.LastMatchCase() != 0, m_doc.LastFields());
    m_commands.UpdateStates();
}

void SearchBar::Append(const QString& text) {
    QString box = m_box->text();
    if (!box.isEmpty() && !box.endsWith(QLatin1Char('.')))
        box += QLatin1Char('.');
    box += text;
    SetText(box);
}

void SearchBar::RunKeywordMacro(const QString& text) {
    const QString trimmed = text.trimmed();
    LeaveTextMode();
    if (m_doc.SearchMode() != kSearchKeyword) {
        m_workspace.SetKeywordRow(150, 50);
        m_doc.SetSearchMode(kSearchKeyword);
    }
    SetText(trimmed);
    m_commands.UpdateStates();
}

void SearchBar::RunStringMacro(const QString& text, StringSearchOptions options) {
    const QString trimmed = text.trimmed();
    LeaveTextMode();
    if (m_doc.SearchMode() != kSearchString) {
        m_workspace.SetKeywordRow(0, 0);
        m_doc.SetSearchMode(kSearchString);
    }
    m_searchOnChange = false;
    SetText(trimmed);
    m_doc.Search(trimmed.toStdString(), options.matchCase, options.fields);
    m_commands.UpdateStates();
}

void SearchBar::PrepareOptionMenu() {
    m_optionMenu->clear();
    if (m_doc.SearchMode() == kSearchKeyword) {
        m_commands.UpdateState(cmd::PartialMatch);
        m_optionMenu->addAction(m_commands.Action(cmd::PartialMatch));
        return;
    }
    m_commands.UpdateState(cmd::MatchCase);
    m_optionMenu->addAction(m_commands.Action(cmd::MatchCase));
    m_optionMenu->addSeparator();
    for (int bit = 0; bit < kSearchFieldCount; ++bit) {
        m_commands.UpdateState(cmd::SearchFieldFirst + bit);
        m_optionMenu->addAction(m_commands.Action(cmd::SearchFieldFirst + bit));
    }
}

void SearchBar::ShowOptionsDialog() {
    const CBrindleDoc::SearchOptions now = m_doc.CurrentSearchOptions();
    const std::uint8_t fields = m_doc.EffectiveStringFields();
    CSearchOptionDlg dialog(now.partialMatch, fields, now.matchCase, this);
    if (DialogRunner::Run(dialog) != QDialog::Accepted)
        return;
    m_doc.SetSearchOptions({.partialMatch = dialog.PartialMatch(),
                            .matchCase = dialog.MatchCase(),
                            .fields = dialog.Fields()});
    // New fields or match case show in the string search at once; partial match waits for the
    // next keyword search.
    if (m_doc.SearchMode() == kSearchString &&
        (dialog.Fields() != fields || dialog.MatchCase() != now.matchCase))
        RunSearch();
}

void SearchBar::CreateCurrentSearchMacro() {
    if (!HasText())
        return;
    const std::string t = m_box->text().toStdString();
    if (m_doc.SearchMode() == kSearchKeyword)
        m_doc.AddMacro(kMacroKeywords, t, t, 0);
    else
        m_doc.AddStringMacro(t, t, m_doc.EffectiveStringFields(), m_doc.MatchCase() != 0, 0);
    m_workspace.ReloadMacros();
}

} // namespace brindle
