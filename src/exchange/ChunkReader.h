// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The content readers as objects that take a file's text in pieces, so that a large import need
// not hold the whole file in memory.

#include "exchange/ImportResult.h"

#include <memory>
#include <string_view>

class CBrindleDoc;

namespace brindle {

class ChunkReader {
  public:
    virtual ~ChunkReader() = default;
    // The next piece of the text (UTF-8, line ends already normalised). The reader keeps no
    // view into a piece once Feed returns.
    virtual void Feed(std::string_view chunk) = 0;
    // The text has ended.
    virtual void Finish() = 0;
    // The last piece (or the whole text), then Finish: what the reader still holds of the
    // piece at its end is not copied first.
    virtual void FeedLast(std::string_view chunk) = 0;
    // Macros and schedules given to the document so far (bookmarks are counted by the sink).
    virtual void CountRecords(ImportResult& /*result*/) const {}
};

// The readers behind ImportNetscape, ImportPowermarks and ImportAnchors, without their marker
// checks. Macros and schedules (Powermarks) always go to the document.
std::unique_ptr<ChunkReader> MakeNetscapeReader(CBrindleDoc& doc, BookmarkSink sink = {});
std::unique_ptr<ChunkReader> MakePowermarksReader(CBrindleDoc& doc, BookmarkSink sink = {});
std::unique_ptr<ChunkReader> MakeAnchorReader(CBrindleDoc& doc, BookmarkSink sink = {});

} // namespace brindle
