// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// MacroController: creating macros through their dialogs ("New Macro"), running them, and their
// keys. Each macro's key is a shortcut of the main window with command number 1274 + the
// macro's position; the shortcuts are made again whenever the macros change, so after a delete
// every key runs the macro shown at its position.

#include <QObject>

#include <cstdint>
#include <vector>

class CBrindleDoc;
class QShortcut;
class QWidget;

namespace brindle {

class BookmarkWorkspace;
class CommandTable;
class PageOpener;
class SearchBar;

class MacroController : public QObject {
    Q_OBJECT
  public:
    MacroController(CBrindleDoc& doc, CommandTable& commands, BookmarkWorkspace& workspace,
                    SearchBar& search, PageOpener& pages, QWidget* window);

    // Runs macro `index` by its kind: opens its URL, or searches its keywords or its string.
    void RunMacro(std::uint32_t index);
    // A command number from a macro key: 1274 + m runs macro m while m is below the count.
    void OnMacroCommand(int command);
    // The "New Macro" dialog of `kind`; on OK the macro is added and shown.
    void NewMacro(std::int32_t kind);
    // Makes the key shortcuts again from the document's macros.
    void SyncKeys();
    const std::vector<QShortcut*>& Keys() const { return m_keys; }

  private:
    CBrindleDoc& m_doc;
    CommandTable& m_commands;
    BookmarkWorkspace& m_workspace;
    SearchBar& m_search;
    PageOpener& m_pages;
    QWidget* m_window;
    std::vector<QShortcut*> m_keys;
};

} // namespace brindle
