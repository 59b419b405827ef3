// SPDX-License-Identifier: GPL-3.0-or-later
// Writes a generated Netscape bookmark file: make_netscape_file [--mixed-scripts] OUT [COUNT]
// [SEED] (100,000 links in nested folders by default), for timing imports from the command line.
// --mixed-scripts puts a word outside ASCII into about a third of the titles.

#include "NetscapeFileGenerator.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    const char* program = argv[0];
    const bool mixed = argc > 1 && std::strcmp(argv[1], "--mixed-scripts") == 0;
    if (mixed) {
        --argc;
        ++argv;
    }
    if (argc < 2 || argc > 4) {
        std::fprintf(stderr, "usage: %s [--mixed-scripts] OUT [COUNT] [SEED]\n", program);
        return 2;
    }
    const std::size_t count = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 100000;
    const auto seed = static_cast<std::uint32_t>(argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 1);
    const std::string text = brindle::bench::MakeNetscapeFile(count, seed, mixed);
    std::ofstream out(argv[1], std::ios::binary);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
