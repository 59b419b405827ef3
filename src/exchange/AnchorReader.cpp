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

class AnchorReader : public ChunkReader {
  public:
    explicit AnchorReader(CBrindleDoc& doc) : m_doc(doc) {
        m_schedule = doc.GetDefaultScheduleName();
        if (m_schedule.empty())
            m_schedule = kNoSchedule;
        m_addDate = CBrindleDoc::Now();
    }

    void Feed(std::string_view chunk) override {
        m_stream.Feed(
            chunk, [this](std::string_view tag) { OnTag(tag); },
            [this](std::string_view run) {
                if (!m_inAnchor)
                    return;
                // Enough raw text for the longest name kept, references included.
                const size_t room =
                    4 * kMaxAnchorTextBytes - std::min(m_name.size(), 4 * kMaxAnchorTextBytes);
                m_name.append(run.substr(0, room));
            });
    }

    // A link still open at the end is not added.
    void Finish() override {}

  private:
    void OnTag(std::string_view tag) {
        const TagKind kind = ClassifyTag(tag);
        if (kind == kTagAnchorOpen) {
            FinishLink();
            m_url = Trim(AttributeText(tag, "href"));
            TruncateUtf8(m_url, kMaxAnchorTextBytes);
            m_name.clear();
            m_inAnchor = true;
        } else if (kind == kTagAnchorClose) {
            FinishLink();
        } else if (m_inAnchor && EndsBlock(tag) && !TrimView(m_name).empty()) {
            FinishLink();
        }
    }

    void FinishLink() {
        if (!m_inAnchor)
            return;
        m_inAnchor = false;
        std::string name = DecodeCharacterReferences(m_name);
        TruncateUtf8(name, kMaxAnchorTextBytes);
        m_name.clear();
        if (TrimView(name).empty())
            return;
        m_doc.AddBookmark({.name = name,
                           .url = m_url,
                           .keywords = ToLower(name),
                           .statusChecking = 1,
                           .schedule = m_schedule,
                           .status = kStatusWaiting,
                           .addDate = m_addDate});
    }

    CBrindleDoc& m_doc;
    TagStream m_stream;
    std::string m_schedule;
    BrxTime m_addDate = 0;
    bool m_inAnchor = false;
    std::string m_url;
    std::string m_name;
};

} // namespace

std::unique_ptr<ChunkReader> MakeAnchorReader(CBrindleDoc& doc) {
    return std::make_unique<AnchorReader>(doc);
}

void ImportAnchors(CBrindleDoc& doc, std::string_view text) {
    AnchorReader reader(doc);
    reader.Feed(text);
    reader.Finish();
}

} // namespace brindle
