// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Runs part of a test in a forked child: for failures that must not touch the test process
// (dropped privileges, a file-size limit) and for killing a writer at random moments.

#include <cerrno>
#include <functional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace testutil {

struct ChildResult {
    int exitCode = -1;  // -1 when the child ended by a signal
    std::string output; // what the child wrote to its pipe
};

// The child runs `body(pipeFd)` and exits with its result; nothing of the child's C++ exit
// machinery runs (no destructors, no leak check).
inline ChildResult RunInChild(const std::function<int(int fd)>& body) {
    int fds[2];
    if (::pipe(fds) != 0)
        return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        const int code = body(fds[1]);
        ::close(fds[1]);
        ::_exit(code);
    }
    ::close(fds[1]);
    ChildResult result;
    char buf[512];
    for (;;) {
        const ssize_t n = ::read(fds[0], buf, sizeof buf);
        if (n > 0) {
            result.output.append(buf, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;
    }
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

inline void WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n <= 0)
            return;
        done += static_cast<std::size_t>(n);
    }
}

// Exit code of a child that could not drop its privileges (the test is skipped).
inline constexpr int kChildCannotDropPrivileges = 77;

// Leaves root for the "nobody" user so that permission bits apply; true when not root anyway.
inline bool DropPrivileges() {
    if (::geteuid() != 0)
        return true;
    return ::setgid(65534) == 0 && ::setuid(65534) == 0 && ::geteuid() != 0;
}

} // namespace testutil
