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
#include <memory>
#include <unistd.h>

namespace brindle::cli {

namespace {

// How long a window that listens may take to answer one request.
constexpr int kWindowTimeoutMs = 5000;

// The window's "last file": the first recent file of its settings (the file its settings store
// keeps in the user's configuration folder).
std::string LastDocument() {
    const QString file = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                         QStringLiteral("/Brindle/Brindle.conf");
    QSettings store(file, QSettings::IniFormat);
    return store.value(QStringLiteral("Recent File List/File1")).toString().toStdString();
}

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
        const std::string path = LastDocument();
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
    Host host;
    native::FrameDecoder decoder;
    std::string message;
    char buffer[65536];
    for (;;) {
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
