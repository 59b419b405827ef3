// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/FileErrors.h"

#include <cerrno>
#include <sys/stat.h>

namespace brindle {

std::string FormatMessage1(std::string_view text, std::string_view arg) {
    std::string out;
    out.reserve(text.size() + arg.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t at = text.find("%1", pos);
        if (at == std::string_view::npos) {
            out.append(text.substr(pos));
            break;
        }
        out.append(text.substr(pos, at - pos));
        out.append(arg);
        pos = at + 2;
    }
    return out;
}

namespace {
bool ParentFolderExists(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::string folder =
        slash == std::string::npos ? std::string(".") : path.substr(0, slash + (slash == 0));
    struct stat st {};
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
} // namespace

std::string FileErrorText(int error, const std::string& path, FileAction action) {
    const char* text = nullptr;
    switch (error) {
    case ENOENT:
        // The file itself is missing, or a folder on the way to it.
        text = ParentFolderExists(path) ? kFileNotFound : kFileBadPath;
        break;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
    case EINVAL:
        text = kFileBadPath;
        break;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        text = kFileAccessDenied;
        break;
    case EBUSY:
    case ETXTBSY:
        text = kFileSharingViolation;
        break;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        text = kFileDiskFull;
        break;
    default:
        return action == FileAction::Open ? kFailedToOpenDocument : kFailedToSaveDocument;
    }
    return FormatMessage1(text, path);
}

} // namespace brindle
