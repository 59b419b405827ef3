// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/net/NetErrors.h"

#include "status/LinkResult.h"

namespace brindle {

int InternetErrorOf(QNetworkReply::NetworkError error) {
    using E = QNetworkReply::NetworkError;
    switch (error) {
    case E::NoError:
        return 0;
    case E::ConnectionRefusedError:
    case E::ProxyConnectionRefusedError:
        return kErrCannotConnect;
    case E::RemoteHostClosedError:
    case E::ProtocolFailure:
        return kErrInvalidResponse; // the answer ended before it could be read
    case E::HostNotFoundError:
    case E::ProxyNotFoundError:
        return kErrNameNotResolved;
    case E::TimeoutError:
    case E::ProxyTimeoutError:
        return kErrTimeout;
    case E::OperationCanceledError:
        return kErrOperationCancelled;
    case E::SslHandshakeFailedError:
        return kErrSecureChannel;
    case E::TemporaryNetworkFailureError:
    case E::NetworkSessionFailedError:
    case E::BackgroundRequestNotAllowedError:
        return kErrNetworkFailure;
    case E::TooManyRedirectsError:
    case E::InsecureRedirectError:
        return kErrRedirectFailed;
    case E::ProxyConnectionClosedError:
        return kErrConnectionAborted;
    case E::ProxyAuthenticationRequiredError:
        return 407;
    case E::AuthenticationRequiredError:
        return 401;
    case E::ContentNotFoundError:
        return 404;
    case E::ProtocolUnknownError:
        return kErrUnknownScheme;
    case E::ProtocolInvalidOperationError:
        return kErrBadUrl;
    case E::InternalServerError:
        return 500;
    default:
        return kErrInternal;
    }
}

int InternetErrorOfTls(const QList<QSslError>& errors) {
    bool date = false;
    bool name = false;
    bool authority = false;
    for (const QSslError& e : errors) {
        switch (e.error()) {
        case QSslError::NoError:
            break;
        case QSslError::CertificateExpired:
        case QSslError::CertificateNotYetValid:
            date = true;
            break;
        case QSslError::HostNameMismatch:
            name = true;
            break;
        default:
            authority = true;
            break;
        }
    }
    if (authority)
        return kErrCertAuthorityInvalid;
    if (date)
        return kErrCertDateInvalid;
    if (name)
        return kErrCertNameInvalid;
    return kErrSecureChannel;
}

} // namespace brindle
