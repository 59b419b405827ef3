// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// BookmarkWorkspace: the three panes of the window (macro list on the left, keyword list above
// the bookmark list on the right). It hears the document's view notifications, follows which
// pane was used last and sends the editing commands (Undo, Copy, Delete) there, and carries out
// the commands of the lists.

#include "store/DocListener.h"

#include <QSplitter>

#include <cstdint>
#include <functional>

class CAddMarkPropertySheet;
class CBookmark;
class CBookMarkView;
class CBrindleDoc;
class CKeyWordView;
class CMacroView;
class CUserSplitter;

namespace brindle {

class CommandTable;
class PageOpener;

class BookmarkWorkspace : public QSplitter, public DocListener {
    Q_OBJECT
  public:
    BookmarkWorkspace(CBrindleDoc& doc, CommandTable& commands, QWidget* parent = nullptr);
    ~BookmarkWorkspace() override;

    CBookMarkView* Bookmarks() const { return m_bookmarks; }
    CKeyWordView* Keywords() const { return m_keywords; }
    CMacroView* Macros() const { return m_macros; }
    // The pane the editing commands go to: the last of the three to have had the focus.
    QWidget* ActiveView() const { return m_activeView; }

    // Width of the macro column, height of the keyword row (0 when hidden).
    int MacroPaneWidth() const;
    int KeywordPaneHeight() const;
    // Hides the macro column, or shows it 150 pixels wide.
    void ToggleMacroPane();
    // The keyword row's ideal height and minimum (0, 0 hides it).
    void SetKeywordRow(int ideal, int minimum);
    void ApplyListFont(const QFont& font);

    // A new or opened document is in place: the lists' first update for it.
    void DocumentReplaced();

    // --- Adding, editing and opening bookmarks --------------------------------------------
    // "Add Bookmark" prefilled from `initial` (its empty fields take the sheet's defaults); on OK
    // the bookmark is added, selected and scrolled to where the current search puts it, or the
    // prompt pane says that the search does not show it.
    void ShowAddSheet(const CBookmark& initial);
    // "Bookmark Properties" of bookmark `index` of the collection.
    void ShowPropertiesSheet(std::uint32_t index);
    // Called with every sheet before it opens (to install its Fetch and schedule handlers).
    void SetSheetPreparer(std::function<void(CAddMarkPropertySheet&)> prepare);
    PageOpener* Pages() const { return m_pages; }

    // --- What the document tells its views -----------------------------------------------
    void ReloadRows() override;
    void RefillKeywords() override;
    void ReloadMacros() override;
    void Rebuild() override;

  signals:
    // A text for the prompt pane.
    void message(const QString& text);

  private:
    void RegisterCommands();

    CBrindleDoc& m_doc;
    CommandTable& m_commands;
    CUserSplitter* m_right = nullptr;
    CMacroView* m_macros = nullptr;
    CKeyWordView* m_keywords = nullptr;
    CBookMarkView* m_bookmarks = nullptr;
    QWidget* m_activeView = nullptr;
    PageOpener* m_pages = nullptr;
    std::function<void(CAddMarkPropertySheet&)> m_prepareSheet;
};

} // namespace brindle
