// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/DocumentArchive.h"

#include "store/BrindleDoc.h"
#include "store/FileErrors.h"
#include "store/ObjectArchive.h"

#include <cerrno>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace brindle {

namespace {

// Dates are 64-bit in memory and 32-bit in the file: written as their low 32 bits, read as
// unsigned so that dates after January 2038 survive.
void WriteTime(ArchiveWriter& ar, BrxTime t) {
    ar.WriteU32(static_cast<std::uint32_t>(t));
}

BrxTime ReadTime(ArchiveReader& ar) {
    return static_cast<BrxTime>(ar.ReadU32());
}

// A schedule interval is read as unsigned too, except -1 (no interval) and the few negative
// values that 1970-01-01 08:00 local time has east of UTC+8 (kMinStoredInterval..-1).
BrxTime ReadInterval(ArchiveReader& ar) {
    const std::uint32_t v = ar.ReadU32();
    if (v > static_cast<std::uint32_t>(kMaxStoredInterval))
        return static_cast<BrxTime>(static_cast<std::int32_t>(v));
    return static_cast<BrxTime>(v);
}

void ReadBookmarkSlots(ArchiveReader& ar, BookmarkList& list, std::uint8_t slots);

// The document's stored state and records, read completely before anything is replaced.
struct DocumentContent {
    DocumentSummary head; // the header's fields (its counts stay unused)
    BookmarkList bookmarks;
    CBrindleDoc::MacroList macros;
    CBrindleDoc::ScheduleList schedules;
};

// One object array: the count, then the elements. A null element or a reference to an object
// of the array's class is accepted and adds nothing (the document holds each record once and
// never a null one); an object or reference of another class rejects the file. `reserve` gets
// the count, `readObject` reads each new object of the class.
template <typename Reserve, typename ReadObject>
void ReadObjects(ArchiveReader& ar, ArchiveClass cls, Reserve reserve, ReadObject readObject) {
    const std::uint64_t count = ar.ReadCount();
    // Every element takes at least its two-byte tag: never reserve what the file cannot hold.
    if (count > ar.Remaining() / 2)
        throw ArchiveFormatError{};
    reserve(static_cast<std::size_t>(count));
    for (std::uint64_t i = 0; i < count; ++i) {
        const ArchiveReader::Element e = ar.ReadElement();
        if (e.kind == ArchiveReader::ElementKind::Null)
            continue;
        if (e.cls != cls)
            throw ArchiveFormatError{};
        if (e.kind == ArchiveReader::ElementKind::Reference)
            continue;
        readObject();
    }
}

template <typename Record, typename ReadFields>
void ReadArray(ArchiveReader& ar, ArchiveClass cls, std::vector<std::unique_ptr<Record>>& out,
               ReadFields readFields) {
    ReadObjects(
        ar, cls, [&](std::size_t count) { out.reserve(count); },
        [&] {
            auto record = std::make_unique<Record>();
            readFields(ar, *record);
            out.push_back(std::move(record));
        });
}

// The bookmark array: straight into the records and their text chunks.
void ReadBookmarks(ArchiveReader& ar, BookmarkList& out) {
    ReadObjects(
        ar, ArchiveClass::Bookmark, [&](std::size_t count) { out.reserve(count); },
        [&] { ReadBookmark(ar, out); });
}

// The bookmark array, keeping only what `filter` chooses. Records are looked at in batches of
// up to a megabyte with only the texts the filter needs, their bytes kept meanwhile; the chosen
// ones are then read whole from those bytes. A search of a large file thus converts and keeps
// the texts of its hits only.
void ReadBookmarks(ArchiveReader& ar, BookmarkList& out, const BookmarkFilter& filter) {
    constexpr std::size_t kBatchBytes = std::size_t{1} << 20;
    constexpr std::size_t kBatchEnd = 4096;
    BookmarkList batch;
    std::vector<std::size_t> bounds; // start and end of each record's bytes, from the mark
    std::vector<std::uint32_t> keep;
    auto flush = [&] {
        if (!batch.empty()) {
            keep.clear();
            filter.select(batch, keep);
            const std::string_view bytes = ar.Marked();
            for (const std::uint32_t k : keep) {
                ArchiveReader one(bytes.substr(bounds[2 * k], bounds[2 * k + 1] - bounds[2 * k]));
                ReadBookmark(one, out);
            }
            batch.clear();
            batch.Storage().text.Reuse();
            batch.Storage().textGarbage = 0;
        }
        bounds.clear();
        ar.Mark();
    };
    ar.Mark();
    ReadObjects(
        ar, ArchiveClass::Bookmark, [](std::size_t) {},
        [&] {
            bounds.push_back(ar.Marked().size());
            ReadBookmarkSlots(ar, batch, filter.slotMask);
            bounds.push_back(ar.Marked().size());
            // A batch also ends where the buffer does, so that refilling it moves few bytes.
            if (bounds.back() >= kBatchBytes || ar.Buffered() < kBatchEnd)
                flush();
        });
    flush();
    ar.Unmark();
}

void ReadHeader(ArchiveReader& ar, DocumentSummary& h) {
    (void)ar.ReadI32(); // the first copy of the search mode; the second one is kept
    h.stringFields = ar.ReadU8();
    h.partialMatch = ar.ReadI32();
    h.searchMode = ar.ReadI32();
    h.columns = ar.ReadU16();
    h.matchCase = ar.ReadI32();
    h.sortAscending = ar.ReadI32();
    h.sortColumn = ar.ReadI32();
}

DocumentContent ReadContent(ArchiveReader& ar, std::uint64_t size,
                            const BookmarkFilter* filter = nullptr) {
    DocumentContent c;
    ReadHeader(ar, c.head);
    if (filter) {
        ReadBookmarks(ar, c.bookmarks, *filter);
    } else {
        // The texts take about the file's size: one chunk for all of them.
        c.bookmarks.Storage().text.Expect(static_cast<std::size_t>(size) + 4096);
        ReadBookmarks(ar, c.bookmarks);
    }
    ReadArray(ar, ArchiveClass::Macro, c.macros, ReadMacro);
    ReadArray(ar, ArchiveClass::Schedule, c.schedules, ReadSchedule);
    return c;
}

// The header and counts only: a bookmark's fields are passed over (no text of a bookmark
// can fail to read; its prefixes can).
DocumentSummary ReadSummary(ArchiveReader& ar) {
    DocumentSummary s;
    ReadHeader(ar, s);
    ReadObjects(
        ar, ArchiveClass::Bookmark, [](std::size_t) {},
        [&] {
            for (int k = 0; k < 5; ++k) // name, URL, keywords, description, notes
                ar.SkipString();
            (void)ar.ReadU16();
            ar.SkipString(); // schedule
            ar.SkipString(); // status
            for (int k = 0; k < 4; ++k)
                (void)ar.ReadU32();
            ++s.bookmarks;
        });
    CMacro macro;
    ReadObjects(
        ar, ArchiveClass::Macro, [](std::size_t) {},
        [&] {
            ReadMacro(ar, macro);
            ++s.macros;
        });
    CSchedule schedule;
    ReadObjects(
        ar, ArchiveClass::Schedule, [](std::size_t) {},
        [&] {
            ReadSchedule(ar, schedule);
            ++s.schedules;
        });
    return s;
}

template <typename Read> ArchiveResult SummaryWith(DocumentSummary& out, Read&& makeReaderAndRead) {
    try {
        out = makeReaderAndRead();
        return ArchiveResult::Success();
    } catch (const ArchiveFormatError&) {
        return ArchiveResult::Failure(kUnexpectedFileFormat);
    } catch (const std::bad_alloc&) {
        return ArchiveResult::Failure(kFailedToOpenDocument);
    }
}

void ApplyContent(CBrindleDoc& doc, DocumentContent&& c) {
    const DocumentSummary& h = c.head;
    doc.ReplaceContents({.searchMode = h.searchMode,
                         .stringFields = h.stringFields,
                         .partialMatch = h.partialMatch,
                         .columns = h.columns,
                         .matchCase = h.matchCase,
                         .sortAscending = h.sortAscending,
                         .sortColumn = h.sortColumn},
                        std::move(c.bookmarks), std::move(c.macros), std::move(c.schedules));
}

template <typename Read> ArchiveResult ReadWith(CBrindleDoc& doc, Read&& makeReaderAndRead) {
    try {
        DocumentContent content = makeReaderAndRead();
        ApplyContent(doc, std::move(content));
        return ArchiveResult::Success();
    } catch (const ArchiveFormatError&) {
        return ArchiveResult::Failure(kUnexpectedFileFormat);
    } catch (const std::bad_alloc&) {
        return ArchiveResult::Failure(kFailedToOpenDocument);
    }
}

template <typename Record, typename WriteFields>
void WriteArray(ArchiveWriter& ar, ArchiveClass cls, RecordsView<Record> records,
                WriteFields writeFields) {
    ar.WriteCount(records.size());
    for (const Record& r : records) {
        ar.WriteNewObjectTag(cls);
        writeFields(ar, r);
    }
}

} // namespace

