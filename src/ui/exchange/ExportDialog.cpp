// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/exchange/ExportDialog.h"

#include "exchange/ExchangeFiles.h"
#include "exchange/ExchangeFormats.h"
#include "exchange/ProfileExport.h"
#include "platform/PathDetection.h"
#include "ui/exchange/ExchangeMessages.h"
#include "ui/exchange/SelectUserDialog.h"
#include "ui/widgets/CheckListCtrl.h"
#include "ui/widgets/DialogRunner.h"
#include "ui/widgets/FileDialogs.h"
#include "ui/widgets/MessageBox.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

using brindle::ExchangeFormat;

// The list entry `format` stands for; null for none.
const ExchangeFormat* Row(int format) {
    static const std::vector<const ExchangeFormat*> rows = brindle::ExportFormats();
    return format >= 0 && format < static_cast<int>(rows.size()) ? rows[format] : nullptr;
}

int RowCount() {
    return static_cast<int>(brindle::ExportFormats().size());
}

// A combo of the twelve sort-field names, "Name" chosen.
QComboBox* SortCombo(QWidget* parent, const QString& name) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(name);
    for (std::string_view field : brindle::kSortFieldNames)
        combo->addItem(QCoreApplication::translate("Fields", std::string(field).c_str()));
    return combo;
}

// "Sort Order" with A-Z ticked; returns the A-Z button.
QRadioButton* SortOrder(QWidget* parent, QLayout* into, const QString& name) {
    auto* group = new QGroupBox(CExportDlg::tr("Sort Order"), parent);
    auto* layout = new QVBoxLayout(group);
    auto* ascending = new QRadioButton(CExportDlg::tr("A-Z"), group);
    ascending->setObjectName(name);
    ascending->setChecked(true);
    layout->addWidget(ascending);
    layout->addWidget(new QRadioButton(CExportDlg::tr("Z-A"), group));
    into->addWidget(group);
    return ascending;
}

} // namespace

