// SPDX-License-Identifier: GPL-3.0-or-later
// Writing the exported bookmarks as Internet shortcut files.

#include "exchange/ExchangeFiles.h"
#include "exchange/Favorites.h"
#include "exchange/TextCodec.h"
#include "store/BrindleDoc.h"
#include "store/TextUtil.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace brindle {

namespace {

// Room for ".url" within the usual 255-byte limit of a file name.
constexpr size_t kMaxFileNameBytes = 250;

} // namespace

std::string FavoritesFileName(std::string_view bookmarkName) {
    std::string name(bookmarkName);
    for (char& c : name)
        if (c == '.')
            c = ' ';
    name = Trim(name);
    // Characters no file name may hold, here or on Windows where these files are used.
    for (char& c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c == '"' ||
            c == '<' || c == '>' || c == '|')
            c = '_';
    }
    TruncateUtf8(name, kMaxFileNameBytes);
    if (name.empty())
        name.push_back('_'); // a name of dots only
    return name;
}

bool ExportFavorites(CBrindleDoc& doc, const std::string& folder, const ExportOptions& options,
                     ExchangeReport& report) {
    const fs::path target = fs::path(folder) / kFavoritesExportFolder;
    if (!CreateFolderChain(target.string())) {
        report.Add(MessageIcon::Stop, kMsgCannotCreateDirectory);
        return false;
    }
    int written = 0;
    std::string file = target.string();
    file += fs::path::preferred_separator;
    const size_t folderLength = file.size();
    std::string content;
    for (const BookmarkRef& b : SelectForExport(doc, options)) {
        file.resize(folderLength);
        file += FavoritesFileName(b.m_strName);
        file += ".url";
        content = "[InternetShortcut]";
        content += kLineEnd;
        content += "URL=";
        content += b.m_strURL;
        content += kLineEnd;
        // A file that cannot be written is skipped, as the format has no place to say why.
        if (WriteFileInPlace(file, content))
            ++written;
    }
    return options.selectedOnly || written > 0;
}

} // namespace brindle
