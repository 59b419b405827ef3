// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window/BookmarkWorkspace.h"

#include "store/BrindleDoc.h"
#include "ui/bookmarks/AddMarkPropertySheet.h"
#include "ui/bookmarks/BookmarkListModel.h"
#include "ui/bookmarks/BookmarkView.h"
#include "ui/bookmarks/PageOpener.h"
#include "ui/keywords/KeywordView.h"
#include "ui/linkcheck/ScheduleDialogs.h"
#include "ui/macros/MacroView.h"
#include "ui/widgets/DialogRunner.h"
#include "ui/widgets/UserSplitter.h"
#include "ui/window/CommandIds.h"
#include "ui/window/CommandTable.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLineEdit>

namespace brindle {

BookmarkWorkspace::BookmarkWorkspace(CBrindleDoc& doc, CommandTable& commands, QWidget* parent)
    : QSplitter(Qt::Horizontal, parent), m_doc(doc), m_commands(commands) {
    setObjectName(QStringLiteral("outerSplitter"));
    setChildrenCollapsible(true);
    m_macros = new CMacroView(m_doc, m_commands, this);
    m_pages = new PageOpener(m_doc, this);
    m_right = new CUserSplitter(Qt::Vertical, this);
    m_right->setObjectName(QStringLiteral("rightSplitter"));
    m_keywords = new CKeyWordView(m_doc, m_commands, m_right);
    m_bookmarks = new CBookMarkView(m_doc, m_commands, m_right);
    m_right->addWidget(m_keywords);
    m_right->addWidget(m_bookmarks);
    m_right->setSizes({100, 500});
    m_right->setStretchFactor(1, 1);
    addWidget(m_macros);
    addWidget(m_right);
    setSizes({120, 700});
    setStretchFactor(1, 1);
    m_activeView = m_bookmarks;

    connect(m_bookmarks, &CBookMarkView::macrosChanged, this, &BookmarkWorkspace::ReloadMacros);
    connect(m_bookmarks, &CBookMarkView::openRequested, m_pages, &PageOpener::OpenBookmark);
    connect(m_pages, &PageOpener::visited, m_bookmarks->viewport(), qOverload<>(&QWidget::update));
    connect(m_bookmarks->selectionModel(), &QItemSelectionModel::selectionChanged, &m_commands,
            &CommandTable::UpdateStates);
    // Paste follows what the clipboard holds, also when another program changes it.
    if (QClipboard* clipboard = QApplication::clipboard())
        connect(clipboard, &QClipboard::dataChanged, &m_commands, &CommandTable::UpdateStates);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        for (QWidget* view : {static_cast<QWidget*>(m_bookmarks), static_cast<QWidget*>(m_keywords),
                              static_cast<QWidget*>(m_macros)})
            if (now && (now == view || view->isAncestorOf(now)))
                m_activeView = view;
    });
    RegisterCommands();
    m_doc.AddListener(this);
}

BookmarkWorkspace::~BookmarkWorkspace() {
    m_doc.RemoveListener(this);
}

