// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/net/WebDav.h"

#include "exchange/ExchangeFiles.h"
#include "sync/SyncState.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <curl/curl.h>
#include <qt6keychain/keychain.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace brindle {

namespace {

constexpr const char* kSecretService = "Brindle";

struct Answer {
    bool ok = false; // the server answered
    long status = 0; // HTTP status
    std::string body;
    std::time_t date = -1;         // the Date header
    std::time_t lastModified = -1; // the Last-Modified header
    std::string error;
};

std::size_t TakeBody(char* data, std::size_t size, std::size_t count, void* answer) {
    static_cast<Answer*>(answer)->body.append(data, size * count);
    return size * count;
}

std::size_t TakeHeader(char* data, std::size_t size, std::size_t count, void* answer) {
    std::string line(data, size * count);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    auto* a = static_cast<Answer*>(answer);
    auto value = [&](const char* name) -> const char* {
        const std::size_t n = std::strlen(name);
        return line.size() > n && strncasecmp(line.c_str(), name, n) == 0 ? line.c_str() + n
                                                                          : nullptr;
    };
    if (const char* v = value("date:"))
        a->date = curl_getdate(v, nullptr);
    else if (const char* v = value("last-modified:"))
        a->lastModified = curl_getdate(v, nullptr);
    return size * count;
}

class WebDavTarget final : public SyncTarget {
  public:
    WebDavTarget(std::string address, WebDavLogin login)
        : m_address(std::move(address)), m_url(HttpAddressOf(m_address)),
          m_lockUrl(m_url + ".lock"), m_login(std::move(login)) {
        static std::once_flag ready;
        std::call_once(ready, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
        m_curl = curl_easy_init();
    }
    ~WebDavTarget() override {
        Unlock();
        if (m_curl)
            curl_easy_cleanup(m_curl);
    }

    std::string Address() const override { return m_address; }

    TargetResult Read(std::string& bytes, bool& exists) override {
        Answer a = Request("GET", m_url, nullptr);
        if (!a.ok)
            return TargetResult::Fail(a.error);
        exists = a.status != 404;
        if (exists && (a.status < 200 || a.status > 299))
            return TargetResult::Fail(StatusText("GET", m_url, a.status));
        bytes = exists ? std::move(a.body) : std::string();
        return TargetResult::Ok();
    }

    TargetResult Write(std::string_view bytes) override {
        const Answer a = Request("PUT", m_url, &bytes);
        if (!a.ok)
            return TargetResult::Fail(a.error);
        if (a.status < 200 || a.status > 299)
            return TargetResult::Fail(StatusText("PUT", m_url, a.status));
        return TargetResult::Ok();
    }

    TargetResult Lock(std::chrono::milliseconds wait) override {
        const auto until = std::chrono::steady_clock::now() + wait;
        for (;;) {
            Answer a = Request("GET", m_lockUrl, nullptr);
            if (!a.ok)
                return TargetResult::Fail(a.error);
            bool free = a.status == 404;
            if (!free && a.status >= 200 && a.status <= 299) {
                // The server's clock judges the lock's age; ours may be off.
                const std::time_t now = a.date > 0 ? a.date : std::time(nullptr);
                free = (a.lastModified > 0 && now - a.lastModified > kStaleLockAge.count()) ||
                       IsOwnDeadLock(a.body);
            } else if (!free) {
                return TargetResult::Fail(StatusText("GET", m_lockUrl, a.status));
            }
            if (free) {
                if (TargetResult put = PutLock(); !put.ok)
                    return put;
                // Two writers may have seen the lock free at once: the one whose text the lock
                // holds afterwards has it.
                Answer check = Request("GET", m_lockUrl, nullptr);
                if (check.ok && check.status >= 200 && check.status <= 299 &&
                    check.body == m_lockText) {
                    m_held = true;
                    return TargetResult::Ok();
                }
            }
            if (std::chrono::steady_clock::now() >= until)
                return TargetResult::Fail("another program holds the lock " + m_lockUrl);
            std::this_thread::sleep_for(std::chrono::seconds(1));
        }
    }

    void RefreshLock() override {
        if (m_held && std::chrono::steady_clock::now() - m_taken >= kLockRefresh)
            PutLock();
    }

    void Unlock() override {
        if (m_held)
            Request("DELETE", m_lockUrl, nullptr);
        m_held = false;
    }

  private:
    TargetResult PutLock() {
        m_lockText = LockText();
        const std::string_view text = m_lockText;
        const Answer a = Request("PUT", m_lockUrl, &text);
        if (!a.ok)
            return TargetResult::Fail(a.error);
        if (a.status < 200 || a.status > 299)
            return TargetResult::Fail(StatusText("PUT", m_lockUrl, a.status));
        m_taken = std::chrono::steady_clock::now();
        return TargetResult::Ok();
    }

    static std::string StatusText(const char* method, const std::string& url, long status) {
        return std::string(method) + ' ' + url + ": the server answered " + std::to_string(status);
    }

    struct Upload {
        std::string_view bytes;
        std::size_t at = 0;
    };
    static std::size_t GiveBody(char* out, std::size_t size, std::size_t count, void* upload) {
        auto* u = static_cast<Upload*>(upload);
        const std::size_t n = std::min(size * count, u->bytes.size() - u->at);
        std::memcpy(out, u->bytes.data() + u->at, n);
        u->at += n;
        return n;
    }

    Answer Request(const char* method, const std::string& url, const std::string_view* upload) {
        Answer a;
        if (!m_curl) {
            a.error = "cannot start a web request";
            return a;
        }
        CURL* c = m_curl;
        curl_easy_reset(c);
        curl_easy_setopt(c, CURLOPT_URL, url.c_str());
        curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, 20L);
        curl_easy_setopt(c, CURLOPT_TIMEOUT, 600L);
        curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, TakeBody);
        curl_easy_setopt(c, CURLOPT_WRITEDATA, &a);
        curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, TakeHeader);
        curl_easy_setopt(c, CURLOPT_HEADERDATA, &a);
        if (!m_login.user.empty()) {
            curl_easy_setopt(c, CURLOPT_HTTPAUTH, CURLAUTH_BASIC | CURLAUTH_DIGEST);
            curl_easy_setopt(c, CURLOPT_USERNAME, m_login.user.c_str());
            curl_easy_setopt(c, CURLOPT_PASSWORD, m_login.password.c_str());
        }
        Upload body;
        if (upload) {
            body.bytes = *upload;
            curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
            curl_easy_setopt(c, CURLOPT_READFUNCTION, GiveBody);
            curl_easy_setopt(c, CURLOPT_READDATA, &body);
            curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(upload->size()));
        } else if (std::string_view(method) != "GET") {
            curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, method);
        }
        const CURLcode code = curl_easy_perform(c);
        if (code != CURLE_OK) {
            a.error = std::string(method) + ' ' + url + ": " + curl_easy_strerror(code);
            return a;
        }
        curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &a.status);
        if (a.status == 401)
            a.error = url + ": the server refused the user name or password";
        a.ok = a.status != 401;
        return a;
    }

    std::string m_address;
    std::string m_url;
    std::string m_lockUrl;
    WebDavLogin m_login;
    CURL* m_curl = nullptr;
    bool m_held = false;
    std::string m_lockText;
    std::chrono::steady_clock::time_point m_taken;
};

