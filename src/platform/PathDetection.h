// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the browsers and the Favorites folder are, found the Linux way: the first browser is
// the desktop's default one (no program path needed), the second a Firefox found on PATH.

#include "store/Preferences.h"

#include <functional>
#include <string>

namespace brindle {

struct DetectedPaths {
    std::string iePath;        // always empty here: the desktop's default browser is used
    std::string netscapePath;  // "firefox" or "firefox-esr" on PATH, full path
    std::string favoritesPath; // ~/Favorites when that folder exists
};

// A path "exists" when it names a file or folder; a bare name without a folder is looked up
// on PATH as a program. An empty path never exists.
bool PathExists(const std::string& path);

std::string DetectIEPath();
std::string DetectNetscapePath();
std::string DetectFavoritesPath();
DetectedPaths DetectPaths();

// The path checks made when the Options dialog is confirmed: a Netscape bookmark file that
// does not exist is cleared; an IE, Netscape or Favorites path that does not exist is replaced
// by the detected one. `detect` runs at most once, and only when a path needs it.
void CheckOptionPaths(CPreferences& settings,
                      const std::function<DetectedPaths()>& detect = DetectPaths);

} // namespace brindle
