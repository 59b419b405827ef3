// SPDX-License-Identifier: GPL-3.0-or-later
// The HTML import: content detection over the text formats and the reading of a file in windows.

#include "exchange/ImportFile.h"

#include "exchange/ChunkReader.h"
#include "exchange/ExchangeFiles.h"
#include "exchange/ExchangeFormats.h"
#include "exchange/HtmlTags.h"
#include "exchange/TextCodec.h"
#include "store/TextUtil.h"

#include <QFile>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

namespace brindle {

namespace {

// Which text formats' markers a text holds, found window by window. Windows overlap by the
// longest marker less one byte, so that a marker across a boundary is whole in the next one.
class MarkerSearch {
  public:
    MarkerSearch() : m_formats(TextFormats()), m_found(m_formats.size(), false) {
        for (const ExchangeFormat* f : m_formats)
            m_overlap = std::max(m_overlap, f->marker.empty() ? 0 : f->marker.size() - 1);
    }

    size_t Overlap() const { return m_overlap; }

    void Search(std::string_view window) {
        // An earlier row wins over a later one, so once one is found the later ones are not
        // sought.
        for (size_t i = 0; i < m_formats.size(); ++i) {
            if (m_found[i])
                return;
            const std::string_view marker = m_formats[i]->marker;
            if (!marker.empty() && FindNoCase(window, marker) != std::string_view::npos) {
                m_found[i] = true;
                return;
            }
        }
    }

    // The row that claims the text: the first whose marker was found, else the one of no
    // marker.
    const ExchangeFormat& Chosen() const {
        for (size_t i = 0; i < m_formats.size(); ++i)
            if (m_found[i] || m_formats[i]->marker.empty())
                return *m_formats[i];
        return FormatOf(FormatId::Html);
    }

  private:
    std::vector<const ExchangeFormat*> m_formats;
    std::vector<bool> m_found;
    size_t m_overlap = 0;
};

// Feeds the whole text to the reader its content chooses.
ImportResult ReadHtmlText(CBrindleDoc& doc, std::string_view text, const BookmarkSink& sink) {
    text = SkipUtf8Bom(text);
    MarkerSearch markers;
    markers.Search(text);
    const ExchangeFormat& format = markers.Chosen();
    ImportResult result;
    result.format = format.id;
    const auto reader = format.makeReader(doc, CountingSink(doc, sink, result));
    reader->FeedLast(text);
    reader->CountRecords(result);
    return result;
}

} // namespace

ImportResult ImportHtmlText(CBrindleDoc& doc, std::string_view text, const ImportOptions& options) {
    return ReadHtmlText(doc, text, options.sink);
}

namespace {

// A file read window by window: each window mapped into memory where the system allows it, so
// the readers parse the file's own pages, or else read into one reused buffer.
class FileWindows {
  public:
    ~FileWindows() { Release(); }

    bool Open(const std::string& path) {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(path, ec))
            return false;
        m_file.setFileName(QFile::decodeName(path.c_str()));
        if (!m_file.open(QIODevice::ReadOnly))
            return false;
        m_size = static_cast<std::uint64_t>(m_file.size());
        return true;
    }

    std::uint64_t Size() const { return m_size; }

    // Bytes [offset, offset + length) of the file, valid until the next call; false when they
    // cannot be read.
    bool View(std::uint64_t offset, size_t length, std::string_view& bytes) {
        Release();
        bytes = {};
        if (length == 0)
            return true;
        const auto at = static_cast<qint64>(offset);
        const auto size = static_cast<qint64>(length);
        if (uchar* mapped = m_file.map(at, size)) {
            m_mapped = mapped;
            bytes = std::string_view(reinterpret_cast<const char*>(mapped), length);
            return true;
        }
        m_buffer.resize(length);
        if (!m_file.seek(at) || m_file.read(m_buffer.data(), size) != size)
            return false;
        bytes = std::string_view(m_buffer.data(), length);
        return true;
    }

  private:
    void Release() {
        if (m_mapped)
            m_file.unmap(m_mapped);
        m_mapped = nullptr;
    }

