#include "exchange/ExchangeFiles.h"

#include "exchange/ExchangeReport.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
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

namespace {

constexpr size_t kFlushBytes = 1 << 20;

} // namespace

struct AtomicFileWriter::Impl {
    fs::path target;
    fs::path temp;
    std::ofstream out;
};

AtomicFileWriter::AtomicFileWriter(const std::string& path) : m_impl(std::make_unique<Impl>()) {
    std::error_code ec;
    m_impl->target = fs::path(path);
    // Replace what a link points at, not the link.
    if (fs::is_symlink(m_impl->target, ec)) {
        const fs::path resolved = fs::weakly_canonical(m_impl->target, ec);
        if (!ec)
            m_impl->target = resolved;
    }
    if (fs::is_directory(m_impl->target, ec))
        return;
    m_impl->temp = m_impl->target;
    m_impl->temp += ".brindle-" + std::to_string(std::random_device{}()) + ".tmp";
    m_impl->out.open(m_impl->temp, std::ios::binary | std::ios::trunc);
    m_open = m_impl->out.is_open();
    m_buffer.reserve(kFlushBytes + kFlushBytes / 4);
}

AtomicFileWriter::~AtomicFileWriter() {
    if (m_open) { // never committed
        m_impl->out.close();
        std::error_code ec;
        fs::remove(m_impl->temp, ec);
    }
}

void AtomicFileWriter::Flush(bool always) {
    if (!m_open || (!always && m_buffer.size() < kFlushBytes))
        return;
    m_impl->out.write(m_buffer.data(), static_cast<std::streamsize>(m_buffer.size()));
    if (m_impl->out.fail())
        m_failed = true;
    m_buffer.clear();
}

void AtomicFileWriter::Write(std::string_view bytes) {
    Flush(true);
    if (!m_open)
        return;
    m_impl->out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (m_impl->out.fail())
        m_failed = true;
}

bool AtomicFileWriter::Commit() {
    if (!m_open)
        return false;
    Flush(true);
    m_impl->out.close();
    m_open = false;
    std::error_code ec;
    if (m_failed || m_impl->out.fail()) {
        fs::remove(m_impl->temp, ec);
        return false;
    }
    // An existing file keeps its permissions.
    const fs::file_status old = fs::status(m_impl->target, ec);
    if (!ec && fs::exists(old))
        fs::permissions(m_impl->temp, old.permissions(), ec);
    fs::rename(m_impl->temp, m_impl->target, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(m_impl->temp, ignored);
        return false;
    }
    return true;
}

bool WriteWholeFile(const std::string& path, std::string_view bytes) {
    AtomicFileWriter file(path);
    if (!file.IsOpen())
        return false;
    file.Write(bytes);
    return file.Commit();
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

std::unique_ptr<AtomicFileWriter> OpenExportFile(const std::string& path, ExchangeReport& report) {
    if (!PrepareFolderFor(path)) {
        report.Add(MessageIcon::Exclamation, kMsgCreateDirectoryFail);
        return nullptr;
    }
    auto file = std::make_unique<AtomicFileWriter>(path);
    if (!file->IsOpen()) {
        report.Add(MessageIcon::Stop, kMsgCannotWriteFile);
        return nullptr;
    }
    return file;
}

} // namespace brindle
