// Firefox's session file and the reply text of a captured page.

#include "exchange/BrowserSession.h"

#include "store/TextUtil.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <lz4.h>

#include <cstdint>
#include <cstring>

namespace brindle {

namespace {

constexpr std::string_view kMozLz4Magic{"mozLz40\0", 8};
// A session is a few megabytes at most; a larger size field is damage, not a session.
constexpr std::uint32_t kMaxSessionBytes = 256u << 20;

// The element at a 1-based index as the session writes them, or the last one when the index
// is missing or out of range.
QJsonObject Pick(const QJsonArray& list, const QJsonValue& index) {
    if (list.isEmpty())
        return {};
    const qsizetype i = index.isDouble() ? static_cast<qsizetype>(index.toDouble()) : 0;
    const QJsonValue v = i >= 1 && i <= list.size() ? list.at(i - 1) : list.last();
    return v.toObject();
}

} // namespace

std::optional<std::string> DecodeMozLz4(std::string_view bytes) {
    if (bytes.size() < kMozLz4Magic.size() + 4 || bytes.substr(0, 8) != kMozLz4Magic)
        return std::nullopt;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + 8;
    const std::uint32_t size = p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t{p[3]} << 24);
    if (size > kMaxSessionBytes)
        return std::nullopt;
    const std::string_view block = bytes.substr(12);
    std::string out(size, '\0');
    const int written = LZ4_decompress_safe(block.data(), out.data(),
                                            static_cast<int>(block.size()), static_cast<int>(size));
    if (written < 0 || static_cast<std::uint32_t>(written) != size)
        return std::nullopt;
    return out;
}

std::string FirefoxSessionReply(std::string_view jsonlz4) {
    const std::optional<std::string> json = DecodeMozLz4(jsonlz4);
    if (!json)
        return {};
    const QJsonDocument doc = QJsonDocument::fromJson(
        QByteArray::fromRawData(json->data(), static_cast<qsizetype>(json->size())));
    if (!doc.isObject())
        return {};
    const QJsonObject session = doc.object();
    // "selectedWindow" is the window that had the focus when the session was written.
    const QJsonObject window = Pick(session.value(QLatin1String("windows")).toArray(),
                                    session.value(QLatin1String("selectedWindow")));
    const QJsonObject tab = Pick(window.value(QLatin1String("tabs")).toArray(),
                                 window.value(QLatin1String("selected")));
    const QJsonObject entry =
        Pick(tab.value(QLatin1String("entries")).toArray(), tab.value(QLatin1String("index")));
    const std::string url = entry.value(QLatin1String("url")).toString().toStdString();
    if (url.empty())
        return {};
    return BrowserReply(url, entry.value(QLatin1String("title")).toString().toStdString());
}

std::string BrowserReply(std::string_view url, std::string_view title) {
    std::string reply = "\"";
    for (const char c : url) {
        if (c == '"')
            reply += "%22";
        else
            reply += c;
    }
    reply += "\",\"";
    reply += title;
    reply += '"';
    return reply;
}

BrowserPage ParseBrowserReply(std::string_view reply) {
    BrowserPage page;
    const std::size_t q1 = reply.find('"');
    if (q1 == std::string_view::npos)
        return page;
    const std::size_t q2 = reply.find('"', q1 + 1);
    if (q2 == std::string_view::npos)
        return page;
    page.url = Trim(reply.substr(q1 + 1, q2 - q1 - 1));
    const std::size_t q3 = reply.find('"', q2 + 1);
    if (q3 == std::string_view::npos)
        return page;
    std::size_t q4 = reply.find("\",", q3 + 1);
    if (q4 == std::string_view::npos)
        q4 = reply.rfind('"');
    if (q4 <= q3)
        return page;
    page.title = Trim(reply.substr(q3 + 1, q4 - q3 - 1));
    return page;
}

} // namespace brindle
