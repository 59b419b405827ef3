// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a Powermarks 3.0 file. Macro, schedule and metadata comments are lists of bracketed
// groups; malformed groups drop their line rather than invent values.

#include "exchange/ChunkReader.h"
#include "exchange/ExchangeFormats.h"
#include "exchange/HtmlTags.h"
#include "exchange/Powermarks.h"
#include "exchange/TextCodec.h"
#include "store/BrindleDoc.h"
#include "store/TextUtil.h"

#include <vector>

namespace brindle {

bool ParsePowermarksHex(std::string_view text, std::uint32_t& value) {
    if (text.size() > 8)
        return false;
    std::uint32_t v = 0;
    for (char c : text) {
        std::uint32_t d;
        if (c >= '0' && c <= '9')
            d = static_cast<std::uint32_t>(c - '0');
        else if (c >= 'a' && c <= 'f')
            d = static_cast<std::uint32_t>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            d = static_cast<std::uint32_t>(c - 'A' + 10);
        else
            return false;
        v = (v << 4) | d;
    }
    value = v;
    return true;
}

namespace {

constexpr std::uint32_t kNoValue = 0xFFFFFFFFu; // the file's "none" for hot keys and intervals

struct Groups {
    std::vector<std::string> values; // trimmed, references decoded
    bool unclosed = false;
};

Groups ReadGroups(std::string_view text) {
    Groups g;
    size_t pos = 0;
    for (;;) {
        const size_t open = text.find('[', pos);
        if (open == std::string_view::npos)
            break;
        const size_t close = text.find(']', open + 1);
        if (close == std::string_view::npos) {
            g.unclosed = true;
            break;
        }
        const std::string_view content = text.substr(open + 1, close - open - 1);
        pos = close + 1;
        if (content.find('[') != std::string_view::npos)
            continue; // a group holding another '[' is skipped and not counted
        g.values.push_back(DecodeCharacterReferences(TrimView(content)));
    }
    return g;
}

// The texts of a link are gathered in buffers reused from link to link.
class PowermarksReader : public ChunkReader {
  public:
    PowermarksReader(CBrindleDoc& doc, BookmarkSink sink) : m_doc(doc), m_sink(std::move(sink)) {}

    void Feed(std::string_view chunk) override {
        Read(chunk);
        for (GatheredText* text : {&m_name, &m_keywords, &m_description, &m_notes})
            text->Keep();
    }

    void Finish() override { AddPending(); }

    void CountRecords(ImportResult& result) const override {
        result.macros += m_macros;
        result.schedules += m_schedules;
    }

    void FeedLast(std::string_view chunk) override {
        Read(chunk);
        Finish();
    }

  private:
    void Read(std::string_view chunk) {
        m_stream.Feed(
            chunk, [this](std::string_view tag) { OnTag(tag); },
            [this](std::string_view run) {
                if (m_target)
                    m_target->Append(run);
            });
    }

    void OnTag(std::string_view tag) {
        const TagKind kind = ClassifyTag(tag);
        if (m_inAnchor && (kind == kTagOther || kind == kTagComment))
            return; // markup inside a link's text
        m_target = nullptr;
        switch (kind) {
        case kTagComment:
            OnComment(TrimView(tag.substr(3, tag.size() - 5)));
            break;
        case kTagAnchorOpen:
            AddPending();
            m_name.Clear();
            m_keywords.Clear();
            m_description.Clear();
            m_notes.Clear();
            m_url.clear();
            if (const auto href = FindAttribute(tag, "href")) {
                AppendDecoded(m_url, *href);
                TrimInPlace(m_url);
            }
            m_pending = true;
            m_inAnchor = true;
            m_target = &m_name;
            break;
        default:
            m_inAnchor = false;
            break;
        }
    }

    void OnComment(std::string_view body) {
        if (StartsWithNoCase(body, "macro=") && body.size() > 6) {
            ReadMacro(body.substr(6));
        } else if (StartsWithNoCase(body, "scs=") && body.size() > 4) {
            ReadSchedule(body.substr(4));
        } else if (StartsWithNoCase(body, "mdata=") && body.size() > 6) {
            ReadMetadata(body.substr(6));
        } else if (EqualsNoCase(body, "keywords")) {
            m_keywords.Clear();
            m_target = &m_keywords;
        } else if (EqualsNoCase(body, "desc")) {
            m_description.Clear();
            m_target = &m_description;
        } else if (EqualsNoCase(body, "notes")) {
            m_notes.Clear();
            m_target = &m_notes;
        }
    }

