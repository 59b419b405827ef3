// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the session readers: Firefox's (the mozLz4 header, the LZ4 block, the
// JSON walk to the selected tab) and Chromium's command log. A reply is either empty or a quoted
// URL, a comma and a quoted title.

#include "exchange/BrowserSession.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (const std::string& reply :
         {brindle::FirefoxSessionReply(bytes), brindle::ChromiumSessionReply(bytes)})
        if (!reply.empty() && (reply.size() < 5 || reply.front() != '"' || reply.back() != '"' ||
                               reply.find("\",\"") == std::string::npos))
            std::abort();
    brindle::ParseBrowserReply(bytes);
    return 0;
}
