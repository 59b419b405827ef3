#pragma once
// The content readers as objects that take a file's text in pieces, so that a large import need
// not hold the whole file in memory.

#include <memory>
#include <string_view>

class CBrindleDoc;

namespace brindle {

class ChunkReader {
  public:
    virtual ~ChunkReader() = default;
    // The next piece of the text (UTF-8, line ends already normalised).
    virtual void Feed(std::string_view chunk) = 0;
    // The text has ended.
    virtual void Finish() = 0;
};

// The readers behind ImportNetscape, ImportPowermarks and ImportAnchors, without their marker
// checks.
std::unique_ptr<ChunkReader> MakeNetscapeReader(CBrindleDoc& doc);
std::unique_ptr<ChunkReader> MakePowermarksReader(CBrindleDoc& doc);
std::unique_ptr<ChunkReader> MakeAnchorReader(CBrindleDoc& doc);

} // namespace brindle
