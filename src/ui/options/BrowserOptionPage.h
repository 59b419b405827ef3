// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/options/OptionPage.h"

#include <array>
#include <cstdint>
#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QTabBar;
class QToolButton;

class CBrowserOptionPage : public COptionPage {
    Q_OBJECT
  public:
    enum Browser { kInternetExplorer = 0, kNetscape = 1 };

    explicit CBrowserOptionPage(QWidget* parent = nullptr);
    void Load(const CPreferences& values) override;
    bool Store(CPreferences& values) override;

    // Switches the shown browser as the tab bar does: the controls go into the browser left.
    void ShowBrowser(int browser);
    int ShownBrowser() const { return m_shown; }
    void BrowseProgram();
    void BrowseLocation();

    QTabBar* tabs = nullptr;
    QLineEdit* program = nullptr;
    QToolButton* programBrowse = nullptr;
    QLabel* locationLabel = nullptr;
    QLineEdit* location = nullptr;
    QToolButton* locationBrowse = nullptr;
    QRadioButton* preferred = nullptr;
    QCheckBox* bypass = nullptr;
    QCheckBox* always = nullptr;

  private:
    void TakeControls();
    void ShowValues();

    struct BrowserValues {
        std::string program;
        std::string location;
        std::int32_t bypass = 1;
    };
    std::array<BrowserValues, 2> m_browsers;
    std::int32_t m_prefer = 1;
    int m_shown = kInternetExplorer;
};
