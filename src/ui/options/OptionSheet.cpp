// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/options/OptionSheet.h"

#include "ui/options/OptionPages.h"

#include <QDialogButtonBox>
#include <QTabWidget>
#include <QVBoxLayout>

COptionSheet::COptionSheet(const CPreferences& values, QWidget* parent)
    : QDialog(parent), m_values(values) {
    setWindowTitle(tr("Brindle Option Setting"));
    m_tabs = new QTabWidget(this);
    m_general = new CGeneralOptionPage;
    m_browser = new CBrowserOptionPage;
    m_status = new CStatusOptionPage;
    m_proxy = new CProxyOptionPage;
    m_hotkeys = new CHotkeyOptionPage;
    m_tabs->addTab(m_general, tr("General"));
    m_tabs->addTab(m_browser, tr("Browser"));
    m_tabs->addTab(m_status, tr("Status checking"));
    m_tabs->addTab(m_proxy, tr("Proxies"));
    m_tabs->addTab(m_hotkeys, tr("Hotkeys"));
    for (COptionPage* page :
         {static_cast<COptionPage*>(m_general), static_cast<COptionPage*>(m_browser),
          static_cast<COptionPage*>(m_status), static_cast<COptionPage*>(m_proxy),
          static_cast<COptionPage*>(m_hotkeys)})
        page->Load(m_values);
    m_tabs->setCurrentIndex(0);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &COptionSheet::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &COptionSheet::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(buttons);
    resize(520, 470);
}

void COptionSheet::SetPasswordInPlainText(bool plain) {
    m_proxy->SetPasswordInPlainText(plain);
}

void COptionSheet::accept() {
    CPreferences edited = m_values;
    for (COptionPage* page :
         {static_cast<COptionPage*>(m_general), static_cast<COptionPage*>(m_browser),
          static_cast<COptionPage*>(m_status), static_cast<COptionPage*>(m_proxy),
          static_cast<COptionPage*>(m_hotkeys)}) {
        if (!page->Store(edited)) {
            m_tabs->setCurrentWidget(page);
            return;
        }
    }
    m_values = edited;
    QDialog::accept();
}
