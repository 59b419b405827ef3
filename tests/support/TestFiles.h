// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Test helpers for files: a temporary folder removed at the end, whole-file reads and writes,
// bytes written as hexadecimal text ("01 00 FF") and the test data folder (tests/data).

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>

namespace testutil {

class TempDirectory {
  public:
    TempDirectory() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "brindle-test-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        m_path = pattern;
    }
    ~TempDirectory() {
        std::error_code ec;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(m_path, ec);
    }
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::string File(std::string_view name) const { return (m_path / name).string(); }

  private:
    std::filesystem::path m_path;
};

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Creates or replaces the file, and the folders above it that are missing.
inline void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
    std::error_code ec;
    if (path.has_parent_path())
        std::filesystem::create_directories(path.parent_path(), ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

inline bool Exists(const std::filesystem::path& path) {
    return std::filesystem::exists(path);
}

// "01 00 ff" -> the three bytes; blanks and line breaks are ignored.
inline std::string Hex(std::string_view text) {
    std::string out;
    int high = -1;
    for (char c : text) {
        int v;
        if (c >= '0' && c <= '9')
            v = c - '0';
        else if (c >= 'a' && c <= 'f')
            v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            v = c - 'A' + 10;
        else
            continue;
        if (high < 0) {
            high = v;
        } else {
            out += static_cast<char>(high * 16 + v);
            high = -1;
        }
    }
    return out;
}

// Bytes as "01 00 ff" for readable failure messages.
inline std::string ToHex(std::string_view bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        if (!out.empty())
            out += ' ';
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

// The folder of this repository's test data (tests/data).
inline std::string TestDataDir() {
    if (const char* dir = std::getenv("BRINDLE_TEST_DATA"))
        return dir;
#ifdef BRINDLE_TEST_DATA_DIR
    return BRINDLE_TEST_DATA_DIR;
#else
    return "tests/data";
#endif
}

// A file of the exchange fixtures (tests/data/exchange).
inline std::string ExchangeDataFile(const std::string& name) {
    return TestDataDir() + "/exchange/" + name;
}

} // namespace testutil