CExportDlg::CExportDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("exportDialog"));
    setWindowTitle(tr("Export Bookmark Files"));
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    auto* grid = new QGridLayout;

    grid->addWidget(new QLabel(tr("Format:"), this), 0, 0);
    m_format = new QComboBox(this);
    m_format->setObjectName(QStringLiteral("format"));
    for (int f = 0; f < RowCount(); ++f)
        m_format->addItem(FormatName(f));
    grid->addWidget(m_format, 0, 1, 1, 2);

    auto* descriptionGroup = new QGroupBox(tr("Description"), this);
    auto* descriptionLayout = new QVBoxLayout(descriptionGroup);
    m_description = new QLabel(FormatDescription(0), descriptionGroup);
    m_description->setObjectName(QStringLiteral("description"));
    m_description->setWordWrap(true);
    m_description->setMinimumWidth(260);
    descriptionLayout->addWidget(m_description);
    grid->addWidget(descriptionGroup, 1, 0, 1, 3);

    grid->addWidget(new QLabel(tr("Title of exported file:"), this), 2, 0);
    m_title = new QLineEdit(this);
    m_title->setObjectName(QStringLiteral("title"));
    grid->addWidget(m_title, 2, 1, 1, 2);

    m_fileLabel = new QLabel(tr("File name:"), this);
    grid->addWidget(m_fileLabel, 3, 0);
    m_fileName = new QLineEdit(this);
    m_fileName->setObjectName(QStringLiteral("fileName"));
    grid->addWidget(m_fileName, 3, 1);
    m_browse = new QToolButton(this);
    m_browse->setObjectName(QStringLiteral("browse"));
    m_browse->setIcon(QIcon(QStringLiteral(":/icons/file-output.svg")));
    m_browse->setToolTip(tr("Browse"));
    grid->addWidget(m_browse, 3, 2);
    top->addLayout(grid, 1);

    auto* right = new QVBoxLayout;
    auto* scope = new QGroupBox(tr("Export:"), this);
    auto* scopeLayout = new QVBoxLayout(scope);
    m_all = new QRadioButton(tr("All"), scope);
    m_all->setObjectName(QStringLiteral("scopeAll"));
    m_all->setChecked(true);
    m_selected = new QRadioButton(tr("Selected"), scope);
    m_selected->setObjectName(QStringLiteral("scopeSelected"));
    scopeLayout->addWidget(m_all);
    scopeLayout->addWidget(m_selected);
    right->addWidget(scope);
    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Vertical, this);
    m_optionButton = buttons->addButton(tr("Option..."), QDialogButtonBox::ActionRole);
    m_optionButton->setObjectName(QStringLiteral("optionButton"));
    right->addWidget(buttons);
    right->addStretch(1);
    top->addLayout(right);
    layout->addLayout(top);

    // The Netscape pane: order and the users' profiles.
    m_netscapePane = new QWidget(this);
    m_netscapePane->setObjectName(QStringLiteral("netscapePane"));
    auto* np = new QGridLayout(m_netscapePane);
    np->addWidget(new QLabel(tr("Sorted by:"), m_netscapePane), 0, 0);
    m_netscapeSort = SortCombo(m_netscapePane, QStringLiteral("netscapeSort"));
    np->addWidget(m_netscapeSort, 0, 1);
    auto* npOrder = new QVBoxLayout;
    m_netscapeAscending = SortOrder(m_netscapePane, npOrder, QStringLiteral("netscapeAscending"));
    np->addLayout(npOrder, 0, 2, 2, 1);
    m_netscapeUser =
        new QCheckBox(tr("Export to the bookmark file of Firefox profiles"), m_netscapePane);
    m_netscapeUser->setObjectName(QStringLiteral("netscapeUser"));
    np->addWidget(m_netscapeUser, 1, 0, 1, 2);
    m_netscapePane->hide();
    layout->addWidget(m_netscapePane);

    // The field pane: order and the fields of Powermarks, HTML and text exports.
    m_fieldPane = new QWidget(this);
    m_fieldPane->setObjectName(QStringLiteral("fieldPane"));
    auto* fp = new QGridLayout(m_fieldPane);
    fp->addWidget(new QLabel(tr("Sorted By:"), m_fieldPane), 0, 0);
    m_fieldSort = SortCombo(m_fieldPane, QStringLiteral("fieldSort"));
    fp->addWidget(m_fieldSort, 0, 1);
    fp->addWidget(new QLabel(tr("Select field to export"), m_fieldPane), 1, 0, 1, 2);
    m_fields = new CCheckListCtrl(tr("Fields"), 100, m_fieldPane);
    m_fields->setObjectName(QStringLiteral("fields"));
    m_fields->setHeaderHidden(true);
    for (std::string_view field : brindle::kSortFieldNames)
        m_fields->AddItem(QCoreApplication::translate("Fields", std::string(field).c_str()), true);
    // Every field's row shows, with no scrolling.
    m_fields->setMinimumHeight(m_fields->sizeHintForRow(0) * m_fields->topLevelItemCount() +
                               2 * m_fields->frameWidth() + 4);
    fp->addWidget(m_fields, 2, 0, 1, 2);
    auto* fpOrder = new QVBoxLayout;
    m_fieldAscending = SortOrder(m_fieldPane, fpOrder, QStringLiteral("fieldAscending"));
    fpOrder->addStretch(1);
    fp->addLayout(fpOrder, 0, 2, 3, 1);
    m_fieldPane->hide();
    layout->addWidget(m_fieldPane);

    connect(m_format, &QComboBox::activated, this, [this] { FormatChosen(); });
    connect(m_all, &QRadioButton::toggled, this, [this] { ScopeChosen(); });
    connect(m_browse, &QToolButton::clicked, this, [this] { Browse(); });
    connect(m_optionButton, &QPushButton::clicked, this, [this] { ToggleOptions(); });
    connect(m_netscapeUser, &QCheckBox::clicked, this, &CExportDlg::NetscapeUserToggled);
    connect(buttons, &QDialogButtonBox::accepted, this, &CExportDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CExportDlg::reject);
}

QString CExportDlg::FormatName(int format) {
    const ExchangeFormat* row = Row(format);
    return row ? tr(row->exportName) : QString();
}

QString CExportDlg::FormatDescription(int format) {
    const ExchangeFormat* row = Row(format);
    return row ? tr(row->exportDescription) : QString();
}

