// SPDX-License-Identifier: GPL-3.0-or-later
#include "status/LinkResult.h"

#include "store/TextUtil.h"

#include <algorithm>
#include <array>
#include <utility>

namespace brindle {

std::string_view StatusTextForResult(int result) {
    switch (result) {
    case 401:
        return "Unauthorized";
    case 404:
        return "Page not found";
    case 407:
        return "Proxy Unauthorized";
    case 500:
        return "Server error";
    case kErrTimeout:
        return "Time Out";
    case kErrBadUrl:
        return "Bad URL";
    case kErrUnknownScheme:
        return "Unchecked Scheme";
    case kErrNameNotResolved:
        return "Server address unknown";
    case kErrNetworkFailure:
        return "Network Failure";
    case kErrCannotConnect:
        return "Server not found";
    case kErrInvalidResponse:
        return "No Response";
    case kErrRedirectFailed:
        return "Redirect error";
    case kErrCertDateInvalid:
    case kErrCertNameInvalid:
    case kErrCertAuthorityInvalid:
    case kErrSecureChannel:
        return "Server error";
    default:
        return kTextWaiting;
    }
}

bool LocationDiffers(std::string_view queuedUrl, std::string_view location) {
    if (location.empty() || location == queuedUrl)
        return false;
    return ToLower(queuedUrl) != ToLower(location);
}

std::string ClassifyResult(int result, std::string_view queuedUrl, std::string_view location) {
    if (result == 200)
        return std::string(LocationDiffers(queuedUrl, location) ? kTextChanged : kTextNoChange);
    return std::string(StatusTextForResult(result));
}

std::string InternetErrorText(int code) {
    static constexpr std::array<std::pair<int, const char*>, 57> kTexts = {{
        {12001, "No more handles could be generated at this time."},
        {12002, "The request has timed out."},
        {12004, "An internal error has occurred."},
        {12005, "The URL is invalid."},
        {12006, "The URL scheme could not be recognized \n or is not supported."},
        {12007, "The server name could not be resolved."},
        {12008, "The requested protocol could not be located."},
        {12009, "invalid option value."},
        {12010, "Bad Option Length."},
        {12011, "The request option cannot be set, only queried."},
        {12012, "The Win32 Internet function support is being shut down or unloaded."},
        {12013, "User name is incorrect"},
        {12014, "Incorrect password"},
        {12015, "Log on to and FTP server failed"},
        {12016, "Invalid operation"},
        {12017, "Operation cancelled"},
        {12018, "Incorrect handle type"},
        {12019, "Incorrect handle state"},
        {12020, "The request cannot be made via a proxy."},
        {12021, "A required registry value could not be located."},
        {12022, "Registry value is incorrect type or has an invalid value."},
        {12023, "Direct network access cannot be made at this time."},
        {12024, "asynchronous request could not be made."},
        {12025, "asynchronous request could not be made."},
        {12026, "The required operation could not be completed."},
        {12027, "The format of the request is invalid."},
        {12028, "The requested item could not be located."},
        {12029, "The attempt to connect to the server failed."},
        {12030, "The connection with the server has been terminated."},
        {12031, "The connection with the server has been reset."},
        {12033, "Invalid proxy request"},
        {12036, "Request failed"},
        {12037, "Certification date invalid"},
        {12038, "Certification cn error"},
        {12039, "Http to Https error"},
        {12040, "Http to Https error"},
        {12041, "Content is not secure"},
        {12042, "Content is not secure"},
        {12043, "Content is not secure"},
        {12110, "Ftp progress already exist."},
        {12111, "FTP session was aborted"},
        {12130, "GOPHER protocol error"},
        {12131, "The request must be made for a file locator."},
        {12132, "GOPHER data error."},
        {12133, "The end of the data has been reached."},
        {12134, "The supplied locator is not valid."},
        {12135, "The type of the locator is not correct for this operation."},
        {12136, "Operation must be on GOPHER+ server."},
        {12137, "The requested attribute could not be located."},
        {12138, "The locator type is unknown."},
        {12150, "The requested header could not be located."},
        {12151, "The server did not return any headers"},
        {12152, "The server response could not be parsed."},
        {12153, "The supplied header is invalid."},
        {12154, "The request made to HttpQueryInfo is invalid."},
        {12155, "Header already exist"},
        {12156, "Redirect failed"},
    }};
    const auto it = std::find_if(kTexts.begin(), kTexts.end(),
                                 [code](const auto& entry) { return entry.first == code; });
    return it != kTexts.end() && it->second ? it->second : "";
}

bool IsSecureFailure(int result) {
    return result == kErrCertDateInvalid || result == kErrCertNameInvalid ||
           result == kErrCertAuthorityInvalid || result == kErrSecureChannel;
}

std::string SystemErrorText(int code) {
    switch (code) {
    case kErrCertAuthorityInvalid:
        return "The certificate authority is invalid or incorrect";
    case kErrSecureChannel:
        return "An error occurred in the secure channel support";
    default:
        return InternetErrorText(code);
    }
}

bool IsDeadLinkStatus(std::string_view status) {
    return status == StatusTextForResult(404) || status == StatusTextForResult(kErrCannotConnect) ||
           status == StatusTextForResult(kErrNameNotResolved);
}

bool IsTransientResult(int result) {
    return result == kErrTimeout || result == kErrCannotConnect || result == kErrInvalidResponse;
}

} // namespace brindle
