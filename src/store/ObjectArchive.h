// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The object archive of the document file: little-endian integers, the three string
// prefixes and the 16-bit string form, element counts, and object elements with class records,
// the shared counter, 0x8000+k tags, big tags, references and null elements.
//
// ArchiveReader never trusts a stored count or length beyond the bytes left in its input
//; every failure throws ArchiveFormatError or ArchiveIoError, which the
// document reader turns into the system's message.

#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace brindle {

// The program's serializable classes, by the names the file gives them.
enum class ArchiveClass : std::uint8_t { None = 0, Bookmark, Macro, Schedule, Key };
inline constexpr std::size_t kArchiveClassCount = 5;

const char* ArchiveClassName(ArchiveClass cls);
std::uint16_t ArchiveClassSchema(ArchiveClass cls); // 1 for all four classes
ArchiveClass ArchiveClassFromName(std::string_view name);

// The input is damaged: it ends early, or holds an unknown class, schema or counter value.
struct ArchiveFormatError {};
// The operating system refused to give the bytes (errno value).
struct ArchiveIoError {
    int error;
};

class ArchiveReader {
  public:
    // Reads from bytes in memory (they must outlive the reader).
    explicit ArchiveReader(std::string_view bytes);
    // Reads `size` bytes from an open file descriptor, through a buffer.
    ArchiveReader(int fd, std::uint64_t size);
    ~ArchiveReader();
    ArchiveReader(const ArchiveReader&) = delete;
    ArchiveReader& operator=(const ArchiveReader&) = delete;

    // Inline: a record's dozens of small reads mostly find their bytes in the buffer.
    std::uint8_t ReadU8() {
        Need(1);
        return static_cast<std::uint8_t>(*m_cur++);
    }
    std::uint16_t ReadU16() {
        Need(2);
        const auto* p = reinterpret_cast<const unsigned char*>(m_cur);
        m_cur += 2;
        return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
    }
    std::uint32_t ReadU32() {
        Need(4);
        const auto* p = reinterpret_cast<const unsigned char*>(m_cur);
        m_cur += 4;
        return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
               (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    }
    std::int32_t ReadI32() { return static_cast<std::int32_t>(ReadU32()); }
    // A string in either form, as UTF-8.
    void ReadString(std::string& out);
    std::string ReadString() {
        std::string s;
        ReadString(s);
        return s;
    }
    // The same string as a view, valid until the next read: straight from the input when it
    // is there in one piece and needs no conversion. `ascii` tells whether it is plain ASCII.
    std::string_view ReadStringView(bool& ascii);
    // Passes over a string in either form (its bytes are not converted or kept).
    void SkipString() { (void)ReadRawString(); }
    // An element count: uint16, or 0xFFFF and a uint32.
    std::uint64_t ReadCount();
    // Bytes read from the source and not yet taken.
    std::size_t Buffered() const { return static_cast<std::size_t>(m_end - m_cur); }
    // Bytes not yet read.
    std::uint64_t Remaining() const {
        return static_cast<std::uint64_t>(m_end - m_cur) + m_sourceLeft;
    }

    enum class ElementKind { Null, NewObject, Reference };
    struct Element {
        ElementKind kind;
        ArchiveClass cls; // the class of a new object or of the object referred to
    };
    // Reads one object element's tag (and its class record, if one follows). For a new object
    // the caller then reads the object's fields.
    Element ReadElement();

    // Keeps every byte read from here on in memory until the next Mark or Unmark, so that a
    // stretch of records can be looked at first and read again from Marked() (the buffer grows
    // to hold it).
    void Mark() { m_mark = m_cur; }
    void Unmark() { m_mark = nullptr; }
    // The bytes from the mark to the read position (valid until the next read).
    std::string_view Marked() const { return {m_mark, static_cast<std::size_t>(m_cur - m_mark)}; }

  private:
    void Need(std::size_t n) {
        if (static_cast<std::size_t>(m_end - m_cur) < n)
            Refill(n);
    }
    void Refill(std::size_t n);
    void ReadBytes(char* dst, std::size_t n);
    std::uint64_t ReadStringLength(bool& wide);
    // The stored bytes of the next string (UTF-16LE when `wide`, `units` code units), in place
    // when the buffer holds them whole, else copied into the scratch buffer.
    struct RawString {
        const char* data;
        std::size_t size;
        std::size_t units;
        bool wide;
    };
    RawString ReadRawString();
    // UTF-8 of a 16-bit string, in m_wide.
    std::string_view ConvertWide(const RawString& raw, bool& ascii);

    const char* m_cur = nullptr;
    const char* m_end = nullptr;
    const char* m_mark = nullptr;
    std::uint64_t m_sourceLeft = 0; // bytes of the file not yet pulled into the buffer
    int m_fd = -1;
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_bufferSize = 0;
    std::vector<char> m_scratch;
    std::string m_converted;
    // Room for the UTF-8 of a 16-bit string, reused from one string to the next.
    std::unique_ptr<char[]> m_wide;
    std::size_t m_wideRoom = 0;
    // Counter value -> what took it: a class (its ArchiveClass) or an object (kObjectBit | class).
    std::vector<std::uint8_t> m_loaded;
};

class ArchiveWriter {
  public:
    // Receives full buffers; throws to abandon the write.
    using Sink = std::function<void(const char* data, std::size_t size)>;