void BookmarkWorkspace::RegisterCommands() {
    CommandTable& c = m_commands;
    auto keywordsActive = [this] { return m_activeView == m_keywords; };
    auto macrosActive = [this] { return m_activeView == m_macros; };
    auto selected = [this] { return m_bookmarks->HasSelection(); };
    auto macroSelected = [this] { return m_macros->HasSelection(); };
    // A keyword of the keyword list to work on: only in keyword mode.
    auto oneKeyword = [this] {
        return m_doc.SearchMode() == kSearchKeyword && m_keywords->SelectedRow() >= 0;
    };

    // The editing commands go to the active view: the keyword list or the macro list when it
    // has the focus, else the bookmark list. A text box of the window with the focus (the search
    // box, a keyword being renamed) takes them itself, as it takes their keys.
    auto textBox = [this]() -> QLineEdit* {
        auto* box = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        return box && window()->isAncestorOf(box) ? box : nullptr;
    };
    c.Register(
        cmd::Undo,
        [=, this] {
            if (QLineEdit* box = textBox())
                box->undo();
            else
                keywordsActive() ? m_keywords->Undo()
                : macrosActive() ? m_macros->Undo()
                                 : m_bookmarks->Undo();
        },
        [=, this] {
            if (QLineEdit* box = textBox())
                return box->isUndoAvailable();
            return keywordsActive() ? m_keywords->CanUndo()
                   : macrosActive() ? m_macros->CanUndo()
                                    : m_bookmarks->CanUndo();
        });
    c.Register(
        cmd::Copy,
        [=, this] {
            if (QLineEdit* box = textBox())
                box->copy();
            else
                keywordsActive() ? m_keywords->CopySelected()
                : macrosActive() ? m_macros->CopySelected()
                                 : m_bookmarks->CopySelected();
        },
        [=] {
            if (QLineEdit* box = textBox())
                return box->hasSelectedText();
            return keywordsActive() ? oneKeyword() : macrosActive() ? macroSelected() : selected();
        });
    c.Register(
        cmd::Delete,
        [=, this] {
            if (QLineEdit* box = textBox())
                box->del();
            else
                keywordsActive() ? m_keywords->DeleteSelected()
                : macrosActive() ? m_macros->DeleteSelected()
                                 : m_bookmarks->DeleteSelected();
        },
        [=] {
            if (QLineEdit* box = textBox())
                return !box->text().isEmpty();
            return keywordsActive() ? oneKeyword() : macrosActive() ? macroSelected() : selected();
        });
    c.Register(
        cmd::Cut,
        [=, this] {
            if (QLineEdit* box = textBox())
                box->cut();
            else
                macrosActive() ? m_macros->CutSelected() : m_bookmarks->CutSelected();
        },
        [=] {
            if (QLineEdit* box = textBox())
                return box->hasSelectedText();
            return !keywordsActive() && (macrosActive() ? macroSelected() : selected());
        });
    c.Register(
        cmd::Paste,
        [=, this] {
            if (QLineEdit* box = textBox())
                box->paste();
            else
                macrosActive() ? m_macros->Paste() : m_bookmarks->Paste();
        },
        [=] {
            if (textBox()) {
                const QClipboard* clipboard = QApplication::clipboard();
                return clipboard && !clipboard->text().isEmpty();
            }
            return !keywordsActive() &&
                   (macrosActive() ? CMacroView::CanPaste() : CBookMarkView::CanPaste());
        });
    c.Register(
        cmd::SelectAll,
        [=, this] {
            if (QLineEdit* box = textBox())
                box->selectAll();
            else
                macrosActive() ? m_macros->SelectAllRows() : m_bookmarks->SelectAllRows();
        },
        [=, this] {
            if (QLineEdit* box = textBox())
                return !box->text().isEmpty();
            return !keywordsActive() && (macrosActive() ? m_macros->topLevelItemCount() > 0
                                                        : m_bookmarks->Model()->rowCount() > 0);
        });
    c.Register(cmd::Add, [this] { ShowAddSheet(CBookmark()); });
    c.Register(
        cmd::Properties,
        [=, this] {
            if (macrosActive()) {
                m_macros->EditSelected();
                return;
            }
            const std::vector<std::uint32_t> chosen = m_bookmarks->SelectedBookmarks();
            if (!chosen.empty())
                ShowPropertiesSheet(chosen.front());
        },
        [=] { return macrosActive() ? macroSelected() : selected(); });
    c.Register(cmd::OpenPage, [this] {
        const std::vector<std::uint32_t> chosen = m_bookmarks->SelectedBookmarks();
        m_pages->OpenBookmark(chosen.empty() ? -1 : static_cast<std::int64_t>(chosen.front()));
    });
    c.Register(
        cmd::MarkVisited, [this] { m_bookmarks->MarkSelectedVisited(); },
        [=] { return !keywordsActive() && selected(); });
    c.Register(
        cmd::MacroSelectedUrl,
        [this] { m_doc.AddSelectedUrlMacros(m_bookmarks->SelectedBookmarks()); }, selected);
    c.Register(cmd::CopyUrl, [this] { m_bookmarks->CopyUrlsToClipboard(); });
    c.Register(cmd::MakeCommonKeyword, [this] { m_bookmarks->MakeCommonKeyword(); });
    c.Register(
        cmd::SetStatusChecking,
        [this] { RunSetStatusChecking(this, m_doc, m_bookmarks->SelectedBookmarks()); }, selected);
    c.Register(cmd::Column, [this] { m_bookmarks->ChooseColumns(); });
    for (int field = 1; field < kFieldCount; ++field)
        c.Register(
            cmd::HeaderColumnFirst + field - 1, [this, field] { m_bookmarks->ToggleColumn(field); },
            {}, [this, field] { return (m_doc.Columns() & (1u << field)) != 0; });

    c.Register(
        cmd::RenameKeyword, [this] { m_keywords->StartRename(); }, oneKeyword);
    c.Register(
        cmd::DeleteKeyword, [this] { m_keywords->DeleteSelected(); }, oneKeyword);
    c.Register(
        cmd::CopyKeyword, [this] { m_keywords->CopySelected(); }, oneKeyword);

    c.Register(
        cmd::ViewMacro, [this] { ToggleMacroPane(); }, {},
        [this] { return MacroPaneWidth() != 0; });
}

