// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// PageOpener: opens a bookmark's page (marking it visited) or any URL in the browsers the
// settings name (BrowserLauncher). What went wrong is told through message() for the prompt
// pane.

#include <QObject>
#include <QString>

#include <cstdint>

class CBrindleDoc;

namespace brindle {

class PageOpener : public QObject {
    Q_OBJECT
  public:
    PageOpener(CBrindleDoc& doc, QObject* parent = nullptr);

    // Bookmark `index` of the collection: its trimmed URL opens unless it is empty, and once a
    // browser started with it, Last Visited becomes now (the document is modified). -1 does
    // nothing.
    void OpenBookmark(std::int64_t index);
    // A URL text (a URL-shortcut macro); no bookmark changes. True when a browser started.
    bool OpenURL(const QString& text);

  signals:
    void message(const QString& text);
    // A bookmark was marked visited.
    void visited(std::uint32_t index);

  private:
    CBrindleDoc& m_doc;
};

} // namespace brindle
