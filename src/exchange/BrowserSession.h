// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The page a browser shows, read from the session file it keeps on disk, given in the reply
// form the capture commands parse: the URL in double quotes, a comma, the title in double quotes.

#include <optional>
#include <string>
#include <string_view>

namespace brindle {

// The contents of a Mozilla LZ4 file (".jsonlz4", ".mozlz4"): the magic "mozLz40\0", the size
// of the contents as a 32-bit little-endian number, then one LZ4 block. Nothing when the magic,
// the size or the block is wrong.
std::optional<std::string> DecodeMozLz4(std::string_view bytes);

// The reply for a Firefox session file's bytes (recovery.jsonlz4): the selected tab of the
// window that was used last, its current history entry. "" when the bytes are not a session or
// it has no window with a tab.
std::string FirefoxSessionReply(std::string_view jsonlz4);

// The reply for a Chromium session file's bytes (the "SNSS" command log in a profile's Sessions
// folder, or its older "Current Session"): the selected tab of the active window, at its
// current history entry. "" when the bytes are not such a log or name no open tab.
std::string ChromiumSessionReply(std::string_view snss);

// The reply text for a page: "URL","title". A double quote inside the URL is written %22, as a
// browser would send it.
std::string BrowserReply(std::string_view url, std::string_view title);

struct BrowserPage {
    std::string url;
    std::string title;
};

// The URL is the text between the first and the second double quote, the title the text after
// the third, up to the "," that starts a further field or else the last double quote (so a title
// may hold a double quote). Both trimmed; a reply with fewer quotes gives empty parts.
BrowserPage ParseBrowserReply(std::string_view reply);

} // namespace brindle
