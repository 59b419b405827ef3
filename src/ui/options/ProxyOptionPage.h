// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/options/OptionPage.h"

class QLabel;
class QLineEdit;
class QRadioButton;

class CProxyOptionPage : public COptionPage {
    Q_OBJECT
  public:
    explicit CProxyOptionPage(QWidget* parent = nullptr);
    void Load(const CPreferences& values) override;
    bool Store(CPreferences& values) override;

    // Says next to the password that it is kept in plain text (no secret store answered).
    void SetPasswordInPlainText(bool plain);

    QRadioButton* noProxy = nullptr;
    QRadioButton* useProxy = nullptr;
    QLineEdit* server = nullptr;
    QLineEdit* port = nullptr;
    QLineEdit* user = nullptr;
    QLineEdit* password = nullptr;
    QLabel* plainTextNotice = nullptr;

  private:
    void EnableFields();

    bool m_passwordInPlainText = false;
};