    // Collects every byte in memory (see TakeBytes).
    ArchiveWriter();
    // Passes the bytes to `sink` in large pieces; call Flush at the end.
    explicit ArchiveWriter(Sink sink);

    void WriteU8(std::uint8_t v) { *Room(1) = static_cast<char>(v), ++m_len; }
    void WriteU16(std::uint16_t v) {
        char* p = Room(2);
        p[0] = static_cast<char>(v & 0xFF);
        p[1] = static_cast<char>(v >> 8);
        m_len += 2;
    }
    void WriteU32(std::uint32_t v) {
        char* p = Room(4);
        for (int k = 0; k < 4; ++k)
            p[k] = static_cast<char>((v >> (8 * k)) & 0xFF);
        m_len += 4;
    }
    void WriteI32(std::int32_t v) { WriteU32(static_cast<std::uint32_t>(v)); }
    // ASCII as bytes with its length prefix; anything else in the 16-bit form. `ascii` true
    // says the caller knows the text is ASCII.
    void WriteString(std::string_view text, bool ascii = false);
    void WriteCount(std::uint64_t count);
    // The tag of a new object of `cls`: its class record the first time, 0x8000 + k (or the big
    // tag) after that. Takes counter values as the format fixes them.
    void WriteNewObjectTag(ArchiveClass cls);

    // About `bytes` more will be written: in memory, make room for them at once.
    void Expect(std::size_t bytes) {
        if (!m_sink && m_buf.size() - m_len < bytes)
            m_buf.resize(m_len + bytes);
    }
    void Flush();
    std::string TakeBytes();

  private:
    void MaybeFlush() {
        if (m_sink && m_len >= kFlushSize)
            Flush();
    }
    // Room for `n` more bytes at the end of the buffer (written, then counted in m_len).
    char* Room(std::size_t n) {
        if (m_buf.size() - m_len < n)
            Grow(n);
        return m_buf.data() + m_len;
    }
    void Put(const char* data, std::size_t n) {
        if (n)
            std::memcpy(Room(n), data, n);
        m_len += n;
    }
    void Grow(std::size_t n);
    void WriteLengthPrefix(std::uint64_t n);

    static constexpr std::size_t kFlushSize = 1 << 18;
    // The bytes so far are m_buf's first m_len; the rest is room (one resize now and then
    // instead of a size check and a terminator per appended piece).
    std::string m_buf;
    std::size_t m_len = 0;
    Sink m_sink;
    std::uint32_t m_counter = 1;
    std::array<std::uint32_t, kArchiveClassCount> m_classCounter{};
};

} // namespace brindle
