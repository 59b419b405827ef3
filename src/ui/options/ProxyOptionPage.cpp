// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/options/OptionPages.h"

#include "platform/FontDescription.h"
#include "status/StatusTable.h"
#include "store/PreferenceLimits.h"
#include "store/TimeFormat.h"
#include "ui/widgets/DialogRunner.h"
#include "ui/widgets/FileDialogs.h"
#include "ui/widgets/HotKeyCtrl.h"
#include "ui/window/CommandIds.h"
#include <QButtonGroup>
#include <QCheckBox>
#include <QCursor>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QSlider>
#include <QSpinBox>
#include <QTabBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <ctime>
#include <optional>

CProxyOptionPage::CProxyOptionPage(QWidget* parent) : COptionPage(parent) {
    auto* intro = WrappedText(
        tr("A network proxy is a conduit between your computer and the Internet, used to reach "
           "the Internet through a firewall. If you have a direct connection to the Internet, "
           "you do not need to configure a proxy server."));
    noProxy = new QRadioButton(tr("&No Proxy"), this);
    useProxy = new QRadioButton(tr("&Use Proxy"), this);
    server = new QLineEdit(this);
    server->setPlaceholderText(tr("Example: proxy.mycompany.com"));
    port = new QLineEdit(this);
    // Digits only; the range is checked on OK so that a wrong number can be reported.
    port->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,9}")), port));
    user = new QLineEdit(this);
    password = new QLineEdit(this);
    password->setEchoMode(QLineEdit::Password);
    plainTextNotice =
        new QLabel(tr("No secret store answered: the password is stored in plain text."), this);
    plainTextNotice->setWordWrap(true);
    plainTextNotice->hide();
    auto* outro = WrappedText(tr("Leave the Username and Password fields blank if your proxy "
                                 "server does not require authentication."));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(noProxy);
    layout->addWidget(useProxy);
    auto* form = new QFormLayout;
    auto* serverRow = new QHBoxLayout;
    serverRow->addWidget(server, 3);
    auto* portLabel = new QLabel(tr("&Port:"), this);
    portLabel->setBuddy(port);
    serverRow->addWidget(portLabel);
    serverRow->addWidget(port, 1);
    auto* serverLabel = new QLabel(tr("&Server:"), this);
    serverLabel->setBuddy(server);
    form->addRow(serverLabel, serverRow);
    form->addRow(tr("Username:"), user);
    auto* passwordRow = new QVBoxLayout;
    passwordRow->addWidget(password);
    passwordRow->addWidget(plainTextNotice);
    form->addRow(tr("Password:"), passwordRow);
    layout->addLayout(form);
    layout->addWidget(outro);
    layout->addStretch();

    connect(noProxy, &QRadioButton::toggled, this, &CProxyOptionPage::EnableFields);
}

void CProxyOptionPage::EnableFields() {
    const bool on = useProxy->isChecked();
    for (QLineEdit* e : {server, port, user, password})
        e->setEnabled(on);
    // Without a proxy no password is used, so there is nothing to warn about.
    plainTextNotice->setVisible(on && m_passwordInPlainText);
}

void CProxyOptionPage::SetPasswordInPlainText(bool plain) {
    m_passwordInPlainText = plain;
    EnableFields();
}

void CProxyOptionPage::Load(const CPreferences& v) {
    (v.m_bHasProxy ? useProxy : noProxy)->setChecked(true);
    server->setText(Q(v.m_strProxyServer));
    port->setText(QString::number(v.m_nProxyPort));
    user->setText(Q(v.m_strProxyUser));
    password->setText(Q(v.m_strProxyPassword));
    EnableFields();
}

bool CProxyOptionPage::Store(CPreferences& v) {
    bool ok = false;
    const int number = port->text().toInt(&ok);
    if (!ok || number < brindle::kMinProxyPort || number > brindle::kMaxProxyPort) {
        RefuseNumber(port, brindle::kMinProxyPort, brindle::kMaxProxyPort);
        return false;
    }
    v.m_bHasProxy = useProxy->isChecked();
    v.m_strProxyServer = S(server->text());
    v.m_nProxyPort = number;
    v.m_strProxyUser = S(user->text());
    v.m_strProxyPassword = S(password->text());
    return true;
}
