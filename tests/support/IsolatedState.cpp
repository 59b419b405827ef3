// SPDX-License-Identifier: GPL-3.0-or-later
// Every test program keeps the document state and the trash that saves write in a temporary
// folder of its own, never in the user's: XDG_STATE_HOME always, XDG_DATA_HOME unless the
// environment names one.

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

struct IsolatedState {
    std::string folder;
    pid_t owner = ::getpid(); // a forked child that exits leaves the folder to its parent
    IsolatedState() {
        std::string pattern =
            std::filesystem::temp_directory_path().string() + "/brindle-xdg-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            return;
        folder = pattern;
        ::setenv("XDG_STATE_HOME", (folder + "/state").c_str(), 0);
        ::setenv("XDG_DATA_HOME", (folder + "/data").c_str(), 0);
    }
    ~IsolatedState() {
        std::error_code ec;
        if (!folder.empty() && ::getpid() == owner)
            std::filesystem::remove_all(folder, ec);
    }
};

const IsolatedState isolated;

} // namespace
