// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// COptionSheet ("Brindle Option Setting"): the five option pages under one tab control. The sheet
// works on a copy of the settings; Values() is the edited copy after OK, and Cancel leaves the
// caller's settings untouched.

#include "store/Preferences.h"

#include <QDialog>

class CBrowserOptionPage;
class CGeneralOptionPage;
class CHotkeyOptionPage;
class COptionPage;
class CProxyOptionPage;
class CStatusOptionPage;
class QTabWidget;

class COptionSheet : public QDialog {
    Q_OBJECT
  public:
    explicit COptionSheet(const CPreferences& values, QWidget* parent = nullptr);

    const CPreferences& Values() const { return m_values; }
    // The Proxy page says the password is kept in plain text.
    void SetPasswordInPlainText(bool plain);

    QTabWidget* Tabs() const { return m_tabs; }
    CGeneralOptionPage* General() const { return m_general; }
    CBrowserOptionPage* Browser() const { return m_browser; }
    CStatusOptionPage* Status() const { return m_status; }
    CProxyOptionPage* Proxy() const { return m_proxy; }
    CHotkeyOptionPage* Hotkeys() const { return m_hotkeys; }

  public slots:
    // Every page moves its controls into the copy; a refused value keeps the sheet open on
    // that page.
    void accept() override;

  private:
    CPreferences m_values;
    QTabWidget* m_tabs;
    CGeneralOptionPage* m_general;
    CBrowserOptionPage* m_browser;
    CStatusOptionPage* m_status;
    CProxyOptionPage* m_proxy;
    CHotkeyOptionPage* m_hotkeys;
};
