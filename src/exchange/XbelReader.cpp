// SPDX-License-Identifier: GPL-3.0-or-later
// Reading XBEL with libxml2's streaming reader, configured for files from anywhere: no network,
// no DTD loading, no entity declarations, a size bound, and libxml2's own depth limit.

#include "exchange/Xbel.h"

#include "exchange/ExchangeFiles.h"
#include "exchange/FolderKeywords.h"
#include "exchange/TextCodec.h"
#include "store/BrindleDoc.h"
#include "store/TextUtil.h"

#include <libxml/parser.h>
#include <libxml/xmlreader.h>

#include <charconv>
#include <memory>
#include <mutex>

namespace brindle {

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

// Reads exactly `n` digits at `pos`.
bool Digits(std::string_view text, std::size_t& pos, std::size_t n, unsigned& value) {
    if (pos + n > text.size())
        return false;
    value = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const char c = text[pos + i];
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    pos += n;
    return true;
}

struct FreeReader {
    void operator()(xmlTextReader* reader) const { xmlFreeTextReader(reader); }
};
using Reader = std::unique_ptr<xmlTextReader, FreeReader>;

std::string_view View(const xmlChar* text) {
    return text ? std::string_view(reinterpret_cast<const char*>(text)) : std::string_view();
}

// An attribute of the current element; empty when absent.
std::string Attribute(xmlTextReader* reader, const char* name) {
    xmlChar* value = xmlTextReaderGetAttribute(reader, reinterpret_cast<const xmlChar*>(name));
    std::string text(View(value));
    xmlFree(value);
    return text;
}

BrxTime TimeAttribute(xmlTextReader* reader, const char* name) {
    BrxTime t = 0;
    const std::string text = Attribute(reader, name);
    return !text.empty() && ParseIsoTime(TrimView(text), t) ? t : 0;
}

// The number in "highestId :N:" of the comment browser extensions keep.
bool ParseHighestId(std::string_view comment, std::uint64_t& id) {
    constexpr std::string_view kKey = "highestId :";
    const std::size_t at = comment.find(kKey);
    if (at == std::string_view::npos)
        return false;
    const char* first = comment.data() + at + kKey.size();
    const char* last = comment.data() + comment.size();
    const auto [end, ec] = std::from_chars(first, last, id);
    return ec == std::errc() && end != first && end != last && *end == ':';
}

// Our metadata fields, by element name.
enum class OwnField { None, Keywords, Notes, StatusChecking, Schedule, Status, LastChecked };

OwnField OwnFieldOf(std::string_view name) {
    if (name == "keywords")
        return OwnField::Keywords;
    if (name == "notes")
        return OwnField::Notes;
    if (name == "statusChecking")
        return OwnField::StatusChecking;
    if (name == "schedule")
        return OwnField::Schedule;
    if (name == "status")
        return OwnField::Status;
    if (name == "lastChecked")
        return OwnField::LastChecked;
    return OwnField::None;
}

class TreeBuilder {
  public:
    explicit TreeBuilder(XbelTree& tree) : m_tree(tree) {}

