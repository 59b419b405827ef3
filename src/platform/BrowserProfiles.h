// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The browser profiles of this machine and the page a running browser shows. Firefox keeps its
// profiles under ~/.mozilla/firefox (or the Flatpak and Snap equivalents), listed in
// profiles.ini; Chromium and the browsers built on it keep one folder per profile, each with a
// Bookmarks file, under their folder in ~/.config.

#include <string>
#include <vector>

namespace brindle {

struct BrowserProfile {
    std::string browser; // "Firefox", "Chromium", "Google Chrome", "Brave", "Vivaldi"
    std::string profile; // the profile's name ("default-release", "Default", "Profile 1")
    std::string file;    // places.sqlite or Bookmarks, which exists
};

// Every profile with a bookmark store, Firefox's first. `home` is the user's home when empty;
// the Chromium folders follow XDG_CONFIG_HOME only then.
std::vector<BrowserProfile> FindBrowserProfiles(const std::string& home = std::string());

// The folder of the profile Firefox starts with, "" when there is no Firefox profile.
std::string DefaultFirefoxProfile(const std::string& home = std::string());

// The reply the capture commands read for `service`: "NETSCAPE" answers from the newest session
// file of Firefox's default profile; "IEXPLORE" from the session log of the desktop's default
// browser when that is Chromium, Chrome, Brave or Vivaldi (its last used profile). A browser
// whose session cannot be read, one that is not running (its profile's lock link names no
// process of this machine that runs the browser's program and started before the link was made),
// or any other service, gives "". A default Firefox does not
// answer as "IEXPLORE": asked twice, Fast Add would add its page twice.
std::string GetBrowserPage(const std::string& service, const std::string& home = std::string());

} // namespace brindle
