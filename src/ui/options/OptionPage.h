// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The base of the option sheet's pages. Each page shows the sheet's copy of the settings it owns,
// and on OK moves its controls back into that copy after checking every value against the range
// its control allows; a value out of range leaves the copy alone, says so and selects the field.

#include "store/Preferences.h"

#include <QString>
#include <QWidget>

#include <string>

class QLabel;
class QLineEdit;
class QToolButton;

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
