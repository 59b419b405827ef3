// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window/AboutDialog.h"

#include "store/Version.h"
#include "ui/widgets/HyperLink.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace brindle {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("aboutDialog"));
    setWindowTitle(tr("About Brindle"));

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("aboutIcon"));
    const QIcon appIcon = QApplication::windowIcon();
    if (!appIcon.isNull())
        icon->setPixmap(appIcon.pixmap(48, 48));

    auto* name = new QLabel(tr("Brindle"), this);
    name->setObjectName(QStringLiteral("aboutName"));
    QFont nameFont = name->font();
    nameFont.setBold(true);
    nameFont.setPointSizeF(nameFont.pointSizeF() * 1.5);
    name->setFont(nameFont);
    auto* version = new QLabel(tr("Version %1").arg(QString::fromLatin1(brindle::Version())), this);
    version->setObjectName(QStringLiteral("aboutVersion"));

    m_contact = new CHyperLink(QStringLiteral("brindle@example.org"),
                               QString::fromLatin1(kContactAddress), this);
    m_contact->setObjectName(QStringLiteral("aboutContactLink"));
    m_web = new CHyperLink(QStringLiteral("www.example.org/brindle"),
                           QString::fromLatin1(kWebAddress), this);
    m_web->setObjectName(QStringLiteral("aboutWebLink"));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* text = new QVBoxLayout;
    text->addWidget(name);
    text->addWidget(version);
    text->addSpacing(8);
    text->addWidget(m_contact);
    text->addWidget(m_web);
    auto* grid = new QGridLayout(this);
    grid->addWidget(icon, 0, 0, Qt::AlignTop);
    grid->addLayout(text, 0, 1);
    grid->addWidget(buttons, 1, 0, 1, 2);
    grid->setSizeConstraint(QLayout::SetFixedSize);
}

int AboutDialog::RunModal(QWidget* parent) {
    AboutDialog dialog(parent);
    return dialog.exec();
}

std::unique_ptr<AboutDialog> AboutDialog::ShowSplash() {
    auto splash = std::make_unique<AboutDialog>();
    splash->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    splash->setModal(false);
    // Without a parent and without a position of its own, a dialog centres itself on the
    // screen as it is shown.
    splash->show();
    return splash;
}

} // namespace brindle