// --- Records -----------------------------------------------------------------------------------

namespace {
void WriteBookmark(ArchiveWriter& ar, const BookmarkRef& b, bool ascii) {
    ar.WriteString(b.m_strName, ascii);
    ar.WriteString(b.m_strURL, ascii);
    ar.WriteString(b.m_strKeywords, ascii);
    ar.WriteString(b.m_strDescription, ascii);
    ar.WriteString(b.m_strNotes, ascii);
    ar.WriteU16(b.m_wStatusChecking);
    ar.WriteString(b.m_strSchedule, ascii);
    ar.WriteString(b.m_strStatus, ascii);
    // Not the record's order: add date, last checked, last modified, last visited.
    WriteTime(ar, b.m_tAddDate);
    WriteTime(ar, b.m_tLastChecked);
    WriteTime(ar, b.m_tLastModified);
    WriteTime(ar, b.m_tLastVisited);
}
} // namespace

void WriteBookmark(ArchiveWriter& ar, const BookmarkRef& b) {
    WriteBookmark(ar, b, false);
}

namespace {
// A bookmark onto the end of `list` with only the texts of `slots`; the others are passed over
// and left empty.
void ReadBookmarkSlots(ArchiveReader& ar, BookmarkList& list, std::uint8_t slots) {
    TextChunks& text = list.Storage().text;
    BookmarkRecord r;
    std::uint16_t flags = 0;
    std::size_t offset = 0;
    text.Begin();
    // Each text goes into the record's block at once: the next read may reuse the buffer.
    auto readText = [&](int slot) {
        std::string_view v;
        if (slots & (1u << slot)) {
            bool ascii = true;
            v = ar.ReadStringView(ascii);
            text.Append(v);
            if (!ascii)
                flags |= BookmarkList::TextFlags(v);
        } else {
            ar.SkipString();
        }
        text.AppendZero();
        offset += v.size();
        if (offset > 0xFFFFFFF0u)
            throw std::bad_alloc(); // one record's texts beyond 4 GiB
        r.end[slot] = static_cast<std::uint32_t>(offset);
        ++offset;
    };
    readText(BookmarkRecord::kName);
    readText(BookmarkRecord::kURL);
    readText(BookmarkRecord::kKeywords);
    readText(BookmarkRecord::kDescription);
    readText(BookmarkRecord::kNotes);
    r.statusChecking = ar.ReadU16();
    readText(BookmarkRecord::kSchedule);
    readText(BookmarkRecord::kStatus);
    r.added = ReadTime(ar);
    r.checked = ReadTime(ar);
    r.modified = ReadTime(ar);
    r.visited = ReadTime(ar);
    r.text = text.Finish();
    r.flags = flags;
    list.AppendUnindexed(r);
}
} // namespace

