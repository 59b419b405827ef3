// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What an import or export has to tell the user. The core never shows a message box: it hands
// each message, with the icon it deserves, back to the caller, in the order they arose.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace brindle {

enum class MessageIcon { Stop, Exclamation, Information };

struct ExchangeMessage {
    MessageIcon icon;
    std::string text;
    std::string file;         // the file it is about, when a walk reads many
    std::size_t position = 0; // that item's number in the input, from 1; 0: the input as a whole
};

struct ExchangeReport {
    std::vector<ExchangeMessage> messages;

    void Add(MessageIcon icon, std::string text, std::string file = std::string()) {
        messages.push_back({icon, std::move(text), std::move(file), 0});
    }
    bool Contains(std::string_view text) const {
        for (const ExchangeMessage& m : messages)
            if (m.text == text)
                return true;
        return false;
    }
};

// Message texts, as the user sees them.
inline constexpr const char* kMsgCannotWriteFile = "cannot write the file";
inline constexpr const char* kMsgCreateDirectoryFail = "Create Directory Fail";
inline constexpr const char* kMsgCannotOpenFile = "cannot open the file";
inline constexpr const char* kMsgCannotCreateDirectory = "cannot create specify directory";
inline constexpr const char* kMsgCannotWriteBookmark = "Cannot write bookmark into the file";
inline constexpr const char* kMsgCannotOpenProfileFile = "Cannot open the file";
inline constexpr const char* kMsgNotUrlFile = "Cannot open this file as a URL file";

} // namespace brindle
