// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Internet shortcut (.url) files: reading one, reading a Favorites folder tree, and writing the
// exported bookmarks as shortcuts.

#include "exchange/ExchangeReport.h"
#include "exchange/ExportSelection.h"
#include "exchange/ImportResult.h"
#include "store/TimeFormat.h"

#include <string>
#include <string_view>

class CBrindleDoc;

namespace brindle {

// Adds the bookmark of one shortcut file. Problems: "cannot open the file", and "Cannot open
// this file as a URL file" when no URL was found in an [InternetShortcut] section (the file is
// then not read).
ImportResult ImportUrlFile(CBrindleDoc& doc, const std::string& path,
                           const ImportOptions& options = {});

// The text-level part of ImportUrlFile: `fileName` (without folders) gives the bookmark its
// name. Read when at least one "URL=" line stands inside a shortcut section.
ImportResult ReadUrlFileText(CBrindleDoc& doc, std::string_view fileName, std::string_view text,
                             BrxTime addDate, const ImportOptions& options = {});

// Reads every ".url" file of `folder` and its subfolders (a trailing "*" is ignored), in name
// order; a problem's position is the number of the shortcut file in that order.
ImportResult ImportFavoritesTree(CBrindleDoc& doc, const std::string& folder,
                                 const ImportOptions& options = {});

// A folder as a Favorites tree, anything else as one shortcut file.
ImportResult ImportFavorites(CBrindleDoc& doc, const std::string& path,
                             const ImportOptions& options = {});

// Writes one shortcut per exported bookmark into `folder`/Brindle_addin. Failure:
// "cannot create specify directory". An "All" export that writes no file returns false.
bool ExportFavorites(CBrindleDoc& doc, const std::string& folder, const ExportOptions& options,
                     ExchangeReport& report);

// The shortcut file name for a bookmark name, without ".url": dots become blanks, the ends are
// trimmed, and characters no file name may hold become "_".
std::string FavoritesFileName(std::string_view bookmarkName);

// The folder the exported shortcuts go into.
inline constexpr const char* kFavoritesExportFolder = "Brindle_addin";

} // namespace brindle