    bool Open(xmlTextReader* reader, std::string_view name, std::string& error) {
        Frame frame;
        if (m_stack.empty()) {
            if (name != "xbel") {
                error = "not an XBEL document";
                return false;
            }
            frame.role = Role::Root;
        } else {
            const Frame& parent = m_stack.back();
            std::vector<XbelItem>* siblings = parent.role == Role::Root     ? &m_tree.items
                                              : parent.role == Role::Folder ? &parent.item->children
                                                                            : nullptr;
            XbelItem* holder = parent.role == Role::Root || parent.role == Role::Folder ||
                                       parent.role == Role::Bookmark
                                   ? parent.item
                                   : nullptr;
            const bool inRoot = parent.role == Role::Root;
            if (siblings && (name == "folder" || name == "bookmark" || name == "separator" ||
                             name == "alias")) {
                XbelItem& item = siblings->emplace_back();
                item.id = Attribute(reader, "id");
                item.added = TimeAttribute(reader, "added");
                if (name == "folder") {
                    item.kind = XbelItem::Kind::Folder;
                    item.folded = Attribute(reader, "folded") != "no";
                    frame.role = Role::Folder;
                } else if (name == "bookmark") {
                    item.kind = XbelItem::Kind::Bookmark;
                    item.href = Attribute(reader, "href");
                    item.visited = TimeAttribute(reader, "visited");
                    item.modified = TimeAttribute(reader, "modified");
                    frame.role = Role::Bookmark;
                } else if (name == "separator") {
                    item.kind = XbelItem::Kind::Separator;
                } else {
                    item.kind = XbelItem::Kind::Alias;
                    item.ref = Attribute(reader, "ref");
                }
                frame.item = &item;
            } else if ((holder || inRoot) && name == "title") {
                frame.text = inRoot ? &m_tree.title : &holder->title;
            } else if ((holder || inRoot) && name == "desc") {
                frame.text = inRoot ? &m_scratch : &holder->desc;
            } else if ((holder || inRoot) && name == "info") {
                frame.role = Role::Info;
                frame.item = holder;
            } else if (parent.role == Role::Info && name == "metadata" && parent.item &&
                       parent.item->kind == XbelItem::Kind::Bookmark &&
                       Attribute(reader, "owner") == kXbelOwner) {
                frame.role = Role::OwnMetadata;
                frame.item = parent.item;
                frame.item->hasOwnFields = true;
            } else if (parent.role == Role::OwnMetadata) {
                frame.field = OwnFieldOf(name);
                frame.item = parent.item;
                frame.text = &m_scratch;
                m_scratch.clear();
                switch (frame.field) {
                case OwnField::Keywords:
                    frame.text = &frame.item->keywords;
                    break;
                case OwnField::Notes:
                    frame.text = &frame.item->notes;
                    break;
                case OwnField::Schedule:
                    frame.text = &frame.item->schedule;
                    break;
                case OwnField::Status:
                    frame.text = &frame.item->status;
                    break;
                case OwnField::None:
                    frame.text = nullptr;
                    break;
                default:
                    break;
                }
            }
            // Anything else (another program's metadata, unknown elements) is passed over,
            // text and all.
        }
        m_stack.push_back(frame);
        return true;
    }

    void Close() {
        if (m_stack.empty())
            return;
        const Frame& frame = m_stack.back();
        if (frame.field == OwnField::StatusChecking) {
            unsigned value = 0;
            const std::string_view text = TrimView(m_scratch);
            const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
            if (ec == std::errc() && end == text.data() + text.size() && value <= 0xFFFF)
                frame.item->statusChecking = static_cast<std::uint16_t>(value);
        } else if (frame.field == OwnField::LastChecked) {
            BrxTime t = 0;
            if (ParseIsoTime(TrimView(m_scratch), t))
                frame.item->lastChecked = t;
        }
        m_stack.pop_back();
    }

    void Text(std::string_view text) {
        if (!m_stack.empty() && m_stack.back().text)
            m_stack.back().text->append(text);
    }

    // A comment directly inside the root element.
    void Comment(std::string_view text) {
        std::uint64_t id = 0;
        if (m_stack.size() == 1 && ParseHighestId(text, id)) {
            m_tree.hasHighestId = true;
            m_tree.highestId = id;
        }
    }

    bool Finished() const { return m_stack.empty(); }

  private:
    enum class Role { Other, Root, Folder, Bookmark, Info, OwnMetadata };
    struct Frame {
        Role role = Role::Other;
        XbelItem* item = nullptr;    // the open item (folder, bookmark, or the one info is of)
        std::string* text = nullptr; // where this element's text goes
        OwnField field = OwnField::None;
    };
    XbelTree& m_tree;
    std::vector<Frame> m_stack;
    std::string m_scratch;
};

void IgnoreError(void* context, xmlErrorPtr error) {
    auto* message = static_cast<std::string*>(context);
    if (message->empty() && error && error->message) {
        *message = error->message;
        TrimInPlace(*message);
    }
}

} // namespace

