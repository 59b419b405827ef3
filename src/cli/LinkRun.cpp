// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/LinkRun.h"

#include "cli/CliDocument.h"
#include "platform/net/ArchiveLookup.h"
#include "platform/net/NetProber.h"
#include "platform/net/NetSession.h"
#include "status/LinkResult.h"
#include "store/BrindleDoc.h"
#include "store/DocumentSync.h"
#include "store/PreferenceLimits.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <chrono>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <unistd.h>
#include <utility>

namespace brindle::cli {

namespace {

// brindle-cli has no QCoreApplication of its own; a run makes one for its event loop.
std::unique_ptr<QCoreApplication> MakeApplication() {
    if (QCoreApplication::instance())
        return nullptr;
    static int argc = 1;
    static char name[] = "brindle-cli";
    static char* argv[] = {name, nullptr};
    // Qt's own event dispatcher: the command line needs no GLib main loop, and GLib's costs more
    // for each of the many socket events of a large check.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    return std::make_unique<QCoreApplication>(argc, argv);
}

void AppendField(std::string& line, std::string_view text) {
    for (char c : text)
        line += (c == '\t' || c == '\n' || c == '\r') ? ' ' : c;
}

// Hands a prober's results on to the engine and remembers the one being applied, so that the
// printed line can say why a page could not be asked.
class ResultWitness : public Prober {
  public:
    explicit ResultWitness(Prober& inner) : m_inner(inner) {
        m_inner.SetCompletion([this](int slot, ProbeResult result) {
            m_last = result.result;
            Complete(slot, std::move(result));
        });
        m_inner.SetHostFreed([this] { HostFreed(); });
    }
    ~ResultWitness() override {
        m_inner.SetCompletion({});
        m_inner.SetHostFreed({});
    }
    void Start(int slot, const std::string& url, int delayMs) override {
        m_inner.Start(slot, url, delayMs);
    }
    void Cancel(int slot) override { m_inner.Cancel(slot); }
    // Without it every entry for a busy host would hold a slot while it waits for its turn.
    bool HostBusy(const std::string& url) const override { return m_inner.HostBusy(url); }
    std::chrono::milliseconds HostReadyIn(const std::string& url) const override {
        return m_inner.HostReadyIn(url);
    }
    // The outcome of the result just applied; 0 when the change was no result (a restored status).
    int TakeLast() { return std::exchange(m_last, 0); }

