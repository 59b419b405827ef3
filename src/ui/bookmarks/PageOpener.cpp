#include "ui/bookmarks/PageOpener.h"

#include "platform/BrowserLauncher.h"
#include "store/BrindleDoc.h"

namespace brindle {

PageOpener::PageOpener(CBrindleDoc& doc, QObject* parent) : QObject(parent), m_doc(doc) {}

void PageOpener::OpenBookmark(std::int64_t index) {
    if (index < 0 || static_cast<std::uint64_t>(index) >= m_doc.Bookmarks().size())
        return;
    const auto i = static_cast<std::uint32_t>(index);
    m_doc.MarkVisited(i);
    emit visited(i);
    const std::string_view url = m_doc.Bookmarks()[i].m_strURL;
    OpenURL(QString::fromUtf8(url.data(), static_cast<qsizetype>(url.size())));
}

void PageOpener::OpenURL(const QString& text) {
    const BrowserLauncher::Outcome outcome = BrowserLauncher(m_doc.Prefs()).OpenURL(text);
    if (!outcome.message.isEmpty())
        emit message(outcome.message);
}

} // namespace brindle
