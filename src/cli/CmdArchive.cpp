// SPDX-License-Identifier: GPL-3.0-or-later
// brindle-cli archive FILE [--connect-max N] [--query Q] [--older-than AGE] [--show NAME]
#include "cli/CliDocument.h"
#include "cli/Commands.h"

#include "archive/FetchWindow.h"
#include "archive/PageArchive.h"
#include "archive/PageArchiver.h"
#include "platform/net/CurlEngine.h"
#include "platform/net/PageFetchers.h"
#include "store/BrindleDoc.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>

#include <ctime>
#include <memory>
#include <unistd.h>

namespace brindle::cli {

namespace {

constexpr int kMaxConnections = 128;

// "30d", "12h", "2w" or a number of days, in seconds.
std::optional<std::int64_t> ParseAge(const std::string& text) {
    if (text.empty())
        return std::nullopt;
    std::int64_t unit = 86400;
    std::string number = text;
    switch (text.back()) {
    case 'h':
        unit = 3600;
        number.pop_back();
        break;
    case 'd':
        number.pop_back();
        break;
    case 'w':
        unit = 7 * 86400;
        number.pop_back();
        break;
    default:
        break;
    }
    const auto n = ParseInteger(number, 0, 100000);
    if (!n)
        return std::nullopt;
    return *n * unit;
}

int ShowPage(const CBrindleDoc& doc, const std::string& path, const std::string& name, Io& io) {
    std::string url;
    for (std::uint32_t i = 0; i < doc.Bookmarks().size() && url.empty(); ++i)
        if (doc.Bookmarks()[i].m_strName == name)
            url = doc.Bookmarks()[i].m_strURL;
    if (url.empty()) {
        io.err << kToolName << " archive: no bookmark is named " << name << "\n";
        return kExitFailure;
    }
    PageArchive archive;
    std::optional<ArchivedPage> page;
    const std::string location = PageArchive::LocationFor(path);
    if (QFileInfo::exists(QString::fromStdString(location)) && archive.Open(location, false))
        page = archive.Get(url);
    if (!page) {
        io.err << kToolName << " archive: the page of " << name << " is not archived\n";
        return kExitFailure;
    }
    const QString date =
        QDateTime::fromSecsSinceEpoch(page->fetched, Qt::UTC).toString(Qt::ISODate);
    io.out << page->title << "\n"
           << page->finalUrl << "\nfetched " << date.toStdString() << "\n\n"
           << page->text << "\n";
    return kExitOk;
}

int RunArchive(const Args& args, Io& io) {
    const Command me = ArchiveCommand();
    std::int64_t maxAge = -1;
    if (const auto text = args.Value("--older-than")) {
        const auto age = ParseAge(*text);
        if (!age)
            return UsageError(me, io.err, "--older-than needs an age such as 30d, 12h or 2w");
        maxAge = *age;
    }
    int timeoutMs = 30000;
    if (const auto text = args.Value("--timeout")) {
        const auto n = ParseInteger(*text, 1, 3600);
        if (!n)
            return UsageError(me, io.err, "--timeout needs a number of seconds from 1 to 3600");
        timeoutMs = static_cast<int>(*n) * 1000;
    }
    // The engine's own limit unless asked: a run over many hosts wants many requests at once.
    int connections = HostLimits{}.maxConnections;
    if (const auto text = args.Value("--connect-max")) {
        const auto n = ParseInteger(*text, 1, kMaxConnections);
        if (!n)
            return UsageError(me, io.err, "--connect-max needs a number from 1 to 128");
        connections = static_cast<int>(*n);
    }
    CPreferences prefs;
    if (const auto proxy = args.Value("--proxy")) {
        prefs.m_bHasProxy = 1;
        prefs.m_strProxyServer = *proxy;
    }
    const std::string& path = args.Positional(0);
    CBrindleDoc doc(prefs);
    if (!OpenDocument(doc, path, io.err))
        return kExitFailure;
    if (const auto name = args.Value("--show"))
        return ShowPage(doc, path, *name, io);

    std::vector<std::uint32_t> selection;
    if (const auto query = args.Value("--query")) {
        doc.SetSearchMode(kSearchKeyword);
        doc.Search(*query, false, doc.StringFields());
        selection = doc.ActiveHits();
    } else {
        for (std::uint32_t i = 0; i < doc.Bookmarks().size(); ++i)
            selection.push_back(i);
    }

    std::unique_ptr<QCoreApplication> app;
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "brindle-cli";
        static char* argv[] = {name, nullptr};
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    auto fetcher = std::make_unique<HttpPageFetcher>(SessionSettings::FromPreferences(prefs));
    fetcher->SetTimeout(timeoutMs);
    CurlEngine& engine = fetcher->Engine();
    HostLimits limits = engine.Limits();
    limits.maxConnections = connections;
    engine.SetLimits(limits);
    FetchWindow window(*fetcher, static_cast<std::size_t>(connections), &CurlEngine::HostKey,
                       [&engine](const std::string& host) { return engine.HostBusy(host); });
    QObject freedGuard; // ends the connection before the window goes
    QObject::connect(&engine, &CurlEngine::hostFreed, &freedGuard, [&window] { window.Refill(); });
    PageArchive archive;
    const std::string location = PageArchive::LocationFor(path);
    if (!archive.Open(location, true)) {
        io.err << location << ": " << archive.Error() << "\n";
        return kExitFailure;
    }
    DropTextsOfGoneBookmarks(archive, doc, path);
    const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
    std::unordered_map<std::string, std::int64_t> dates;
    if (maxAge >= 0)
        dates = archive.FetchDates();
    std::vector<std::string> urls;
    for (std::uint32_t i : selection) {
        std::string url(doc.Bookmarks()[i].m_strURL);
        if (maxAge >= 0) {
            const auto it = dates.find(url);
            if (it != dates.end() && now - it->second < maxAge)
                continue; // archived recently enough
        }
        urls.push_back(std::move(url));
    }

    PageArchiver run(archive, window, [] { return static_cast<std::int64_t>(std::time(nullptr)); });
    const bool progress = isatty(STDERR_FILENO) != 0;
    run.SetStep(
        [&](const PageArchiver::Progress& p, const std::string& url, int result, bool kept) {
            io.out << result << '\t' << (kept ? "archived" : "not archived") << '\t' << url << '\n';
            if (progress)
                io.err << "\r" << p.done << " of " << p.total << ", " << p.stored << " archived"
                       << std::flush;
        });
    std::string failure;
    bool finished = false;
    run.SetFinished([&](const PageArchiver::Progress&, const std::string& error) {
        failure = error;
        finished = true;
        QCoreApplication::exit(0);
    });
    QElapsedTimer clock;
    clock.start();
    run.Start(urls);
    if (!finished)
        QCoreApplication::exec();
    const PageArchiver::Progress& p = run.Status();
    if (progress)
        io.err << "\r";
    io.err << "archived " << p.stored << " of " << p.total << " pages in "
           << clock.elapsed() / 1000.0 << " s\n";
    if (!failure.empty()) {
        io.err << location << ": " << failure << "\n";
        return kExitFailure;
    }
    return kExitOk;
}

} // namespace

Command ArchiveCommand() {
    return {
        "archive",
        "keep the text of the bookmarks' pages for text search",
        "FILE [--connect-max N] [--query Q] [--older-than AGE] [--proxy HOST:PORT] [--timeout S]\n"
        "      [--show NAME]",
        "Fetches the page of every bookmark (or of the hits of a keyword query), keeps its\n"
        "readable text (title, headings, paragraphs, lists, image descriptions) compressed\n"
        "in the document's archive with the fetch date and the address the redirects led\n"
        "to, and indexes it for the search command. Pages of up to 5 MB and of text types\n"
        "only are read. Each page is printed as it arrives as RESULT<TAB>archived (or not\n"
        "archived)<TAB>URL; a summary follows on the error stream. The archive lives in the\n"
        "data folder of this machine (~/.local/share/brindle/archive), not in FILE, which\n"
        "is not changed; it can be rebuilt at any time. With --show, prints the archived\n"
        "text of the bookmark named NAME instead. Exit code 0 when the run completed, 1 on\n"
        "a file error.",
        {"FILE"},
        {{"--connect-max", "N", "requests at once, 1-128 (default 128)"},
         {"--query", "Q", "only the hits of this keyword query"},
         {"--older-than", "AGE", "only pages not archived or archived longer ago (30d, 12h, 2w)"},
         {"--proxy", "HOST:PORT", "send the requests through this HTTP proxy"},
         {"--timeout", "SECONDS", "time-out of one request (default 30)"},
         {"--show", "NAME", "print the archived text of the bookmark named NAME"}},
        RunArchive};
}

} // namespace brindle::cli
