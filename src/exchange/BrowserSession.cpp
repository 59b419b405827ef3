// SPDX-License-Identifier: GPL-3.0-or-later
// Firefox's session file and the reply text of a captured page.

#include "exchange/BrowserSession.h"

#include "store/TextUtil.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <lz4.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <map>
#include <string>
#include <vector>

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

// --- Chromium's session command log ----------------------------------------------------------

namespace {

// Little-endian reads that never pass the end of their bytes.
class ByteReader {
  public:
    explicit ByteReader(std::string_view bytes) : m_bytes(bytes) {}
    bool Int32(std::int32_t& out) {
        std::uint32_t v = 0;
        if (!Uint(v, 4))
            return false;
        out = static_cast<std::int32_t>(v);
        return true;
    }
    bool Uint(std::uint32_t& out, int width) {
        if (m_at + static_cast<std::size_t>(width) > m_bytes.size())
            return false;
        out = 0;
        for (int i = 0; i < width; ++i)
            out |= std::uint32_t{static_cast<unsigned char>(m_bytes[m_at + i])} << (8 * i);
        m_at += static_cast<std::size_t>(width);
        return true;
    }
    bool Bytes(std::size_t n, std::string_view& out) {
        if (n > m_bytes.size() - m_at)
            return false;
        out = m_bytes.substr(m_at, n);
        m_at += n;
        return true;
    }
    // Pickle fields are padded to four bytes.
    bool Align() {
        const std::size_t pad = (4 - m_at % 4) % 4;
        std::string_view skipped;
        return Bytes(pad, skipped);
    }
    bool AtEnd() const { return m_at == m_bytes.size(); }

  private:
    std::string_view m_bytes;
    std::size_t m_at = 0;
};

struct ChromiumTab {
    std::int32_t window = -1;
    std::int32_t indexInWindow = 0;
    std::int32_t selectedNavigation = 0;
    std::map<std::int32_t, std::pair<std::string, std::string>> navigations; // index -> url, title
};

// A navigation's pickle: payload size, tab id, navigation index, URL (8-bit), title (UTF-16).
bool ReadNavigation(std::string_view payload, std::int32_t& tab, std::int32_t& index,
                    std::string& url, std::string& title) {
    ByteReader r(payload);
    std::uint32_t size = 0;
    std::int32_t urlLength = 0;
    std::int32_t titleLength = 0;
    std::string_view urlBytes;
    std::string_view titleBytes;
    if (!r.Uint(size, 4) || !r.Int32(tab) || !r.Int32(index) || !r.Int32(urlLength) ||
        urlLength < 0 || !r.Bytes(static_cast<std::size_t>(urlLength), urlBytes) || !r.Align() ||
        !r.Int32(titleLength) || titleLength < 0 ||
        static_cast<std::size_t>(titleLength) > payload.size() ||
        !r.Bytes(2 * static_cast<std::size_t>(titleLength), titleBytes))
        return false;
    url.assign(urlBytes);
    std::u16string utf16(static_cast<std::size_t>(titleLength), u'\0');
    for (std::size_t i = 0; i < utf16.size(); ++i)
        utf16[i] = static_cast<char16_t>(static_cast<unsigned char>(titleBytes[2 * i]) |
                                         (static_cast<unsigned char>(titleBytes[2 * i + 1]) << 8));
    title = QString::fromUtf16(utf16.data(), static_cast<qsizetype>(utf16.size())).toStdString();
    return true;
}

} // namespace

std::string ChromiumSessionReply(std::string_view snss) {
    // Command numbers of the session log.
    enum : std::uint32_t {
        kSetTabWindow = 0,
        kSetTabIndexInWindow = 2,
        kUpdateTabNavigation = 6,
        kSetSelectedNavigationIndex = 7,
        kSetSelectedTabInIndex = 8,
        kTabClosed = 16,
        kWindowClosed = 17,
        kSetActiveWindow = 20,
    };
    ByteReader file(snss);
    std::string_view magic;
    std::int32_t version = 0;
    if (!file.Bytes(4, magic) || magic != "SNSS" || !file.Int32(version))
        return {};
    std::map<std::int32_t, ChromiumTab> tabs;
    std::map<std::int32_t, std::int32_t> selectedTab; // window -> index of its selected tab
    std::int32_t activeWindow = -1;
    std::vector<std::int32_t> windowOrder; // windows as tabs were put into them, latest last
    for (;;) {
        std::uint32_t size = 0;
        std::uint32_t id = 0;
        std::string_view payload;
        if (!file.Uint(size, 2) || size == 0 || !file.Uint(id, 1) || !file.Bytes(size - 1, payload))
            break; // the end, or a command cut short by a crash
        ByteReader r(payload);
        std::int32_t a = 0;
        std::int32_t b = 0;
        switch (id) {
        case kSetTabWindow: // window, tab
            if (r.Int32(a) && r.Int32(b)) {
                tabs[b].window = a;
                std::erase(windowOrder, a);
                windowOrder.push_back(a);
            }
            break;
        case kSetTabIndexInWindow: // tab, index
            if (r.Int32(a) && r.Int32(b))
                tabs[a].indexInWindow = b;
            break;
        case kSetSelectedNavigationIndex: // tab, index
            if (r.Int32(a) && r.Int32(b))
                tabs[a].selectedNavigation = b;
            break;
        case kSetSelectedTabInIndex: // window, index
            if (r.Int32(a) && r.Int32(b))
                selectedTab[a] = b;
            break;
        case kSetActiveWindow:
            if (r.Int32(a))
                activeWindow = a;
            break;
        case kTabClosed:
            if (r.Int32(a))
                tabs.erase(a);
            break;
        case kWindowClosed:
            if (r.Int32(a)) {
                std::erase_if(tabs, [a](const auto& t) { return t.second.window == a; });
                if (activeWindow == a)
                    activeWindow = -1;
            }
            break;
        case kUpdateTabNavigation: {
            std::int32_t tab = 0;
            std::int32_t index = 0;
            std::string url;
            std::string title;
            if (ReadNavigation(payload, tab, index, url, title))
                tabs[tab].navigations[index] = {std::move(url), std::move(title)};
            break;
        }
        default:
            break;
        }
    }
    // The active window, else the latest one a tab was put into that still has tabs.
    const auto hasTabs = [&](std::int32_t w) {
        return w >= 0 && std::any_of(tabs.begin(), tabs.end(),
                                     [w](const auto& t) { return t.second.window == w; });
    };
    std::int32_t window = activeWindow;
    for (auto w = windowOrder.rbegin(); !hasTabs(window) && w != windowOrder.rend(); ++w)
        window = *w;
    if (!hasTabs(window))
        return {};
    // The window's selected tab, else its first.
    const std::int32_t wanted = selectedTab.contains(window) ? selectedTab[window] : 0;
    const ChromiumTab* chosen = nullptr;
    for (const auto& [id, tab] : tabs) {
        if (tab.window != window)
            continue;
        if (tab.indexInWindow == wanted) {
            chosen = &tab;
            break;
        }
        if (!chosen)
            chosen = &tab;
    }
    if (!chosen || chosen->navigations.empty())
        return {};
    auto entry = chosen->navigations.find(chosen->selectedNavigation);
    if (entry == chosen->navigations.end())
        entry = std::prev(chosen->navigations.end());
    if (entry->second.first.empty())
        return {};
    return BrowserReply(entry->second.first, entry->second.second);
}

} // namespace brindle
