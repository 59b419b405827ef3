// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/bookmarks/BookmarkMimeData.h"

#include "store/BrindleDoc.h"
#include "store/ClipboardRecords.h"

#include <algorithm>

namespace brindle {

namespace {

// The widest field of the record a text can fill, plus the byte after it: the record cuts a
// longer text between characters, and to find where it looks at that byte.
constexpr std::size_t kNameKept = 255;
constexpr std::size_t kLongTextKept = 1000;
constexpr std::size_t kScheduleKept = 10;
constexpr std::size_t kStatusKept = 22;

std::string_view Prefix(std::string_view text, std::size_t kept) {
    return text.substr(0, std::min(text.size(), kept));
}

const QString& UriListMime() {
    static const QString mime = QStringLiteral("text/uri-list");
    return mime;
}

const QString& TextMime() {
    static const QString mime = QStringLiteral("text/plain");
    return mime;
}

} // namespace

BookmarkMimeData::BookmarkMimeData(const CBrindleDoc& doc,
                                   const std::vector<std::uint32_t>& bookmarks) {
    m_entries.reserve(bookmarks.size());
    // Room for a typical bookmark's texts, so that the block seldom moves while it grows; pages
    // never written take no memory.
    m_texts.reserve(bookmarks.size() * 256);
    // A bookmark's texts lie together, but the selected bookmarks are far apart: ask for the
    // next ones' texts early.
    constexpr std::size_t kAhead = 8;
    auto prefetch = [&](std::size_t k) {
        if (k < bookmarks.size())
            __builtin_prefetch(doc.Bookmarks()[bookmarks[k]].m_strName.data());
    };
    for (std::size_t k = 0; k < kAhead; ++k)
        prefetch(k);
    for (std::size_t k = 0; k < bookmarks.size(); ++k) {
        prefetch(k + kAhead);
        const BookmarkRef b = doc.Bookmarks()[bookmarks[k]];
        Entry e;
        e.at = m_texts.size();
        auto keep = [this](std::string_view text, std::size_t kept) {
            const std::string_view part = Prefix(text, kept);
            m_texts.append(part);
            return static_cast<std::uint16_t>(part.size());
        };
        e.name = keep(b.m_strName, kNameKept);
        m_texts.append(b.m_strURL);
        e.url = static_cast<std::uint32_t>(b.m_strURL.size());
        e.keywords = keep(b.m_strKeywords, kLongTextKept);
        e.description = keep(b.m_strDescription, kLongTextKept);
        e.notes = keep(b.m_strNotes, kLongTextKept);
        e.schedule = keep(b.m_strSchedule, kScheduleKept);
        e.status = keep(b.m_strStatus, kStatusKept);
        e.statusChecking = b.m_wStatusChecking;
        e.addDate = b.m_tAddDate;
        e.lastVisited = b.m_tLastVisited;
        e.lastModified = b.m_tLastModified;
        e.lastChecked = b.m_tLastChecked;
        m_entries.push_back(e);
    }
}

std::string_view BookmarkMimeData::Url(const Entry& e) const {
    return std::string_view(m_texts).substr(e.at + e.name, e.url);
}

void BookmarkMimeData::WriteRecords(char* out, std::size_t first, std::size_t last) const {
    BookmarkRef b;
    for (std::size_t i = first; i < last; ++i) {
        const Entry& e = m_entries[i];
        const char* at = m_texts.data() + e.at;
        auto take = [&at](std::string_view& field, std::size_t n) {
            field = std::string_view(at, n);
            at += n;
        };
        take(b.m_strName, e.name);
        take(b.m_strURL, e.url);
        take(b.m_strKeywords, e.keywords);
        take(b.m_strDescription, e.description);
        take(b.m_strNotes, e.notes);
        take(b.m_strSchedule, e.schedule);
        take(b.m_strStatus, e.status);
        b.m_wStatusChecking = e.statusChecking;
        b.m_tAddDate = e.addDate;
        b.m_tLastVisited = e.lastVisited;
        b.m_tLastModified = e.lastModified;
        b.m_tLastChecked = e.lastChecked;
        WriteBookmarkRecord(out, b);
        out += kBookmarkRecordSize;
    }
}

void BookmarkMimeData::AppendRecords(std::string& out, std::size_t first, std::size_t count) const {
    if (first >= m_entries.size())
        return;
    const std::size_t last = first + std::min(count, m_entries.size() - first);
    const std::size_t base = out.size();
    out.resize(base + (last - first) * kBookmarkRecordSize);
    WriteRecords(out.data() + base, first, last);
}

QByteArray BookmarkMimeData::UrlList(std::string_view end) const {
    std::size_t size = 0;
    for (const Entry& e : m_entries)
        size += e.url + end.size();
    QByteArray list;
    list.reserve(static_cast<qsizetype>(size));
    for (const Entry& e : m_entries) {
        const std::string_view url = Url(e);
        list.append(url.data(), static_cast<qsizetype>(url.size()));
        list.append(end.data(), static_cast<qsizetype>(end.size()));
    }
    return list;
}

QStringList BookmarkMimeData::formats() const {
    return {QString::fromLatin1(kBookmarkMime), UriListMime(), TextMime()};
}

bool BookmarkMimeData::hasFormat(const QString& mimeType) const {
    return mimeType == QLatin1String(kBookmarkMime) || mimeType == UriListMime() ||
           mimeType == TextMime();
}

QVariant BookmarkMimeData::retrieveData(const QString& mimeType, QMetaType type) const {
    (void)type; // the bytes are given; QMimeData converts them to what was asked
    if (mimeType == QLatin1String(kBookmarkMime)) {
        QByteArray records(static_cast<qsizetype>(m_entries.size() * kBookmarkRecordSize),
                           Qt::Uninitialized);
        WriteRecords(records.data(), 0, m_entries.size());
        return records;
    }
    if (mimeType == UriListMime())
        return UrlList("\r\n");
    if (mimeType == TextMime()) {
        // Through a QString, as plain text on the clipboard has always been made.
        const QByteArray text = UrlList("\n");
        return QString::fromUtf8(text);
    }
    return {};
}

} // namespace brindle
