// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/options/OptionDialogs.h"

#include "store/Bookmark.h"
#include "ui/widgets/CheckListCtrl.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

namespace {
QDialogButtonBox* OkCancel(QDialog* dialog) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}
} // namespace

CColumnsDlg::CColumnsDlg(std::uint16_t columns, QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Customize Columns"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("Select column to show"), this));
    m_list = new CCheckListCtrl(tr("columns"), 100, this);
    m_list->setObjectName(QStringLiteral("columnList"));
    static const char* const kItems[] = {
        QT_TR_NOOP("URL"),           QT_TR_NOOP("Keywords"),        QT_TR_NOOP("Description"),
        QT_TR_NOOP("Notes"),         QT_TR_NOOP("Status checking"), QT_TR_NOOP("Schedule"),
        QT_TR_NOOP("Status"),        QT_TR_NOOP("Add date"),        QT_TR_NOOP("Last Visited"),
        QT_TR_NOOP("Last Modified"), QT_TR_NOOP("Last Checked")};
    for (int k = 0; k < 11; ++k)
        m_list->AddItem(tr(kItems[k]), (columns & (1u << (k + 1))) != 0);
    layout->addWidget(m_list);
    layout->addWidget(
        new QLabel(tr("Check a column to display it,Column display from left to right"), this));
    layout->addWidget(OkCancel(this));
}

std::uint16_t CColumnsDlg::Columns() const {
    std::uint16_t mask = 1;
    for (int k = 0; k < 11; ++k)
        if (m_list->IsChecked(k))
            mask |= static_cast<std::uint16_t>(1u << (k + 1));
    return mask;
}

CSearchOptionDlg::CSearchOptionDlg(bool partialMatch, std::uint8_t fields, bool matchCase,
                                   QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(tr("Search Option"));
    auto* layout = new QVBoxLayout(this);
    auto* keywordBox = new QGroupBox(tr("Keywords Search"), this);
    auto* keywordLayout = new QVBoxLayout(keywordBox);
    m_partial = new QCheckBox(tr("Partial word match"), keywordBox);
    m_partial->setChecked(partialMatch);
    keywordLayout->addWidget(m_partial);
    layout->addWidget(keywordBox);

    auto* stringBox = new QGroupBox(tr("Exact String Search"), this);
    auto* stringLayout = new QVBoxLayout(stringBox);
    stringLayout->addWidget(new QLabel(tr("Search Fields:"), stringBox));
    m_list = new CCheckListCtrl(tr("Fields"), 100, stringBox);
    m_list->setObjectName(QStringLiteral("fieldList"));
    static const char* const kFields[kSearchFieldCount] = {
        QT_TR_NOOP("Name"),        QT_TR_NOOP("URL"),   QT_TR_NOOP("Keywords"),
        QT_TR_NOOP("Description"), QT_TR_NOOP("Notes"), QT_TR_NOOP("Schedule"),
        QT_TR_NOOP("Status")};
    for (int i = 0; i < kSearchFieldCount; ++i)
        m_list->AddItem(tr(kFields[i]), (fields & (1u << i)) != 0);
    stringLayout->addWidget(m_list);
    m_matchCase = new QCheckBox(tr("&Match Case"), stringBox);
    m_matchCase->setChecked(matchCase);
    stringLayout->addWidget(m_matchCase);
    layout->addWidget(stringBox);
    layout->addWidget(OkCancel(this));
}

bool CSearchOptionDlg::PartialMatch() const {
    return m_partial->isChecked();
}

std::uint8_t CSearchOptionDlg::Fields() const {
    std::uint8_t mask = 0;
    for (int i = 0; i < kSearchFieldCount; ++i)
        if (m_list->IsChecked(i))
            mask |= static_cast<std::uint8_t>(1u << i);
    return mask;
}

bool CSearchOptionDlg::MatchCase() const {
    return m_matchCase->isChecked();
}
