// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/ObjectArchive.h"

#include "store/ArchiveText.h"
#include "store/TextUtil.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace brindle {

namespace {

constexpr std::uint16_t kNullTag = 0x0000;
constexpr std::uint16_t kNewClassTag = 0xFFFF;
constexpr std::uint16_t kClassTag = 0x8000;
constexpr std::uint16_t kBigObjectTag = 0x7FFF;
constexpr std::uint32_t kBigClassTag = 0x80000000u;
constexpr std::uint8_t kObjectBit = 0x80;
// CRuntimeClass::Load refuses names of 64 bytes and more.
constexpr std::uint16_t kMaxClassNameLength = 63;
constexpr std::size_t kReadBufferSize = 1 << 16;

struct ClassInfo {
    const char* name;
    std::uint16_t schema;
};
constexpr ClassInfo kClasses[kArchiveClassCount] = {
    {"", 0}, {"CBookmark", 1}, {"CMacro", 1}, {"CSchedule", 1}, {"CKey", 1}};

} // namespace

const char* ArchiveClassName(ArchiveClass cls) {
    return kClasses[static_cast<std::size_t>(cls)].name;
}

std::uint16_t ArchiveClassSchema(ArchiveClass cls) {
    return kClasses[static_cast<std::size_t>(cls)].schema;
}

ArchiveClass ArchiveClassFromName(std::string_view name) {
    for (std::size_t i = 1; i < kArchiveClassCount; ++i)
        if (name == kClasses[i].name)
            return static_cast<ArchiveClass>(i);
    return ArchiveClass::None;
}

// --- Reader --------------------------------------------------------------------------------

ArchiveReader::ArchiveReader(std::string_view bytes)
    : m_cur(bytes.data()), m_end(bytes.data() + bytes.size()) {
    m_loaded.push_back(0); // counter value 0 is the null element
}

ArchiveReader::ArchiveReader(int fd, std::uint64_t size)
    : m_sourceLeft(size), m_fd(fd), m_buffer(new char[kReadBufferSize]),
      m_bufferSize(kReadBufferSize) {
    m_cur = m_end = m_buffer.get();
    m_loaded.push_back(0);
}

ArchiveReader::~ArchiveReader() = default;

// Makes at least n (at most the buffer size) bytes available in the window; under a mark the
// buffer keeps the marked bytes too, growing when they and n do not fit.
void ArchiveReader::Refill(std::size_t n) {
    if (m_fd < 0 || n > Remaining())
        throw ArchiveFormatError{};
    const char* from = m_mark ? m_mark : m_cur;
    const auto kept = static_cast<std::size_t>(m_cur - from);
    std::size_t have = static_cast<std::size_t>(m_end - from);
    if (kept + n > m_bufferSize) {
        if (!m_mark)
            throw ArchiveFormatError{};
        const std::size_t size = std::max(2 * m_bufferSize, kept + n);
        std::unique_ptr<char[]> bigger(new char[size]);
        std::memcpy(bigger.get(), from, have);
        m_buffer = std::move(bigger);
        m_bufferSize = size;
    } else {
        std::memmove(m_buffer.get(), from, have);
    }
    char* buf = m_buffer.get();
    if (m_mark)
        m_mark = buf;
    m_cur = buf + kept;
    while (have < kept + n) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(m_bufferSize - have, m_sourceLeft));
        const ssize_t got = ::read(m_fd, buf + have, want);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw ArchiveIoError{errno};
        }
        if (got == 0)
            throw ArchiveFormatError{}; // the file is shorter than it was
        have += static_cast<std::size_t>(got);
        m_sourceLeft -= static_cast<std::uint64_t>(got);
    }
    m_end = buf + have;
}

void ArchiveReader::ReadBytes(char* dst, std::size_t n) {
    if (n > Remaining())
        throw ArchiveFormatError{};
    const std::size_t take = std::min(n, static_cast<std::size_t>(m_end - m_cur));
    if (take)
        std::memcpy(dst, m_cur, take);
    m_cur += take;
    dst += take;
    n -= take;
    // Large rest: straight from the file.
    while (n >= kReadBufferSize) {
        const ssize_t got = ::read(m_fd, dst, n);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw ArchiveIoError{errno};
        }
        if (got == 0)
            throw ArchiveFormatError{};
        dst += got;
        n -= static_cast<std::size_t>(got);
        m_sourceLeft -= static_cast<std::uint64_t>(got);
    }
    if (n) {
        Refill(n);
        std::memcpy(dst, m_cur, n);
        m_cur += n;
    }
}

