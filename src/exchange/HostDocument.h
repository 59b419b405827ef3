// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The host's own hold on a document when no window runs: read once and kept in memory, read
// again when the file on disk changed (another program saved it), and changed only under the
// document's lock after that check, so that two writers never lose each other's bookmarks.

#include "exchange/NativeMessaging.h"

#include <memory>
#include <string>

class CBrindleDoc;

namespace brindle::native {

class HostDocument : public HostTarget {
  public:
    // `path` empty: there is no document to use; every request gets the error reply that says
    // how to choose one.
    explicit HostDocument(std::string path);
    ~HostDocument() override;

    std::optional<std::string> DocumentPath(std::string& error) override;
    std::optional<std::vector<std::string>> Lookup(const std::string& url,
                                                   std::string& error) override;
    AddResult Add(const Request& request) override;
    std::optional<TabsResult> AddTabs(const std::vector<Tab>& tabs, std::string& error) override;

    // How many times the file has been read (a lookup reads it only when it changed).
    int Loads() const { return m_loads; }

  private:
    struct Signature {
        long long size = -1;
        long long modified = 0; // nanoseconds
        unsigned long long inode = 0;
        bool operator==(const Signature&) const = default;
    };
    static Signature SignatureOf(const std::string& path);
    // Reads the file again when its signature changed; false, with `error`, when it cannot be
    // read.
    bool Refresh(std::string& error);
    // Adds one page; true when it was new.
    bool AddPage(const std::string& url, const std::string& title, const std::string& description);
    bool Save(std::string& error);

    std::string m_path;
    std::unique_ptr<CBrindleDoc> m_doc;
    Signature m_loaded;
    int m_loads = 0;
};

// The error text when no document is known.
std::string NoDocumentText();

} // namespace brindle::native
