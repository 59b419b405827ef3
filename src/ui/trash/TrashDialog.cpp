// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/trash/TrashDialog.h"

#include "store/BrindleDoc.h"
#include "store/TimeFormat.h"
#include "ui/widgets/MessageBox.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cerrno>
#include <cstring>

namespace brindle {

namespace {

enum Column { kName, kUrl, kDeleted, kWhy, kColumns };

} // namespace

TrashDialog::TrashDialog(CBrindleDoc& doc, std::string documentPath, std::function<bool()> save,
                         QWidget* parent)
    : QDialog(parent), m_doc(doc), m_path(std::move(documentPath)), m_save(std::move(save)) {
    setWindowTitle(tr("Trash"));
    auto* layout = new QVBoxLayout(this);
    m_note = new QLabel(this);
    m_note->setWordWrap(true);
    layout->addWidget(m_note);
    m_list = new QTreeWidget(this);
    m_list->setColumnCount(kColumns);
    m_list->setHeaderLabels({tr("Name"), tr("URL"), tr("Deleted"), tr("Why")});
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setSortingEnabled(false);
    m_list->header()->setStretchLastSection(true);
    layout->addWidget(m_list, 1);
    auto* buttons = new QDialogButtonBox(this);
    m_restore = buttons->addButton(tr("&Restore"), QDialogButtonBox::ActionRole);
    buttons->addButton(QDialogButtonBox::Close);
    layout->addWidget(buttons);
    connect(m_restore, &QPushButton::clicked, this, &TrashDialog::RestoreSelected);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &TrashDialog::UpdateButtons);
    resize(760, 420);
    Fill();
}

QString TrashDialog::ReasonText(const TrashEntry& entry) {
    QString text;
    switch (entry.reason) {
    case TrashReason::Deleted:
        text = tr("Deleted");
        break;
    case TrashReason::Merged:
        text = tr("Deleted in another copy of the file");
        break;
    case TrashReason::Synced:
        text = tr("Deleted by a sync");
        break;
    case TrashReason::Duplicate:
        text = tr("Merged into a duplicate");
        break;
    case TrashReason::ConflictCopy:
        text = tr("Deleted in a conflict copy");
        break;
    }
    if (!entry.detail.empty())
        text += QStringLiteral(" (%1)").arg(QString::fromStdString(entry.detail));
    return text;
}

void TrashDialog::Fill() {
    m_list->clear();
    m_trash = Trash();
    const std::size_t pending = m_doc.Trashed().Entries().size();
    QString note;
    if (m_path.empty()) {
        note = tr("This document has not been saved yet: it has no trash.");
    } else {
        if (!m_trash.Load(TrashFileFor(m_path)))
            note = tr("The trash of this document cannot be read.") + QLatin1Char(' ');
        m_trash.DropOlderThan(CBrindleDoc::Now() - BrxTime{kTrashKeepDays} * 24 * 3600);
        note += tr("Bookmarks removed from the document are kept here for %1 days.")
                    .arg(kTrashKeepDays);
    }
    if (pending)
        note += QLatin1Char(' ') + tr("%n bookmark(s) deleted since the last save arrive when "
                                      "the document is saved.",
                                      nullptr, static_cast<int>(pending));
    m_note->setText(note);
    const std::string pattern = ExpandTimeFormat(m_doc.Prefs().m_strTimeFormat);
    // Newest first: the entries are kept in the order they were deleted.
    const std::vector<TrashEntry>& entries = m_trash.Entries();
    for (std::size_t i = entries.size(); i-- > 0;) {
        const TrashEntry& e = entries[i];
        auto* item = new QTreeWidgetItem(m_list);
        item->setText(kName, QString::fromStdString(e.bookmark.m_strName));
        item->setText(kUrl, QString::fromStdString(e.bookmark.m_strURL));
        item->setText(kDeleted, QString::fromStdString(FormatTime(e.deleted, pattern)));
        item->setText(kWhy, ReasonText(e));
        item->setData(kName, Qt::UserRole, static_cast<qulonglong>(i));
    }
    m_list->resizeColumnToContents(kName);
    m_list->setColumnWidth(kUrl, 240);
    m_list->resizeColumnToContents(kDeleted);
    UpdateButtons();
}

void TrashDialog::UpdateButtons() {
    m_restore->setEnabled(!m_list->selectedItems().isEmpty());
}

void TrashDialog::RestoreSelected() {
    std::vector<std::size_t> which;
    for (const QTreeWidgetItem* item : m_list->selectedItems())
        which.push_back(static_cast<std::size_t>(item->data(kName, Qt::UserRole).toULongLong()));
    if (which.empty())
        return;
    std::vector<TrashEntry> restored;
    for (const std::size_t i : which)
        restored.push_back(m_trash.Entries()[i]);
    Trash copy = m_trash;
    copy.Restore(which, m_doc);
    m_doc.RefreshViews();
    // The bookmarks leave the trash only once the document holding them again is on disk (the
    // save may have added its own deletions to the file: it is read again).
    if (!m_save || !m_save())
        return;
    Trash fresh;
    const std::string file = TrashFileFor(m_path);
    int err = fresh.Load(file) ? 0 : EIO;
    fresh.Forget(restored);
    if (!err)
        err = fresh.Save(file);
    if (err)
        MessageBox::Exclamation(
            this,
            tr("The trash cannot be written: %1").arg(QString::fromLocal8Bit(std::strerror(err))));
    Fill();
}

} // namespace brindle