int CExportDlg::CurrentFormat() const {
    return m_format->currentIndex();
}

void CExportDlg::SetFormat(int format) {
    m_format->setCurrentIndex(format);
    FormatChosen();
}

void CExportDlg::SetSelectedScope(bool selected) {
    (selected ? m_selected : m_all)->setChecked(true);
}

QString CExportDlg::Description() const {
    return m_description->text();
}

QString CExportDlg::FileName() const {
    return m_fileName->text();
}

void CExportDlg::SetFileName(const QString& path) {
    m_fileName->setText(path);
}

bool CExportDlg::OptionsOpen() const {
    return m_openPane != nullptr;
}

QWidget* CExportDlg::PaneFor(int format) const {
    const ExchangeFormat* row = Row(format);
    if (!row)
        return nullptr;
    // The field pane has the order and the fields; the Netscape pane the order and the users.
    if (row->Takes(brindle::kTakesFields))
        return m_fieldPane;
    return row->Takes(brindle::kTakesSort) ? m_netscapePane : nullptr;
}

void CExportDlg::FormatChosen() {
    const int format = CurrentFormat();
    const ExchangeFormat* row = Row(format);
    m_description->setText(FormatDescription(format));
    if (m_selected->isChecked())
        ScopeChosen();
    const bool folder = row && row->Takes(brindle::kWritesFolder);
    m_optionButton->setEnabled(PaneFor(format) != nullptr);
    m_title->setEnabled(row && row->Takes(brindle::kTakesTitle));
    m_netscapeUser->setVisible(row && row->Takes(brindle::kTakesUsers));
    m_fileLabel->setText(folder ? tr("Selected Folder:") : tr("File name:"));
    m_browse->setIcon(QIcon(folder ? QStringLiteral(":/icons/folder-open.svg")
                                   : QStringLiteral(":/icons/file-output.svg")));
    if (m_openPane && m_openPane != PaneFor(format)) {
        m_openPane->hide();
        m_openPane = PaneFor(format);
        if (m_openPane)
            m_openPane->show();
        adjustSize();
    }
}

void CExportDlg::ScopeChosen() {
    // Only the scope word changes; what follows it speaks of fields, not of bookmarks.
    QString text = m_description->text();
    if (m_all->isChecked())
        text.replace(QStringLiteral("Export selected "), QStringLiteral("Export all "));
    else
        text.replace(QStringLiteral("Export all "), QStringLiteral("Export selected "));
    m_description->setText(text);
}

void CExportDlg::ToggleOptions() {
    if (m_openPane) {
        m_openPane->hide();
        m_openPane = nullptr;
    } else {
        m_openPane = PaneFor(CurrentFormat());
        if (m_openPane)
            m_openPane->show();
    }
    adjustSize();
}

void CExportDlg::Browse() {
    const ExchangeFormat* row = Row(CurrentFormat());
    if (!row) {
        brindle::MessageBox::Show(this, tr("Please select a valid format"), QMessageBox::Ok,
                                  brindle::MessageBox::Icon::Stop);
        return;
    }
    if (row->Takes(brindle::kWritesFolder)) {
        // Starts at the folder typed, else at the Favorites folder.
        const QString typed = m_fileName->text().trimmed();
        const auto folder = brindle::FileDialogs::Folder(
            this, tr("Select a directory for export to"),
            typed.isEmpty() ? QString::fromStdString(brindle::DetectFavoritesPath()) : typed);
        if (folder)
            m_fileName->setText(*folder);
        return;
    }
    const QString filter = QString::fromStdString(brindle::FilterEntry("", *row) + '|');
    // Starts at the path typed.
    auto path = brindle::FileDialogs::SaveFile(this, tr("Export Bookmark File name"),
                                               m_fileName->text().trimmed(), filter);
    if (!path)
        return;
    if (QFileInfo(*path).suffix().isEmpty() && !row->extensions.empty())
        *path += QString::fromStdString(std::string(row->extensions.front()));
    m_fileName->setText(*path);
}

void CExportDlg::NetscapeUserToggled(bool on) {
    if (!on) {
        m_users.clear();
        return;
    }
    CSelectUserDlg users(this);
    if (brindle::DialogRunner::Run(users) != QDialog::Accepted) {
        m_netscapeUser->setChecked(false);
        return;
    }
    m_users = users.SelectedUsers();
    m_fileName->setText(tr("Bookmark file of the chosen Firefox profiles"));
}

