// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/linkcheck/ScheduleDialogs.h"

#include "store/BrindleDoc.h"
#include "store/ScheduleRules.h"
#include "ui/widgets/DialogRunner.h"
#include "ui/widgets/MessageBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>

using brindle::MessageBox;

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

constexpr brindle::ScheduleUnit kUnits[] = {
    brindle::ScheduleUnit::Hours, brindle::ScheduleUnit::Days, brindle::ScheduleUnit::Weeks,
    brindle::ScheduleUnit::Months, brindle::ScheduleUnit::Years};

std::string TrimLeft(std::string text) {
    const auto first = text.find_first_not_of(" \t");
    return first == std::string::npos ? std::string() : text.substr(first);
}

} // namespace

// --- Add New Schedule ---------------------------------------------------------------------

CScheduleEditDlg::CScheduleEditDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Add New Schedule"));
    nameEdit = new QLineEdit(this);
    unitList = new QComboBox(this);
    for (brindle::ScheduleUnit unit : kUnits)
        unitList->addItem(tr(brindle::ScheduleUnitName(unit)));
    unitList->setCurrentIndex(-1);
    number = new QSpinBox(this);
    number->setRange(brindle::kMinScheduleNumber, brindle::kMaxScheduleNumber);
    number->setValue(1);
    rangeLabel = new QLabel(this);
    connect(unitList, &QComboBox::currentIndexChanged, this, &CScheduleEditDlg::UpdateRange);
    defaultBox = new QCheckBox(tr("Set this default schedule for the new bookmark"), this);

    auto* form = new QFormLayout;
    form->addRow(tr("Name:"), nameEdit);
    auto* interval = new QHBoxLayout;
    interval->addWidget(unitList, 1);
    interval->addWidget(number, 1);
    form->addRow(tr("Interval:"), interval);
    form->addRow(QString(), rangeLabel);
    auto* hint = new QLabel(tr("Select time's units and specify it's number"), this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CScheduleEditDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CScheduleEditDlg::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(hint);
    layout->addWidget(defaultBox);
    layout->addWidget(buttons);
}

void CScheduleEditDlg::UpdateRange() {
    const int unit = unitList->currentIndex();
    if (unit < 0) {
        number->setMaximum(brindle::kMaxScheduleNumber);
        rangeLabel->clear();
        number->setToolTip(QString());
        return;
    }
    const int most = brindle::MaxScheduleNumber(kUnits[unit]);
    number->setMaximum(most);
    const QString range =
        tr("%1 to %2 %3").arg(brindle::kMinScheduleNumber).arg(most).arg(unitList->currentText());
    rangeLabel->setText(range);
    number->setToolTip(tr("Up to %1 %2: the longest interval a schedule can store")
                           .arg(most)
                           .arg(unitList->currentText()));
}

void CScheduleEditDlg::SetValues(const std::string& name, BrxTime interval, bool isDefault) {
    nameEdit->setText(Q(name));
    if (const auto decoded = brindle::DecodeScheduleInterval(interval)) {
        unitList->setCurrentIndex(static_cast<int>(decoded->unit));
        // "0 Days" (an interval of the base itself) shows as the smallest number allowed.
        number->setValue(std::max(decoded->number, brindle::kMinScheduleNumber));
    } else {
        unitList->setCurrentIndex(-1);
        number->setValue(1);
    }
    defaultBox->setChecked(isDefault);
}

std::string CScheduleEditDlg::Name() const {
    std::string name = nameEdit->text().toStdString();
    const auto last = name.find_last_not_of(" \t");
    name.erase(last == std::string::npos ? 0 : last + 1);
    return name;
}

BrxTime CScheduleEditDlg::Interval() const {
    const int unit = unitList->currentIndex();
    if (unit < 0)
        return brindle::kNoInterval;
    return brindle::EncodeScheduleInterval(kUnits[unit], number->value());
}

bool CScheduleEditDlg::IsDefault() const {
    return defaultBox->isChecked();
}

void CScheduleEditDlg::accept() {
    if (Name().empty() || unitList->currentIndex() < 0) {
        MessageBox::Show(this, tr("Please enter schedule's name"), QMessageBox::Ok,
                         MessageBox::Icon::Stop);
        return;
    }
    QDialog::accept();
}

// --- Schedule Properties ------------------------------------------------------------------

CScheduleDlg::CScheduleDlg(CBrindleDoc& doc, QWidget* parent) : QDialog(parent), m_doc(doc) {
    setWindowTitle(tr("Schedule Properties"));
    list = new QTreeWidget(this);
    list->setRootIsDecorated(false);
    list->setColumnCount(2);
    list->setHeaderLabels({tr("Schedule"), tr("Detail")});
    list->setColumnWidth(0, 120);
    list->setColumnWidth(1, 180);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    auto* newButton = new QPushButton(tr("New..."), this);
    auto* editButton = new QPushButton(tr("Edit..."), this);
    auto* deleteButton = new QPushButton(tr("Delete..."), this);
    auto* closeButton = new QPushButton(tr("Close"), this);
    connect(newButton, &QPushButton::clicked, this, &CScheduleDlg::New);
    connect(editButton, &QPushButton::clicked, this, &CScheduleDlg::Edit);
    connect(deleteButton, &QPushButton::clicked, this, &CScheduleDlg::Delete);
    connect(closeButton, &QPushButton::clicked, this, &CScheduleDlg::accept);
    connect(list, &QTreeWidget::itemDoubleClicked, this, &CScheduleDlg::Edit);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(newButton);
    buttons->addWidget(editButton);
    buttons->addWidget(deleteButton);
    buttons->addStretch();
    buttons->addWidget(closeButton);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(list, 1);
    layout->addLayout(buttons);
    resize(460, 240);
    Fill();
}

