// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/exchange/LinkDialog.h"

#include "sync/SyncTarget.h"
#include "ui/widgets/FileDialogs.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace brindle {

LinkDialog::LinkDialog(const Values& values, bool linked, QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Link Bookmark File"));
    auto* layout = new QVBoxLayout(this);
    auto* about = new QLabel(
        tr("Keep this document and an XBEL bookmark file in step, both ways. Browser extensions "
           "that sync bookmarks through such a file share it with Firefox and Chromium-family "
           "browsers. Give a file in a folder that a file-sync program keeps in step, or a WebDAV "
           "address such as https://host/dir/bookmarks.xbel."),
        this);
    about->setWordWrap(true);
    layout->addWidget(about);

    auto* form = new QFormLayout;
    m_target = new QLineEdit(values.target, this);
    m_target->setMinimumWidth(360);
    auto* browse = new QPushButton(tr("Bro&wse..."), this);
    auto* targetRow = new QHBoxLayout;
    targetRow->addWidget(m_target, 1);
    targetRow->addWidget(browse);
    auto* targetLabel = new QLabel(tr("&Bookmark file:"), this);
    targetLabel->setBuddy(m_target);
    form->addRow(targetLabel, targetRow);
    m_user = new QLineEdit(values.user, this);
    m_userLabel = new QLabel(tr("&User name:"), this);
    m_userLabel->setBuddy(m_user);
    form->addRow(m_userLabel, m_user);
    m_password = new QLineEdit(values.password, this);
    m_password->setEchoMode(QLineEdit::Password);
    m_passwordLabel = new QLabel(tr("&Password:"), this);
    m_passwordLabel->setBuddy(m_password);
    form->addRow(m_passwordLabel, m_password);
    m_interval = new QSpinBox(this);
    m_interval->setRange(1, 24 * 60);
    m_interval->setValue(values.intervalMinutes);
    m_interval->setSuffix(tr(" minutes"));
    form->addRow(tr("&Synchronize every:"), m_interval);
    layout->addLayout(form);
    auto* note =
        new QLabel(tr("The user name and password are kept in the desktop's secret store; where "
                      "none answers, in a file only you can read."),
                   this);
    note->setWordWrap(true);
    layout->addWidget(note);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    m_ok->setText(tr("&Link"));
    if (linked) {
        QPushButton* unlink = buttons->addButton(tr("&Remove Link"), QDialogButtonBox::ResetRole);
        connect(unlink, &QPushButton::clicked, this, [this] {
            m_unlinked = true;
            accept();
        });
    }
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(browse, &QPushButton::clicked, this, &LinkDialog::Browse);
    connect(m_target, &QLineEdit::textChanged, this, &LinkDialog::UpdateState);
    UpdateState();
}

LinkDialog::Values LinkDialog::Chosen() const {
    return {m_target->text().trimmed(), m_user->text(), m_password->text(), m_interval->value()};
}

void LinkDialog::Browse() {
    const std::optional<QString> path =
        FileDialogs::OpenFile(this, tr("Link Bookmark File"),
                              tr("XBEL Bookmark Files (*.xbel);;All Files (*)"), m_target->text());
    if (path)
        m_target->setText(*path);
}

void LinkDialog::UpdateState() {
    const bool web = IsWebAddress(m_target->text().trimmed().toStdString());
    for (QWidget* w : {static_cast<QWidget*>(m_user), static_cast<QWidget*>(m_password),
                       static_cast<QWidget*>(m_userLabel), static_cast<QWidget*>(m_passwordLabel)})
        w->setEnabled(web);
    m_ok->setEnabled(!m_target->text().trimmed().isEmpty());
}

} // namespace brindle
