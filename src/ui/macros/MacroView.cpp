// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/macros/MacroView.h"

#include "store/BrindleDoc.h"
#include "store/ClipboardRecords.h"
#include "ui/macros/MacroDialog.h"
#include "ui/widgets/DialogRunner.h"
#include "ui/widgets/MessageBox.h"
#include "ui/window/CommandTable.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>

#include <algorithm>

CMacroView::CMacroView(CBrindleDoc& doc, brindle::CommandTable& commands, QWidget* parent)
    : QTreeWidget(parent), m_doc(doc), m_commands(commands) {
    setObjectName(QStringLiteral("macroList"));
    setColumnCount(1);
    setHeaderLabels({tr("Macro")});
    header()->resizeSection(0, 100);
    setRootIsDecorated(false);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setIconSize(QSize(16, 16));
    connect(this, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        if (item)
            emit runRequested(static_cast<std::uint32_t>(item->data(0, Qt::UserRole).toInt()));
    });
    connect(this, &QTreeWidget::itemSelectionChanged, &m_commands,
            &brindle::CommandTable::UpdateStates);
}

void CMacroView::Fill() {
    static const QIcon kKindIcons[] = {QIcon(), QIcon(QStringLiteral(":/icons/link.svg")),
                                       QIcon(QStringLiteral(":/icons/hash.svg")),
                                       QIcon(QStringLiteral(":/icons/text-search.svg"))};
    clear();
    for (std::size_t i = 0; i < m_doc.Macros().size(); ++i) {
        const CMacro& m = m_doc.Macros()[i];
        auto* item = new QTreeWidgetItem(this);
        item->setText(0, QString::fromStdString(m.m_strName));
        if (m.m_nKind >= 1 && m.m_nKind <= 3)
            item->setIcon(0, kKindIcons[m.m_nKind]);
        item->setData(0, Qt::UserRole, static_cast<int>(i));
    }
    emit filled();
}

std::vector<std::uint32_t> CMacroView::SelectedMacros() const {
    std::vector<std::pair<int, std::uint32_t>> rows;
    for (QTreeWidgetItem* item : selectedItems())
        rows.emplace_back(indexOfTopLevelItem(item),
                          static_cast<std::uint32_t>(item->data(0, Qt::UserRole).toInt()));
    std::sort(rows.begin(), rows.end());
    std::vector<std::uint32_t> out;
    out.reserve(rows.size());
    for (const auto& [row, index] : rows)
        out.push_back(index);
    return out;
}

bool CMacroView::HasSelection() const {
    return !selectedItems().isEmpty();
}

void CMacroView::RunCurrent() {
    const std::vector<std::uint32_t> selected = SelectedMacros();
    if (!selected.empty())
        emit runRequested(selected.front());
}

void CMacroView::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        event->modifiers() == Qt::NoModifier) {
        RunCurrent();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void CMacroView::contextMenuEvent(QContextMenuEvent* event) {
    m_commands.BuildContextMenu(brindle::ContextMenuId::Macro, this)->popup(event->globalPos());
}

// --- Commands ------------------------------------------------------------------------------------

void CMacroView::EditSelected() {
    const std::vector<std::uint32_t> selected = SelectedMacros();
    if (selected.empty() || selected.front() >= m_doc.Macros().size())
        return;
    const std::uint32_t index = selected.front();
    CMacroDlg dialog(m_doc.Macros()[index], this);
    if (brindle::DialogRunner::Run(dialog) != QDialog::Accepted)
        return;
    m_doc.ReplaceMacro(index, dialog.Macro());
    Fill();
    if (QTreeWidgetItem* item = topLevelItem(static_cast<int>(index)))
        setCurrentItem(item);
}

void CMacroView::DeleteSelected(bool confirm) {
    if (confirm && m_doc.Prefs().m_bConfirm &&
        brindle::MessageBox::Show(this, tr("Are you sure?"), QMessageBox::Yes | QMessageBox::No,
                                  brindle::MessageBox::Icon::Question) != QMessageBox::Yes)
        return;
    std::vector<std::uint32_t> pending = SelectedMacros();
    if (pending.empty())
        return;
    m_doc.ClearUndo(kUndoMacros);
    for (std::size_t k = 0; k < pending.size(); ++k) {
        const std::uint32_t gone = pending[k];
        m_doc.DeleteMacro(gone);
        for (std::size_t j = k + 1; j < pending.size(); ++j)
            if (pending[j] > gone)
                --pending[j];
    }
    Fill();
}

void CMacroView::CopySelected() {
    const std::vector<std::uint32_t> selected = SelectedMacros();
    QClipboard* clipboard = QApplication::clipboard();
    if (selected.empty() || !clipboard)
        return;
    std::string block;
    block.reserve(selected.size() * brindle::kMacroRecordSize);
    for (std::uint32_t index : selected)
        if (index < m_doc.Macros().size())
            brindle::AppendMacroRecord(block, m_doc.Macros()[index]);
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(kMacroMime),
                  QByteArray(block.data(), static_cast<qsizetype>(block.size())));
    clipboard->setMimeData(data);
}

void CMacroView::CutSelected() {
    CopySelected();
    DeleteSelected(true);
}

bool CMacroView::CanPaste() {
    const QClipboard* clipboard = QApplication::clipboard();
    const QMimeData* data = clipboard ? clipboard->mimeData() : nullptr;
    return data && data->hasFormat(QString::fromLatin1(kMacroMime));
}

void CMacroView::Paste() {
    if (!CanPaste())
        return;
    const QByteArray block =
        QApplication::clipboard()->mimeData()->data(QString::fromLatin1(kMacroMime));
    for (const CMacro& m : brindle::ReadMacroRecords(
             std::string_view(block.constData(), static_cast<std::size_t>(block.size())))) {
        if (m.m_nKind == kMacroUrl || m.m_nKind == kMacroKeywords)
            m_doc.AddMacro(m.m_nKind, m.m_strName,
                           m.m_nKind == kMacroUrl ? m.m_strURL : m.m_strKeywords, m.m_dwHotKey);
        else if (m.m_nKind == kMacroString)
            m_doc.AddStringMacro(m.m_strName, m.m_strSearch, m.m_dwFields, m.m_bMatchCase != 0,
                                 m.m_dwHotKey);
    }
    Fill();
}

bool CMacroView::CanUndo() const {
    return !m_doc.DeletedMacros().empty();
}

void CMacroView::Undo() {
    m_doc.UndoDeleteMacros();
    Fill();
}

void CMacroView::SelectAllRows() {
    if (topLevelItemCount() > 0)
        selectAll();
}
