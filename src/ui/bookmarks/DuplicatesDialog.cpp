// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/bookmarks/DuplicatesDialog.h"

#include "store/BrindleDoc.h"
#include "store/UrlNormalForm.h"
#include "ui/widgets/DialogRunner.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace brindle {

namespace {

enum Column { kColumnName, kColumnUrl, kColumnAdded, kColumnStatus, kColumnCount };

QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

std::size_t DuplicatesDialog::Run(QWidget* parent, CBrindleDoc& doc) {
    DuplicatesDialog dialog(doc, parent);
    DialogRunner::Run(dialog);
    return dialog.Removed();
}

DuplicatesDialog::DuplicatesDialog(CBrindleDoc& doc, QWidget* parent)
    : QDialog(parent), m_doc(doc), m_groups(FindDuplicateGroups(doc.Bookmarks(), /*likely=*/true)) {
    setObjectName(QStringLiteral("duplicatesDialog"));
    setWindowTitle(tr("Find Duplicates"));
    auto* layout = new QVBoxLayout(this);

    std::size_t same = 0;
    for (const DuplicateGroup& g : m_groups)
        same += g.kind == DuplicateKind::Same ? 1 : 0;
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("duplicatesSummary"));
    m_summary->setWordWrap(true);
    m_summary->setText(
        m_groups.empty()
            ? tr("No two bookmarks point at the same page.")
            : tr("%1 groups with the same address, %2 groups likely the same (they differ only "
                 "in \"www.\", http or https, a trailing slash or a fragment). Tick the groups "
                 "to merge: each becomes one bookmark with every keyword, the longest "
                 "description, the notes joined and the earliest add date.")
                  .arg(same)
                  .arg(m_groups.size() - same));
    layout->addWidget(m_summary);

    m_tree = new QTreeWidget(this);
    m_tree->setObjectName(QStringLiteral("duplicatesTree"));
    m_tree->setColumnCount(kColumnCount);
    m_tree->setHeaderLabels({tr("Name"), tr("URL"), tr("Add date"), tr("Status")});
    m_tree->setUniformRowHeights(true);
    m_tree->setRootIsDecorated(true);
    const std::string pattern = ExpandTimeFormat(doc.Prefs().m_strTimeFormat);
    std::string key;
    for (const DuplicateGroup& g : m_groups) {
        const std::string_view first = doc.Bookmarks()[g.members.front()].m_strURL;
        if (g.kind == DuplicateKind::Same)
            SameUrlKey(first, key);
        else
            LikelyUrlKey(first, key);
        auto* group = new QTreeWidgetItem(m_tree);
        group->setText(kColumnName, g.kind == DuplicateKind::Same
                                        ? tr("Same address (%1)").arg(g.members.size())
                                        : tr("Likely the same (%1)").arg(g.members.size()));
        group->setText(kColumnUrl, Text(key));
        group->setFlags(group->flags() | Qt::ItemIsUserCheckable);
        // Same addresses are safe to merge; a likely group waits for the user's word.
        group->setCheckState(kColumnName,
                             g.kind == DuplicateKind::Same ? Qt::Checked : Qt::Unchecked);
        for (std::uint32_t i : g.members) {
            const BookmarkRef b = doc.Bookmarks()[i];
            auto* row = new QTreeWidgetItem(group);
            row->setText(kColumnName, Text(b.m_strName));
            row->setText(kColumnUrl, Text(b.m_strURL));
            row->setText(kColumnAdded, Text(b.GetFieldText(kFieldAddDate, pattern)));
            row->setText(kColumnStatus, Text(b.m_strStatus));
            row->setFlags(row->flags() & ~Qt::ItemIsUserCheckable);
        }
    }
    // A few groups are shown open; many would bury each other.
    constexpr std::size_t kOpenGroups = 20;
    if (m_groups.size() <= kOpenGroups)
        m_tree->expandAll();
    m_tree->header()->setSectionResizeMode(kColumnName, QHeaderView::Interactive);
    m_tree->setColumnWidth(kColumnName, 240);
    m_tree->setColumnWidth(kColumnUrl, 320);
    m_tree->setColumnWidth(kColumnAdded, 140);
    layout->addWidget(m_tree, 1);

    auto* buttons = new QDialogButtonBox(this);
    m_merge = buttons->addButton(tr("&Merge"), QDialogButtonBox::AcceptRole);
    m_merge->setObjectName(QStringLiteral("mergeButton"));
    buttons->addButton(QDialogButtonBox::Close);
    layout->addWidget(buttons);
    connect(m_merge, &QPushButton::clicked, this, [this] { MergeChecked(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_tree, &QTreeWidget::itemChanged, this, [this] { UpdateMergeButton(); });
    UpdateMergeButton();
    resize(860, 480);
}

void DuplicatesDialog::UpdateMergeButton() {
    bool any = false;
    for (int i = 0; i < m_tree->topLevelItemCount() && !any; ++i)
        any = m_tree->topLevelItem(i)->checkState(kColumnName) == Qt::Checked;
    m_merge->setEnabled(any);
}

void DuplicatesDialog::MergeChecked() {
    std::vector<CBrindleDoc::Hits> chosen;
    for (int i = 0; i < m_tree->topLevelItemCount(); ++i)
        if (m_tree->topLevelItem(i)->checkState(kColumnName) == Qt::Checked)
            chosen.push_back(Group(i).members);
    if (chosen.empty())
        return;
    m_removed = m_doc.MergeBookmarks(chosen);
    accept();
}

} // namespace brindle
