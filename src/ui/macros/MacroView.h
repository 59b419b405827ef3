// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// CMacroView: the document's macros by name, with an image for their kind. A double-click or
// Enter runs the selected macro; the editing commands (properties, delete, cut, copy, paste,
// undo, select all) work on the selected rows while the view has the focus.

#include <QTreeWidget>

#include <cstdint>
#include <vector>

class CBrindleDoc;

namespace brindle {
class CommandTable;
} // namespace brindle

class CMacroView : public QTreeWidget {
    Q_OBJECT
  public:
    // The context menu is built from `commands`.
    CMacroView(CBrindleDoc& doc, brindle::CommandTable& commands, QWidget* parent = nullptr);
    // Deletes every row and inserts one per macro in document order.
    void Fill();

    // Macro indices of the selected rows, in row order.
    std::vector<std::uint32_t> SelectedMacros() const;
    bool HasSelection() const;

    // --- Commands ---------------------------------------------------------------------------
    // The first selected macro in its kind's dialog; on OK the macro takes the dialog's name,
    // text and key.
    void EditSelected();
    // Delete with the "Are you sure?" question when `confirm` and "bConfirm" are on.
    void DeleteSelected(bool confirm = true);
    void CopySelected();
    void CutSelected();
    void Paste();
    static bool CanPaste();
    void Undo();
    bool CanUndo() const;
    void SelectAllRows();

    // The clipboard format of the macro records.
    static constexpr const char* kMacroMime = "application/x-brindle-macro";

  signals:
    // The macro at `index` of the document is to run.
    void runRequested(std::uint32_t index);
    // The rows were made again from the document's macros.
    void filled();

  protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void RunCurrent();

    CBrindleDoc& m_doc;
    brindle::CommandTable& m_commands;
};
