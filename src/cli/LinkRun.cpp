// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/LinkRun.h"

#include "cli/CliDocument.h"
#include "platform/net/NetProber.h"
#include "platform/net/NetSession.h"
#include "platform/net/SocketProber.h"
#include "status/LinkResult.h"
#include "store/BrindleDoc.h"
#include "store/DocumentSync.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
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
    }
    ~ResultWitness() override { m_inner.SetCompletion({}); }
    void Start(int slot, const std::string& url, int delayMs) override {
        m_inner.Start(slot, url, delayMs);
    }
    void Cancel(int slot) override { m_inner.Cancel(slot); }
    // The outcome of the result just applied; 0 when the change was no result (a restored status).
    int TakeLast() { return std::exchange(m_last, 0); }

  private:
    Prober& m_inner;
    int m_last = 0;
};

} // namespace

std::vector<Option> LinkJobOptions(bool withConnectMax) {
    std::vector<Option> options;
    if (withConnectMax)
        options.push_back({"--connect-max", "N", "connections at once, 0-8 (default 5)"});
    options.push_back({"--query", "Q", "only the hits of this keyword query"});
    options.push_back({"--proxy", "HOST:PORT", "send the requests through this HTTP proxy"});
    options.push_back({"--timeout", "SECONDS", "time-out of one request (default 30)"});
    options.push_back({"--no-backup", nullptr, "save without writing .bak and .bk0 first"});
    return options;
}

int RunLinkJob(LinkJob job, const Command& me, const Args& args, Io& io) {
    CPreferences prefs;
    if (const auto text = args.Value("--connect-max")) {
        const auto n = ParseInteger(*text, 0, 8);
        if (!n)
            return UsageError(me, io.err, "--connect-max needs a number from 0 to 8");
        prefs.m_nConnectMax = static_cast<std::int32_t>(*n);
    }
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

    const auto app = MakeApplication();
    NetSession session;
    // Checks ask on the prober's own sockets (over QtNetwork through a proxy); fetches read
    // pages over QtNetwork.
    SocketProber checkProber(session);
    NetProber fetchProber(session, NetProber::Mode::Fetch);
    checkProber.SetTimeout(timeoutMs);
    fetchProber.SetTimeout(timeoutMs);
    ResultWitness prober(job == LinkJob::Check ? static_cast<Prober&>(checkProber) : fetchProber);

    const bool progress = isatty(STDERR_FILENO) != 0;
    std::map<std::string, std::size_t> counts;
    std::size_t results = 0;
    std::string line;
    LinkEngine* running = nullptr;
    LinkEngine::Callbacks callbacks;
    callbacks.openSession = [&] { return session.Open(SessionSettings::FromPreferences(prefs)); };
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
        line += '\n';
        io.out << line << std::flush;
        ++counts[std::string(b.m_strStatus)];
        ++results;
        if (progress && running)
            io.err << "\r" << running->Completed() + 1 << " of " << running->QueueLength()
                   << std::flush;
    };
    callbacks.runChanged = [&] {
        if (running && !running->Running() && running->Idle())
            QCoreApplication::exit(0);
    };
    LinkEngine engine(job, doc, prober, callbacks);
    running = &engine;

    QElapsedTimer clock;
    clock.start();
    engine.Toggle(selection);
    const std::size_t queued = engine.QueueLength();
    if (!engine.Idle())
        QCoreApplication::exec();
    running = nullptr;

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
