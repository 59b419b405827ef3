// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one table from QtNetwork's errors to the internet error numbers the classification uses.

#include <QNetworkReply>

namespace brindle {

// The internet error number for a reply error that carries no HTTP status.
int InternetErrorOf(QNetworkReply::NetworkError error);

} // namespace brindle
