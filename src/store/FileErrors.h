// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The failure texts of the document file, as the system gives them. The core returns
// them to its caller; the user interface shows them in a message box with an exclamation icon.

#include <string>
#include <string_view>

namespace brindle {

inline constexpr const char* kUnexpectedFileFormat = "Unexpected file format.";
inline constexpr const char* kFailedToOpenDocument = "Failed to open document.";
inline constexpr const char* kFailedToSaveDocument = "Failed to save document.";
inline constexpr const char* kInvalidFilename = "Invalid filename.";
// The file-error texts; %1 stands for the file name.
inline constexpr const char* kFileNotFound = "%1 was not found.";
inline constexpr const char* kFileBadPath = "%1 contains an invalid path.";
inline constexpr const char* kFileAccessDenied = "Access to %1 was denied.";
inline constexpr const char* kFileSharingViolation =
    "A sharing violation occurred while accessing %1.";
inline constexpr const char* kFileDiskFull = "Disk full while accessing %1.";
// The save prompt.
inline constexpr const char* kSaveChangesPrompt = "Save changes to %1?";

enum class FileAction { Open, Save };

// Replaces every "%1" in `text` by `arg`.
std::string FormatMessage1(std::string_view text, std::string_view arg);

// The text for an operating-system error (errno value) met while opening or saving `path`:
// one of the file-error texts, else "Failed to open document." / "Failed to save document.".
std::string FileErrorText(int error, const std::string& path, FileAction action);

} // namespace brindle