bool ParseIsoTime(std::string_view text, BrxTime& t) {
    std::size_t pos = 0;
    bool negative = false;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        ++pos;
    }
    // The year: four digits, or more after a sign (bounded, so that nothing overflows).
    std::size_t yearDigits = 0;
    while (pos + yearDigits < text.size() && yearDigits < 9 && text[pos + yearDigits] >= '0' &&
           text[pos + yearDigits] <= '9')
        ++yearDigits;
    if (yearDigits < 4 || (yearDigits > 4 && pos == 0))
        return false;
    std::int64_t year = 0;
    for (std::size_t i = 0; i < yearDigits; ++i)
        year = year * 10 + (text[pos + i] - '0');
    pos += yearDigits;
    if (negative)
        year = -year;
    unsigned month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (pos >= text.size() || text[pos++] != '-' || !Digits(text, pos, 2, month) ||
        pos >= text.size() || text[pos++] != '-' || !Digits(text, pos, 2, day))
        return false;
    if (month < 1 || month > 12 || day < 1 || day > 31)
        return false;
    std::int64_t offset = 0;
    if (pos < text.size()) {
        if (text[pos] != 'T' && text[pos] != 't' && text[pos] != ' ')
            return false;
        ++pos;
        if (!Digits(text, pos, 2, hour) || pos >= text.size() || text[pos++] != ':' ||
            !Digits(text, pos, 2, minute))
            return false;
        if (pos < text.size() && text[pos] == ':') {
            ++pos;
            if (!Digits(text, pos, 2, second))
                return false;
            if (pos < text.size() && (text[pos] == '.' || text[pos] == ',')) {
                ++pos;
                const std::size_t from = pos;
                while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9')
                    ++pos;
                if (pos == from)
                    return false;
            }
        }
        if (hour > 24 || minute > 59 || second > 60)
            return false;
        if (pos < text.size()) {
            if (text[pos] == 'Z' || text[pos] == 'z') {
                ++pos;
            } else if (text[pos] == '+' || text[pos] == '-') {
                const int sign = text[pos] == '-' ? -1 : 1;
                ++pos;
                unsigned oh = 0, om = 0;
                if (!Digits(text, pos, 2, oh))
                    return false;
                if (pos < text.size() && text[pos] == ':')
                    ++pos;
                if (pos < text.size() && !Digits(text, pos, 2, om))
                    return false;
                offset = sign * static_cast<std::int64_t>(oh * 3600 + om * 60);
            }
        }
    }
    if (pos != text.size())
        return false;
    t = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second - offset;
    return true;
}

bool LooksLikeXbel(std::string_view head) {
    head = SkipUtf8Bom(head);
    const std::size_t root = head.find("<xbel");
    return root != std::string_view::npos && root < 2048 &&
           (root + 5 == head.size() ||
            std::string_view(" \t\r\n>").find(head[root + 5]) != std::string_view::npos);
}

namespace {

// Items of the compact tree, built the way TreeBuilder builds the full one (what the shared
// layout does not write is passed over).
class CompactBuilder {
  public:
    explicit CompactBuilder(XbelCompactTree& tree) : m_tree(tree) {}

    bool Open(xmlTextReader* reader, std::string_view name, std::string& error) {
        Frame frame;
        if (m_stack.empty()) {
            if (name != "xbel") {
                error = "not an XBEL document";
                return false;
            }
            frame.role = Role::Root;
            frame.node = 0;
        } else {
            const Frame parent = m_stack.back();
            const bool holdsItems = parent.role == Role::Root || parent.role == Role::Folder;
            if (holdsItems && (name == "folder" || name == "bookmark" || name == "separator" ||
                               name == "alias")) {
                const XbelItem::Kind kind = name == "folder"      ? XbelItem::Kind::Folder
                                            : name == "bookmark"  ? XbelItem::Kind::Bookmark
                                            : name == "separator" ? XbelItem::Kind::Separator
                                                                  : XbelItem::Kind::Alias;
                const std::uint32_t node = m_tree.Add(parent.node, kind);
                Attribute(reader, "id", m_tree.nodes[node].id);
                if (kind == XbelItem::Kind::Bookmark) {
                    Attribute(reader, "href", m_tree.nodes[node].href);
                    m_tree.nodes[node].added = TimeAttribute(reader, "added");
                } else if (kind == XbelItem::Kind::Alias)
                    Attribute(reader, "ref", m_tree.nodes[node].href);
                frame.role = kind == XbelItem::Kind::Folder     ? Role::Folder
                             : kind == XbelItem::Kind::Bookmark ? Role::Bookmark
                                                                : Role::Other;
                frame.node = node;
            } else if ((holdsItems || parent.role == Role::Bookmark) && name == "title") {
                frame.role = parent.role == Role::Root ? Role::RootTitle : Role::Title;
                frame.node = parent.node;
            }
        }
        m_stack.push_back(frame);
        return true;
    }

    void Close() {
        if (!m_stack.empty())
            m_stack.pop_back();
    }