    void ReadMacro(std::string_view line) {
        const Groups g = ReadGroups(line);
        if (g.unclosed || g.values.empty())
            return;
        const std::string& kind = g.values[0];
        if (kind != "0" && kind != "1" && kind != "2")
            return;
        const auto at = [&](size_t i) { return i < g.values.size() ? g.values[i] : std::string(); };
        std::uint32_t hotKey = 0;
        if (!ParsePowermarksHex(at(3), hotKey))
            return;
        if (hotKey == kNoValue)
            hotKey = 0; // the document's "no hot key"
        if (kind == "2") {
            bool matchCase = false;
            if (g.values.size() > 4) {
                if (g.values[4] == "1")
                    matchCase = true;
                else if (g.values[4] != "0")
                    return;
            }
            std::uint32_t fields = 0;
            if (g.values.size() > 5 &&
                (g.values[5].size() > 2 || !ParsePowermarksHex(g.values[5], fields)))
                return;
            m_doc.AddStringMacro(at(1), at(2), fields, matchCase, hotKey);
            ++m_macros;
            return;
        }
        m_doc.AddMacro(kind == "0" ? kMacroUrl : kMacroKeywords, at(1), at(2), hotKey);
        ++m_macros;
    }

    void ReadSchedule(std::string_view line) {
        const Groups g = ReadGroups(line);
        if (g.unclosed)
            return;
        bool isDefault = false;
        if (g.values.size() > 1) {
            if (g.values[1] == "1")
                isDefault = true;
            else if (g.values[1] != "0")
                return;
        }
        std::uint32_t interval = 0;
        if (g.values.size() > 2 && !ParsePowermarksHex(g.values[2], interval))
            return;
        m_doc.AddSchedule(g.values.empty() ? std::string() : g.values[0],
                          static_cast<BrxTime>(static_cast<std::int32_t>(interval)), isDefault);
        ++m_schedules;
    }

    void ReadMetadata(std::string_view line) {
        m_schedule = "none";
        m_dates[0] = m_dates[1] = m_dates[2] = m_dates[3] = 0;
        m_checking = 1;
        // An unclosed group ends the reading; the groups before it stand.
        const Groups g = ReadGroups(line);
        for (size_t i = 0; i < g.values.size() && i < 9; ++i) {
            const std::string& v = g.values[i];
            if (i == 0) {
                if (m_doc.ScheduleExists(v))
                    m_schedule = v;
            } else if (i >= 1 && i <= 4) {
                std::uint32_t t = 0;
                if (ParsePowermarksHex(v, t)) // an unreadable date is skipped
                    m_dates[i - 1] = static_cast<BrxTime>(t);
            } else if (i == 7) {
                if (v == "0")
                    m_checking = 0;
                else if (v == "1")
                    m_checking = 1;
            }
        }
    }

    void AddPending() {
        if (!m_pending)
            return;
        m_pending = false;
        const std::string_view name = Decoded(0, m_name);
        const std::string_view keywords = Decoded(1, m_keywords);
        const std::string_view description = Decoded(2, m_description);
        const std::string_view notes = Decoded(3, m_notes);
        const BookmarkFields fields{.name = name,
                                    .url = m_url,
                                    .keywords = keywords,
                                    .description = description,
                                    .notes = notes,
                                    .statusChecking = m_checking,
                                    .schedule = m_schedule,
                                    .status = m_checking ? kStatusWaiting : kStatusCheckingOff,
                                    .addDate = m_dates[0],
                                    .lastVisited = m_dates[1],
                                    .lastModified = m_dates[2],
                                    .lastChecked = m_dates[3]};
        if (m_sink)
            m_sink(fields);
        else
            m_doc.AddBookmark(fields);
    }

    // The gathered text with references decoded (in reused buffer `slot` if there are any).
    std::string_view Decoded(int slot, const GatheredText& text) {
        return DecodedView(text.View(), m_decoded[slot]);
    }

    CBrindleDoc& m_doc;
    BookmarkSink m_sink;
    int m_macros = 0;
    int m_schedules = 0;
    TagStream m_stream;
    GatheredText* m_target = nullptr; // where text outside tags goes, if anywhere
    bool m_inAnchor = false;
    bool m_pending = false;
    GatheredText m_name;
    std::string m_url;
    GatheredText m_keywords;
    GatheredText m_description;
    GatheredText m_notes;
    std::string m_decoded[4];
    // Set by each metadata comment and kept for the entries after it until the next one.
    std::string m_schedule = kNoSchedule;
    BrxTime m_dates[4] = {0, 0, 0, 0};
    std::uint16_t m_checking = 1;
};

} // namespace

std::unique_ptr<ChunkReader> MakePowermarksReader(CBrindleDoc& doc, BookmarkSink sink) {
    return std::make_unique<PowermarksReader>(doc, std::move(sink));
}

bool ImportPowermarks(CBrindleDoc& doc, std::string_view text) {
    return ImportMarkedText(doc, text, FormatId::Powermarks);
}

} // namespace brindle
