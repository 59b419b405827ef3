// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/bookmarks/AddMarkPropertySheet.h"

#include "store/BrindleDoc.h"
#include "store/TextUtil.h"
#include "ui/widgets/MessageBox.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

using brindle::SheetFields;

namespace {

QString FromUtf8(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

std::string ToUtf8(const QString& s) {
    return s.toStdString();
}

QStringList ScheduleNames(const CBrindleDoc& doc) {
    QStringList names;
    for (const CSchedule& s : doc.Schedules())
        names << QString::fromStdString(s.m_strName);
    return names;
}

} // namespace

CAddMarkPropertySheet::CAddMarkPropertySheet(CBrindleDoc& doc, QWidget* parent)
    : QDialog(parent), m_doc(doc) {}

CAddMarkPropertySheet::CAddMarkPropertySheet(CBrindleDoc& doc, const CBookmark& initial,
                                             QWidget* parent)
    : CAddMarkPropertySheet(doc, parent) {
    setWindowTitle(tr("Add Bookmark"));
    m_fields.name = QString::fromStdString(initial.m_strName);
    m_fields.url = QString::fromStdString(initial.m_strURL);
    m_fields.keywords = QString::fromStdString(initial.m_strKeywords);
    m_fields.description = QString::fromStdString(initial.m_strDescription);
    m_fields.notes = QString::fromStdString(initial.m_strNotes);
    m_fields.statusChecking = true;
    m_fields.status = initial.m_strStatus.empty() ? QString::fromLatin1(kStatusWaiting)
                                                  : QString::fromStdString(initial.m_strStatus);
    const std::string& schedule = initial.m_strSchedule;
    m_fields.schedule = QString::fromStdString(!schedule.empty() && m_doc.ScheduleExists(schedule)
                                                   ? schedule
                                                   : m_doc.DefaultScheduleOrNone());
    m_fields.dates[0] = FormatDate(CBrindleDoc::Now());
    Build();
}

CAddMarkPropertySheet::CAddMarkPropertySheet(CBrindleDoc& doc, std::uint32_t index, QWidget* parent)
    : CAddMarkPropertySheet(doc, parent) {
    setWindowTitle(tr("Bookmark Properties"));
    m_navigation = true;
    m_doc.PrepareProperties(index);
    m_working.emplace(m_doc);
    m_index = index < m_working->Size() ? index : 0;
    Build();
    if (m_working->Size() > 0)
        LoadEntry(m_index);
}

CAddMarkPropertySheet::~CAddMarkPropertySheet() = default;

void CAddMarkPropertySheet::Build() {
    setObjectName(QStringLiteral("propertySheet"));
    setWindowIcon(QIcon(m_navigation ? QStringLiteral(":/icons/settings-2.svg")
                                     : QStringLiteral(":/icons/bookmark-plus.svg")));
    auto* layout = new QVBoxLayout(this);
    m_tabs = new QTabWidget(this);
    m_general = new brindle::CGenPage(m_tabs);
    m_description = new brindle::CDescPage(m_tabs);
    m_notes = new brindle::CNotePage(m_tabs);
    m_dates = new brindle::CAddDate(m_tabs);
    m_status = new brindle::CStatusPage(m_tabs);
    m_tabs->addTab(m_general, tr("General"));
    m_tabs->addTab(m_description, tr("Description"));
    m_tabs->addTab(m_notes, tr("Notes"));
    m_tabs->addTab(m_dates, tr("Add Date"));
    m_tabs->addTab(m_status, tr("Status"));
    layout->addWidget(m_tabs);
    m_status->SetSchedules(ScheduleNames(m_doc));

    auto* row = new QHBoxLayout;
    if (m_navigation) {
        m_previous =
            new QPushButton(QIcon(QStringLiteral(":/icons/chevron-left.svg")), QString(), this);
        m_previous->setObjectName(QStringLiteral("previousButton"));
        m_previous->setToolTip(tr("Previous bookmark"));
        m_next =
            new QPushButton(QIcon(QStringLiteral(":/icons/chevron-right.svg")), QString(), this);
        m_next->setObjectName(QStringLiteral("nextButton"));
        m_next->setToolTip(tr("Next bookmark"));
        for (QPushButton* b : {m_previous, m_next}) {
            b->setAutoDefault(false);
            b->setFixedWidth(28);
            row->addWidget(b);
        }
        connect(m_previous, &QPushButton::clicked, this, &CAddMarkPropertySheet::Previous);
        connect(m_next, &QPushButton::clicked, this, &CAddMarkPropertySheet::Next);
    }
    m_fetch = new QPushButton(tr("Fetch"), this);
    m_fetch->setObjectName(QStringLiteral("fetchButton"));
    m_fetch->setAutoDefault(false);
    m_fetch->setFont(QFont(QStringLiteral("Arial"), 9));
    connect(m_fetch, &QPushButton::clicked, this, &CAddMarkPropertySheet::Fetch);
    row->addWidget(m_fetch);
    row->addStretch(1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(tr("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(tr("Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CAddMarkPropertySheet::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    row->addWidget(buttons);
    layout->addLayout(row);

    connect(m_general, &brindle::CGenPage::urlPresenceChanged, this,
            &CAddMarkPropertySheet::UpdateFetchButton);
    Scatter();
    m_general->NameEdit()->setFocus();
    setMinimumWidth(480); // every tab visible at once
}

QString CAddMarkPropertySheet::FormatDate(BrxTime t) const {
    // A date of 0 was never reached: the page shows "?" for it.
    if (t == 0)
        return QStringLiteral("?");
    return QString::fromStdString(
        brindle::FormatTime(t, brindle::ExpandTimeFormat(m_doc.Prefs().m_strTimeFormat)));
}

void CAddMarkPropertySheet::Gather() {
    m_general->Save(m_fields);
    m_description->Save(m_fields);
    m_notes->Save(m_fields);
    m_status->Save(m_fields);
}

void CAddMarkPropertySheet::Scatter() {
    m_general->Load(m_fields);
    m_description->Load(m_fields);
    m_notes->Load(m_fields);
    m_dates->Load(m_fields);
    m_status->Load(m_fields);
    UpdateFetchButton();
}

SheetFields CAddMarkPropertySheet::Fields() const {
    SheetFields f = m_fields;
    m_general->Save(f);
    m_description->Save(f);
    m_notes->Save(f);
    m_status->Save(f);
    return f;
}

void CAddMarkPropertySheet::LoadEntry(std::uint32_t index) {
    const BookmarkRef b = m_working->Entry(index);
    m_fields.name = FromUtf8(b.m_strName);
    m_fields.url = FromUtf8(b.m_strURL);
    m_fields.keywords = FromUtf8(b.m_strKeywords);
    m_fields.description = FromUtf8(b.m_strDescription);
    m_fields.notes = FromUtf8(b.m_strNotes);
    m_fields.statusChecking = b.m_wStatusChecking != 0;
    m_fields.schedule = FromUtf8(b.m_strSchedule);
    m_fields.status = FromUtf8(b.m_strStatus);
    m_fields.dates = {FormatDate(b.m_tAddDate), FormatDate(b.m_tLastVisited),
                      FormatDate(b.m_tLastModified), FormatDate(b.m_tLastChecked)};
    Scatter();
}

void CAddMarkPropertySheet::SetFetchHandler(FetchHandler handler) {
    m_fetchHandler = std::move(handler);
    UpdateFetchButton();
}

void CAddMarkPropertySheet::SetScheduleEditHandler(ScheduleEditHandler handler) {
    m_scheduleHandler = std::move(handler);
    if (!m_scheduleHandler) {
        m_status->SetScheduleEditor({}, {});
        return;
    }
    m_status->SetScheduleEditor([this] { m_scheduleHandler(this); },
                                [this] { return ScheduleNames(m_doc); });
}

void CAddMarkPropertySheet::UpdateFetchButton() {
    m_fetch->setEnabled(m_fetchHandler != nullptr && !m_general->UrlEdit()->text().isEmpty());
}

void CAddMarkPropertySheet::Fetch() {
    Gather();
    if (!m_fetchHandler)
        return;
    const std::optional<FetchResult> found = m_fetchHandler(m_fields.url, this);
    if (!found)
        return;
    if (!found->name.isEmpty())
        m_fields.name = found->name;
    if (!found->description.isEmpty())
        m_fields.description = found->description;
    if (!found->keywords.isEmpty())
        m_fields.keywords += QLatin1Char(' ') + found->keywords;
    if (!found->url.isEmpty())
        m_fields.url = found->url;
    Scatter();
}

bool CAddMarkPropertySheet::RefuseEmptyName(const QString& message) {
    if (!m_fields.name.trimmed().isEmpty())
        return false;
    brindle::MessageBox::Show(this, message, QMessageBox::Ok, brindle::MessageBox::Icon::Stop);
    m_tabs->setCurrentWidget(m_general);
    m_general->NameEdit()->setFocus();
    return true;
}

bool CAddMarkPropertySheet::StoreCurrent(bool quiet) {
    if (!m_working || m_index >= m_working->Size())
        return false;
    const auto result = m_working->Store(
        m_index, {.name = ToUtf8(m_fields.name),
                  .url = ToUtf8(m_fields.url),
                  .keywords = ToUtf8(m_fields.keywords),
                  .description = ToUtf8(m_fields.description),
                  .notes = ToUtf8(m_fields.notes),
                  .statusChecking = static_cast<std::uint16_t>(m_fields.statusChecking ? 1 : 0),
                  .schedule = ToUtf8(m_fields.schedule),
                  .status = ToUtf8(m_fields.status)});
    using R = brindle::PropertyWorkingCopy::StoreResult;
    if (result == R::EmptyName && !quiet)
        RefuseEmptyName(tr("You must enter the bookmark's name"));
    if (result == R::Stored) {
        // Another bookmark had the name: the stored one ends in "0"s, and the user is told.
        const std::string_view stored = m_working->Entry(m_index).m_strName;
        const QString storedName =
            QString::fromUtf8(stored.data(), static_cast<qsizetype>(stored.size()));
        if (storedName != m_fields.name.trimmed()) {
            brindle::MessageBox::Information(
                this, tr("Another bookmark is already named \"%1\"; this one is stored as \"%2\".")
                          .arg(m_fields.name.trimmed(), storedName));
            m_fields.name = storedName;
            m_general->NameEdit()->setText(storedName);
        }
    }
    return result == R::Stored;
}

void CAddMarkPropertySheet::Previous() {
    Gather();
    if (!StoreCurrent(false) || m_index == 0)
        return;
    --m_index;
    LoadEntry(m_index);
    m_previous->setEnabled(m_index > 0);
    m_next->setEnabled(m_index + 1 < m_working->Size());
}

void CAddMarkPropertySheet::Next() {
    Gather();
    if (!StoreCurrent(false) || m_index + 1 >= m_working->Size())
        return;
    ++m_index;
    LoadEntry(m_index);
    m_next->setEnabled(m_index + 1 < m_working->Size());
    m_previous->setEnabled(m_index > 0);
}

void CAddMarkPropertySheet::accept() {
    Gather();
    // A name of blanks only would be dropped without a word: refused like an empty one.
    if (RefuseEmptyName(tr("You must enter a name for the bookmark")))
        return;
    if (m_navigation)
        StoreCurrent(true); // an entry that cannot be stored does not keep the sheet open
    QDialog::accept();
}

bool CAddMarkPropertySheet::Commit() {
    if (result() != QDialog::Accepted)
        return false;
    if (m_navigation) {
        if (!m_working)
            return false;
        const bool any = m_working->EditedCount() > 0;
        m_working->ApplyTo(m_doc);
        m_working.reset();
        return any;
    }
    const CBookmark b(brindle::Trim(ToUtf8(m_fields.name)), ToUtf8(m_fields.url),
                      brindle::SheetKeywordText(ToUtf8(m_fields.keywords)),
                      ToUtf8(m_fields.description), ToUtf8(m_fields.notes),
                      m_fields.statusChecking ? 1 : 0, ToUtf8(m_fields.schedule), kStatusWaiting,
                      CBrindleDoc::Now(), 0, 0, 0);
    return m_doc.AddBookmarkToResult(b);
}
