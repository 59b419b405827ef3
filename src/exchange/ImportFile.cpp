// SPDX-License-Identifier: GPL-3.0-or-later
// Content detection for HTML imports and the dispatch of the Import command.

#include "exchange/ImportFile.h"

#include "exchange/BrowserBookmarks.h"
#include "exchange/ChunkReader.h"
#include "exchange/ExchangeFiles.h"
#include "exchange/HtmlTags.h"
#include "exchange/Netscape.h"
#include "exchange/Powermarks.h"
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

constexpr std::string_view kNetscapeMarker = "<!doctype netscape";
constexpr std::string_view kPowermarksMarker = "<!--powermarks format 3.0-->";

// Feeds the whole text to the reader the markers choose.
ImportFormat ReadHtmlText(CBrindleDoc& doc, std::string_view text, const BookmarkSink& sink) {
    text = SkipUtf8Bom(text);
    ImportFormat format = ImportFormat::Anchors;
    std::unique_ptr<ChunkReader> reader;
    if (FindNoCase(text, kNetscapeMarker) != std::string_view::npos) {
        format = ImportFormat::Netscape;
        reader = MakeNetscapeReader(doc, sink);
    } else if (FindNoCase(text, kPowermarksMarker) != std::string_view::npos) {
        format = ImportFormat::Powermarks;
        reader = MakePowermarksReader(doc, sink);
    } else {
        reader = MakeAnchorReader(doc, sink);
    }
    reader->FeedLast(text);
    return format;
}

} // namespace

ImportFormat ImportHtmlText(CBrindleDoc& doc, std::string_view text) {
    return ReadHtmlText(doc, text, {});
}

namespace {

constexpr size_t kMarkerOverlap = kPowermarksMarker.size() - 1;

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
    bool netscape = false;
    bool powermarks = false;
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

Survey SurveyFile(FileWindows& file, size_t windowBytes) {
    Survey s;
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
            return s;
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
            return s; // the whole file is read and converted; markers are found in its text
        // The Netscape marker wins over the other, so once it is found nothing else is sought.
        s.netscape = s.netscape || FindNoCase(window, kNetscapeMarker) != std::string_view::npos;
        if (!s.netscape)
            s.powermarks =
                s.powermarks || FindNoCase(window, kPowermarksMarker) != std::string_view::npos;
        if (last)
            break;
        offset += length - std::min(length, kMarkerOverlap);
    }
    return s;
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

ImportFormat ImportFile(CBrindleDoc& doc, const std::string& path, ExchangeReport& report) {
    return ImportFile(doc, path, report, ImportFileOptions{});
}

ImportFormat ImportFile(CBrindleDoc& doc, const std::string& path, ExchangeReport& report,
                        const ImportFileOptions& options) {
    // Windows overlap by a marker's length in the first pass, so they must be longer.
    const size_t windowBytes = std::max(options.windowBytes, 2 * kMarkerOverlap);
    const BookmarkSink& sink = options.sink;
    FileWindows file;
    if (!file.Open(path)) {
        report.Add(MessageIcon::Stop, kMsgCannotOpenFile);
        return ImportFormat::None;
    }
    const Survey survey = SurveyFile(file, windowBytes);
    if (!survey.readable) {
        report.Add(MessageIcon::Stop, kMsgCannotOpenFile);
        return ImportFormat::None;
    }
    if (!survey.utf8) {
        // Another encoding: the whole file is converted first.
        std::string bytes;
        if (!ReadWholeFile(path, bytes)) {
            report.Add(MessageIcon::Stop, kMsgCannotOpenFile);
            return ImportFormat::None;
        }
        std::string text = DecodeOutsideText(std::move(bytes));
        NormalizeLineEnds(text);
        return ReadHtmlText(doc, text, sink);
    }

    // UTF-8 goes to the reader as it lies in the file, window by window; only a window holding
    // a CR is copied, to turn its CR LF pairs into LF.
    ImportFormat format = ImportFormat::Anchors;
    std::unique_ptr<ChunkReader> reader;
    if (survey.netscape) {
        format = ImportFormat::Netscape;
        reader = MakeNetscapeReader(doc, sink);
    } else if (survey.powermarks) {
        format = ImportFormat::Powermarks;
        reader = MakePowermarksReader(doc, sink);
    } else {
        reader = MakeAnchorReader(doc, sink);
    }
    std::string normalised;
    const std::uint64_t size = file.Size();
    for (std::uint64_t offset = 0; offset < size;) {
        const auto length =
            static_cast<size_t>(std::min<std::uint64_t>(windowBytes, size - offset));
        std::string_view window;
        if (!file.View(offset, length, window)) {
            report.Add(MessageIcon::Stop, kMsgCannotOpenFile);
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
            return format;
        }
        reader->Feed(piece);
    }
    reader->Finish(); // an empty file, or one that could not be read to its end
    return format;
}

ImportInputKind ClassifyImportInput(const std::string& path) {
    if (FolderExists(path))
        return ImportInputKind::Folder;
    const std::string name = std::filesystem::path(path).filename().string();
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos) {
        const std::string_view ext = std::string_view(name).substr(dot);
        if (ext == ".htm" || ext == ".html")
            return ImportInputKind::Html;
        if (ext == ".url")
            return ImportInputKind::UrlFile;
    }
    switch (DetectBrowserFile(path)) {
    case BrowserFileKind::FirefoxPlaces:
        return ImportInputKind::FirefoxPlaces;
    case BrowserFileKind::ChromiumBookmarks:
        return ImportInputKind::ChromiumBookmarks;
    case BrowserFileKind::None:
        break;
    }
    return ImportInputKind::Unsupported;
}

} // namespace brindle
