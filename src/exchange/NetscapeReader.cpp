// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a Netscape bookmark file: headings name folders, <DL> lists nest them, and every link
// gets its folder path and its own name as keywords.

#include "exchange/ChunkReader.h"
#include "exchange/ExchangeFormats.h"
#include "exchange/FolderKeywords.h"
#include "exchange/HtmlTags.h"
#include "exchange/Netscape.h"
#include "exchange/TextCodec.h"
#include "store/BrindleDoc.h"
#include "store/TextUtil.h"

#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

namespace brindle {

BrxTime NormaliseEpoch(std::uint64_t stamp) {
    // Seconds stay below 1e11 until the year 5138; the finer units of any date after 1973 lie
    // above their thresholds.
    if (stamp >= 100'000'000'000'000'000ULL)
        stamp /= 1'000'000'000ULL;
    else if (stamp >= 100'000'000'000'000ULL)
        stamp /= 1'000'000ULL;
    else if (stamp >= 100'000'000'000ULL)
        stamp /= 1'000ULL;
    return static_cast<BrxTime>(stamp);
}

namespace {

// A plain decimal number, trimmed; false for anything else or a value beyond 64 bits.
bool ParseDecimal(std::string_view text, std::uint64_t& value) {
    text = TrimView(text);
    if (text.empty())
        return false;
    std::uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        const std::uint64_t digit = static_cast<std::uint64_t>(c - '0');
        if (v > (std::numeric_limits<std::uint64_t>::max() - digit) / 10)
            return false;
        v = v * 10 + digit;
    }
    value = v;
    return true;
}

void ReadDate(std::string_view value, BrxTime& target) {
    std::uint64_t number = 0;
    if (ParseDecimal(value, number))
        target = NormaliseEpoch(number);
}

// The attributes a link's tag may carry, read in one pass; the first of equal names counts.
enum LinkAttribute { kHref, kAddDate, kLastVisit, kLastModified, kTags, kDescription, kKinds };

int LinkAttributeOf(std::string_view name) {
    static constexpr std::string_view kNames[kKinds] = {"href",          "add_date", "last_visit",
                                                        "last_modified", "tags",     "description"};
    for (int k = 0; k < kKinds; ++k)
        if (EqualsNoCase(name, kNames[k]))
            return k;
    return -1;
}

template <typename Take> void ForEachLinkAttribute(std::string_view tagText, Take&& take) {
    bool seen[kKinds] = {};
    ForEachAttribute(tagText, [&](std::string_view name, std::string_view value) {
        const int kind = LinkAttributeOf(name);
        if (kind >= 0 && !seen[kind]) {
            seen[kind] = true;
            take(kind, value);
        }
        return true;
    });
}

} // namespace

void ParseNetscapeDates(std::string_view tagText, BrxTime& addDate, BrxTime& lastVisit,
                        BrxTime& lastModified) {
    ForEachLinkAttribute(tagText, [&](int kind, std::string_view value) {
        if (kind == kAddDate)
            ReadDate(value, addDate);
        else if (kind == kLastVisit)
            ReadDate(value, lastVisit);
        else if (kind == kLastModified)
            ReadDate(value, lastModified);
    });
}

namespace {

// A link's texts are views into the piece being read where nothing needs decoding, otherwise
// buffers of the reader reused from link to link: reading a link allocates nothing once the
// buffers have grown to the file's longest texts.
class NetscapeReader : public ChunkReader {
  public:
    NetscapeReader(CBrindleDoc& doc, BookmarkSink sink) : m_doc(doc), m_sink(std::move(sink)) {
        m_schedule = doc.DefaultScheduleOrNone();
        m_importTime = CBrindleDoc::Now();
    }

    void Feed(std::string_view chunk) override {
        Read(chunk);
        m_folderName.Keep();
        m_anchorText.Keep();
        m_description.Keep();
        // A link waiting for its description may still name it by a view into the piece.
        if (m_hasPending && m_pending.name.data() != m_pending.nameBuffer.data()) {
            const bool keywordsAreName = m_pending.keywords.data() == m_pending.name.data();
            m_pending.nameBuffer.assign(m_pending.name);
            m_pending.name = m_pending.nameBuffer;
            if (keywordsAreName)
                m_pending.keywords = m_pending.name;
        }
    }

    void Finish() override { FlushPending(); }

    void FeedLast(std::string_view chunk) override {
        Read(chunk);
        Finish();
    }

  private:
    void Read(std::string_view chunk) {
        m_stream.Feed(
            chunk, [this](std::string_view tag) { OnTag(tag); },
            [this](std::string_view run) { OnText(run); });
    }

    struct Pending {
        // Views that need no copy of their own while the piece they lie in is being read: the
        // name when it had no references to decode, the keyword text when it is the name.
        std::string_view name;
        std::string_view keywords;
        std::string nameBuffer;
        std::string keywordBuffer;
        std::string url;
        BrxTime addDate = 0;
        BrxTime lastVisit = 0;
        BrxTime lastModified = 0;
        std::string attributeDescription;
    };

    void OnText(std::string_view run) {
        if (m_lastKind == kTagHeadingOpen)
            m_folderName.Append(run);
        else if (m_lastKind == kTagAnchorOpen)
            m_anchorText.Append(run);
        else if (m_hasPending && m_inDescription)
            m_description.Append(run);
    }

    void OnTag(std::string_view tag) {
        const TagKind kind = Classify(tag);
        // Tags inside a link's text (<b>, <span>, ...) do not end its name.
        if (m_inAnchor && (kind == kTagOther || kind == kTagComment))
            return;
        if (kind == kTagOther && m_hasPending) {
            const std::string_view name = TagName(tag);
            if (EqualsNoCase(name, "dd")) {
                m_inDescription = true;
            } else if (EqualsNoCase(name, "dt") || EqualsNoCase(name, "hr")) {
                FlushPending();
            } else if (m_inDescription) {
                return; // markup inside a description: its text is kept
            }
        } else if (kind == kTagComment && m_inDescription) {
            return;
        }
        m_lastKind = kind;
        switch (kind) {
        case kTagHeadingOpen:
            FlushPending();
            m_folderName.Clear();
            m_anchorText.Clear();
            m_url.clear();
            m_inAnchor = false;
            break;
        case kTagAnchorOpen:
            FlushPending();
            m_anchorText.Clear();
            ReadLinkAttributes();
            m_inAnchor = true;
            break;
        case kTagListOpen:
            FlushPending();
            PushFolder();
            m_folderName.Clear();
            m_inAnchor = false;
            break;
        case kTagListClose:
            FlushPending();
            PopFolder();
            m_inAnchor = false;
            break;
        case kTagAnchorClose:
            FlushPending();
            BeginPending();
            m_inAnchor = false;
            break;
        case kTagHeadingClose:
            m_inAnchor = false;
            break;
        default:
            break;
        }
    }

    // ClassifyTag, with the attributes of an "a" tag read on the way (one walk over them).
    TagKind Classify(std::string_view tag) {
        if (!EqualsNoCase(TagName(tag), "a"))
            return ClassifyTag(tag);
        m_link = {};
        ForEachLinkAttribute(tag, [&](int kind, std::string_view value) {
            m_link.seen[kind] = true;
            m_link.value[kind] = value;
        });
        return m_link.seen[kHref] ? kTagAnchorOpen : kTagOther;
    }

    void ReadLinkAttributes() {
        m_url.clear();
        m_tags.clear();
        m_attributeDescription.clear();
        m_addDate = m_importTime;
        m_lastVisit = 0;
        m_lastModified = 0;
        AppendDecoded(m_url, m_link.value[kHref]);
        TrimInPlace(m_url);
        if (m_link.seen[kAddDate])
            ReadDate(m_link.value[kAddDate], m_addDate);
        if (m_link.seen[kLastVisit])
            ReadDate(m_link.value[kLastVisit], m_lastVisit);
        if (m_link.seen[kLastModified])
            ReadDate(m_link.value[kLastModified], m_lastModified);
        AppendDecoded(m_tags, m_link.value[kTags]);
        // Some bookmark services put the description in an attribute; a <DD> wins.
        AppendDecoded(m_attributeDescription, m_link.value[kDescription]);
    }

    void PushFolder() { m_folders.Push(DecodedView(m_folderName.View(), m_scratch)); }

    void PopFolder() { m_folders.Pop(); }

    void BeginPending() {
        m_pending.name = DecodedView(m_anchorText.View(), m_pending.nameBuffer);
        m_pending.url.assign(m_url);
        if (m_folders.Empty() && m_tags.empty() && IsLowerAscii(m_pending.name)) {
            m_pending.keywords = m_pending.name;
        } else {
            m_folders.KeywordsFor(m_pending.keywordBuffer, m_pending.name, m_tags);
            m_pending.keywords = m_pending.keywordBuffer;
        }
        m_pending.addDate = m_addDate;
        m_pending.lastVisit = m_lastVisit;
        m_pending.lastModified = m_lastModified;
        m_pending.attributeDescription.assign(m_attributeDescription);
        m_hasPending = true;
        m_inDescription = false;
        m_description.Clear();
    }

    void FlushPending() {
        if (!m_hasPending)
            return;
        m_hasPending = false;
        m_inDescription = false;
        std::string_view description = TrimView(DecodedView(m_description.View(), m_scratch));
        if (description.empty())
            description = TrimView(m_pending.attributeDescription);
        const BookmarkFields fields{.name = m_pending.name,
                                    .url = m_pending.url,
                                    .keywords = m_pending.keywords,
                                    .description = description,
                                    .statusChecking = 1,
                                    .schedule = m_schedule,
                                    .status = kStatusWaiting,
                                    .addDate = m_pending.addDate,
                                    .lastVisited = m_pending.lastVisit,
                                    .lastModified = m_pending.lastModified};
        if (m_sink)
            m_sink(fields);
        else
            m_doc.AddBookmark(fields);
        m_description.Clear();
    }

    // The attributes of the last "a" tag, as views into it.
    struct LinkAttributes {
        std::string_view value[kKinds];
        bool seen[kKinds] = {};
    };

    CBrindleDoc& m_doc;
    BookmarkSink m_sink;
    TagStream m_stream;
    LinkAttributes m_link;
    std::string m_schedule;
    BrxTime m_importTime = 0;

    TagKind m_lastKind = kTagOther;
    bool m_inAnchor = false;
    GatheredText m_folderName;
    GatheredText m_anchorText;
    std::string m_url;
    std::string m_tags;
    std::string m_attributeDescription;
    BrxTime m_addDate = 0;
    BrxTime m_lastVisit = 0;
    BrxTime m_lastModified = 0;

    // The open lists' folder names, as keyword text.
    FolderKeywords m_folders;

    // A closed link waits here until its <DD> description, if any, has been read.
    Pending m_pending;
    bool m_hasPending = false;
    bool m_inDescription = false;
    GatheredText m_description;
    std::string m_scratch; // decoded description or folder name
};

} // namespace

std::unique_ptr<ChunkReader> MakeNetscapeReader(CBrindleDoc& doc, BookmarkSink sink) {
    return std::make_unique<NetscapeReader>(doc, std::move(sink));
}

bool ImportNetscape(CBrindleDoc& doc, std::string_view text) {
    return ImportMarkedText(doc, text, FormatId::Netscape);
}

} // namespace brindle
