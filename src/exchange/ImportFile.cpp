// Content detection for HTML imports and the dispatch of the Import command.

#include "exchange/ImportFile.h"

#include "exchange/ExchangeFiles.h"
#include "exchange/Netscape.h"
#include "exchange/Powermarks.h"
#include "exchange/TextCodec.h"

#include <filesystem>

namespace brindle {

ImportFormat ImportHtmlText(CBrindleDoc& doc, std::string_view text) {
    if (ImportNetscape(doc, text))
        return ImportFormat::Netscape;
    if (ImportPowermarks(doc, text))
        return ImportFormat::Powermarks;
    ImportAnchors(doc, SkipUtf8Bom(text));
    return ImportFormat::Anchors;
}

ImportFormat ImportFile(CBrindleDoc& doc, const std::string& path, ExchangeReport& report) {
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) {
        report.Add(MessageIcon::Stop, kMsgCannotOpenFile);
        return ImportFormat::None;
    }
    std::string text = DecodeOutsideText(std::move(bytes));
    NormalizeLineEnds(text);
    return ImportHtmlText(doc, text);
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
