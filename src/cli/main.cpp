// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/Cli.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const int code = brindle::cli::Main(args, std::cout, std::cerr);
    std::cout.flush();
    if (!std::cout && code == brindle::cli::kExitOk) {
        std::cerr << "Failed to write the output.\n";
        return brindle::cli::kExitFailure;
    }
    return code;
}
