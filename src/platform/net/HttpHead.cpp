// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/net/HttpHead.h"

#include <algorithm>
#include <cctype>

namespace brindle {

namespace {

bool HeaderIs(QByteArrayView line, qsizetype colon, const char* name) {
    return line.first(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0;
}

} // namespace

void HttpHeadReader::Reset() {
    m_state = State::Reading;
    m_statusRead = false;
    m_skipping = false;
    m_line.clear();
    m_head = HttpHead{};
}

qsizetype HttpHeadReader::Feed(QByteArrayView bytes) {
    qsizetype used = 0;
    while (m_state == State::Reading && used < bytes.size()) {
        const QByteArrayView rest = bytes.sliced(used);
        const qsizetype newline = rest.indexOf('\n');
        const qsizetype take = newline < 0 ? rest.size() : newline + 1;
        used += take;
        if (m_skipping) {
            m_skipping = newline < 0;
            continue;
        }
        if (m_line.size() + take > m_maxLine + 2) {
            if (!m_statusRead) {
                m_state = State::Invalid;
                break;
            }
            // The rest of an over-long header line is passed over as it arrives.
            m_line.clear();
            m_skipping = newline < 0;
            continue;
        }
        m_line.append(rest.first(take));
        if (newline < 0)
            break;
        qsizetype length = m_line.size();
        while (length > 0 && (m_line.at(length - 1) == '\n' || m_line.at(length - 1) == '\r'))
            --length;
        TakeLine(QByteArrayView(m_line.constData(), length));
        m_line.clear();
    }
    return used;
}

void HttpHeadReader::TakeLine(QByteArrayView line) {
    if (!m_statusRead) {
        if (line.isEmpty())
            return; // blank lines before the status line are tolerated
        if (!TakeStatusLine(line)) {
            m_state = State::Invalid;
            return;
        }
        m_statusRead = true;
    } else if (!line.isEmpty()) {
        TakeHeader(line);
    } else if (m_head.status >= 100 && m_head.status < 200) {
        m_statusRead = false; // an interim answer: the real one follows
    } else {
        m_state = State::Done;
    }
}

bool HttpHeadReader::TakeStatusLine(QByteArrayView line) {
    // "HTTP/1.1 200 OK", parsed as QtNetwork does.
    if (line.size() < 12 || !line.startsWith("HTTP/") || line.at(6) != '.' || line.at(8) != ' ')
        return false;
    qsizetype end = line.indexOf(' ', 9);
    if (end == -1)
        end = line.size();
    if (end - 8 != 4)
        return false;
    const QByteArrayView digits = line.sliced(9, 3);
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    const int code = digits.toInt();
    m_head = HttpHead{};
    m_head.status = code;
    m_head.http10 = line.at(5) == '1' && line.at(7) == '0';
    m_head.reason = end < line.size() ? line.sliced(end + 1).trimmed().toByteArray() : QByteArray();
    return true;
}

void HttpHeadReader::TakeHeader(QByteArrayView line) {
    const qsizetype colon = line.indexOf(':');
    if (colon <= 0)
        return;
    const QByteArrayView value = line.sliced(colon + 1).trimmed();
    switch (std::tolower(static_cast<unsigned char>(line.at(0)))) {
    case 'l':
        if (HeaderIs(line, colon, "Location"))
            m_head.location = value.toByteArray();
        else if (HeaderIs(line, colon, "Last-Modified"))
            m_head.lastModified = value.toByteArray();
        break;
    case 'r':
        if (HeaderIs(line, colon, "Retry-After"))
            m_head.retryAfter = value.toByteArray();
        break;
    case 'c':
        if (HeaderIs(line, colon, "Content-Length")) {
            bool ok = false;
            const qint64 length = value.toLongLong(&ok);
            m_head.contentLength = ok && length >= 0 ? length : -1;
        } else if (HeaderIs(line, colon, "Connection")) {
            const QByteArray lower = value.toByteArray().toLower();
            m_head.connectionClose = lower.contains("close");
            if (lower.contains("keep-alive"))
                m_head.http10 = false; // asked for by an HTTP/1.0 server
        }
        break;
    case 't':
        if (HeaderIs(line, colon, "Transfer-Encoding"))
            m_head.chunked = value.toByteArray().toLower().contains("chunked");
        break;
    default:
        break;
    }
}

} // namespace brindle