    QFile m_file;
    std::uint64_t m_size = 0;
    uchar* m_mapped = nullptr;
    std::vector<char> m_buffer;
};

// What a first pass over the file finds: whether it is UTF-8 (then it is read as it is, window
// by window) and which markers it holds.
struct Survey {
    bool readable = true;
    bool utf8 = true;
    MarkerSearch markers;
};

// The end of the last whole UTF-8 character in `bytes`: a character cut by the end of a window
// is checked with the next one.
size_t WholeCharactersEnd(std::string_view bytes) {
    for (size_t back = 1; back <= 3 && back <= bytes.size(); ++back) {
        const auto c = static_cast<unsigned char>(bytes[bytes.size() - back]);
        if ((c & 0xC0) == 0x80)
            continue;
        const size_t need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        return need > back ? bytes.size() - back : bytes.size();
    }
    return bytes.size();
}

void SurveyFile(FileWindows& file, size_t windowBytes, Survey& s) {
    const std::uint64_t size = file.Size();
    std::uint64_t checked = 0; // UTF-8 is known to be well formed up to here
    // Windows overlap by the length of a marker, so that a marker across a boundary is whole
    // in the next window.
    for (std::uint64_t offset = 0; offset < size;) {
        const auto length =
            static_cast<size_t>(std::min<std::uint64_t>(windowBytes, size - offset));
        std::string_view window;
        if (!file.View(offset, length, window)) {
            s.readable = false;
            return;
        }
        const bool last = offset + length == size;
        if (offset == 0 && window.size() >= 2 &&
            (window.substr(0, 2) == "\xFF\xFE" || window.substr(0, 2) == "\xFE\xFF"))
            s.utf8 = false; // UTF-16: read as a whole
        if (s.utf8) {
            const size_t from = static_cast<size_t>(checked - offset);
            const size_t to = last ? window.size() : WholeCharactersEnd(window);
            if (to > from && !IsWellFormedUtf8(window.substr(from, to - from)))
                s.utf8 = false;
            checked = offset + std::max(from, to);
        }
        if (!s.utf8)
            return; // the whole file is read and converted; markers are found in its text
        s.markers.Search(window);
        if (last)
            break;
        offset += length - std::min(length, s.markers.Overlap());
    }
}

// Where the reader's window ends: after the last '>' (so that a tag rarely spans two windows),
// and never between the CR and LF of a pair.
size_t WindowCut(std::string_view window) {
    const size_t gt = window.rfind('>');
    if (gt != std::string_view::npos)
        return gt + 1;
    size_t cut = window.size();
    if (cut > 1 && window[cut - 1] == '\r')
        --cut;
    return cut;
}

} // namespace

ImportResult ImportFile(CBrindleDoc& doc, const std::string& path, const ImportOptions& options) {
    Survey survey;
    // Windows overlap by a marker's length in the first pass, so they must be longer.
    const size_t windowBytes = std::max(options.windowBytes, 2 * survey.markers.Overlap());
    const BookmarkSink& sink = options.sink;
    const auto cannotOpen = [&path] {
        ImportResult failed;
        failed.problems.Add(MessageIcon::Stop, kMsgCannotOpenFile, path);
        return failed;
    };
    FileWindows file;
    if (!file.Open(path))
        return cannotOpen();
    SurveyFile(file, windowBytes, survey);
    if (!survey.readable)
        return cannotOpen();
    if (!survey.utf8) {
        // Another encoding: the whole file is converted first.
        std::string bytes;
        if (!ReadWholeFile(path, bytes))
            return cannotOpen();
        std::string text = DecodeOutsideText(std::move(bytes));
        NormalizeLineEnds(text);
        return ReadHtmlText(doc, text, sink);
    }

    // UTF-8 goes to the reader as it lies in the file, window by window; only a window holding
    // a CR is copied, to turn its CR LF pairs into LF.
    const ExchangeFormat& format = survey.markers.Chosen();
    ImportResult result;
    result.format = format.id;
    const auto reader = format.makeReader(doc, CountingSink(doc, sink, result));
    std::string normalised;
    const std::uint64_t size = file.Size();
    for (std::uint64_t offset = 0; offset < size;) {
        const auto length =
            static_cast<size_t>(std::min<std::uint64_t>(windowBytes, size - offset));
        std::string_view window;
        if (!file.View(offset, length, window)) {
            result.problems.Add(MessageIcon::Stop, kMsgCannotOpenFile, path);
            break;
        }
        const bool last = offset + length == size;
        const size_t cut = last ? window.size() : WindowCut(window);
        std::string_view piece = window.substr(0, cut);
        if (offset == 0)
            piece = SkipUtf8Bom(piece);
        offset += cut;
        if (piece.find('\r') != std::string_view::npos) {
            normalised.assign(piece);
            NormalizeLineEnds(normalised);
            piece = normalised;
        }
        if (last) {
            reader->FeedLast(piece);
            reader->CountRecords(result);
            return result;
        }
        reader->Feed(piece);
    }
    reader->Finish(); // an empty file, or one that could not be read to its end
    reader->CountRecords(result);
    return result;
}

} // namespace brindle
