// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/archive/TextSearchController.h"

#include "store/BrindleDoc.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <utility>

namespace brindle {

namespace {
// Snippets made with the search itself; the others when their row is shown. A phrase is
// checked in the text of the best pages holding its words until as many hits are found: checking
// all of them may take seconds, too long for a keystroke.
constexpr std::size_t kFirstSnippets = 50;
} // namespace

TextSearchController::TextSearchController(CBrindleDoc& doc,
                                           std::function<std::string()> documentPath,
                                           QObject* parent)
    : QObject(parent), m_doc(doc), m_documentPath(std::move(documentPath)) {}

bool TextSearchController::OpenArchive() {
    const std::string path = m_documentPath();
    const std::string location = path.empty() ? std::string() : PageArchive::LocationFor(path);
    if (location != m_openPath || !m_archive.IsOpen()) {
        m_archive.Close();
        m_openPath = location;
        if (!location.empty() && QFileInfo::exists(QString::fromStdString(location)))
            m_archive.Open(location, false);
    }
    return m_archive.IsOpen();
}

void TextSearchController::Prepare() {
    if (OpenArchive())
        m_archive.Prepare();
}

std::vector<std::uint32_t> TextSearchController::Search(std::string_view query) {
    m_query = std::string(query);
    m_snippets.clear();
    std::vector<std::uint32_t> hits;
    if (!OpenArchive()) {
        emit message(tr("No pages of this document are archived (Tool > Archive Pages)."));
        return hits;
    }
    const TextSearchResult result = m_archive.Search(query, 0, kFirstSnippets, kFirstSnippets);
    if (!result.error.empty()) {
        emit message(QString::fromStdString(result.error));
        return hits;
    }
    // Rank of each page's URL, then every bookmark of those URLs in that order.
    std::unordered_map<std::string_view, std::size_t> rank;
    rank.reserve(result.hits.size());
    for (std::size_t i = 0; i < result.hits.size(); ++i)
        rank.emplace(result.hits[i].url, i);
    std::vector<std::pair<std::size_t, std::uint32_t>> found;
    const auto& bookmarks = m_doc.Bookmarks();
    for (std::uint32_t b = 0; b < bookmarks.size(); ++b)
        if (const auto it = rank.find(bookmarks[b].m_strURL); it != rank.end())
            found.emplace_back(it->second, b);
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& x, const auto& y) { return x.first < y.first; });
    hits.reserve(found.size());
    for (const auto& [r, b] : found) {
        hits.push_back(b);
        if (!result.hits[r].snippet.empty())
            m_snippets.emplace(b, QString::fromStdString(result.hits[r].snippet));
    }
    if (result.unchecked > 0)
        emit message(tr("Archived pages that match: %1 found, %2 more hold the words of the phrase "
                        "but were not checked (brindle-cli search checks them all)")
                         .arg(result.hits.size())
                         .arg(result.unchecked));
    else
        emit message(tr("Archived pages that match: %1").arg(result.hits.size()));
    return hits;
}

QString TextSearchController::SnippetOf(std::uint32_t bookmark) {
    if (const auto it = m_snippets.find(bookmark); it != m_snippets.end())
        return it->second;
    if (m_query.empty() || !m_archive.IsOpen() || bookmark >= m_doc.Bookmarks().size())
        return {};
    const QString snippet =
        QString::fromStdString(m_archive.Snippet(m_query, m_doc.Bookmarks()[bookmark].m_strURL));
    m_snippets.emplace(bookmark, snippet);
    return snippet;
}

std::optional<ArchivedPage> TextSearchController::PageOf(std::uint32_t bookmark) {
    if (bookmark >= m_doc.Bookmarks().size() || !OpenArchive())
        return std::nullopt;
    return m_archive.Get(m_doc.Bookmarks()[bookmark].m_strURL);
}

QString TextSearchController::WritePageFile(std::uint32_t bookmark) {
    const std::optional<ArchivedPage> page = PageOf(bookmark);
    if (!page)
        return {};
    if (!m_pageFolder) {
        m_pageFolder = std::make_unique<QTemporaryDir>(QDir::tempPath() +
                                                       QStringLiteral("/brindle-pages-XXXXXX"));
        if (!m_pageFolder->isValid())
            return {};
        QFile::setPermissions(m_pageFolder->path(), QFileDevice::ReadOwner |
                                                        QFileDevice::WriteOwner |
                                                        QFileDevice::ExeOwner);
    }
    QFile file(m_pageFolder->filePath(QStringLiteral("page-%1.html").arg(++m_pageFiles)));
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const std::string html = ArchivedPageHtml(*page);
    file.write(html.data(), static_cast<qint64>(html.size()));
    return file.fileName();
}

} // namespace brindle
