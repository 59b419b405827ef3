// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The messages an import or export hands back, shown in message boxes in the order they arose.

#include "exchange/ExchangeReport.h"

#include <QString>

class QWidget;

namespace brindle {

// Shows each message with its icon. A message about a file names the file on a line of its own
// above the text (`file` stands in when the message names none), so that the user of a
// multi-file import knows which file failed.
void ShowExchangeReport(QWidget* parent, const ExchangeReport& report,
                        const QString& file = QString());

} // namespace brindle
