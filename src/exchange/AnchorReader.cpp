// SPDX-License-Identifier: GPL-3.0-or-later
// The fallback reader for ordinary HTML pages: each link with text is a bookmark.

#include "exchange/ChunkReader.h"
#include "exchange/HtmlTags.h"
#include "exchange/ImportFile.h"
#include "exchange/TextCodec.h"
#include "store/BrindleDoc.h"
#include "store/TextUtil.h"

namespace brindle {

namespace {

// Tags that end a paragraph-like block. A link left open by the page ends at one of them once
// it has text, so its name does not run on through the rest of the page.
bool EndsBlock(std::string_view tag) {
    std::string_view name = TagName(tag);
    if (!name.empty() && name[0] == '/')
        name.remove_prefix(1);
    static constexpr std::string_view kBlocks[] = {
        "p",    "div",     "li",      "ul",     "ol",     "dl",   "dt",     "dd",    "tr",
        "td",   "th",      "table",   "br",     "hr",     "body", "html",   "head",  "title",
        "form", "section", "article", "header", "footer", "nav",  "script", "style", "blockquote",
        "pre",  "h1",      "h2",      "h3",     "h4",     "h5",   "h6"};
    for (std::string_view block : kBlocks)
        if (EqualsNoCase(name, block))
            return true;
    return false;
}

// A link's texts are gathered in buffers reused from link to link.
class AnchorReader : public ChunkReader {
  public:
    AnchorReader(CBrindleDoc& doc, BookmarkSink sink) : m_doc(doc), m_sink(std::move(sink)) {
        m_schedule = doc.DefaultScheduleOrNone();
        m_addDate = CBrindleDoc::Now();
    }

    void Feed(std::string_view chunk) override {
        Read(chunk);
        m_name.Keep();
    }

    // A link still open at the end is not added.
    void Finish() override {}

    void FeedLast(std::string_view chunk) override { Read(chunk); }

  private:
    void Read(std::string_view chunk) {
        m_stream.Feed(
            chunk, [this](std::string_view tag) { OnTag(tag); },
            [this](std::string_view run) {
                if (!m_inAnchor)
                    return;
                // Enough raw text for the longest name kept, references included.
                const size_t room =
                    4 * kMaxAnchorTextBytes - std::min(m_name.Size(), 4 * kMaxAnchorTextBytes);
                m_name.Append(run.substr(0, room));
            });
    }

    void OnTag(std::string_view tag) {
        const TagKind kind = ClassifyTag(tag);
        if (kind == kTagAnchorOpen) {
            FinishLink();
            m_url.clear();
            if (const auto href = FindAttribute(tag, "href")) {
                AppendDecoded(m_url, *href);
                TrimInPlace(m_url);
            }
            TruncateUtf8(m_url, kMaxAnchorTextBytes);
            m_name.Clear();
            m_inAnchor = true;
        } else if (kind == kTagAnchorClose) {
            FinishLink();
        } else if (m_inAnchor && EndsBlock(tag) && !TrimView(m_name.View()).empty()) {
            FinishLink();
        }
    }

    void FinishLink() {
        if (!m_inAnchor)
            return;
        m_inAnchor = false;
        m_decodedName.clear();
        AppendDecoded(m_decodedName, m_name.View());
        TruncateUtf8(m_decodedName, kMaxAnchorTextBytes);
        m_name.Clear();
        if (TrimView(m_decodedName).empty())
            return;
        m_keywords.clear();
        AppendLower(m_keywords, m_decodedName);
        const BookmarkFields fields{.name = m_decodedName,
                                    .url = m_url,
                                    .keywords = m_keywords,
                                    .statusChecking = 1,
                                    .schedule = m_schedule,
                                    .status = kStatusWaiting,
                                    .addDate = m_addDate};
        if (m_sink)
            m_sink(fields);
        else
            m_doc.AddBookmark(fields);
    }

    CBrindleDoc& m_doc;
    BookmarkSink m_sink;
    TagStream m_stream;
    std::string m_schedule;
    BrxTime m_addDate = 0;
    bool m_inAnchor = false;
    std::string m_url;
    GatheredText m_name;
    std::string m_decodedName;
    std::string m_keywords;
};

} // namespace

std::unique_ptr<ChunkReader> MakeAnchorReader(CBrindleDoc& doc, BookmarkSink sink) {
    return std::make_unique<AnchorReader>(doc, std::move(sink));
}

void ImportAnchors(CBrindleDoc& doc, std::string_view text) {
    AnchorReader reader(doc, {});
    reader.FeedLast(text);
}

} // namespace brindle
