// Reading Internet shortcut files, one at a time or a whole Favorites folder tree.

#include "exchange/ExchangeFiles.h"
#include "exchange/Favorites.h"
#include "exchange/HtmlTags.h"
#include "exchange/TextCodec.h"
#include "store/BrindleDoc.h"
#include "store/TextUtil.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace brindle {

namespace {

// Keywords come from a shortcut's name only when it is made of letters, digits, blanks and
// dots; anything else (hyphens, ampersands, ...) gives none.
bool NameMakesKeywords(std::string_view lowered) {
    size_t i = 0;
    while (i < lowered.size()) {
        const char c = lowered[i];
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == ' ' || c == '.') {
            ++i;
            continue;
        }
        char32_t cp = 0;
        const size_t len = DecodeUtf8At(lowered, i, cp);
        // Beyond ASCII, letters of any script qualify; the C1 control range does not.
        if (len == 0 || cp < 0xA0)
            return false;
        i += len;
    }
    return true;
}

} // namespace

int ReadUrlFileText(CBrindleDoc& doc, std::string_view fileName, std::string_view text,
                    BrxTime addDate) {
    const std::string name = Trim(fileName.substr(0, fileName.find('.')));
    std::string keywords;
    const std::string lowered = ToLower(name);
    if (NameMakesKeywords(lowered)) {
        keywords = lowered;
        std::replace(keywords.begin(), keywords.end(), '.', ' ');
        keywords = Trim(keywords);
    }

    text = SkipUtf8Bom(text);
    bool inSection = false;
    int urlLines = 0;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = TrimView(text.substr(pos, end - pos));
        pos = end + 1;
        if (EqualsNoCase(line, "[internetshortcut]")) {
            inSection = true;
        } else if (line.find('[') != std::string_view::npos &&
                   line.find(']') != std::string_view::npos) {
            inSection = false;
        } else if (inSection && StartsWithNoCase(line, "url=")) {
            ++urlLines;
            doc.AddBookmark({.name = name,
                             .url = TrimView(line.substr(4)),
                             .keywords = keywords,
                             .statusChecking = 1,
                             .schedule = kNoSchedule,
                             .status = kStatusWaiting,
                             .addDate = addDate});
        }
    }
    return urlLines;
}

int ImportUrlFile(CBrindleDoc& doc, const std::string& path, ExchangeReport& report) {
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) {
        report.Add(MessageIcon::Stop, kMsgCannotOpenFile, path);
        return 0;
    }
    const std::string text = DecodeOutsideText(std::move(bytes));
    const size_t before = doc.Bookmarks().size();
    const std::string fileName = fs::path(path).filename().string();
    // A file without a URL inside a shortcut section is not a shortcut; one whose section is
    // followed by another (Windows adds a property section) is.
    if (ReadUrlFileText(doc, fileName, text, CBrindleDoc::Now()) == 0)
        report.Add(MessageIcon::Information, kMsgNotUrlFile, path);
    return static_cast<int>(doc.Bookmarks().size() - before);
}

int ImportFavoritesTree(CBrindleDoc& doc, const std::string& folder, ExchangeReport& report) {
    std::string root = folder;
    if (!root.empty() && root.back() == '*')
        root.pop_back();
    const size_t before = doc.Bookmarks().size();

    // Depth first, each folder's entries in name order; an explicit stack instead of recursion,
    // and folders reached through symbolic links are not entered (they may loop).
    struct Level {
        std::vector<fs::directory_entry> entries;
        size_t next = 0;
    };
    auto list = [](const fs::path& dir) {
        Level level;
        std::error_code ec;
        for (fs::directory_iterator it(dir, fs::directory_options::skip_permission_denied, ec), end;
             !ec && it != end; it.increment(ec))
            level.entries.push_back(*it);
        std::sort(level.entries.begin(), level.entries.end(),
                  [](const fs::directory_entry& a, const fs::directory_entry& b) {
                      return a.path().filename() < b.path().filename();
                  });
        return level;
    };
    std::vector<Level> stack;
    stack.push_back(list(fs::path(root.empty() ? std::string(".") : root)));
    while (!stack.empty()) {
        Level& top = stack.back();
        if (top.next >= top.entries.size()) {
            stack.pop_back();
            continue;
        }
        const fs::directory_entry entry = top.entries[top.next++];
        std::error_code ec;
        if (entry.is_directory(ec) && !entry.is_symlink(ec)) {
            stack.push_back(list(entry.path()));
        } else if (entry.path().extension() == ".url" && entry.is_regular_file(ec)) {
            ImportUrlFile(doc, entry.path().string(), report);
        }
    }
    return static_cast<int>(doc.Bookmarks().size() - before);
}

} // namespace brindle