std::string SecretKey(const std::string& address) {
    return "webdav " + address;
}

std::string CredentialsPath(const std::string& address) {
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx",
                  static_cast<unsigned long long>(HashBytes(HttpAddressOf(address))));
    return SyncStateFolder() + "/login-" + hex;
}

// Runs a keychain job to its end: none answers without a session bus.
bool RunJob(QKeychain::Job& job) {
    if (!std::getenv("DBUS_SESSION_BUS_ADDRESS"))
        return false;
    std::unique_ptr<QCoreApplication> app;
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "brindle-cli";
        static char* argv[] = {name, nullptr};
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    job.setAutoDelete(false);
    job.setInsecureFallback(false);
    QEventLoop loop;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
    job.start();
    loop.exec();
    return job.error() == QKeychain::NoError;
}

WebDavLogin Split(const std::string& text) {
    const std::size_t line = text.find('\n');
    if (line == std::string::npos)
        return {text, {}};
    return {text.substr(0, line), text.substr(line + 1)};
}

} // namespace

std::string HttpAddressOf(const std::string& address) {
    if (address.starts_with("webdav://"))
        return "http://" + address.substr(9);
    if (address.starts_with("webdavs://"))
        return "https://" + address.substr(10);
    return address;
}

std::unique_ptr<SyncTarget> MakeWebDavTarget(const std::string& address, WebDavLogin login) {
    return std::make_unique<WebDavTarget>(address, std::move(login));
}

std::unique_ptr<SyncTarget> MakeLinkTarget(const std::string& address, WebDavLogin login) {
    if (IsWebAddress(address))
        return MakeWebDavTarget(address, std::move(login));
    return MakeFileTarget(address);
}

WebDavLogin LoadWebDavLogin(const std::string& address) {
    const char* user = std::getenv("BRINDLE_WEBDAV_USER");
    const char* password = std::getenv("BRINDLE_WEBDAV_PASSWORD");
    if (user && password)
        return {user, password};
    QKeychain::ReadPasswordJob job(QString::fromLatin1(kSecretService));
    job.setKey(QString::fromStdString(SecretKey(address)));
    if (RunJob(job))
        return Split(job.textData().toStdString());
    std::string text;
    if (ReadWholeFile(CredentialsPath(address), text))
        return Split(text);
    return {};
}

std::string SaveWebDavLogin(const std::string& address, const WebDavLogin& login) {
    const std::string text = login.user + '\n' + login.password;
    QKeychain::WritePasswordJob job(QString::fromLatin1(kSecretService));
    job.setKey(QString::fromStdString(SecretKey(address)));
    job.setTextData(QString::fromStdString(text));
    const std::string path = CredentialsPath(address);
    if (RunJob(job)) {
        ::unlink(path.c_str());
        return "the secret store";
    }
    CreateFolderChain(SyncStateFolder());
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return {};
    const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    return written ? path : std::string();
}

} // namespace brindle