bool CExportDlg::ToNetscapeUsers() const {
    const ExchangeFormat* row = Row(CurrentFormat());
    return row && row->Takes(brindle::kTakesUsers) && m_netscapeUser->isChecked();
}

brindle::ExportOptions CExportDlg::Options() const {
    brindle::ExportOptions options;
    options.selectedOnly = m_selected->isChecked();
    options.title = m_title->text().toStdString();
    const int format = CurrentFormat();
    const QWidget* pane = PaneFor(format);
    if (!pane) {
        options.sortField.clear(); // collection order
    } else if (pane == m_netscapePane) {
        options.sortField =
            std::string(brindle::kSortFieldNames[std::max(0, m_netscapeSort->currentIndex())]);
        options.ascending = m_netscapeAscending->isChecked();
    } else {
        options.sortField =
            std::string(brindle::kSortFieldNames[std::max(0, m_fieldSort->currentIndex())]);
        options.ascending = m_fieldAscending->isChecked();
        std::uint16_t mask = 0;
        for (int i = 0; i < kFieldCount; ++i)
            if (m_fields->IsChecked(i))
                mask |= std::uint16_t(1u << i);
        options.fieldMask = mask;
    }
    return options;
}

void CExportDlg::accept() {
    using brindle::MessageBox;
    const ExchangeFormat* row = Row(CurrentFormat());
    const QString name = m_fileName->text().trimmed();
    auto refuse = [this] {
        MessageBox::Show(this, tr("Please select a format and specify the file name"),
                         QMessageBox::Ok, MessageBox::Icon::Stop);
        m_fileName->setFocus();
    };
    if (!row || name.isEmpty()) {
        refuse();
        return;
    }
    if (ToNetscapeUsers()) {
        QDialog::accept();
        return;
    }
    if (row->Takes(brindle::kWritesFolder)) {
        if (!QFileInfo(name).isDir() &&
            MessageBox::Show(this, tr("The directory you specify is invalid,sure to create it?"),
                             QMessageBox::Yes | QMessageBox::No,
                             MessageBox::Icon::Question) != QMessageBox::Yes) {
            m_fileName->setFocus();
            return;
        }
        QDialog::accept();
        return;
    }
    // The name part of the path: a path that ends in a folder separator names no file.
    if (QFileInfo(name).fileName().trimmed().isEmpty() || name.endsWith(QLatin1Char('/'))) {
        refuse();
        return;
    }
    if (QFileInfo::exists(name) &&
        MessageBox::Show(
            this, tr("The file you specify already exists.\nDo you want to overwrite it?"),
            QMessageBox::Yes | QMessageBox::No, MessageBox::Icon::Question) != QMessageBox::Yes) {
        m_fileName->setFocus();
        return;
    }
    QDialog::accept();
}

namespace brindle {

void RunExportCommand(CBrindleDoc& doc, const std::vector<std::uint32_t>& selectedRows,
                      QWidget* parent) {
    CExportDlg dialog(parent);
    if (DialogRunner::Run(dialog) != QDialog::Accepted)
        return;
    ExportOptions options = dialog.Options();
    options.selectedRows = selectedRows;
    const std::string path = dialog.FileName().trimmed().toStdString();
    ExchangeReport report;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (dialog.ToNetscapeUsers()) {
        std::vector<std::string> users;
        for (const QString& u : dialog.NetscapeUsers())
            users.push_back(u.toStdString());
        ExportToNetscapeUsers(doc, users, options, report);
        QApplication::restoreOverrideCursor();
        ShowExchangeReport(parent, report); // the per-user failures, then the totals
        return;
    }
    const ExchangeFormat* row = Row(dialog.CurrentFormat());
    const bool ok = row && row->exportTo(doc, path, options, report);
    QApplication::restoreOverrideCursor();
    ShowExchangeReport(parent, report);
    MessageBox::Information(parent, ok ? CExportDlg::tr("Export is successful")
                                       : CExportDlg::tr("Export is not successful"));
}

} // namespace brindle
