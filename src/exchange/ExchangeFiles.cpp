// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/ExchangeFiles.h"

#include "exchange/ExchangeReport.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

namespace brindle {

bool ReadWholeFile(const std::string& path, std::string& bytes) {
    std::error_code ec;
    if (!fs::is_regular_file(fs::path(path), ec))
        return false;
    std::ifstream in(fs::path(path), std::ios::binary);
    if (!in)
        return false;
    bytes.clear();
    const auto size = fs::file_size(fs::path(path), ec);
    if (!ec)
        bytes.reserve(static_cast<size_t>(size));
    char buffer[1 << 16];
    while (in) {
        in.read(buffer, sizeof buffer);
        bytes.append(buffer, static_cast<size_t>(in.gcount()));
    }
    return !in.bad();
}

bool WriteFileInPlace(const std::string& path, std::string_view bytes) {
    // The C stream is the lightest portable way to write many small files.
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && written;
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return fs::exists(fs::path(path), ec);
}

bool FolderExists(const std::string& path) {
    std::error_code ec;
    return fs::is_directory(fs::path(path), ec);
}

std::string FolderOfPath(const std::string& path) {
    const fs::path parent = fs::path(path).parent_path();
    return parent.empty() ? std::string(".") : parent.string();
}

bool CreateFolderChain(const std::string& folder) {
    std::error_code ec;
    const fs::path p = fs::path(folder);
    if (fs::is_directory(p, ec))
        return true;
    fs::create_directories(p, ec);
    return fs::is_directory(p, ec);
}

bool PrepareFolderFor(const std::string& path) {
    if (FileExists(path))
        return true;
    return CreateFolderChain(FolderOfPath(path));
}

std::unique_ptr<BufferedAtomicFile> OpenExportFile(const std::string& path,
                                                   ExchangeReport& report) {
    if (!PrepareFolderFor(path)) {
        report.Add(MessageIcon::Exclamation, kMsgCreateDirectoryFail);
        return nullptr;
    }
    auto file = std::make_unique<BufferedAtomicFile>(path);
    if (file->Open() != 0) {
        report.Add(MessageIcon::Stop, kMsgCannotWriteFile);
        return nullptr;
    }
    return file;
}

} // namespace brindle
