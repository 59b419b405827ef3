// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The five pages of the option sheet, over their base. Each page shows the sheet's copy of the
// settings it owns, and on OK moves its controls back into that copy after checking every value
// against the range its control allows; a value out of range leaves the copy alone, says so and
// selects the field. Each page's code lives in a file of its own (GeneralOptionPage.cpp, ...).

#include "store/Preferences.h"

#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>
#include <string>

class CHotKeyCtrl;
class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QSlider;
class QSpinBox;
class QTabBar;
class QToolButton;
class QTreeWidget;

class COptionPage : public QWidget {
    Q_OBJECT
  public:
    using QWidget::QWidget;
    // Fills the controls from the settings.
    virtual void Load(const CPreferences& values) = 0;
    // Moves the controls into `values`; false (with the message shown and the field selected)
    // when a value is out of its range.
    virtual bool Store(CPreferences& values) = 0;

  protected:
    static QString Q(const std::string& text) { return QString::fromStdString(text); }
    static std::string S(const QString& text) { return text.toStdString(); }
    // The standard refusal of a number outside its range; selects the field.
    static void RefuseNumber(QLineEdit* field, int low, int high);
    static QToolButton* ImageButton(const QString& icon, const QString& tip, QWidget* parent);
    // A text of several lines, wrapped to the page's width.
    QLabel* WrappedText(const QString& text);
};

class CGeneralOptionPage : public COptionPage {
    Q_OBJECT
  public:
    explicit CGeneralOptionPage(QWidget* parent = nullptr);
    void Load(const CPreferences& values) override;
    bool Store(CPreferences& values) override;

    // The format-letter menu (items carry their command ids as data).
    QMenu* FormatMenu() const { return m_formatMenu; }
    // Inserts a format letter and a blank at the start of the selection, then updates the
    // preview.
    void InsertFormatLetter(const QString& letter);
    // Runs the font dialog and takes its font on OK.
    void ChooseFont();
    // "Face   size".
    static QString FontSampleText(const CLogFont& font);

    QCheckBox* confirm = nullptr;
    QCheckBox* autoSave = nullptr;
    QCheckBox* reload = nullptr;
    QCheckBox* backup = nullptr;
    QPushButton* fontButton = nullptr;
    QLabel* fontSample = nullptr;
    QLineEdit* fastKey = nullptr;
    QLineEdit* timeFormat = nullptr;
    QToolButton* formatButton = nullptr;
    QLabel* preview = nullptr;
    QCheckBox* inTray = nullptr;
    QCheckBox* hide = nullptr;
    QSpinBox* maxInTray = nullptr;

  private:
    void UpdatePreview();

    QMenu* m_formatMenu = nullptr;
    CLogFont m_font;
    std::int32_t m_fontSize = 0;
};

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
    QSpinBox* olderDays = nullptr; // checks skip bookmarks checked more recently (0: none)
    QTreeWidget* statusList = nullptr;

  private:
    void RowSelected();

    std::array<std::uint32_t, 18> m_icons{};
    std::array<QToolButton*, 16> m_iconButtons{};
    QButtonGroup* m_iconGroup = nullptr;
};

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

class CHotkeyOptionPage : public COptionPage {
    Q_OBJECT
  public:
    explicit CHotkeyOptionPage(QWidget* parent = nullptr);
    void Load(const CPreferences& values) override;
    bool Store(CPreferences& values) override;

    std::array<CHotKeyCtrl*, 4> keys{};
};
