// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/options/OptionPage.h"

#include <array>

class CHotKeyCtrl;

class CHotkeyOptionPage : public COptionPage {
    Q_OBJECT
  public:
    explicit CHotkeyOptionPage(QWidget* parent = nullptr);
    void Load(const CPreferences& values) override;
    bool Store(CPreferences& values) override;

    std::array<CHotKeyCtrl*, 4> keys{};
};
