// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one table from QtNetwork's errors to the internet error numbers the classification uses.

#include <QList>
#include <QNetworkReply>
#include <QSslError>

namespace brindle {

// The internet error number for a reply error that carries no HTTP status.
int InternetErrorOf(QNetworkReply::NetworkError error);

// The internet error number of a failed secure connection, from the certificate errors reported
// before it failed: an untrusted issuer (self-signed, unknown, revoked) first, since nothing else
// the certificate says can be believed then, else a date out of range, else another host's name;
// a failure without a certificate error is one of the secure channel.
int InternetErrorOfTls(const QList<QSslError>& errors);

} // namespace brindle
