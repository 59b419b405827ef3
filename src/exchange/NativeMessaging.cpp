// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/NativeMessaging.h"

#include "store/BrindleDoc.h"
#include "store/Version.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace brindle::native {

namespace {

std::string ToJson(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A string member, or nothing when it is missing or not a string.
std::optional<std::string> StringMember(const QJsonObject& object, const char* name) {
    const QJsonValue value = object.value(QLatin1String(name));
    if (!value.isString())
        return std::nullopt;
    return value.toString().toStdString();
}

const char* OutcomeName(AddResult::Outcome outcome) {
    switch (outcome) {
    case AddResult::Outcome::Opened:
        return "opened";
    case AddResult::Outcome::Added:
        return "added";
    case AddResult::Outcome::Exists:
        return "exists";
    case AddResult::Outcome::Error:
        break;
    }
    return "error";
}

// A lookup reply that lists as many names as fit under the reply limit.
std::string LookupReply(const std::vector<std::string>& names) {
    QJsonArray list;
    std::size_t bytes = 64;
    for (const std::string& name : names) {
        bytes += name.size() * 6 + 3; // worst case: every byte escaped as \u00XX
        if (bytes > kMaxReplyBytes)
            break;
        list.append(Text(name));
    }
    return ToJson({{QStringLiteral("type"), QStringLiteral("lookup")},
                   {QStringLiteral("saved"), !names.empty()},
                   {QStringLiteral("names"), list}});
}

} // namespace

std::string HostManifest(BrowserFamily family, std::string_view hostPath) {
    QJsonObject manifest{{QStringLiteral("name"), QLatin1String(kHostName)},
                         {QStringLiteral("description"),
                          QStringLiteral("Brindle: add pages to the bookmark document")},
                         {QStringLiteral("path"), Text(hostPath)},
                         {QStringLiteral("type"), QStringLiteral("stdio")}};
    if (family == BrowserFamily::Firefox)
        manifest.insert(QStringLiteral("allowed_extensions"),
                        QJsonArray{QLatin1String(kFirefoxExtensionId)});
    else
        manifest.insert(
            QStringLiteral("allowed_origins"),
            QJsonArray{
                QStringLiteral("chrome-extension://%1/").arg(QLatin1String(kChromiumExtensionId))});
    return QJsonDocument(manifest).toJson(QJsonDocument::Indented).toStdString();
}

std::string EncodeFrame(std::string_view json) {
    const auto length = static_cast<std::uint32_t>(json.size());
    std::string frame(sizeof length, '\0');
    std::memcpy(frame.data(), &length, sizeof length);
    frame.append(json);
    return frame;
}

void FrameDecoder::Append(std::string_view bytes) {
    if (m_oversize)
        return;
    // Drop what has been handed out before the buffer grows again.
    if (m_start > 0 && m_start == m_buffer.size()) {
        m_buffer.clear();
        m_start = 0;
    } else if (m_start > 65536) {
        m_buffer.erase(0, m_start);
        m_start = 0;
    }
    m_buffer.append(bytes);
}

FrameDecoder::Status FrameDecoder::Next(std::string& message) {
    if (m_oversize)
        return Status::Oversize;
    std::uint32_t length = 0;
    if (Pending() < sizeof length)
        return Status::NeedMore;
    std::memcpy(&length, m_buffer.data() + m_start, sizeof length);
    if (length > m_maxBytes) {
        m_oversize = true;
        m_buffer.clear();
        m_start = 0;
        return Status::Oversize;
    }
    if (Pending() - sizeof length < length)
        return Status::NeedMore;
    message.assign(m_buffer, m_start + sizeof length, length);
    m_start += sizeof length + length;
    return Status::Message;
}

std::string MessageType(std::string_view json) {
    const QJsonDocument document = QJsonDocument::fromJson(
        QByteArray::fromRawData(json.data(), static_cast<qsizetype>(json.size())));
    return document.object().value(QLatin1String("type")).toString().toStdString();
}

std::variant<Request, std::string> ParseRequest(std::string_view json) {
    if (json.size() > kMaxRequestBytes)
        return std::string("The message is too long.");
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(
        QByteArray::fromRawData(json.data(), static_cast<qsizetype>(json.size())), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::string("The message is not a JSON object.");
    const QJsonObject object = document.object();
    const std::optional<std::string> type = StringMember(object, "type");
    if (!type)
        return std::string("The message has no \"type\".");

    Request request;
    if (const QJsonValue id = object.value(QLatin1String("id")); id.isDouble())
        request.id = id.toDouble();
    if (*type == "ping") {
        request.type = Request::Type::Ping;
        return request;
    }
    if (*type == "lookup" || *type == "add") {
        request.type = *type == "add" ? Request::Type::Add : Request::Type::Lookup;
        std::optional<std::string> url = StringMember(object, "url");
        if (!url || url->empty())
            return "A \"" + *type + "\" message needs a \"url\".";
        request.url = std::move(*url);
        request.title = StringMember(object, "title").value_or("");
        request.description = StringMember(object, "description").value_or("");
        request.quiet = object.value(QLatin1String("quiet")).toBool(false);
        return request;
    }
    if (*type == "add-tabs") {
        request.type = Request::Type::AddTabs;
        const QJsonValue tabs = object.value(QLatin1String("tabs"));
        if (!tabs.isArray())
            return std::string("An \"add-tabs\" message needs a \"tabs\" list.");
        for (const QJsonValue& value : tabs.toArray()) {
            const QJsonObject tab = value.toObject();
            std::optional<std::string> url = StringMember(tab, "url");
            if (!url || url->empty())
                return std::string("Each tab needs a \"url\".");
            request.tabs.push_back({std::move(*url), StringMember(tab, "title").value_or("")});
        }
        return request;
    }
    return "Unknown message type \"" + *type + "\".";
}

std::string ErrorReply(std::string_view message) {
    return ToJson({{QStringLiteral("type"), QStringLiteral("error")},
                   {QStringLiteral("message"), Text(message)}});
}

namespace {
std::string Answer(HostTarget& target, const Request& request) {
    std::string error;
    switch (request.type) {
    case Request::Type::Ping: {
        const std::optional<std::string> path = target.DocumentPath(error);
        QJsonObject reply{{QStringLiteral("type"), QStringLiteral("pong")},
                          {QStringLiteral("version"), QString::fromUtf8(Version())}};
        if (path)
            reply.insert(QStringLiteral("document"), Text(*path));
        else
            reply.insert(QStringLiteral("message"), Text(error));
        return ToJson(reply);
    }
    case Request::Type::Lookup: {
        const std::optional<std::vector<std::string>> names = target.Lookup(request.url, error);
        return names ? LookupReply(*names) : ErrorReply(error);
    }
    case Request::Type::Add: {
        const AddResult result = target.Add(request);
        return ToJson({{QStringLiteral("type"), QStringLiteral("add")},
                       {QStringLiteral("result"), QLatin1String(OutcomeName(result.outcome))},
                       {QStringLiteral("message"), Text(result.message)}});
    }
    case Request::Type::AddTabs: {
        const std::optional<TabsResult> result = target.AddTabs(request.tabs, error);
        if (!result)
            return ErrorReply(error);
        return ToJson({{QStringLiteral("type"), QStringLiteral("add-tabs")},
                       {QStringLiteral("added"), result->added},
                       {QStringLiteral("existing"), result->existing}});
    }
    }
    return ErrorReply("Unknown message.");
}
} // namespace

std::string HandleRequest(HostTarget& target, const Request& request) {
    std::string reply = Answer(target, request);
    if (request.id && reply.size() > 2 && reply.front() == '{') {
        // {"id":N,...}: the members of the reply follow the id.
        QJsonObject tagged{{QStringLiteral("id"), *request.id}};
        std::string head = ToJson(tagged);
        head.pop_back();
        reply = head + "," + reply.substr(1);
    }
    return reply;
}

std::string HandleMessage(HostTarget& target, std::string_view json) {
    auto parsed = ParseRequest(json);
    if (auto* message = std::get_if<std::string>(&parsed))
        return ErrorReply(*message);
    std::string reply = HandleRequest(target, std::get<Request>(parsed));
    return reply.size() <= kMaxReplyBytes ? reply : ErrorReply("The reply would be too long.");
}

namespace {

std::string_view Trimmed(std::string_view url) {
    while (!url.empty() && std::isspace(static_cast<unsigned char>(url.front())))
        url.remove_prefix(1);
    while (!url.empty() && std::isspace(static_cast<unsigned char>(url.back())))
        url.remove_suffix(1);
    if (const std::size_t hash = url.find('#'); hash != std::string_view::npos)
        url = url.substr(0, hash);
    if (!url.empty() && url.back() == '/')
        url.remove_suffix(1);
    return url;
}

// The length of the scheme and host: up to the first "/" after "://", else the whole scheme.
std::size_t HostEnd(std::string_view url) {
    std::size_t end = url.find("://");
    end = end == std::string_view::npos ? url.find(':') : url.find('/', end + 3);
    return end == std::string_view::npos ? url.size() : end;
}

// LookupKey(candidate) == key, without building the candidate's key: a lookup compares it with
// every bookmark of the document.
bool HasLookupKey(std::string_view candidate, std::string_view key) {
    if (candidate.size() < key.size())
        return false;
    candidate = Trimmed(candidate);
    if (candidate.size() != key.size())
        return false;
    const std::size_t hostEnd = HostEnd(candidate);
    for (std::size_t i = 0; i < hostEnd; ++i)
        if (std::tolower(static_cast<unsigned char>(candidate[i])) != key[i])
            return false;
    return candidate.substr(hostEnd) == key.substr(hostEnd);
}

} // namespace

std::string LookupKey(std::string_view url) {
    std::string key(Trimmed(url));
    const std::size_t end = HostEnd(key);
    std::transform(key.begin(), key.begin() + static_cast<std::ptrdiff_t>(end), key.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return key;
}

std::vector<std::string> NamesWithUrl(const CBrindleDoc& doc, std::string_view url) {
    const std::string key = LookupKey(url);
    std::vector<std::string> names;
    for (const BookmarkRef bookmark : doc.Bookmarks()) {
        if (HasLookupKey(bookmark.m_strURL, key)) {
            names.emplace_back(bookmark.m_strName);
            if (names.size() == kMaxLookupNames)
                break;
        }
    }
    return names;
}

} // namespace brindle::native
