// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the Firefox places reader, on whole database files: each input is written
// to a file of its own folder and imported as `brindle-cli import` would. The import either
// reads the file, with the bookmarks it counts in the document and no problem, or adds nothing
// and names the file; it ends within its time budget.

#include "exchange/FirefoxPlaces.h"
#include "store/BrindleDoc.h"

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

// A folder of this process's own, removed at exit.
struct InputFolder {
    InputFolder()
        : folder(std::filesystem::temp_directory_path() /
                 ("fuzz-places-" + std::to_string(getpid()))) {
        std::filesystem::create_directories(folder);
    }
    ~InputFolder() {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
    std::filesystem::path folder;
};

const std::string& InputPath() {
    static const InputFolder input;
    static const std::string path = (input.folder / "places.sqlite").string();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = InputPath();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    CBrindleDoc doc;
    brindle::ImportOptions options;
    options.timeBudget = std::chrono::seconds(2);
    const brindle::ImportResult result = brindle::ImportFirefoxPlaces(doc, path, options);
    Check(doc.Bookmarks().size() == static_cast<std::size_t>(result.added));
    if (result.Read()) {
        Check(result.problems.messages.empty());
    } else {
        Check(result.added == 0 && result.problems.messages.size() == 1 &&
              result.problems.messages[0].file == path);
    }
    for (const BookmarkRef b : doc.Bookmarks())
        Check(!b.m_strURL.empty() && !b.m_strURL.starts_with("place:"));
    return 0;
}
