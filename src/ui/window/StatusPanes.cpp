// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window/StatusPanes.h"

#include "store/BrindleDoc.h"

#include <QLabel>
#include <QStatusBar>

namespace brindle {

StatusPanes::StatusPanes(CBrindleDoc& doc, QStatusBar* bar) : QObject(bar), m_doc(doc) {
    const QString start[6] = {tr("Ready"),        tr("SM:Keyword"), tr("ONLINE"),
                              tr("SC:CHECK OFF"), tr("0 Keywords"), tr("0 of 0 Bookmarks")};
    for (int i = 0; i < 6; ++i) {
        auto* label = new QLabel(bar);
        label->setObjectName(QStringLiteral("pane%1").arg(i));
        m_panes[i] = label;
        if (i == kPanePrompt) {
            bar->addWidget(label, 1);
        } else {
            label->setFrameStyle(QFrame::Panel | QFrame::Raised);
            bar->addPermanentWidget(label);
        }
        SetText(i, start[i]);
    }
    m_doc.AddListener(this);
}

StatusPanes::~StatusPanes() {
    m_doc.RemoveListener(this);
}

void StatusPanes::SetText(int pane, const QString& text) {
    if (pane < 0 || pane >= static_cast<int>(m_panes.size()))
        return;
    QLabel* label = m_panes[pane];
    label->setText(text);
    if (pane != kPanePrompt) // the message pane stretches; the others fit their text
        label->setFixedWidth(label->fontMetrics().horizontalAdvance(text) +
                             2 * label->frameWidth() + 8);
}

QString StatusPanes::Text(int pane) const {
    return pane >= 0 && pane < static_cast<int>(m_panes.size()) ? m_panes[pane]->text() : QString();
}

void StatusPanes::CountsChanged(const SearchCounts& counts) {
    SetText(kPaneSearchMode,
            m_doc.TextSearchActive() ? tr("SM:Text") : SearchModeText(counts.searchMode));
    SetText(kPaneKeywordCount, KeywordCountText(counts.keywords));
    SetText(kPaneResultCount, ResultCountText(counts.hits, counts.bookmarks));
}

QString StatusPanes::SearchModeText(std::int32_t searchMode) {
    return searchMode == kSearchKeyword ? tr("SM:Keyword") : tr("SM:String");
}

QString StatusPanes::KeywordCountText(std::size_t keywords) {
    return tr("%1 Keywords").arg(keywords);
}

QString StatusPanes::ResultCountText(std::size_t hits, std::size_t bookmarks) {
    return tr("%1 of %2 bookmarks").arg(hits).arg(bookmarks);
}

} // namespace brindle