void ReadBookmark(ArchiveReader& ar, BookmarkList& list) {
    ReadBookmarkSlots(ar, list, 0x7F);
}

void WriteMacro(ArchiveWriter& ar, const CMacro& m) {
    ar.WriteString(m.m_strName);
    ar.WriteString(m.m_strKeywords);
    ar.WriteString(m.m_strSearch);
    ar.WriteString(m.m_strURL);
    ar.WriteU8(m.m_bMatchCase);
    ar.WriteU32(m.m_dwFields);
    ar.WriteI32(m.m_nKind);
    ar.WriteU32(m.m_dwHotKey);
}

void ReadMacro(ArchiveReader& ar, CMacro& m) {
    ar.ReadString(m.m_strName);
    ar.ReadString(m.m_strKeywords);
    ar.ReadString(m.m_strSearch);
    ar.ReadString(m.m_strURL);
    m.m_bMatchCase = ar.ReadU8();
    m.m_dwFields = ar.ReadU32();
    m.m_nKind = ar.ReadI32();
    m.m_dwHotKey = ar.ReadU32();
}

void WriteSchedule(ArchiveWriter& ar, const CSchedule& s) {
    ar.WriteString(s.m_strName);
    WriteTime(ar, s.m_tInterval);
    ar.WriteI32(s.m_bDefault);
}

void ReadSchedule(ArchiveReader& ar, CSchedule& s) {
    ar.ReadString(s.m_strName);
    s.m_tInterval = ReadInterval(ar);
    s.m_bDefault = ar.ReadI32();
}

// --- Documents ---------------------------------------------------------------------------------

namespace {
void WriteHeader(const CBrindleDoc::ViewState& view, ArchiveWriter& ar) {
    ar.WriteI32(view.searchMode);
    ar.WriteU8(view.stringFields);
    ar.WriteI32(view.partialMatch);
    ar.WriteI32(view.searchMode);
    ar.WriteU16(view.columns);
    ar.WriteI32(view.matchCase);
    ar.WriteI32(view.sortAscending);
    ar.WriteI32(view.sortColumn);
}
} // namespace

void WriteDefaultHeader(ArchiveWriter& ar) {
    WriteHeader(CBrindleDoc::ViewState{}, ar);
}

