// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/options/OptionPage.h"
#include <cstdint>

class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSpinBox;
class QToolButton;

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
