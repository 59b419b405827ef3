// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Find Duplicates: the groups of bookmarks that point at one page, those with the same address
// first and the likely ones after, each a branch that opens on its bookmarks. The ticked groups
// become one bookmark each on Merge, as one step that Undo takes back.

#include "store/DuplicateGroups.h"

#include <QDialog>

#include <cstddef>
#include <vector>

class CBrindleDoc;
class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace brindle {

class DuplicatesDialog : public QDialog {
    Q_OBJECT
  public:
    // Runs the dialog modally over `doc`; the bookmarks it removed by merging (0: none).
    static std::size_t Run(QWidget* parent, CBrindleDoc& doc);

    DuplicatesDialog(CBrindleDoc& doc, QWidget* parent = nullptr);

    QTreeWidget* Tree() const { return m_tree; }
    QPushButton* MergeButton() const { return m_merge; }
    // The group of a top-level row.
    const DuplicateGroup& Group(int row) const {
        return m_groups.at(static_cast<std::size_t>(row));
    }
    // Merges the ticked groups and closes the dialog with Accepted.
    void MergeChecked();
    std::size_t Removed() const { return m_removed; }

  private:
    void UpdateMergeButton();

    CBrindleDoc& m_doc;
    std::vector<DuplicateGroup> m_groups;
    QTreeWidget* m_tree;
    QLabel* m_summary;
    QPushButton* m_merge;
    std::size_t m_removed = 0;
};

} // namespace brindle
