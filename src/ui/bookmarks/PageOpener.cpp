// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/bookmarks/PageOpener.h"

#include "platform/BrowserLauncher.h"
#include "store/BrindleDoc.h"

namespace brindle {

PageOpener::PageOpener(CBrindleDoc& doc, QObject* parent) : QObject(parent), m_doc(doc) {}

void PageOpener::OpenBookmark(std::int64_t index) {
    if (index < 0 || static_cast<std::uint64_t>(index) >= m_doc.Bookmarks().size())
        return;
    const auto i = static_cast<std::uint32_t>(index);
    const std::string_view url = m_doc.Bookmarks()[i].m_strURL;
    // Only a page that really went to a browser counts as visited.
    if (!OpenURL(QString::fromUtf8(url.data(), static_cast<qsizetype>(url.size()))))
        return;
    m_doc.MarkVisited(i);
    emit visited(i);
}

bool PageOpener::OpenURL(const QString& text) {
    const BrowserLauncher::Outcome outcome = BrowserLauncher(m_doc.Prefs()).OpenURL(text);
    if (!outcome.message.isEmpty())
        emit message(outcome.message);
    for (const BrowserLauncher::Launch& launch : outcome.launches)
        if (launch.started)
            return true;
    return false;
}

} // namespace brindle
