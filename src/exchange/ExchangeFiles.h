// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// File access shared by the exchange readers and writers.

#include "store/AtomicFile.h"

#include <memory>
#include <string>
#include <string_view>

namespace brindle {

// The line end of every text file the exchange writers produce: these files travel to and from
// Windows programs.
inline constexpr std::string_view kLineEnd = "\r\n";

// Reads a whole regular file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& bytes);

// Creates or truncates the file and writes `bytes`: for the many small files of one export,
// where a synced replacement per file would cost far more than the files are worth. Every other
// export goes through the store's atomic file (store/AtomicFile.h).
bool WriteFileInPlace(const std::string& path, std::string_view bytes);

bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);

// The folder part of a file path: everything before the last separator, or "." when the path
// has none.
std::string FolderOfPath(const std::string& path);

// Creates `folder` and every missing folder above it; an existing folder is no failure.
bool CreateFolderChain(const std::string& folder);

// The writers' first step: when no file of that name exists yet, its folder chain is created.
// False when that fails.
bool PrepareFolderFor(const std::string& path);

struct ExchangeReport;
// A writer's file: the folder chain, then the temporary file beside `path`. Null, with "Create
// Directory Fail" or "cannot write the file" in `report`, when either fails.
std::unique_ptr<BufferedAtomicFile> OpenExportFile(const std::string& path, ExchangeReport& report);

} // namespace brindle