    void Text(std::string_view text) {
        if (m_stack.empty())
            return;
        const Frame& frame = m_stack.back();
        if (frame.role == Role::RootTitle)
            m_tree.title.append(text);
        else if (frame.role == Role::Title)
            m_tree.Append(m_tree.nodes[frame.node].title, text);
    }

    void Comment(std::string_view text) {
        std::uint64_t id = 0;
        if (m_stack.size() == 1 && ParseHighestId(text, id)) {
            m_tree.hasHighestId = true;
            m_tree.highestId = id;
        }
    }

    bool Finished() const { return m_stack.empty(); }

  private:
    enum class Role : std::uint8_t { Other, Root, Folder, Bookmark, Title, RootTitle };
    struct Frame {
        Role role = Role::Other;
        std::uint32_t node = 0;
    };

    void Attribute(xmlTextReader* reader, const char* name, XbelText& to) {
        xmlChar* value = xmlTextReaderGetAttribute(reader, reinterpret_cast<const xmlChar*>(name));
        if (value)
            to = m_tree.Store(View(value));
        xmlFree(value);
    }

    XbelCompactTree& m_tree;
    std::vector<Frame> m_stack;
};

// The reading both trees share; an empty result when the document was read.
template <typename Builder> std::string ReadXbel(std::string_view text, Builder& builder) {
    std::string reason;
    if (text.size() > kMaxXbelBytes)
        return "the file is too large";
    // Entity declarations are how XML files blow up in memory or reach for other files; no
    // bookmark file needs one.
    if (text.find("<!ENTITY") != std::string_view::npos)
        return "the file declares entities";
    static std::once_flag ready;
    std::call_once(ready, [] { xmlInitParser(); });
    Reader reader(xmlReaderForMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr,
                                     XML_PARSE_NONET | XML_PARSE_NOCDATA));
    if (!reader)
        return "cannot read the file";
    xmlTextReaderSetStructuredErrorHandler(reader.get(), IgnoreError, &reason);
    int status = 0;
    while ((status = xmlTextReaderRead(reader.get())) == 1) {
        xmlTextReader* r = reader.get();
        switch (xmlTextReaderNodeType(r)) {
        case XML_READER_TYPE_ELEMENT: {
            const bool empty = xmlTextReaderIsEmptyElement(r) == 1;
            if (!builder.Open(r, View(xmlTextReaderConstLocalName(r)), reason)) {
                status = -1;
                break;
            }
            if (empty)
                builder.Close();
            break;
        }
        case XML_READER_TYPE_END_ELEMENT:
            builder.Close();
            break;
        case XML_READER_TYPE_TEXT:
        case XML_READER_TYPE_CDATA:
        case XML_READER_TYPE_WHITESPACE:
        case XML_READER_TYPE_SIGNIFICANT_WHITESPACE:
            builder.Text(View(xmlTextReaderConstValue(r)));
            break;
        case XML_READER_TYPE_COMMENT:
            builder.Comment(View(xmlTextReaderConstValue(r)));
            break;
        default:
            break;
        }
        if (status < 0)
            break;
    }
    if (status == 0 && !builder.Finished())
        status = -1;
    if (status != 0 && reason.empty())
        reason = "the file is not well-formed XML";
    if (status == 0)
        reason.clear(); // warnings (an unloaded DTD) do not stop the reading
    return reason;
}

} // namespace

bool ParseXbel(std::string_view text, XbelTree& tree, std::string* error) {
    tree = {};
    TreeBuilder builder(tree);
    const std::string reason = ReadXbel(SkipUtf8Bom(text), builder);
    if (!reason.empty()) {
        tree = {};
        if (error)
            *error = reason;
        return false;
    }
    return true;
}

XbelText XbelCompactTree::Store(std::string_view text) {
    if (!text.empty() && text.data() >= m_texts.data() &&
        text.data() < m_texts.data() + m_texts.size())
        return Store(std::string(text)); // growing the buffer would move what it points into
    const XbelText stored{static_cast<std::uint32_t>(m_texts.size()),
                          static_cast<std::uint32_t>(text.size())};
    m_texts.append(text);
    return stored;
}

void XbelCompactTree::Append(XbelText& to, std::string_view text) {
    if (to.size != 0 && to.offset + to.size != m_texts.size()) {
        // Something was stored since: move the text read so far to the end first.
        const std::string sofar(Text(to));
        to = Store(sofar);
    }
    if (to.size == 0)
        to.offset = static_cast<std::uint32_t>(m_texts.size());
    m_texts.append(text);
    to.size += static_cast<std::uint32_t>(text.size());
}

