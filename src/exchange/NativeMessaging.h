// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The conversation between the browser extension and its host program (brindle-cli native-host):
// the browser's framing of messages (a 32-bit length in this machine's byte order, then that many
// bytes of UTF-8 JSON) and the four requests of the extension with their replies. What a request
// does is left to a HostTarget: the running window's document, or a document file the host
// keeps open itself.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

class CBrindleDoc;

namespace brindle::native {

// The host's name in the browsers' host manifests (and in the extension's connectNative).
inline constexpr const char* kHostName = "org.example.brindle";
// The extension's fixed ids: Firefox's from its manifest, Chromium's from the manifest's key.
inline constexpr const char* kFirefoxExtensionId = "brindle@example.org";
inline constexpr const char* kChromiumExtensionId = "iaiocfjfkhebgabgpnfamnmmahhjgaeb";

enum class BrowserFamily { Firefox, Chromium };
// The host manifest a browser of `family` reads: name, description, the host program's absolute
// path, "stdio" and the extension allowed to start it.
std::string HostManifest(BrowserFamily family, std::string_view hostPath);

// Longest message taken from the browser: a list of many tabs fits with room to spare.
inline constexpr std::size_t kMaxRequestBytes = 4 * 1024 * 1024;
// Longest reply: the browser refuses a message from its host above 1 MB.
inline constexpr std::size_t kMaxReplyBytes = 1024 * 1024;
// The names a lookup lists at most (a reply stays small however often a page was saved).
inline constexpr std::size_t kMaxLookupNames = 50;

// The frame of one message: its length as 4 bytes in native order, then `json`.
std::string EncodeFrame(std::string_view json);

// Cuts a byte stream into messages. Bytes are appended as they come; Next gives each whole
// message. A length over the limit makes the stream unusable (nothing tells where the next
// message would start), so the decoder stops there.
class FrameDecoder {
  public:
    enum class Status { NeedMore, Message, Oversize };

    explicit FrameDecoder(std::size_t maxBytes = kMaxRequestBytes) : m_maxBytes(maxBytes) {}
    void Append(std::string_view bytes);
    // Message: `message` holds the next one. NeedMore: no whole message is buffered yet.
    Status Next(std::string& message);
    // Bytes received that do not make a whole message (a stream that ends with some is cut).
    std::size_t Pending() const { return m_buffer.size() - m_start; }

  private:
    std::string m_buffer;
    std::size_t m_start = 0;
    std::size_t m_maxBytes;
    bool m_oversize = false;
};

struct Tab {
    std::string url;
    std::string title;
};

struct Request {
    enum class Type { Ping, Lookup, Add, AddTabs };
    Type type = Type::Ping;
    std::string url;
    std::string title;
    std::string description;
    bool quiet = false;
    std::vector<Tab> tabs;
    // A number the sender chose; the reply carries it back so that replies can be matched.
    std::optional<double> id;
};

// The "type" of a message that is a JSON object, else "".
std::string MessageType(std::string_view json);

// The extension's answer to the window's question for the page in front, which the host hands
// on to the window: {"type":"active-tab","request":N,"url":U,"title":T}.
inline constexpr const char* kActiveTabType = "active-tab";

// The request in a message, or the text of the error reply it gets.
std::variant<Request, std::string> ParseRequest(std::string_view json);

struct AddResult {
    enum class Outcome { Opened, Added, Exists, Error };
    Outcome outcome = Outcome::Error;
    std::string message;
};

struct TabsResult {
    int added = 0;
    int existing = 0;
};

// Where the requests go. Each call may fail with an error reply (`error` set).
class HostTarget {
  public:
    virtual ~HostTarget() = default;
    // The document's path ("" for a window's document never saved); nothing when there is no
    // document to use, with the reason in `error`.
    virtual std::optional<std::string> DocumentPath(std::string& error) = 0;
    // The names of the bookmarks with this page's address.
    virtual std::optional<std::vector<std::string>> Lookup(const std::string& url,
                                                           std::string& error) = 0;
    virtual AddResult Add(const Request& request) = 0;
    virtual std::optional<TabsResult> AddTabs(const std::vector<Tab>& tabs, std::string& error) = 0;
};

// The reply to one message (never over kMaxReplyBytes).
std::string HandleMessage(HostTarget& target, std::string_view json);
std::string HandleRequest(HostTarget& target, const Request& request);
std::string ErrorReply(std::string_view message);

// Whether two addresses name one page for a lookup: equal after dropping the fragment ("#...")
// and one trailing "/", with the scheme and host compared without case.
std::string LookupKey(std::string_view url);
// The names of the document's bookmarks whose address has this key, at most kMaxLookupNames.
std::vector<std::string> NamesWithUrl(const CBrindleDoc& doc, std::string_view url);

} // namespace brindle::native
