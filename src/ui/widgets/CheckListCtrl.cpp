// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/widgets/CheckListCtrl.h"

#include <QHeaderView>
#include <QStyle>
#include <QStyleOptionViewItem>

CCheckListCtrl::CCheckListCtrl(const QString& columnTitle, int columnWidth, QWidget* parent)
    : QTreeWidget(parent) {
    setColumnCount(1);
    setHeaderLabels({columnTitle});
    header()->resizeSection(0, columnWidth);
    setRootIsDecorated(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    // Keys and double-clicks must not flip an item: only the check box does.
    setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void CCheckListCtrl::AddItem(const QString& text, bool checked) {
    auto* item = new QTreeWidgetItem(this, {text});
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
}

bool CCheckListCtrl::IsChecked(int row) const {
    const QTreeWidgetItem* item = topLevelItem(row);
    return item && item->checkState(0) == Qt::Checked;
}

void CCheckListCtrl::SetChecked(int row, bool checked) {
    if (QTreeWidgetItem* item = topLevelItem(row))
        item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
}

QRect CCheckListCtrl::CheckRect(int row) const {
    QTreeWidgetItem* item = topLevelItem(row);
    if (!item)
        return {};
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = visualItemRect(item);
    option.features |= QStyleOptionViewItem::HasCheckIndicator;
    return style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, this);
}