std::uint32_t XbelCompactTree::Add(std::uint32_t parent, XbelItem::Kind kind) {
    const auto node = static_cast<std::uint32_t>(nodes.size());
    nodes.emplace_back(kind);
    XbelNode& p = nodes[parent];
    if (p.lastChild == kNoXbelNode)
        p.firstChild = node;
    else
        nodes[p.lastChild].next = node;
    p.lastChild = node;
    return node;
}

void XbelCompactTree::Reserve(std::size_t items, std::size_t textBytes) {
    nodes.reserve(items);
    m_texts.reserve(textBytes);
}

bool ParseXbel(std::string_view text, XbelCompactTree& tree, std::string* error) {
    tree = {};
    text = SkipUtf8Bom(text);
    // An item takes some 60 bytes of a file at least; its texts take fewer than the file.
    tree.Reserve(text.size() / 64, text.size() / 2);
    CompactBuilder builder(tree);
    const std::string reason = ReadXbel(text, builder);
    if (!reason.empty()) {
        tree = {};
        if (error)
            *error = reason;
        return false;
    }
    return true;
}

namespace {

class XbelImport {
  public:
    XbelImport(CBrindleDoc& doc, const BookmarkSink& sink, ImportResult& result)
        : m_doc(doc), m_sink(sink), m_result(result), m_schedule(doc.DefaultScheduleOrNone()) {}

    void Folder(const XbelItem& folder, const std::vector<XbelItem>& items) {
        m_keywords.Push(folder.title);
        for (const XbelItem& item : items) {
            if (item.kind == XbelItem::Kind::Folder) {
                Folder(item, item.children);
            } else if (item.kind == XbelItem::Kind::Bookmark) {
                Bookmark(item);
            }
            // Separators and aliases (a second place of a bookmark already read) add nothing.
        }
        m_keywords.Pop();
    }

  private:
    void Bookmark(const XbelItem& item) {
        if (TrimView(item.href).empty() && !item.hasOwnFields)
            return;
        // Browsers show an untitled bookmark by its address.
        const std::string_view name = TrimView(item.title).empty() ? item.href : item.title;
        if (item.hasOwnFields)
            m_text = item.keywords;
        else
            m_keywords.KeywordsFor(m_text, name, {});
        const BookmarkFields fields{
            .name = name,
            .url = item.href,
            .keywords = m_text,
            .description = item.desc,
            .notes = item.notes,
            .statusChecking = item.hasOwnFields ? item.statusChecking : std::uint16_t{1},
            .schedule = item.hasOwnFields ? std::string_view(item.schedule) : m_schedule,
            .status = item.hasOwnFields ? std::string_view(item.status) : kStatusWaiting,
            .addDate = item.added,
            .lastVisited = item.visited,
            .lastModified = item.modified,
            .lastChecked = item.lastChecked};
        AddImported(m_doc, m_sink, fields, m_result);
    }

    CBrindleDoc& m_doc;
    const BookmarkSink& m_sink;
    ImportResult& m_result;
    std::string m_schedule;
    FolderKeywords m_keywords;
    std::string m_text;
};

} // namespace

void ImportXbelTree(CBrindleDoc& doc, const XbelTree& tree, const BookmarkSink& sink,
                    ImportResult& result) {
    result.format = FormatId::Xbel;
    // The document's title is the outermost folder, as a Netscape file's heading is.
    XbelItem root;
    root.kind = XbelItem::Kind::Folder;
    root.title = tree.title;
    XbelImport import(doc, sink, result);
    import.Folder(root, tree.items);
}

ImportResult ReadXbelText(CBrindleDoc& doc, std::string_view text, const ImportOptions& options) {
    ImportResult result;
    XbelTree tree;
    if (ParseXbel(text, tree))
        ImportXbelTree(doc, tree, options.sink, result);
    return result;
}

ImportResult ImportXbel(CBrindleDoc& doc, const std::string& path, const ImportOptions& options) {
    std::string bytes;
    ImportResult result;
    if (ReadWholeFile(path, bytes))
        result = ReadXbelText(doc, bytes, options);
    if (!result.Read())
        result.problems.Add(MessageIcon::Stop, kMsgCannotOpenFile, path);
    return result;
}

} // namespace brindle