  private:
    Prober& m_inner;
    int m_last = 0;
};

constexpr int kMaxCliConnections = 128;

// "90", "90s", "15m", "12h", "7d": seconds; nothing for anything else.
std::optional<std::int64_t> ParseAge(std::string_view text) {
    if (text.empty())
        return std::nullopt;
    std::int64_t unit = 1;
    switch (text.back()) {
    case 's':
        text.remove_suffix(1);
        break;
    case 'm':
        unit = 60;
        text.remove_suffix(1);
        break;
    case 'h':
        unit = 3600;
        text.remove_suffix(1);
        break;
    case 'd':
        unit = 86400;
        text.remove_suffix(1);
        break;
    default:
        break;
    }
    const auto n = ParseInteger(text, 0, std::int64_t{100} * 365 * 86400 / unit);
    if (!n)
        return std::nullopt;
    return *n * unit;
}

// A positive number of requests a second ("4", "0.5").
std::optional<double> ParseRate(const std::string& text) {
    char* end = nullptr;
    const double rate = std::strtod(text.c_str(), &end);
    if (text.empty() || !end || *end != '\0' || !(rate > 0) || rate > 1000)
        return std::nullopt;
    return rate;
}

} // namespace

std::vector<Option> LinkJobOptions(LinkJob job) {
    std::vector<Option> options;
    options.push_back({"--connect-max", "N", "requests at once, 0-128 (default 5)"});
    options.push_back({"--per-host", "N", "requests at once to one host, 1-16 (default 2)"});
    options.push_back({"--host-rate", "R", "new requests a second to one host (default 4)"});
    if (job == LinkJob::Check) {
        options.push_back(
            {"--older-than", "AGE", "only bookmarks last checked longer ago (30m, 12h, 7d)"});
        options.push_back(
            {"--archived", nullptr, "print a web archive's copy beside each dead link"});
        options.push_back({"--archive-service", "URL",
                           "the web archive --archived asks (default https://archive.org)"});
    }
    options.push_back({"--query", "Q", "only the hits of this keyword query"});
    options.push_back({"--proxy", "URL",
                       "send the requests through this proxy (HOST:PORT, "
                       "http://, https://, socks4://, socks5://)"});
    options.push_back({"--timeout", "SECONDS", "time-out of one request (default 30)"});
    options.push_back({"--no-backup", nullptr, "save without writing .bak and .bk0 first"});
    return options;
}

int RunLinkJob(LinkJob job, const Command& me, const Args& args, Io& io) {
    CPreferences prefs;
    if (const auto text = args.Value("--connect-max")) {
        const auto n = ParseInteger(*text, 0, kMaxCliConnections);
        if (!n)
            return UsageError(me, io.err, "--connect-max needs a number from 0 to 128");
        prefs.m_nConnectMax = static_cast<std::int32_t>(*n);
    }
    HostLimits limits;
    limits.perHost = prefs.m_nHostConnections;
    limits.hostRate = prefs.m_nHostRate;
    if (const auto text = args.Value("--per-host")) {
        const auto n = ParseInteger(*text, kMinHostConnections, kMaxHostConnections);
        if (!n)
            return UsageError(me, io.err, "--per-host needs a number from 1 to 16");
        limits.perHost = static_cast<int>(*n);
    }
    if (const auto text = args.Value("--host-rate")) {
        const auto rate = ParseRate(*text);
        if (!rate)
            return UsageError(me, io.err, "--host-rate needs a number above 0, at most 1000");
        limits.hostRate = *rate;
    }
    std::optional<std::int64_t> olderThan;
    if (const auto text = args.Value("--older-than")) {
        olderThan = ParseAge(*text);
        if (!olderThan)
            return UsageError(me, io.err, "--older-than needs an age such as 90s, 30m, 12h or 7d");
    }
    const bool archived = args.Has("--archived");
    if (const auto service = args.Value("--archive-service"))
        prefs.m_strArchiveService = *service;
    int timeoutMs = kTransferTimeoutMs;
    if (const auto text = args.Value("--timeout")) {
        const auto n = ParseInteger(*text, 1, 3600);
        if (!n)
            return UsageError(me, io.err, "--timeout needs a number of seconds from 1 to 3600");
        timeoutMs = static_cast<int>(*n) * 1000;
    }
    if (const auto proxy = args.Value("--proxy")) {
        prefs.m_bHasProxy = 1;
        prefs.m_strProxyServer = *proxy;
    }

    CBrindleDoc doc(prefs);
    const std::string& path = args.Positional(0);
    // No lock while the run lasts (minutes, perhaps): other writers go on, and the save merges
    // what they wrote meanwhile.
    DocumentSync sync(doc);
    if (const ArchiveResult opened = sync.Open(path); !opened) {
        io.err << opened.message << "\n";
        return kExitFailure;
    }

    std::vector<std::uint32_t> selection;
    if (const auto query = args.Value("--query")) {
        doc.SetSearchMode(kSearchKeyword);
        doc.Search(*query, false, doc.StringFields());
        selection = doc.ActiveHits();
    } else {
        selection.reserve(doc.Bookmarks().size());
        for (std::uint32_t i = 0; i < doc.Bookmarks().size(); ++i)
            selection.push_back(i);
    }
    if (olderThan) {
        // Never checked (0) counts as long ago.
        const BrxTime before = CBrindleDoc::Now() - *olderThan;
        std::erase_if(selection,
                      [&](std::uint32_t i) { return doc.Bookmarks()[i].m_tLastChecked > before; });
    }

    const auto app = MakeApplication();
    NetSession session;
    const std::shared_ptr<CurlEngine> http = CurlEngine::Instance();
    limits.maxConnections = std::clamp(prefs.m_nConnectMax, 1, kMaxCliConnections);
    http->SetLimits(limits);
    NetProber checkProber(session, NetProber::Mode::Probe);
    NetProber fetchProber(session, NetProber::Mode::Fetch);
    std::unique_ptr<ArchiveLookup> archive;
    if (archived)
        archive = std::make_unique<ArchiveLookup>(
            prefs.m_strArchiveService,
            NetSession::ProxyFor(SessionSettings::FromPreferences(prefs)));
    checkProber.SetTimeout(timeoutMs);
    fetchProber.SetTimeout(timeoutMs);
    ResultWitness prober(job == LinkJob::Check ? static_cast<Prober&>(checkProber) : fetchProber);

    const bool progress = isatty(STDERR_FILENO) != 0;
    std::map<std::string, std::size_t> counts;
    std::size_t results = 0;
    std::string line;
    LinkEngine* running = nullptr;
    // The run ends once the engine is idle and no archive look-up is outstanding.
    const auto maybeQuit = [&] {
        if (running && !running->Running() && running->Idle() &&
            (!archive || archive->Pending() == 0))
            QCoreApplication::exit(0);
    };
    LinkEngine::Callbacks callbacks;
    callbacks.openSession = [&] { return session.Open(SessionSettings::FromPreferences(prefs)); };
    // Results are written out once a second rather than a line at a time (a system call per
    // result is a good part of a large check's time), by the result that finds a second gone
    // since the last time; the timer only catches the last lines before a pause. It waits half
    // a second longer than that: results that come at a host's turns, a second apart, would
    // otherwise meet it at their own instant, and each would wake the process on its own.
    QTimer flush;
    flush.setSingleShot(true);
    flush.setInterval(1500);
    auto flushed = std::chrono::steady_clock::now();
    const auto flushOut = [&] {
        io.out << std::flush;
        flushed = std::chrono::steady_clock::now();
        flush.stop();
    };
    QObject::connect(&flush, &QTimer::timeout, flushOut);
    callbacks.applied = [&](std::uint32_t index) {
        const BookmarkRef b = doc.Bookmarks()[index];
        line.clear();
        AppendField(line, b.m_strStatus);
        line += '\t';
        AppendField(line, b.m_strName);
        line += '\t';
        AppendField(line, b.m_strURL);
        // A page that could not be asked: the internet error's text.
        if (const int code = prober.TakeLast(); IsInternetError(code)) {
            const std::string why = SystemErrorText(code);
            if (!why.empty()) {
                line += '\t';
                AppendField(line, why);
            }
        }
        ++counts[std::string(b.m_strStatus)];
        if (archive && IsDeadLinkStatus(b.m_strStatus)) {
            // Printed once the archive has answered, with the copy it knows or "none".
            archive->Ask(std::string(b.m_strURL), [&io, &maybeQuit,
                                                   line](std::optional<Snapshot> snapshot, int) {
                io.out << line << "\tarchived: " << (snapshot ? snapshot->url : std::string("none"))
                       << "\n"
                       << std::flush;
                QMetaObject::invokeMethod(
                    QCoreApplication::instance(), [&maybeQuit] { maybeQuit(); },
                    Qt::QueuedConnection);
            });
        } else {
            line += '\n';
            io.out << line;
            if (std::chrono::steady_clock::now() - flushed >= std::chrono::seconds(1))
                flushOut();
            else if (!flush.isActive())
                flush.start();
        }
        ++results;
        if (progress && running)
            io.err << "\r" << running->Completed() + 1 << " of " << running->QueueLength()
                   << std::flush;
    };
    callbacks.runChanged = maybeQuit;
    LinkEngine engine(job, doc, prober, callbacks);
    running = &engine;

    QElapsedTimer clock;
    clock.start();
    engine.Toggle(selection);
    const std::size_t queued = engine.QueueLength();
    if (!engine.Idle() || (archive && archive->Pending() > 0))
        QCoreApplication::exec();
    running = nullptr;
    io.out << std::flush;

    if (progress)
        io.err << "\r";
    io.err << (job == LinkJob::Check ? "checked " : "fetched ") << results << " of " << queued
           << " bookmarks in " << clock.elapsed() / 1000.0 << " s";
    for (const auto& [status, n] : counts)
        io.err << (status == counts.begin()->first ? ": " : ", ") << n << " " << status;
    io.err << "\n";

    if (queued == 0)
        return kExitOk; // nothing was asked, nothing changed
    const bool backups = !args.Has("--no-backup");
    const DocumentSync::SaveResult saved =
        sync.Save(path, [&] { return SaveDocument(doc, path, backups, io.err); });
    if (!saved.message.empty())
        io.err << saved.message << "\n";
    return saved.ok ? kExitOk : kExitFailure;
}

} // namespace brindle::cli
