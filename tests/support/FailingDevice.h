// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A stand-in for the system's write that fails part-way, for the failure paths of the writers.

#include "store/AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <unistd.h>

namespace testutil {

// A device that takes `budget` bytes and then fails every write with `error`.
inline brindle::WriteFunction FailingDevice(std::size_t budget, int error) {
    auto left = std::make_shared<std::size_t>(budget);
    return [left, error](int fd, const char* data, std::size_t size) -> long {
        if (*left == 0) {
            errno = error;
            return -1;
        }
        const std::size_t n = std::min(size, *left);
        *left -= n;
        return ::write(fd, data, n);
    };
}

} // namespace testutil
