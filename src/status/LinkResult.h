// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a probe's outcome means: the internet error numbers the probe reports (the HTTP status
// code otherwise), the status text each outcome gives a bookmark, and the readable texts of the
// error numbers.

#include <string>
#include <string_view>

namespace brindle {

// Internet error numbers (the classic client library's numbering, which the stored status
// texts and the classification follow).
enum InternetError : int {
    kErrInternal = 12004,
    kErrTimeout = 12002,
    kErrBadUrl = 12005,
    kErrUnknownScheme = 12006,
    kErrNameNotResolved = 12007,
    kErrOperationCancelled = 12017,
    kErrNetworkFailure = 12023,
    kErrCannotConnect = 12029,
    kErrConnectionAborted = 12030,
    kErrConnectionReset = 12031,
    kErrCertDateInvalid = 12037,      // expired, or not valid yet
    kErrCertNameInvalid = 12038,      // issued for another host
    kErrCertAuthorityInvalid = 12045, // self-signed, or from an issuer nobody trusts here
    kErrSecureChannel = 12157,        // the secure connection failed for another reason
    kErrInvalidResponse = 12152,
    kErrRedirectFailed = 12156
};

// The texts the engines write into bookmarks.
inline constexpr std::string_view kTextChecking = "Checking";
inline constexpr std::string_view kTextFetching = "Fetching";
inline constexpr std::string_view kTextChanged = "Changed";
inline constexpr std::string_view kTextNoChange = "No change";
inline constexpr std::string_view kTextWaiting = "Waiting";

// The status text for a probe's outcome other than 200; "Waiting" for anything the table does
// not name (0, 301, 403, 503, unknown errors). A failed secure connection (a certificate that is
// expired, for another host or from an untrusted issuer) is "Server error": the server answered,
// and what it presented is at fault, not the network or the link; it must never look like
// "Waiting", the status of a bookmark that was never checked.
std::string_view StatusTextForResult(int result);

// An internet error number rather than an HTTP status.
inline bool IsInternetError(int result) {
    return result >= 12000 && result < 13000;
}
// The certificate and secure-connection failures.
bool IsSecureFailure(int result);

// A 200 answer's location "differs" when it is another URL apart from letter case.
bool LocationDiffers(std::string_view queuedUrl, std::string_view location);

// The status text for a result: for 200, "Changed" when the location differs from the queued
// URL, else "No change"; otherwise the table.
std::string ClassifyResult(int result, std::string_view queuedUrl, std::string_view location);

// The readable text of an internet error number, or "" (12003, the server's own text, is
// not kept by this client and gives "").
std::string InternetErrorText(int code);

// The platform's text for a code where it has one, else InternetErrorText. The platform knows the
// secure-connection failures the table has no text for (12045, 12157).
std::string SystemErrorText(int code);

// A status text that says the page or its whole host is gone ("Page not found", "Server not
// found", "Server address unknown"): the bookmarks an archived copy may bring back.
bool IsDeadLinkStatus(std::string_view status);

// Outcomes worth one more try after a short pause: the first complaint about link checkers is
// links reported dead that were only slow or briefly refusing.
bool IsTransientResult(int result);

} // namespace brindle
