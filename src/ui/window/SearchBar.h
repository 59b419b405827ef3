// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// SearchBar: the search band with the search box, "Clear Search", the two mode buttons and the
// "Search Option" drop-down. It runs the box in both search modes: every change of its text is a
// search; each mode keeps its own text while the other is shown.

#include "store/Bookmark.h"

#include <QString>
#include <QToolBar>

#include <cstdint>

class CBrindleDoc;
class QLineEdit;
class QMenu;

namespace brindle {

class BookmarkWorkspace;
class CommandTable;
class TextSearchController;

class SearchBar : public QToolBar {
    Q_OBJECT
  public:
    SearchBar(CBrindleDoc& doc, CommandTable& commands, BookmarkWorkspace& workspace,
              QWidget* parent = nullptr);

    QLineEdit* Box() const { return m_box; }
    QMenu* OptionMenu() const { return m_optionMenu; }

    // A new or opened document: both saved texts are forgotten; the layout follows its mode.
    void DocumentReplaced();

    void OnTextChanged();
    void Clear();
    void ShowKeywordSearch();
    void ShowStringSearch();
    // The third mode: the archived text of the pages, with a snippet column (the document file
    // keeps string mode for it).
    void ShowTextSearch();
    void SetTextSearch(TextSearchController* controller) { m_textSearch = controller; }
    bool TextMode() const;
    // Appends a keyword (with the "." separator) to the box.
    void Append(const QString& text);
    // A keyword-search macro: keyword mode with the text in the box.
    void RunKeywordMacro(const QString& text);
    // A string-search macro: its text with its own fields and match case.
    void RunStringMacro(const QString& text, StringSearchOptions options);
    // Rebuilds the "Search Option" drop-down for the current mode.
    void PrepareOptionMenu();
    // The Search Option dialog; on OK the document takes the options over.
    void ShowOptionsDialog();
    // A macro of the box's text in the current mode.
    void CreateCurrentSearchMacro();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void RegisterCommands();
    // The box's text as a search with the document's options.
    void RunSearch();
    void AddFocusKeys(QWidget* window);
    void SetText(const QString& text);
    void ApplyModeLayout();
    // Leaves the text mode (its text kept) before another mode shows.
    void LeaveTextMode();
    bool HasText() const;

    CBrindleDoc& m_doc;
    CommandTable& m_commands;
    BookmarkWorkspace& m_workspace;
    QLineEdit* m_box = nullptr;
    QMenu* m_optionMenu = nullptr;
    QString m_savedKeywordText;
    QString m_savedStringText;
    QString m_savedTextText;
    TextSearchController* m_textSearch = nullptr;
    // When clear, the next change of the box only sets it and starts no search.
    bool m_searchOnChange = true;
};

} // namespace brindle
