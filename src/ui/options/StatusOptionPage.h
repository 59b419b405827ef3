// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/options/OptionPage.h"

#include <array>
#include <cstdint>

class QButtonGroup;
class QCheckBox;
class QLabel;
class QRadioButton;
class QSlider;
class QToolButton;
class QTreeWidget;

class CStatusOptionPage : public COptionPage {
    Q_OBJECT
  public:
    explicit CStatusOptionPage(QWidget* parent = nullptr);
    void Load(const CPreferences& values) override;
    bool Store(CPreferences& values) override;

    // Gives the selected row's status the icon (0-15); nothing without a selected row.
    void ChooseIcon(int icon);
    // The icon the table gives row `row` now.
    int IconOfRow(int row) const;
    // The radio showing `icon`.
    QToolButton* IconButton(int icon) const {
        return m_iconButtons[static_cast<std::size_t>(icon)];
    }

    QCheckBox* checkNew = nullptr;
    QCheckBox* repair = nullptr;
    QRadioButton* direct = nullptr;
    QRadioButton* dialUp = nullptr;
    QSlider* connections = nullptr;
    QLabel* connectionsValue = nullptr;
    QTreeWidget* statusList = nullptr;

  private:
    void RowSelected();

    std::array<std::uint32_t, 18> m_icons{};
    std::array<QToolButton*, 16> m_iconButtons{};
    QButtonGroup* m_iconGroup = nullptr;
};
