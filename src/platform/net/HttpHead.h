// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The head of an HTTP/1.x answer read from raw bytes as they arrive: the status line and the
// headers a probe uses. SocketProber feeds it what its socket holds; it touches no socket, so
// it can be tested and fuzzed on its own. Everything it reads comes from servers nobody vouches
// for: lines are bounded, numbers are checked, and nothing is kept that the probe does not use.

#include <QByteArray>
#include <QByteArrayView>

namespace brindle {

struct HttpHead {
    int status = 0;
    bool http10 = false; // an HTTP/1.0 answer that did not ask to keep the connection
    QByteArray reason;
    QByteArray location;
    QByteArray lastModified;
    QByteArray retryAfter;
    qint64 contentLength = -1; // -1 when absent or unusable
    bool chunked = false;
    bool connectionClose = false;
    bool operator==(const HttpHead&) const = default;
};

class HttpHeadReader {
  public:
    enum class State { Reading, Done, Invalid };
    // A header line longer than this is skipped unread (none of the headers a probe reads is);
    // a status line longer than this makes the answer invalid.
    static constexpr qsizetype kMaxLine = 64 * 1024;

    // `maxLine` other than kMaxLine is for tests, which reach the limit with short inputs.
    explicit HttpHeadReader(qsizetype maxLine = kMaxLine) : m_maxLine(maxLine) {}

    void Reset();
    // Takes the next bytes of the answer and returns how many of them belong to its head: all of
    // them while the head goes on, up to and including the blank line that ends it. Blank lines
    // before the status line and interim (1xx) answers are passed over. Once the state is Done or
    // Invalid nothing more is taken.
    qsizetype Feed(QByteArrayView bytes);

    State GetState() const { return m_state; }
    const HttpHead& Head() const { return m_head; }

  private:
    void TakeLine(QByteArrayView line);
    bool TakeStatusLine(QByteArrayView line);
    void TakeHeader(QByteArrayView line);

    qsizetype m_maxLine;
    State m_state = State::Reading;
    bool m_statusRead = false; // else the status line is awaited
    bool m_skipping = false;   // inside an over-long header line
    QByteArray m_line;         // the line being read
    HttpHead m_head;
};

} // namespace brindle
