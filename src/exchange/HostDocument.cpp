// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/HostDocument.h"

#include "store/BrindleDoc.h"
#include "store/DocumentArchive.h"
#include "store/DocumentLock.h"
#include "store/FileErrors.h"

#include <sys/stat.h>

namespace brindle::native {

std::string NoDocumentText() {
    return "No Brindle document is open: start Brindle and open the document the browser should "
           "add to (the host then uses the last one opened).";
}

HostDocument::HostDocument(std::string path) : m_path(std::move(path)) {}

HostDocument::~HostDocument() = default;

HostDocument::Signature HostDocument::SignatureOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return {};
    return {static_cast<long long>(info.st_size),
            static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec,
            static_cast<unsigned long long>(info.st_ino)};
}

bool HostDocument::Refresh(std::string& error) {
    if (m_path.empty()) {
        error = NoDocumentText();
        return false;
    }
    const Signature now = SignatureOf(m_path);
    if (m_doc && now == m_loaded)
        return true;
    auto doc = std::make_unique<CBrindleDoc>();
    const ArchiveResult result = OpenDocumentFile(*doc, m_path);
    if (!result) {
        error = result.message;
        return false;
    }
    m_doc = std::move(doc);
    m_loaded = now;
    ++m_loads;
    return true;
}

std::optional<std::string> HostDocument::DocumentPath(std::string& error) {
    if (m_path.empty()) {
        error = NoDocumentText();
        return std::nullopt;
    }
    return m_path;
}

std::optional<std::vector<std::string>> HostDocument::Lookup(const std::string& url,
                                                             std::string& error) {
    if (!Refresh(error))
        return std::nullopt;
    return NamesWithUrl(*m_doc, url);
}

bool HostDocument::AddPage(const std::string& url, const std::string& title,
                           const std::string& description) {
    if (!NamesWithUrl(*m_doc, url).empty())
        return false;
    const bool untitled = title.find_first_not_of(" \t\r\n") == std::string::npos;
    return m_doc->AddBookmark({.name = untitled ? url : title,
                               .url = url,
                               .description = description,
                               .statusChecking = 1,
                               .schedule = m_doc->DefaultScheduleOrNone(),
                               .status = kStatusWaiting,
                               .addDate = CBrindleDoc::Now()});
}

bool HostDocument::Save(std::string& error) {
    const ArchiveResult result = WriteDocumentFile(*m_doc, m_path);
    if (!result) {
        error = result.message;
        // What is in memory was not saved: read the file again next time.
        m_doc.reset();
        return false;
    }
    m_doc->SetModifiedFlag(false);
    m_loaded = SignatureOf(m_path);
    return true;
}

AddResult HostDocument::Add(const Request& request) {
    std::string error;
    DocumentLock lock;
    if (!m_path.empty() && lock.Acquire(m_path) == DocumentLock::State::Busy)
        return {AddResult::Outcome::Error, FormatMessage1(kDocumentBusy, m_path)};
    if (!Refresh(error))
        return {AddResult::Outcome::Error, error};
    if (!AddPage(request.url, request.title, request.description))
        return {AddResult::Outcome::Exists, "The page is in " + m_path + " already."};
    if (!Save(error))
        return {AddResult::Outcome::Error, error};
    return {AddResult::Outcome::Added, "Added to " + m_path + "."};
}

std::optional<TabsResult> HostDocument::AddTabs(const std::vector<Tab>& tabs, std::string& error) {
    DocumentLock lock;
    if (!m_path.empty() && lock.Acquire(m_path) == DocumentLock::State::Busy) {
        error = FormatMessage1(kDocumentBusy, m_path);
        return std::nullopt;
    }
    if (!Refresh(error))
        return std::nullopt;
    TabsResult result;
    for (const Tab& tab : tabs)
        ++(AddPage(tab.url, tab.title, {}) ? result.added : result.existing);
    if (result.added > 0 && !Save(error))
        return std::nullopt;
    return result;
}

} // namespace brindle::native
