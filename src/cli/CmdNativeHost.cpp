// SPDX-License-Identifier: GPL-3.0-or-later
// brindle-cli native-host: the program a browser starts for the Brindle extension. Messages come
// on standard input and replies go to standard output in the browser's framing; each request goes
// to the running window when there is one, else to the last document the window had open.
#include "cli/Commands.h"

#include "exchange/HostDocument.h"
#include "exchange/NativeMessaging.h"
#include "platform/net/InstanceSocket.h"

#include <QCoreApplication>
#include <QSettings>
#include <QStandardPaths>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <memory>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace brindle::cli {

namespace {

// How long a window that listens may take to answer one request.
constexpr int kWindowTimeoutMs = 5000;
// How often a host without a window looks for one that started meanwhile.
constexpr int kAttachRetryMs = 2000;

// The window's "last file": the first recent file of its settings (the file its settings store
// keeps in the user's configuration folder). Read again only when that file changed.
class LastDocument {
  public:
    const std::string& Path() {
        struct stat info {};
        const bool exists = ::stat(m_file.c_str(), &info) == 0;
        const long long stamp =
            exists ? info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec + info.st_size : -1;
        if (!m_read || stamp != m_stamp) {
            QSettings store(QString::fromStdString(m_file), QSettings::IniFormat);
            m_path = store.value(QStringLiteral("Recent File List/File1")).toString().toStdString();
            m_stamp = stamp;
            m_read = true;
        }
        return m_path;
    }

  private:
    std::string m_file = (QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                          QStringLiteral("/Brindle/Brindle.conf"))
                             .toStdString();
    std::string m_path;
    long long m_stamp = -1;
    bool m_read = false;
};

bool WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// The standing connection to the window, over which the window asks the extension for the page
// in front (its captures ask the browser first while an extension is connected).
class WindowLink {
  public:
    ~WindowLink() { Close(); }
    int Fd() const { return m_fd; }

    void TryAttach(const std::string& socketPath) {
        // A window that closes the connection at once (it takes no standing connections) is
        // not asked again before the retry time.
        const auto now = std::chrono::steady_clock::now();
        if (m_fd >= 0 || now < m_nextAttempt)
            return;
        m_nextAttempt = now + std::chrono::milliseconds(kAttachRetryMs);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (socketPath.size() >= sizeof address.sun_path)
            return;
        std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return;
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
            !WriteAll(fd, InstanceFrame(QByteArray(kAttachRequest)).toStdString())) {
            ::close(fd);
            return;
        }
        m_fd = fd;
        m_buffer.clear();
    }

    // Hands a message of the extension to the window.
    void Send(const std::string& message) {
        if (m_fd >= 0 &&
            !WriteAll(m_fd, InstanceFrame(QByteArray::fromStdString(message)).toStdString()))
            Close();
    }

    // Reads what the window sent and hands each of its messages to the extension; false when the
    // browser went away.
    bool Forward() {
        char buffer[4096];
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n <= 0) {
            if (n < 0 && errno == EINTR)
                return true;
            Close();
            return true;
        }
        m_buffer.append(buffer, n);
        bool broken = false;
        while (auto payload = TakeInstanceMessage(m_buffer, broken, native::kMaxReplyBytes))
            if (!WriteAll(STDOUT_FILENO, native::EncodeFrame(payload->toStdString())))
                return false;
        if (broken)
            Close();
        return true;
    }

  private:
    void Close() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }
    int m_fd = -1;
    QByteArray m_buffer;
    std::chrono::steady_clock::time_point m_nextAttempt;
};

class Host {
  public:
    std::string Answer(const std::string& message) {
        auto parsed = native::ParseRequest(message);
        if (const auto* error = std::get_if<std::string>(&parsed))
            return native::ErrorReply(*error);
        if (auto reply =
                AskInstance(m_socket, QByteArray::fromStdString(message), kWindowTimeoutMs)) {
            if (static_cast<std::size_t>(reply->size()) <= native::kMaxReplyBytes)
                return reply->toStdString();
            return native::ErrorReply("The reply would be too long.");
        }
        // No window: the last document, kept open while it stays the last one.
        const std::string& path = m_last.Path();
        if (!m_document || path != m_documentPath) {
            m_document = std::make_unique<native::HostDocument>(path);
            m_documentPath = path;
        }
        const std::string reply =
            native::HandleRequest(*m_document, std::get<native::Request>(parsed));
        return reply.size() <= native::kMaxReplyBytes
                   ? reply
                   : native::ErrorReply("The reply would be too long.");
    }

  private:
    QString m_socket = InstanceSocketPath();
    LastDocument m_last;
    std::unique_ptr<native::HostDocument> m_document;
    std::string m_documentPath;
};

int RunNativeHost(const Args&, Io& io) {
    // The browser's arguments (its origin, the manifest's path) say nothing the host needs.
    std::unique_ptr<QCoreApplication> app;
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "brindle-cli";
        static char* argv[] = {name, nullptr};
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    // A window or browser that went away shows as a failed write, not as a signal.
    std::signal(SIGPIPE, SIG_IGN);
    Host host;
    WindowLink window;
    const std::string socketPath = InstanceSocketPath().toStdString();
    native::FrameDecoder decoder;
    std::string message;
    char buffer[65536];
    for (;;) {
        window.TryAttach(socketPath);
        pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {window.Fd(), POLLIN, 0}};
        const int ready =
            ::poll(fds, window.Fd() >= 0 ? 2 : 1, window.Fd() >= 0 ? -1 : kAttachRetryMs);
        if (ready < 0 && errno != EINTR)
            break;
        if (window.Fd() >= 0 && fds[1].revents != 0 && !window.Forward())
            return kExitFailure;
        if (fds[0].revents == 0)
            continue;
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        decoder.Append({buffer, static_cast<std::size_t>(n)});
        for (;;) {
            const native::FrameDecoder::Status status = decoder.Next(message);
            if (status == native::FrameDecoder::Status::NeedMore)
                break;
            if (status == native::FrameDecoder::Status::Oversize) {
                WriteAll(STDOUT_FILENO,
                         native::EncodeFrame(native::ErrorReply("The message is too long.")));
                io.err << "native-host: a message over the length limit; stopping\n";
                return kExitFailure;
            }
            if (native::MessageType(message) == native::kActiveTabType) {
                window.Send(message); // the answer to the window's question
                continue;
            }
            if (!WriteAll(STDOUT_FILENO, native::EncodeFrame(host.Answer(message))))
                return kExitFailure; // the browser went away
        }
    }
    if (decoder.Pending() > 0) {
        io.err << "native-host: the input ended inside a message\n";
        return kExitFailure;
    }
    return kExitOk;
}

} // namespace

Command NativeHostCommand() {
    return {"native-host",
            "answer the browser extension on standard input and output",
            "[ARG...]",
            "Started by the browser for the Brindle extension (see install-browser-host); the\n"
            "browser's arguments are ignored. Each message is a 32-bit length in this machine's\n"
            "byte order and that many bytes of UTF-8 JSON: ping, lookup, add and add-tabs, each\n"
            "answered with one message. A request goes to the running window; without one, to\n"
            "the last document the window had open, which stays loaded between messages and is\n"
            "read again when it changes, and is written under its lock. A malformed message gets\n"
            "an error reply; a length over 4 MB or input that ends inside a message ends the\n"
            "host with exit 1.",
            {"[ARG...]"},
            {},
            RunNativeHost};
}

} // namespace brindle::cli