void CScheduleDlg::Fill() {
    list->clear();
    for (const CSchedule& s : m_doc.Schedules()) {
        auto* item = new QTreeWidgetItem(list);
        item->setText(0, Q(s.m_strName));
        item->setText(1, Q(brindle::ScheduleListDetail(s)));
    }
}

int CScheduleDlg::SelectedSchedule() const {
    const QList<QTreeWidgetItem*> selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->indexOfTopLevelItem(selected.first());
}

void CScheduleDlg::SelectSchedule(int index) {
    list->clearSelection();
    if (QTreeWidgetItem* item = list->topLevelItem(index)) {
        item->setSelected(true);
        list->setCurrentItem(item);
    }
}

void CScheduleDlg::New() {
    CScheduleEditDlg dialog(this);
    if (brindle::DialogRunner::Run(dialog) != QDialog::Accepted)
        return;
    const std::size_t index =
        brindle::NewSchedule(m_doc, {dialog.Name(), dialog.Interval(), dialog.IsDefault()});
    m_lastChanged = m_doc.Schedules()[index].m_strName;
    Fill();
    SelectSchedule(static_cast<int>(index));
}

void CScheduleDlg::Edit() {
    const int selected = SelectedSchedule();
    if (selected < 0) {
        MessageBox::Information(this, tr("You must select a schedule"));
        return;
    }
    const CSchedule& s = m_doc.Schedules()[static_cast<std::size_t>(selected)];
    CScheduleEditDlg dialog(this);
    dialog.SetValues(s.m_strName, s.m_tInterval, s.m_bDefault != 0);
    if (brindle::DialogRunner::Run(dialog) != QDialog::Accepted)
        return;
    const std::size_t index =
        brindle::EditSchedule(m_doc, static_cast<std::size_t>(selected),
                              {TrimLeft(dialog.Name()), dialog.Interval(), dialog.IsDefault()});
    m_lastChanged = m_doc.Schedules()[index].m_strName;
    Fill();
    SelectSchedule(static_cast<int>(index));
}

void CScheduleDlg::Delete() {
    const int selected = SelectedSchedule();
    if (selected < 0) {
        MessageBox::Information(this, tr("You must select a schedule"));
        return;
    }
    if (MessageBox::Show(this, tr("Are you sure?"), QMessageBox::Yes | QMessageBox::No,
                         MessageBox::Icon::Question) != QMessageBox::Yes)
        return;
    brindle::DeleteSchedule(m_doc, static_cast<std::size_t>(selected));
    Fill();
}

// --- Set Status checking ------------------------------------------------------------------

CSetStatusDlg::CSetStatusDlg(CBrindleDoc& doc, std::vector<std::uint32_t> bookmarks,
                             QWidget* parent)
    : QDialog(parent), m_doc(doc), m_bookmarks(std::move(bookmarks)) {
    setWindowTitle(tr("Set Status checking"));
    enable = new QCheckBox(tr("Enable Status Checking and Fetch"), this);
    enable->setChecked(true);
    schedules = new QComboBox(this);
    editButton = new QPushButton(tr("Edit"), this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CSetStatusDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CSetStatusDlg::reject);
    connect(editButton, &QPushButton::clicked, this, &CSetStatusDlg::EditSchedules);
    connect(enable, &QCheckBox::toggled, this, [this](bool on) {
        schedules->setEnabled(on);
        editButton->setEnabled(on);
    });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(enable);
    layout->addWidget(new QLabel(tr("Automate Status Check"), this));
    auto* row = new QHBoxLayout;
    row->addWidget(schedules, 1);
    row->addWidget(editButton);
    layout->addLayout(row);
    layout->addWidget(buttons);

    Fill(m_doc.DefaultScheduleOrNone());
}

void CSetStatusDlg::Fill(const std::string& selection) {
    schedules->clear();
    for (const std::string& name : brindle::ScheduleChoices(m_doc))
        schedules->addItem(Q(name));
    const int index = schedules->findText(Q(selection), Qt::MatchExactly | Qt::MatchCaseSensitive);
    schedules->setCurrentIndex(index >= 0 ? index : 0);
}

void CSetStatusDlg::EditSchedules() {
    const std::string current = schedules->currentText().toStdString();
    brindle::RunScheduleProperties(this, m_doc);
    Fill(current);
}

void CSetStatusDlg::accept() {
    brindle::SetStatusChecking(m_doc, m_bookmarks, schedules->currentText().toStdString(),
                               enable->isChecked());
    QDialog::accept();
}

// --- Entries ------------------------------------------------------------------------------

namespace brindle {

void RunScheduleProperties(QWidget* parent, CBrindleDoc& doc) {
    CScheduleDlg dialog(doc, parent);
    DialogRunner::Run(dialog);
}

std::optional<std::string> AddNewSchedule(QWidget* parent, CBrindleDoc& doc) {
    CScheduleDlg list(doc, parent);
    list.New();
    return list.LastChanged();
}

std::optional<std::string> EditScheduleNamed(QWidget* parent, CBrindleDoc& doc,
                                             const std::string& name) {
    for (std::size_t i = 0; i < doc.Schedules().size(); ++i) {
        if (doc.Schedules()[i].m_strName != name)
            continue;
        CScheduleDlg list(doc, parent);
        list.SelectSchedule(static_cast<int>(i));
        list.Edit();
        return list.LastChanged();
    }
    return std::nullopt;
}

bool RunSetStatusChecking(QWidget* parent, CBrindleDoc& doc,
                          const std::vector<std::uint32_t>& bookmarks) {
    CSetStatusDlg dialog(doc, bookmarks, parent);
    if (DialogRunner::Run(dialog) != QDialog::Accepted)
        return false;
    doc.RefreshViews();
    return true;
}

} // namespace brindle