std::uint64_t ArchiveReader::ReadCount() {
    const std::uint16_t small = ReadU16();
    if (small != 0xFFFF)
        return small;
    const std::uint32_t big = ReadU32();
    if (big == 0xFFFFFFFFu) // a 64-bit count follows: more than any file here can hold
        throw ArchiveFormatError{};
    return big;
}

// The archive's string length: uint8; or 0xFF and uint16; or 0xFF, 0xFFFF and uint32. The
// uint16 0xFFFE announces 16-bit characters and a second prefix, in which 0xFFFE is a length.
std::uint64_t ArchiveReader::ReadStringLength(bool& wide) {
    wide = false;
    std::uint8_t b = ReadU8();
    if (b < 0xFF)
        return b;
    std::uint16_t w = ReadU16();
    if (w == 0xFFFE) {
        wide = true;
        b = ReadU8();
        if (b < 0xFF)
            return b;
        w = ReadU16();
    }
    if (w < 0xFFFF)
        return w;
    const std::uint32_t d = ReadU32();
    if (d == 0xFFFFFFFFu) // a 64-bit length follows: more than any file here can hold
        throw ArchiveFormatError{};
    return d;
}

ArchiveReader::RawString ArchiveReader::ReadRawString() {
    bool wide = false;
    const std::uint64_t n = ReadStringLength(wide);
    const std::uint64_t bytes = wide ? 2 * n : n;
    if (bytes > Remaining())
        throw ArchiveFormatError{};
    const auto size = static_cast<std::size_t>(bytes);
    const char* data;
    if (m_mark)
        Need(size); // a marked stretch stays in the buffer whole
    if (static_cast<std::size_t>(m_end - m_cur) >= size) {
        data = m_cur;
        m_cur += size;
    } else {
        m_scratch.resize(size);
        ReadBytes(m_scratch.data(), size);
        data = m_scratch.data();
    }
    return {data, size, static_cast<std::size_t>(n), wide};
}

std::string_view ArchiveReader::ConvertWide(const RawString& raw, bool& ascii) {
    const std::size_t room = Utf8BytesFor(raw.units);
    if (m_wideRoom < room) {
        m_wideRoom = std::max(room, std::size_t{4096});
        m_wide.reset(new char[m_wideRoom]);
    }
    const std::size_t n = Utf16LEToUtf8(raw.data, raw.units, m_wide.get());
    ascii = n == raw.units;
    return {m_wide.get(), n};
}

std::string_view ArchiveReader::ReadStringView(bool& ascii) {
    const RawString raw = ReadRawString();
    if (raw.wide)
        return ConvertWide(raw, ascii);
    const std::string_view view(raw.data, raw.size);
    ascii = IsAscii(view);
    if (ascii || IsWellFormedUtf8(view))
        return view;
    m_converted = Windows1252ToUtf8(view);
    return m_converted;
}

void ArchiveReader::ReadString(std::string& out) {
    const RawString raw = ReadRawString();
    if (raw.wide) {
        bool ascii = false;
        out.assign(ConvertWide(raw, ascii));
        return;
    }
    const std::string_view view(raw.data, raw.size);
    if (IsAscii(view) || IsWellFormedUtf8(view))
        out.assign(view);
    else
        out = Windows1252ToUtf8(view);
}

ArchiveReader::Element ArchiveReader::ReadElement() {
    const std::uint16_t tag = ReadU16();
    if (tag == kNullTag)
        return {ElementKind::Null, ArchiveClass::None};

    std::uint32_t classIndex = 0;
    bool newObject = false;
    if (tag == kNewClassTag) {
        const std::uint16_t schema = ReadU16();
        const std::uint16_t length = ReadU16();
        if (length > kMaxClassNameLength)
            throw ArchiveFormatError{};
        char name[kMaxClassNameLength];
        ReadBytes(name, length);
        const ArchiveClass cls = ArchiveClassFromName(std::string_view(name, length));
        if (cls == ArchiveClass::None || schema != ArchiveClassSchema(cls))
            throw ArchiveFormatError{};
        classIndex = static_cast<std::uint32_t>(m_loaded.size());
        m_loaded.push_back(static_cast<std::uint8_t>(cls));
        newObject = true;
    } else {
        std::uint32_t value = tag;
        if (tag == kBigObjectTag) {
            value = ReadU32();
            if (value & kBigClassTag) {
                classIndex = value & ~kBigClassTag;
                newObject = true;
            }
        } else if (tag & kClassTag) {
            classIndex = tag & ~kClassTag;
            newObject = true;
        }
        if (!newObject) {
            // A reference to an object read before (0 through a big tag is the null element).
            if (value == 0)
                return {ElementKind::Null, ArchiveClass::None};
            if (value >= m_loaded.size() || !(m_loaded[value] & kObjectBit))
                throw ArchiveFormatError{};
            return {ElementKind::Reference,
                    static_cast<ArchiveClass>(m_loaded[value] & ~kObjectBit)};
        }
        if (classIndex == 0 || classIndex >= m_loaded.size() || (m_loaded[classIndex] & kObjectBit))
            throw ArchiveFormatError{};
    }
    const auto cls = static_cast<ArchiveClass>(m_loaded[classIndex]);
    m_loaded.push_back(static_cast<std::uint8_t>(kObjectBit | static_cast<std::uint8_t>(cls)));
    return {ElementKind::NewObject, cls};
}

