// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A linked bookmark file on a WebDAV server (libcurl): GET, PUT and DELETE of the file and of
// its lock file at the address + ".lock". The lock is judged by the server's own clock: its age
// is the answer's Date less the lock's Last-Modified.

#include "sync/SyncTarget.h"

#include <memory>
#include <string>

namespace brindle {

struct WebDavLogin {
    std::string user;
    std::string password;
};

// "webdav://" and "webdavs://" stand for http:// and https://.
std::string HttpAddressOf(const std::string& address);

std::unique_ptr<SyncTarget> MakeWebDavTarget(const std::string& address, WebDavLogin login);

// The target of a link: a WebDAV address or a path.
std::unique_ptr<SyncTarget> MakeLinkTarget(const std::string& address, WebDavLogin login);

// The login of a WebDAV address: from BRINDLE_WEBDAV_USER and BRINDLE_WEBDAV_PASSWORD when set
// (scripts), else from the desktop's secret store, else from the link's own credentials file
// (readable by its owner only) where it was kept when no secret store answered.
WebDavLogin LoadWebDavLogin(const std::string& address);
// Keeps the login; returns where ("the secret store" or the file's path).
std::string SaveWebDavLogin(const std::string& address, const WebDavLogin& login);

} // namespace brindle
