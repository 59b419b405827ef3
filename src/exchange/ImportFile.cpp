// Content detection for HTML imports and the dispatch of the Import command.

#include "exchange/ImportFile.h"

#include "exchange/ChunkReader.h"
#include "exchange/ExchangeFiles.h"
#include "exchange/HtmlTags.h"
#include "exchange/Netscape.h"
#include "exchange/Powermarks.h"
#include "exchange/TextCodec.h"
#include "store/TextUtil.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

namespace brindle {

ImportFormat ImportHtmlText(CBrindleDoc& doc, std::string_view text) {
    if (ImportNetscape(doc, text))
        return ImportFormat::Netscape;
    if (ImportPowermarks(doc, text))
        return ImportFormat::Powermarks;
    ImportAnchors(doc, SkipUtf8Bom(text));
    return ImportFormat::Anchors;
}

namespace {

constexpr size_t kChunkBytes = 1 << 20;
constexpr std::string_view kNetscapeMarker = "<!doctype netscape";
constexpr std::string_view kPowermarksMarker = "<!--powermarks format 3.0-->";
constexpr size_t kMarkerOverlap = kPowermarksMarker.size() - 1;

// A file read piece by piece.
class ChunkedFile {
  public:
    bool Open(const std::string& path) {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(path, ec))
            return false;
        m_in.open(path, std::ios::binary);
        m_buffer.resize(kChunkBytes);
        return m_in.is_open();
    }
    // The next piece, empty at the end; false when reading fails.
    bool Next(std::string_view& piece) {
        m_in.read(m_buffer.data(), static_cast<std::streamsize>(m_buffer.size()));
        piece = std::string_view(m_buffer.data(), static_cast<size_t>(m_in.gcount()));
        return !m_in.bad();
    }
    void Rewind() {
        m_in.clear();
        m_in.seekg(0);
    }

  private:
    std::ifstream m_in;
    std::vector<char> m_buffer;
};

// What a first pass over the file finds: whether it is UTF-8 (then it can be read in pieces)
// and which markers it holds.
struct Survey {
    bool readable = true;
    bool utf8 = true;
    bool netscape = false;
    bool powermarks = false;
};

void FindMarkers(std::string_view text, Survey& s) {
    s.netscape = s.netscape || FindNoCase(text, kNetscapeMarker) != std::string_view::npos;
    s.powermarks = s.powermarks || FindNoCase(text, kPowermarksMarker) != std::string_view::npos;
}

Survey SurveyFile(ChunkedFile& file) {
    Survey s;
    std::string pending; // an unfinished UTF-8 sequence at the end of the last piece
    std::string tail;    // the end of the last piece, for markers that span two pieces
    bool first = true;
    for (;;) {
        std::string_view piece;
        if (!file.Next(piece)) {
            s.readable = false;
            return s;
        }
        if (piece.empty())
            break;
        if (first && piece.size() >= 2 &&
            (piece.substr(0, 2) == "\xFF\xFE" || piece.substr(0, 2) == "\xFE\xFF"))
            s.utf8 = false; // UTF-16: read as a whole
        first = false;
        if (s.utf8) {
            // A character cut by the end of the piece is completed by the next one.
            std::string joined = std::move(pending);
            joined.append(piece);
            size_t cut = joined.size();
            for (size_t back = 1; back <= 3 && back <= joined.size(); ++back) {
                const auto c = static_cast<unsigned char>(joined[joined.size() - back]);
                if ((c & 0xC0) == 0x80)
                    continue;
                const size_t need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
                if (need > back)
                    cut = joined.size() - back;
                break;
            }
            if (!IsWellFormedUtf8(std::string_view(joined).substr(0, cut)))
                s.utf8 = false;
            pending = joined.substr(cut);
        }
        std::string window = tail;
        window.append(piece.substr(0, std::min(piece.size(), kMarkerOverlap)));
        FindMarkers(window, s);
        FindMarkers(piece, s);
        tail.assign(piece.substr(piece.size() - std::min(piece.size(), kMarkerOverlap)));
    }
    if (!pending.empty())
        s.utf8 = false;
    return s;
}

} // namespace

ImportFormat ImportFile(CBrindleDoc& doc, const std::string& path, ExchangeReport& report) {
    ChunkedFile file;
    if (!file.Open(path)) {
        report.Add(MessageIcon::Stop, kMsgCannotOpenFile);
        return ImportFormat::None;
    }
    const Survey survey = SurveyFile(file);
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
        return ImportHtmlText(doc, text);
    }

    // UTF-8 is read in pieces, so that even a large file is never held whole.
    ImportFormat format = ImportFormat::Anchors;
    std::unique_ptr<ChunkReader> reader;
    if (survey.netscape) {
        format = ImportFormat::Netscape;
        reader = MakeNetscapeReader(doc);
    } else if (survey.powermarks) {
        format = ImportFormat::Powermarks;
        reader = MakePowermarksReader(doc);
    } else {
        reader = MakeAnchorReader(doc);
    }
    file.Rewind();
    std::string piece;
    bool first = true;
    for (;;) {
        std::string_view raw;
        if (!file.Next(raw)) {
            report.Add(MessageIcon::Stop, kMsgCannotOpenFile);
            break;
        }
        if (raw.empty())
            break;
        if (first)
            raw = SkipUtf8Bom(raw);
        first = false;
        piece.append(raw);
        // A CR at the end may be the first half of a CR LF pair.
        const bool heldCr = !piece.empty() && piece.back() == '\r';
        if (heldCr)
            piece.pop_back();
        NormalizeLineEnds(piece);
        reader->Feed(piece);
        piece.clear();
        if (heldCr)
            piece.push_back('\r');
    }
    if (!piece.empty())
        reader->Feed(piece);
    reader->Finish();
    return format;
}

ImportInputKind ClassifyImportInput(const std::string& path) {
    if (FolderExists(path))
        return ImportInputKind::Folder;
    const std::string name = std::filesystem::path(path).filename().string();
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos)
        return ImportInputKind::Unsupported;
    const std::string_view ext = std::string_view(name).substr(dot);
    if (ext == ".htm" || ext == ".html")
        return ImportInputKind::Html;
    if (ext == ".url")
        return ImportInputKind::UrlFile;
    return ImportInputKind::Unsupported;
}

} // namespace brindle
