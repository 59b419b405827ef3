// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The running window's local socket as other programs reach it (brindle-cli's browser host
// among them). A message is a 32-bit big-endian byte count, then the payload. A payload that is
// a JSON object ("{...") is a request: the window answers with a message of the same form
// holding its JSON reply. Any other payload is a path to open; the window answers it with one
// byte.

#include <QByteArray>
#include <QString>

#include <optional>

namespace brindle {

// Where the lock and the socket of the running instance are: the user's runtime folder, else a
// folder of the user's in the temporary folder.
QString InstanceFolder();
// "<folder>/<name>.socket"; the default folder is InstanceFolder().
QString InstanceSocketPath(const QString& name = QStringLiteral("Brindle"),
                           const QString& folder = QString());

// The browser host's standing connection: after this payload the socket stays open, the window
// writes {"type":"active-tab-request","request":N} messages on it whenever a capture wants the
// browser's page, and the host sends back the extension's {"type":"active-tab","request":N,
// "url":U,"title":T}.
inline constexpr char kAttachRequest[] = R"({"type":"attach"})";

// A payload in its frame: the byte count, then the bytes.
QByteArray InstanceFrame(const QByteArray& payload);
bool IsInstanceRequest(const QByteArray& payload);
// Takes the payload of the first whole message off the front of `buffer`; nothing while the
// message is incomplete. A length over `maxBytes` clears the buffer and sets `broken`.
std::optional<QByteArray> TakeInstanceMessage(QByteArray& buffer, bool& broken,
                                              quint32 maxBytes = 1024 * 1024);

// Sends the request `json` to the window listening on `socketPath` and returns its reply;
// nothing when no window listens or it does not answer within `timeoutMs`.
std::optional<QByteArray> AskInstance(const QString& socketPath, const QByteArray& json,
                                      int timeoutMs = 3000);

} // namespace brindle
