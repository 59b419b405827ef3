// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A stand-in for a running browser: a copy of sleep(1) under the browser program's name, so that
// its process looks like the browser's to whoever asks /proc. It ends with the object.

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>

extern char** environ;

namespace testutil {

class RunningBrowser {
  public:
    // `program`: "firefox", "chrome", "brave", ...
    explicit RunningBrowser(const std::string& program) {
        const std::filesystem::path file = m_dir.Path() / program;
        std::error_code ec;
        std::filesystem::copy_file("/bin/sleep", file, ec);
        EXPECT_FALSE(ec) << "cannot copy sleep: " << ec.message();
        std::string name = program;
        std::string seconds = "600";
        char* argv[] = {name.data(), seconds.data(), nullptr};
        EXPECT_EQ(posix_spawn(&m_pid, file.c_str(), nullptr, nullptr, argv, environ), 0);
    }
    ~RunningBrowser() {
        if (m_pid <= 0)
            return;
        ::kill(m_pid, SIGKILL);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
    }
    RunningBrowser(const RunningBrowser&) = delete;
    RunningBrowser& operator=(const RunningBrowser&) = delete;

    pid_t Pid() const { return m_pid; }
    // The target of the browser's lock link: `prefix` ("127.0.0.1:+", "myhost-") and the process.
    std::string LockTarget(const std::string& prefix) const {
        return prefix + std::to_string(m_pid);
    }

  private:
    TempDirectory m_dir;
    pid_t m_pid = -1;
};

} // namespace testutil