void WriteDocument(const CBrindleDoc& doc, ArchiveWriter& ar) {
    WriteHeader(doc.CurrentViewState(), ar);
    ar.WriteCount(doc.Bookmarks().size());
    for (const BookmarkRecord& r : doc.Bookmarks().Records()) {
        ar.WriteNewObjectTag(ArchiveClass::Bookmark);
        WriteBookmark(ar, BookmarkList::Ref(r), !r.Has(BookmarkRecord::kNonAscii));
    }
    WriteArray(ar, ArchiveClass::Macro, doc.Macros(), WriteMacro);
    WriteArray(ar, ArchiveClass::Schedule, doc.Schedules(), WriteSchedule);
}

std::string DocumentToBytes(const CBrindleDoc& doc) {
    ArchiveWriter ar;
    // Texts as stored plus the prefixes, tags and numbers of each record (more when some text
    // takes the 16-bit form; the buffer then grows as it must).
    std::size_t size = 64;
    for (const BookmarkRecord& r : doc.Bookmarks().Records())
        size += r.BlockSize() + 32;
    ar.Expect(size);
    WriteDocument(doc, ar);
    return ar.TakeBytes();
}

ArchiveResult ReadDocumentBytes(CBrindleDoc& doc, std::string_view bytes) {
    return ReadWith(doc, [&] {
        ArchiveReader ar(bytes);
        return ReadContent(ar, bytes.size());
    });
}

namespace {
// Opens `path` for reading and hands a reader of it to `read`.
template <typename Read> ArchiveResult WithFileReader(const std::string& path, Read&& read) {
    if (path.empty())
        return ArchiveResult::Failure(kInvalidFilename);
    // Non-blocking, so that a pipe without a writer does not hang the open.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return ArchiveResult::Failure(FileErrorText(errno, path, FileAction::Open));
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return ArchiveResult::Failure(FileErrorText(errno, path, FileAction::Open));
    if (S_ISDIR(st.st_mode))
        return ArchiveResult::Failure(FileErrorText(EISDIR, path, FileAction::Open));
    if (!S_ISREG(st.st_mode)) // a device or a pipe holds no document
        return ArchiveResult::Failure(kUnexpectedFileFormat);
#ifdef POSIX_FADV_SEQUENTIAL
    (void)::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
    try {
        return read(fd, static_cast<std::uint64_t>(st.st_size));
    } catch (const ArchiveIoError& e) {
        return ArchiveResult::Failure(FileErrorText(e.error, path, FileAction::Open));
    }
}
} // namespace

ArchiveResult ReadDocumentFile(CBrindleDoc& doc, const std::string& path,
                               const BookmarkFilter* filter) {
    return WithFileReader(path, [&](int fd, std::uint64_t size) {
        return ReadWith(doc, [&] {
            ArchiveReader ar(fd, size);
            return ReadContent(ar, size, filter);
        });
    });
}

ArchiveResult ReadDocumentSummaryBytes(std::string_view bytes, DocumentSummary& out) {
    return SummaryWith(out, [&] {
        ArchiveReader ar(bytes);
        return ReadSummary(ar);
    });
}

ArchiveResult ReadDocumentSummaryFile(const std::string& path, DocumentSummary& out) {
    return WithFileReader(path, [&](int fd, std::uint64_t size) {
        return SummaryWith(out, [&] {
            ArchiveReader ar(fd, size);
            return ReadSummary(ar);
        });
    });
}

ArchiveResult OpenDocumentFile(CBrindleDoc& doc, const std::string& path,
                               const BookmarkFilter* filter) {
    doc.DeleteContents();
    doc.SetModifiedFlag(true); // dirty while reading
    ArchiveResult result = ReadDocumentFile(doc, path, filter);
    if (!result) {
        doc.DeleteContents();
        doc.SetModifiedFlag(false);
        doc.NotifyRebuild();
    }
    return result;
}

ArchiveResult WriteDocumentFile(const CBrindleDoc& doc, const std::string& path,
                                const WriteFunction& write) {
    if (path.empty())
        return ArchiveResult::Failure(kInvalidFilename);
    AtomicFile file(path, write);
    if (const int err = file.Open())
        return ArchiveResult::Failure(FileErrorText(err, path, FileAction::Save));
    struct WriteFailed {
        int error;
    };
    try {
        ArchiveWriter ar([&](const char* data, std::size_t size) {
            if (const int err = file.Write(data, size))
                throw WriteFailed{err};
        });
        WriteDocument(doc, ar);
        ar.Flush();
    } catch (const WriteFailed& e) {
        return ArchiveResult::Failure(FileErrorText(e.error, path, FileAction::Save));
    } catch (const ArchiveFormatError&) {
        return ArchiveResult::Failure(kFailedToSaveDocument);
    } catch (const std::bad_alloc&) {
        return ArchiveResult::Failure(kFailedToSaveDocument);
    }
    if (const int err = file.Commit())
        return ArchiveResult::Failure(FileErrorText(err, path, FileAction::Save));
    return ArchiveResult::Success();
}

} // namespace brindle
