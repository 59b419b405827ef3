// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/exchange/ExchangeMessages.h"

#include "ui/widgets/MessageBox.h"

#include <QApplication>

namespace brindle {

namespace {

MessageBox::Icon BoxIcon(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Stop:
        return MessageBox::Icon::Stop;
    case MessageIcon::Exclamation:
        return MessageBox::Icon::Exclamation;
    case MessageIcon::Information:
        break;
    }
    return MessageBox::Icon::Information;
}

} // namespace

void ShowExchangeReport(QWidget* parent, const ExchangeReport& report, const QString& file) {
    for (const ExchangeMessage& m : report.messages) {
        const QString about = m.file.empty() ? file : QString::fromStdString(m.file);
        const QString text = QApplication::translate("Exchange", m.text.c_str());
        MessageBox::Show(parent, about.isEmpty() ? text : about + QLatin1Char('\n') + text,
                         QMessageBox::Ok, BoxIcon(m.icon));
    }
}

} // namespace brindle
