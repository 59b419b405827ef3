// SPDX-License-Identifier: GPL-3.0-or-later
// brindle-cli link FILE TARGET [--user U] [--password-stdin]
#include "cli/Commands.h"

#include "exchange/ExchangeFiles.h"
#include "platform/net/WebDav.h"
#include "sync/SyncState.h"
#include "sync/SyncTarget.h"

#include <iostream>

namespace brindle::cli {

namespace {
int RunLink(const Args& args, Io& io) {
    static const Command self = LinkCommand();
    const std::string& path = args.Positional(0);
    const std::string& target = args.Positional(1);
    if (!FileExists(path)) {
        io.err << path << " was not found.\n";
        return kExitFailure;
    }
    const bool web = IsWebAddress(target);
    if (!web && (args.Has("--user") || args.Has("--password-stdin")))
        return UsageError(self, io.err, "--user and --password-stdin are for WebDAV addresses");
    int interval = kDefaultSyncMinutes;
    LinkedTarget(path, &interval);
    bool known = false;
    if (!LinkDocument(path, target, interval, &known)) {
        io.err << "cannot write " << SyncStatePath(path) << "\n";
        return kExitFailure;
    }
    if (web && (args.Has("--user") || args.Has("--password-stdin"))) {
        WebDavLogin login{args.Value("--user").value_or(""), {}};
        if (args.Has("--password-stdin"))
            std::getline(std::cin, login.password);
        const std::string where = SaveWebDavLogin(target, login);
        if (where.empty()) {
            io.err << "cannot keep the login for " << target << "\n";
            return kExitFailure;
        }
        io.out << "login kept in " << where << "\n";
    }
    io.out << path << " is linked to " << target << (known ? " (unchanged)" : "") << "\n";
    return kExitOk;
}
} // namespace

Command LinkCommand() {
    return {"link",
            "link a document to an XBEL bookmark file that browsers share",
            "FILE TARGET [--user U] [--password-stdin]",
            "TARGET is a path (a folder kept in step by a file-sync program) or a WebDAV address\n"
            "(http://, https://, webdav:// or webdavs://). The link is kept under the XDG state\n"
            "folder; `sync` then keeps FILE and TARGET in step both ways. Linking to another\n"
            "TARGET starts afresh: the first sync adds each side's bookmarks to the other. A\n"
            "WebDAV login is kept in the desktop's secret store, or where none answers in a\n"
            "file of the state folder that only its owner can read.",
            {"FILE", "TARGET"},
            {{"--user", "U", "the WebDAV user name"},
             {"--password-stdin", nullptr, "read the WebDAV password from the first input line"}},
            RunLink};
}

} // namespace brindle::cli