int BookmarkWorkspace::MacroPaneWidth() const {
    if (m_macros->isHidden())
        return 0;
    return sizes().value(0);
}

int BookmarkWorkspace::KeywordPaneHeight() const {
    return m_right->PaneSize(0);
}

void BookmarkWorkspace::ToggleMacroPane() {
    // Showing always gives the column 150 pixels, whatever it had before it was hidden.
    if (MacroPaneWidth() == 0) {
        m_macros->show();
        m_macros->setMinimumWidth(30);
        const QList<int> now = sizes();
        const int total = now.value(0) + now.value(1);
        setSizes({150, std::max(0, total - 150)});
    } else {
        m_macros->setMinimumWidth(0);
        m_macros->hide();
    }
    m_commands.UpdateState(cmd::ViewMacro);
}

void BookmarkWorkspace::SetKeywordRow(int ideal, int minimum) {
    m_right->SetPaneSize(0, ideal, minimum);
}

void BookmarkWorkspace::ApplyListFont(const QFont& font) {
    for (QWidget* view : {static_cast<QWidget*>(m_bookmarks), static_cast<QWidget*>(m_keywords),
                          static_cast<QWidget*>(m_macros)})
        view->setFont(font);
    m_bookmarks->verticalHeader()->setDefaultSectionSize(QFontMetrics(font).height() + 4);
}

void BookmarkWorkspace::DocumentReplaced() {
    m_macros->Fill();
    m_bookmarks->InitialUpdate();
    m_keywords->Refill();
}

// --- Adding, editing and opening bookmarks -----------------------------------------------------

void BookmarkWorkspace::SetSheetPreparer(std::function<void(CAddMarkPropertySheet&)> prepare) {
    m_prepareSheet = std::move(prepare);
}

void BookmarkWorkspace::ShowAddSheet(const CBookmark& initial) {
    CAddMarkPropertySheet sheet(m_doc, initial, window());
    if (m_prepareSheet)
        m_prepareSheet(sheet);
    if (DialogRunner::Run(sheet) != QDialog::Accepted || !sheet.Commit())
        return;
    const auto added = static_cast<std::uint32_t>(m_doc.Bookmarks().size() - 1);
    if (!m_bookmarks->SelectBookmark(added)) {
        const std::string_view name = m_doc.Bookmarks()[added].m_strName;
        emit message(tr("Added \"%1\"; the current search does not show it.")
                         .arg(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()))));
    }
}

void BookmarkWorkspace::ShowPropertiesSheet(std::uint32_t index) {
    if (index >= m_doc.Bookmarks().size())
        return;
    CAddMarkPropertySheet sheet(m_doc, index, window());
    if (m_prepareSheet)
        m_prepareSheet(sheet);
    if (DialogRunner::Run(sheet) == QDialog::Accepted)
        sheet.Commit();
}

// --- Document notifications ---------------------------------------------------------------

void BookmarkWorkspace::ReloadRows() {
    m_bookmarks->ReloadRows();
    m_commands.UpdateStates(); // rows, selection and undo may all have changed
}

void BookmarkWorkspace::RefillKeywords() {
    m_keywords->Refill();
}

void BookmarkWorkspace::ReloadMacros() {
    m_macros->Fill();
}

void BookmarkWorkspace::Rebuild() {
    m_bookmarks->RebuildColumns();
    m_keywords->Refill();
    m_macros->Fill();
}

} // namespace brindle