// --- Writer --------------------------------------------------------------------------------

ArchiveWriter::ArchiveWriter() = default;

ArchiveWriter::ArchiveWriter(Sink sink) : m_sink(std::move(sink)) {
    m_buf.resize(kFlushSize + 4096);
}

void ArchiveWriter::Grow(std::size_t n) {
    m_buf.resize(std::max(m_buf.size() * 2, m_len + n + 4096));
}

void ArchiveWriter::WriteLengthPrefix(std::uint64_t n) {
    if (n < 0xFF) {
        WriteU8(static_cast<std::uint8_t>(n));
    } else if (n < 0xFFFE) {
        WriteU8(0xFF);
        WriteU16(static_cast<std::uint16_t>(n));
    } else if (n < 0xFFFFFFFFu) {
        WriteU8(0xFF);
        WriteU16(0xFFFF);
        WriteU32(static_cast<std::uint32_t>(n));
    } else {
        throw ArchiveFormatError{}; // 4 GiB strings cannot be stored
    }
}

void ArchiveWriter::WriteString(std::string_view text, bool ascii) {
    if (ascii || IsAscii(text)) {
        WriteLengthPrefix(text.size());
        if (text.size() >= kFlushSize && m_sink) {
            Flush();
            m_sink(text.data(), text.size());
        } else {
            Put(text.data(), text.size());
        }
    } else {
        // The units are made in the buffer behind room for the longest prefix, then moved up
        // behind the prefix their count gives.
        constexpr std::size_t kMaxPrefix = 10;
        const std::size_t start = m_len;
        Room(kMaxPrefix + 2 * text.size());
        const std::size_t n = Utf8ToUtf16LE(text, m_buf.data() + start + kMaxPrefix);
        WriteU8(0xFF);
        WriteU16(0xFFFE);
        WriteLengthPrefix(n);
        std::memmove(m_buf.data() + m_len, m_buf.data() + start + kMaxPrefix, 2 * n);
        m_len += 2 * n;
    }
    MaybeFlush();
}

void ArchiveWriter::WriteCount(std::uint64_t count) {
    if (count < 0xFFFF) {
        WriteU16(static_cast<std::uint16_t>(count));
    } else if (count < 0xFFFFFFFFu) {
        WriteU16(0xFFFF);
        WriteU32(static_cast<std::uint32_t>(count));
    } else {
        throw ArchiveFormatError{};
    }
}

void ArchiveWriter::WriteNewObjectTag(ArchiveClass cls) {
    std::uint32_t& k = m_classCounter[static_cast<std::size_t>(cls)];
    if (k == 0) {
        const std::string_view name = ArchiveClassName(cls);
        WriteU16(kNewClassTag);
        WriteU16(ArchiveClassSchema(cls));
        WriteU16(static_cast<std::uint16_t>(name.size()));
        Put(name.data(), name.size());
        k = m_counter++;
    } else if (k < kBigObjectTag) {
        WriteU16(static_cast<std::uint16_t>(kClassTag | k));
    } else {
        WriteU16(kBigObjectTag);
        WriteU32(kBigClassTag | k);
    }
    ++m_counter; // the object
    MaybeFlush();
}

void ArchiveWriter::Flush() {
    if (m_sink && m_len > 0) {
        m_sink(m_buf.data(), m_len);
        m_len = 0;
    }
}

std::string ArchiveWriter::TakeBytes() {
    m_buf.resize(m_len);
    std::string out = std::move(m_buf);
    m_buf.clear();
    m_len = 0;
    return out;
}

} // namespace brindle
