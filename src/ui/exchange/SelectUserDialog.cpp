// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/exchange/SelectUserDialog.h"

#include "exchange/ProfileExport.h"
#include "ui/widgets/CheckListCtrl.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSettings>
#include <QVBoxLayout>

#include <algorithm>

CSelectUserDlg::CSelectUserDlg(QWidget* parent, const QString& home) : QDialog(parent) {
    setObjectName(QStringLiteral("selectUserDialog"));
    setWindowTitle(tr("Select User"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("Select user's bookmark you want to export into"), this));

    auto* row = new QHBoxLayout;
    m_list = new CCheckListCtrl(tr("Users"), 100, this);
    m_list->setObjectName(QStringLiteral("userList"));
    m_list->setHeaderHidden(true);
    QStringList names;
    for (const brindle::NetscapeUser& u : brindle::FindNetscapeUsers(home.toStdString()))
        names << QString::fromStdString(u.name);
    std::sort(names.begin(), names.end());
    for (const QString& name : names)
        m_list->AddItem(name, false);
    row->addWidget(m_list, 1);

    auto* version = new QGroupBox(tr("Version"), this);
    auto* versionLayout = new QVBoxLayout(version);
    // The users are the Firefox profiles found; the version is the one that last ran them.
    versionLayout->addWidget(new QLabel(QStringLiteral("Firefox"), version));
    auto* number = new QLabel(BrowserVersion(home), version);
    number->setObjectName(QStringLiteral("versionText"));
    versionLayout->addWidget(number);
    versionLayout->addStretch(1);
    row->addWidget(version);
    layout->addLayout(row);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

QString CSelectUserDlg::BrowserVersion(const QString& home) {
    // Firefox notes the version that last ran a profile in its compatibility.ini
    // ("LastVersion=128.0_20240704121409/..."); the default profile's stands for the browser's.
    const QString base =
        (home.isEmpty() ? QDir::homePath() : home) + QStringLiteral("/.mozilla/firefox");
    std::string folder;
    brindle::ReadFirefoxProfiles(base.toStdString(), &folder);
    if (!folder.empty()) {
        QSettings ini(QString::fromStdString(folder) + QStringLiteral("/compatibility.ini"),
                      QSettings::IniFormat);
        const QString last = ini.value(QStringLiteral("Compatibility/LastVersion")).toString();
        if (!last.isEmpty())
            return last.section(QLatin1Char('_'), 0, 0);
    }
    return QStringLiteral("none");
}

void CSelectUserDlg::accept() {
    m_selected.clear();
    for (int i = 0; i < m_list->ItemCount(); ++i)
        if (m_list->IsChecked(i))
            m_selected << m_list->topLevelItem(i)->text(0);
    QDialog::accept();
}
