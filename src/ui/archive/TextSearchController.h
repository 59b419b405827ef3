// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window's text search: runs a query of the search box over the document's page archive,
// turns the pages found into the document's bookmarks (best first) and keeps the snippets the
// list's snippet column shows. A query that cannot run leaves the list empty and says why.

#include "archive/PageArchive.h"

#include <QObject>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

class CBrindleDoc;

namespace brindle {

class TextSearchController : public QObject {
    Q_OBJECT
  public:
    // `documentPath` gives the open document's path ("" before it is first saved).
    TextSearchController(CBrindleDoc& doc, std::function<std::string()> documentPath,
                         QObject* parent = nullptr);

    // Opens the archive and reads what searching needs, so that the first keystroke costs no
    // more than the others.
    void Prepare();
    // The document's hits for `query`, best first.
    std::vector<std::uint32_t> Search(std::string_view query);
    // The snippet of a bookmark in the last result ("" when it has none).
    QString SnippetOf(std::uint32_t bookmark);
    // The archived page of a bookmark's URL, if any.
    std::optional<ArchivedPage> PageOf(std::uint32_t bookmark);
    // Writes the archived text of a bookmark's page as an HTML page into a folder only this
    // user can read; its path, or "" when the page is not archived.
    QString WritePageFile(std::uint32_t bookmark);

  signals:
    // A message for the status bar's prompt pane: the query's error, or how many pages are
    // archived.
    void message(const QString& text);

  private:
    bool OpenArchive();

    CBrindleDoc& m_doc;
    std::function<std::string()> m_documentPath;
    PageArchive m_archive;
    std::string m_openPath;
    std::string m_query;
    std::unordered_map<std::uint32_t, QString> m_snippets;
    // The pages written for the browser; removed with the window.
    std::unique_ptr<QTemporaryDir> m_pageFolder;
    int m_pageFiles = 0;
};

} // namespace brindle
