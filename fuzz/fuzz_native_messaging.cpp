// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the browser host's input: the bytes go through the frame decoder in pieces
// as a pipe delivers them, and each message through the request parser and the reply builder
// against a target that answers everything. A reply must be a JSON object under the reply limit;
// the decoder must hand out exactly the bytes it was given.

#include "exchange/NativeMessaging.h"

#include <QJsonDocument>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

using namespace brindle::native;

class Anything : public HostTarget {
  public:
    std::optional<std::string> DocumentPath(std::string&) override { return "/doc.brx"; }
    std::optional<std::vector<std::string>> Lookup(const std::string& url, std::string&) override {
        return std::vector<std::string>(3, url);
    }
    AddResult Add(const Request& request) override {
        return {AddResult::Outcome::Added, request.title + request.description};
    }
    std::optional<TabsResult> AddTabs(const std::vector<Tab>& tabs, std::string& error) override {
        if (tabs.empty()) {
            error = "none";
            return std::nullopt;
        }
        return TabsResult{static_cast<int>(tabs.size()), 0};
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // The first byte picks the piece size, so that every way of cutting the stream is tried.
    const std::size_t piece = size > 0 ? 1 + data[0] % 16 : 1;
    FrameDecoder decoder(4096);
    Anything target;
    std::string message;
    std::size_t handedOut = 0;
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        decoder.Append(bytes.substr(at, piece));
        FrameDecoder::Status status;
        while ((status = decoder.Next(message)) == FrameDecoder::Status::Message) {
            handedOut += 4 + message.size();
            const std::string reply = HandleMessage(target, message);
            if (reply.size() > kMaxReplyBytes ||
                !QJsonDocument::fromJson(QByteArray::fromStdString(reply)).isObject())
                std::abort();
        }
        if (status == FrameDecoder::Status::Oversize)
            return 0;
    }
    if (handedOut + decoder.Pending() != bytes.size())
        std::abort();
    return 0;
}
