// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// View > Trash: the bookmarks the document's saves removed in the last 30 days (deleted by the
// user, by a merge with another copy of the file or by a sync), with when and why; the chosen
// ones go back into the document, which is then saved.

#include "store/Trash.h"

#include <QDialog>

#include <functional>
#include <string>

class CBrindleDoc;
class QLabel;
class QPushButton;
class QTreeWidget;

namespace brindle {

class TrashDialog : public QDialog {
    Q_OBJECT

  public:
    // `save` saves the document as the Save command does; true when it was written.
    TrashDialog(CBrindleDoc& doc, std::string documentPath, std::function<bool()> save,
                QWidget* parent = nullptr);

    QTreeWidget* List() const { return m_list; }
    QPushButton* RestoreButton() const { return m_restore; }
    // Restores the selected entries (the Restore button).
    void RestoreSelected();

    static QString ReasonText(const TrashEntry& entry);

  private:
    void Fill();
    void UpdateButtons();

    CBrindleDoc& m_doc;
    std::string m_path;
    std::function<bool()> m_save;
    Trash m_trash;
    QLabel* m_note = nullptr;
    QTreeWidget* m_list = nullptr;
    QPushButton* m_restore = nullptr;
};

} // namespace brindle
