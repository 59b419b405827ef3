// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/options/OptionPages.h"

#include "ui/widgets/MessageBox.h"

#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

void COptionPage::RefuseNumber(QLineEdit* field, int low, int high) {
    brindle::MessageBox::Exclamation(
        field->window(), tr("Please enter an integer between %1 and %2.").arg(low).arg(high));
    field->setFocus();
    field->selectAll();
}

QLabel* COptionPage::WrappedText(const QString& text) {
    auto* label = new QLabel(text, this);
    label->setWordWrap(true);
    return label;
}

QToolButton* COptionPage::ImageButton(const QString& icon, const QString& tip, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setIcon(QIcon(icon));
    button->setToolTip(tip);
    return button;
}
