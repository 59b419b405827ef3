// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the benchmarks' synthetic collection as a .brx document:
//   make_bench_collection FILE [COUNT]   (COUNT defaults to 100000)
#include "SyntheticCollection.h"

#include "store/BrindleDoc.h"
#include "store/DocumentArchive.h"

#include <cstdlib>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::cerr << "usage: make_bench_collection FILE [COUNT]\n";
        return 2;
    }
    const std::size_t count = argc == 3 ? std::strtoull(argv[2], nullptr, 10) : 100000;
    CBrindleDoc doc;
    brindle::bench::FillSyntheticCollection(doc, count);
    doc.AddMacro(kMacroUrl, "Home", "http://example.com/", 0);
    doc.AddSchedule("Weekly", 633600, true);
    const brindle::ArchiveResult r = brindle::WriteDocumentFile(doc, argv[1]);
    if (!r) {
        std::cerr << r.message << "\n";
        return 1;
    }
    return 0;
}
