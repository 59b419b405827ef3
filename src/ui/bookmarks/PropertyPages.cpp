// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/bookmarks/PropertyPages.h"

#include "store/Bookmark.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace brindle {

namespace {

constexpr int kMaxText = 255; // characters of the name, description and notes boxes

QLineEdit* Edit(QWidget* parent, const char* objectName, int maxLength = 32767) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(objectName));
    edit->setMaxLength(maxLength);
    return edit;
}

// A page with one labelled box above the rest of its space.
QLineEdit* SingleBoxPage(QWidget* page, const QString& label, const char* objectName) {
    auto* layout = new QVBoxLayout(page);
    auto* edit = Edit(page, objectName, kMaxText);
    auto* caption = new QLabel(label, page);
    caption->setBuddy(edit);
    layout->addWidget(caption);
    layout->addWidget(edit);
    layout->addStretch(1);
    return edit;
}

QString NoSchedule() {
    return QString::fromLatin1(kNoSchedule);
}

// Status texts are stored in the bookmark, so they are not translated.
QString CheckingOff() {
    return QString::fromLatin1(kStatusCheckingOff);
}

} // namespace

// --- General ------------------------------------------------------------------------------------

CGenPage::CGenPage(QWidget* parent) : QWidget(parent) {
    auto* form = new QFormLayout(this);
    m_name = Edit(this, "nameEdit", kMaxText);
    m_url = Edit(this, "urlEdit");
    m_keywords = Edit(this, "keywordsEdit");
    form->addRow(tr("&Name:"), m_name);
    form->addRow(tr("&URL:"), m_url);
    form->addRow(tr("&Keywords:"), m_keywords);
    connect(m_url, &QLineEdit::textChanged, this,
            [this](const QString& text) { emit urlPresenceChanged(!text.isEmpty()); });
}

void CGenPage::Load(const SheetFields& f) {
    m_name->setText(f.name);
    m_url->setText(f.url);
    m_keywords->setText(f.keywords);
}

void CGenPage::Save(SheetFields& f) const {
    f.name = m_name->text();
    f.url = m_url->text();
    f.keywords = m_keywords->text();
}

// --- Description and Notes
// ------------------------------------------------------------------------

CDescPage::CDescPage(QWidget* parent) : QWidget(parent) {
    m_description = SingleBoxPage(this, tr("&Description:"), "descriptionEdit");
}

void CDescPage::Load(const SheetFields& f) {
    m_description->setText(f.description);
}

void CDescPage::Save(SheetFields& f) const {
    f.description = m_description->text();
}

CNotePage::CNotePage(QWidget* parent) : QWidget(parent) {
    m_notes = SingleBoxPage(this, tr("&Notes:"), "notesEdit");
}

void CNotePage::Load(const SheetFields& f) {
    m_notes->setText(f.notes);
}

void CNotePage::Save(SheetFields& f) const {
    f.notes = m_notes->text();
}

// --- Add Date
// -------------------------------------------------------------------------------------

CAddDate::CAddDate(QWidget* parent) : QWidget(parent) {
    auto* grid = new QGridLayout(this);
    const QString labels[] = {tr("Add Date:"), tr("Last Visited:"), tr("Last Modified:"),
                              tr("Last Checked:")};
    static const char* const kNames[] = {"addDateText", "lastVisitedText", "lastModifiedText",
                                         "lastCheckedText"};
    for (int i = 0; i < 4; ++i) {
        grid->addWidget(new QLabel(labels[i], this), i, 0);
        m_values[i] = new QLabel(QStringLiteral("?"), this);
        m_values[i]->setObjectName(QLatin1String(kNames[i]));
        m_values[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
        grid->addWidget(m_values[i], i, 1);
    }
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(4, 1);
}

void CAddDate::Load(const SheetFields& f) {
    for (int i = 0; i < 4; ++i)
        m_values[i]->setText(f.dates[i]);
}

// --- Status
// ----------------------------------------------------------------------------------------

CStatusPage::CStatusPage(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    m_checking = new QCheckBox(tr("Enable Status Checking and Fetch"), this);
    m_checking->setObjectName(QStringLiteral("statusCheckingBox"));
    layout->addWidget(m_checking);
    layout->addWidget(new QLabel(tr("Automate Status Check"), this));
    auto* row = new QHBoxLayout;
    m_schedules = new QComboBox(this);
    m_schedules->setObjectName(QStringLiteral("scheduleList"));
    m_schedules->setMinimumWidth(160);
    m_edit = new QPushButton(tr("Edit"), this);
    m_edit->setObjectName(QStringLiteral("scheduleEditButton"));
    row->addWidget(m_schedules, 1);
    row->addWidget(m_edit);
    layout->addLayout(row);
    auto* statusRow = new QHBoxLayout;
    m_status = new QLineEdit(this);
    m_status->setObjectName(QStringLiteral("statusEdit"));
    m_status->setReadOnly(true);
    statusRow->addWidget(new QLabel(tr("Status:"), this));
    statusRow->addWidget(m_status, 1);
    layout->addLayout(statusRow);
    layout->addStretch(1);
    SetSchedules({});

    connect(m_checking, &QCheckBox::toggled, this, [this](bool on) {
        m_status->setText(on ? QString::fromLatin1(kStatusWaiting) : CheckingOff());
        UpdateEnabling();
    });
    connect(m_edit, &QPushButton::clicked, this, [this] {
        if (!m_editor)
            return;
        const QString chosen = m_schedules->currentText();
        m_editor();
        if (m_names)
            SetSchedules(m_names());
        SelectSchedule(chosen);
    });
}

void CStatusPage::SetSchedules(const QStringList& names) {
    m_schedules->clear();
    m_schedules->addItem(NoSchedule());
    m_schedules->addItems(names);
}

void CStatusPage::SelectSchedule(const QString& name) {
    const int at = m_schedules->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
    m_schedules->setCurrentIndex(at > 0 ? at : 0);
}

void CStatusPage::SetScheduleEditor(std::function<void()> editor,
                                    std::function<QStringList()> names) {
    m_editor = std::move(editor);
    m_names = std::move(names);
    UpdateEnabling();
}

void CStatusPage::UpdateEnabling() {
    const bool on = m_checking->isChecked();
    m_schedules->setEnabled(on);
    m_edit->setEnabled(on && m_editor != nullptr);
}

void CStatusPage::Load(const SheetFields& f) {
    const QSignalBlocker block(m_checking);
    m_checking->setChecked(f.statusChecking);
    SelectSchedule(f.schedule);
    m_status->setText(f.statusChecking ? f.status : CheckingOff());
    UpdateEnabling();
}

void CStatusPage::Save(SheetFields& f) const {
    f.statusChecking = m_checking->isChecked();
    f.schedule = m_schedules->currentText();
    f.status = m_status->text();
}

} // namespace brindle
