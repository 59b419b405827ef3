#pragma once
// Helpers shared by the exchange tests: fixture paths, temporary folders, whole-file access
// and bookmark lookup.

#include "store/BrindleDoc.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace brindle::test {

inline std::string DataFile(const std::string& name) {
    return std::string(BRINDLE_TEST_DATA_DIR) + "/exchange/" + name;
}

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
  public:
    TempDir() {
        std::random_device rd;
        m_path = std::filesystem::temp_directory_path() /
                 ("brindle-exchange-" + std::to_string(rd()) + "-" + std::to_string(rd()));
        std::filesystem::create_directories(m_path);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::string operator/(const std::string& name) const { return (m_path / name).string(); }

  private:
    std::filesystem::path m_path;
};

// A bookmark found in a document, or none; compared with nullptr as a pointer would be.
class FoundBookmark {
  public:
    FoundBookmark(std::nullptr_t = nullptr) {}
    explicit FoundBookmark(const BookmarkRef& b) : m_bookmark(b), m_found(true) {}
    const BookmarkRef* operator->() const { return &m_bookmark; }
    const BookmarkRef& operator*() const { return m_bookmark; }
    explicit operator bool() const { return m_found; }
    friend bool operator==(const FoundBookmark& f, std::nullptr_t) { return !f.m_found; }

  private:
    BookmarkRef m_bookmark;
    bool m_found = false;
};

inline FoundBookmark FindByName(const CBrindleDoc& doc, std::string_view name) {
    for (const BookmarkRef b : doc.m_arrBookmarks)
        if (b.m_strName == name)
            return FoundBookmark(b);
    return nullptr;
}

inline FoundBookmark FindByUrl(const CBrindleDoc& doc, std::string_view url) {
    for (const BookmarkRef b : doc.m_arrBookmarks)
        if (b.m_strURL == url)
            return FoundBookmark(b);
    return nullptr;
}

} // namespace brindle::test
