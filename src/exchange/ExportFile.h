// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The frame the report and Powermarks writers share: the file opened (its folders made), the
// bookmarks the options select, the writer's text, and the file put in place at the end.

#include "exchange/ExchangeFiles.h"
#include "exchange/ExchangeReport.h"
#include "exchange/ExportSelection.h"
#include "store/AtomicFile.h"

#include <memory>
#include <string>
#include <vector>

namespace brindle {

// Opens `path`, hands `write` the file and the bookmarks `options` select (in their order), then
// puts the file in place. False, with the reason in `report`, when the file cannot be made or
// written.
template <typename Write>
bool WriteExportFile(CBrindleDoc& doc, const std::string& path, const ExportOptions& options,
                     ExchangeReport& report, Write write) {
    const std::unique_ptr<BufferedAtomicFile> file = OpenExportFile(path, report);
    if (!file)
        return false;
    write(*file, SelectForExport(doc, options));
    if (file->Commit() != 0) {
        report.Add(MessageIcon::Stop, kMsgCannotWriteFile);
        return false;
    }
    return true;
}

} // namespace brindle
