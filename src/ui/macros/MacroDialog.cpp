// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/macros/MacroDialog.h"

#include "platform/VirtualKeys.h"
#include "store/Bookmark.h"
#include "ui/widgets/CheckListCtrl.h"
#include "ui/widgets/HotKeyCtrl.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

namespace {

constexpr int kMaxName = 255;

const char* const kFieldNames[kSearchFieldCount] = {
    QT_TRANSLATE_NOOP("CMacroDlg", "Name"),     QT_TRANSLATE_NOOP("CMacroDlg", "URL"),
    QT_TRANSLATE_NOOP("CMacroDlg", "Keywords"), QT_TRANSLATE_NOOP("CMacroDlg", "Description"),
    QT_TRANSLATE_NOOP("CMacroDlg", "Notes"),    QT_TRANSLATE_NOOP("CMacroDlg", "Schedule"),
    QT_TRANSLATE_NOOP("CMacroDlg", "Status")};

} // namespace

CMacroDlg::CMacroDlg(const CMacro& macro, QWidget* parent)
    : QDialog(parent), m_kind(macro.m_nKind) {
    setObjectName(QStringLiteral("macroDialog"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_name = new QLineEdit(QString::fromStdString(macro.m_strName), this);
    m_name->setObjectName(QStringLiteral("macroNameEdit"));
    m_name->setMaxLength(kMaxName);
    m_hotKey = new CHotKeyCtrl(this);
    m_hotKey->setObjectName(QStringLiteral("hotKeyEdit"));
    m_hotKey->SetMacroHotKey(macro.m_dwHotKey);
    m_text = new QLineEdit(this);
    m_text->setObjectName(QStringLiteral("macroTextEdit"));
    form->addRow(tr("Name:"), m_name);
    switch (m_kind) {
    case kMacroUrl:
        setWindowTitle(tr("Macro URL Shortcut"));
        form->addRow(tr("Hot key:"), m_hotKey);
        form->addRow(tr("URL:"), m_text);
        m_text->setText(QString::fromStdString(macro.m_strURL));
        break;
    case kMacroKeywords:
        setWindowTitle(tr("Macro Keywords"));
        form->addRow(tr("Hot key:"), m_hotKey);
        form->addRow(tr("Keywords:"), m_text);
        m_text->setText(QString::fromStdString(macro.m_strKeywords));
        break;
    default:
        m_kind = kMacroString;
        setWindowTitle(tr("Macro Full String Search"));
        form->addRow(tr("Hotkey:"), m_hotKey);
        form->addRow(tr("Search:"), m_text);
        m_text->setText(QString::fromStdString(macro.m_strSearch));
        m_fields = new CCheckListCtrl(tr("Fields"), 100, this);
        m_fields->setObjectName(QStringLiteral("macroFieldList"));
        for (int i = 0; i < kSearchFieldCount; ++i)
            m_fields->AddItem(tr(kFieldNames[i]), (macro.m_dwFields & (1u << i)) != 0);
        m_fields->setMinimumHeight(150);
        form->addRow(tr("Field:"), m_fields);
        m_matchCase = new QCheckBox(tr("Match case"), this);
        m_matchCase->setObjectName(QStringLiteral("macroMatchCaseBox"));
        m_matchCase->setChecked(macro.m_bMatchCase != 0);
        form->addRow(QString(), m_matchCase);
        break;
    }
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    setMinimumWidth(360);
}

CMacro CMacroDlg::Macro() const {
    const std::string name = m_name->text().toStdString();
    const std::string text = m_text->text().toStdString();
    std::uint32_t hotKey = m_hotKey->MacroHotKey();
    if (m_kind != kMacroString)
        return CMacro(m_kind, name, text, hotKey);
    if ((hotKey >> 16) == brindle::kHotKeyExtended)
        hotKey &= 0xFFFF;
    std::uint32_t fields = 0;
    for (int i = 0; i < kSearchFieldCount; ++i)
        if (m_fields->IsChecked(i))
            fields |= 1u << i;
    return CMacro::StringSearch(name, text, fields, m_matchCase->isChecked(), hotKey);
}
