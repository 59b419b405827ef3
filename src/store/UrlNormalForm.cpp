// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/UrlNormalForm.h"

#include <QString>
#include <QUrl>

#include <cstring>

namespace brindle {

namespace {

bool IsAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
int HexValue(char c) {
    if (IsDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
bool IsUnreserved(int c) {
    return IsAlpha(static_cast<char>(c)) || IsDigit(static_cast<char>(c)) || c == '-' || c == '.' ||
           c == '_' || c == '~';
}
bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (Lower(text[i]) != prefix[i])
            return false;
    return true;
}
bool EqualsNoCase(std::string_view text, std::string_view lower) {
    return text.size() == lower.size() && StartsWithNoCase(text, lower);
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ')
        s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ')
        s.remove_suffix(1);
    return s;
}

// True when `c` appended to `out` would complete an escape out of a stray "%" before it.
bool CompletesEscape(const std::string& out, char c) {
    if (HexValue(c) < 0 || out.empty())
        return false;
    const std::size_t n = out.size();
    return out[n - 1] == '%' || (n >= 2 && out[n - 2] == '%' && HexValue(out[n - 1]) >= 0);
}

// Appends `part` with each valid escape either decoded (an unreserved byte) or in upper case.
void AppendEscaped(std::string& out, std::string_view part) {
    const void* percent = std::memchr(part.data(), '%', part.size());
    if (!percent) {
        out.append(part);
        return;
    }
    for (std::size_t i = 0; i < part.size(); ++i) {
        const char c = part[i];
        if (c == '%' && i + 2 < part.size()) {
            const int hi = HexValue(part[i + 1]);
            const int lo = HexValue(part[i + 2]);
            if (hi >= 0 && lo >= 0) {
                const int value = hi * 16 + lo;
                if (IsUnreserved(value) && !CompletesEscape(out, static_cast<char>(value))) {
                    out.push_back(static_cast<char>(value));
                } else {
                    out.push_back('%');
                    out.push_back(Upper(part[i + 1]));
                    out.push_back(Upper(part[i + 2]));
                }
                i += 2;
                continue;
            }
        }
        out.push_back(c);
    }
}

// Parameters that only tell a site which campaign or click brought the visitor.
bool IsTrackingParameter(std::string_view parameter) {
    const std::string_view name = parameter.substr(0, parameter.find('='));
    return StartsWithNoCase(name, "utm_") || StartsWithNoCase(name, "mc_") ||
           EqualsNoCase(name, "fbclid") || EqualsNoCase(name, "gclid");
}

// The pieces of an http or https address, as views into it.
struct Pieces {
    bool https = false;
    std::string_view userinfo; // without its "@"; empty: none
    bool hasUserinfo = false;
    std::string_view host; // "[...]" for an IPv6 literal
    std::string_view port; // digits without leading zeros; empty: the default
    std::string_view path;
    std::string_view query;    // without "?"
    std::string_view fragment; // without "#"
};

// Splits `rest` (after "http:" or "https:") into pieces; false for what is no such address.
bool SplitWebAddress(std::string_view rest, bool https, Pieces& p) {
    if (rest.size() < 2 || rest[0] != '/' || rest[1] != '/')
        return false;
    rest.remove_prefix(2);
    p.https = https;
    // A plain loop: find_first_of looks each character up in its set with memchr, which showed
    // as a sixth of finding duplicates in a million addresses.
    std::size_t authorityEnd = 0;
    while (authorityEnd < rest.size() && rest[authorityEnd] != '/' && rest[authorityEnd] != '?' &&
           rest[authorityEnd] != '#')
        ++authorityEnd;
    if (authorityEnd == rest.size())
        authorityEnd = std::string_view::npos;
    std::string_view authority = rest.substr(0, authorityEnd);
    rest = authorityEnd == std::string_view::npos ? std::string_view() : rest.substr(authorityEnd);
    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
        p.userinfo = authority.substr(0, at);
        p.hasUserinfo = true;
        authority.remove_prefix(at + 1);
    }
    std::string_view portText;
    if (!authority.empty() && authority[0] == '[') {
        const std::size_t close = authority.find(']');
        if (close == std::string_view::npos)
            return false;
        p.host = authority.substr(0, close + 1);
        std::string_view after = authority.substr(close + 1);
        if (!after.empty()) {
            if (after[0] != ':')
                return false;
            portText = after.substr(1);
        }
    } else {
        const std::size_t colon = authority.find(':');
        p.host = authority.substr(0, colon);
        if (colon != std::string_view::npos)
            portText = authority.substr(colon + 1);
    }
    if (p.host.empty())
        return false;
    for (char c : portText)
        if (!IsDigit(c))
            return false;
    while (portText.size() > 1 && portText[0] == '0')
        portText.remove_prefix(1);
    if (portText == (https ? "443" : "80"))
        portText = {};
    p.port = portText;

    const std::size_t hash = rest.find('#');
    if (hash != std::string_view::npos) {
        p.fragment = rest.substr(hash + 1);
        rest = rest.substr(0, hash);
    }
    const std::size_t question = rest.find('?');
    if (question != std::string_view::npos) {
        p.query = rest.substr(question + 1);
        rest = rest.substr(0, question);
    }
    p.path = rest;
    return true;
}

void AppendHost(std::string& out, std::string_view host, bool loose) {
    bool ascii = true;
    for (char c : host)
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    std::string ace;
    if (!ascii) {
        // An international name compares in its ASCII form, which also folds its case.
        const QByteArray converted =
            QUrl::toAce(QString::fromUtf8(host.data(), static_cast<qsizetype>(host.size())));
        if (!converted.isEmpty()) {
            ace.assign(converted.constData(), static_cast<std::size_t>(converted.size()));
            host = ace;
        }
    }
    while (loose && StartsWithNoCase(host, "www.") && host.size() > 4)
        host.remove_prefix(4);
    // Escapes keep their upper-case digits, as everywhere in a key.
    for (std::size_t i = 0; i < host.size(); ++i) {
        if (host[i] == '%' && i + 2 < host.size() && HexValue(host[i + 1]) >= 0 &&
            HexValue(host[i + 2]) >= 0) {
            out.push_back('%');
            out.push_back(Upper(host[i + 1]));
            out.push_back(Upper(host[i + 2]));
            i += 2;
        } else {
            out.push_back(Lower(host[i]));
        }
    }
}

void AppendQuery(std::string& out, std::string_view query) {
    bool first = true;
    while (true) {
        const std::size_t amp = query.find('&');
        const std::string_view parameter = query.substr(0, amp);
        if (!parameter.empty()) {
            const std::size_t before = out.size();
            out.push_back(first ? '?' : '&');
            AppendEscaped(out, parameter);
            // Judged as written: "utm%5Fsource" is "utm_source" once its escape is decoded, and
            // the key of a key must be the key itself.
            if (IsTrackingParameter(std::string_view(out).substr(before + 1)))
                out.resize(before);
            else
                first = false;
        }
        if (amp == std::string_view::npos)
            break;
        query.remove_prefix(amp + 1);
    }
}

void MakeKey(std::string_view url, std::string& out, bool loose) {
    out.clear();
    url = Trim(url);
    std::size_t colon = 0;
    if (!url.empty() && IsAlpha(url[0])) {
        colon = 1;
        while (colon < url.size() && (IsAlpha(url[colon]) || IsDigit(url[colon]) ||
                                      url[colon] == '+' || url[colon] == '-' || url[colon] == '.'))
            ++colon;
    }
    if (colon == 0 || colon >= url.size() || url[colon] != ':') {
        out.assign(url); // no scheme: nothing to say about it
        return;
    }
    const std::string_view scheme = url.substr(0, colon);
    const std::string_view rest = url.substr(colon + 1);
    const bool http = EqualsNoCase(scheme, "http");
    const bool https = EqualsNoCase(scheme, "https");
    Pieces p;
    if ((!http && !https) || !SplitWebAddress(rest, https, p)) {
        for (char c : scheme)
            out.push_back(Lower(c));
        out.push_back(':');
        out.append(rest);
        return;
    }
    out.reserve(url.size());
    out.append(loose || !https ? "http://" : "https://");
    if (p.hasUserinfo) {
        AppendEscaped(out, p.userinfo);
        out.push_back('@');
    }
    AppendHost(out, p.host, loose);
    // With http and https alike, so are their default ports.
    if (loose && (p.port == "80" || p.port == "443"))
        p.port = {};
    if (!p.port.empty()) {
        out.push_back(':');
        out.append(p.port);
    }
    const std::size_t pathStart = out.size();
    if (p.path.empty())
        out.push_back('/');
    else
        AppendEscaped(out, p.path);
    while (loose && out.size() > pathStart && out.back() == '/')
        out.pop_back();
    AppendQuery(out, p.query);
    const bool route = !p.fragment.empty() && (p.fragment[0] == '/' || p.fragment[0] == '!');
    if (!p.fragment.empty() && (!loose || route)) {
        out.push_back('#');
        AppendEscaped(out, p.fragment);
    }
    // A blank before a dropped part would end the key, where the next key would trim it away:
    // it is escaped instead.
    std::size_t blanks = 0;
    while (blanks < out.size() && static_cast<unsigned char>(out[out.size() - 1 - blanks]) <= ' ')
        ++blanks;
    if (blanks > 0) {
        const std::string tail = out.substr(out.size() - blanks);
        out.resize(out.size() - blanks);
        constexpr char kHex[] = "0123456789ABCDEF";
        for (const char c : tail) {
            const auto byte = static_cast<unsigned char>(c);
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        }
    }
}

} // namespace

void SameUrlKey(std::string_view url, std::string& out) {
    MakeKey(url, out, false);
}

void LikelyUrlKey(std::string_view url, std::string& out) {
    MakeKey(url, out, true);
}

std::string SameUrlKey(std::string_view url) {
    std::string key;
    MakeKey(url, key, false);
    return key;
}

std::string LikelyUrlKey(std::string_view url) {
    std::string key;
    MakeKey(url, key, true);
    return key;
}

} // namespace brindle
