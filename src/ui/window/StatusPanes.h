// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// StatusPanes: the six panes of the status bar. Pane 0 stretches and shows prompts; the others
// fit their text. The search mode and the counts come from the document after every search and
// refresh; the link check will show its progress in pane 3.

#include "store/DocListener.h"

#include <QObject>
#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>

class CBrindleDoc;
class QLabel;
class QStatusBar;

namespace brindle {

enum StatusPane : int {
    kPanePrompt = 0,
    kPaneSearchMode = 1,
    kPaneConnection = 2,
    kPaneChecker = 3,
    kPaneKeywordCount = 4,
    kPaneResultCount = 5
};

class StatusPanes : public QObject, public DocListener {
    Q_OBJECT
  public:
    // Puts the six panes with their start texts into `bar` and listens to the document.
    StatusPanes(CBrindleDoc& doc, QStatusBar* bar);
    ~StatusPanes() override;

    // Sets a pane's text and sizes the pane to it.
    void SetText(int pane, const QString& text);
    QString Text(int pane) const;

    void CountsChanged(const SearchCounts& counts) override;

    // "SM:Keyword" in keyword mode, else "SM:String".
    static QString SearchModeText(std::int32_t searchMode);
    // "12 Keywords".
    static QString KeywordCountText(std::size_t keywords);
    // "7 of 250 bookmarks".
    static QString ResultCountText(std::size_t hits, std::size_t bookmarks);

  private:
    CBrindleDoc& m_doc;
    std::array<QLabel*, 6> m_panes{};
};

} // namespace brindle
