#pragma once
// File access shared by the exchange readers and writers.

#include <memory>
#include <string>
#include <string_view>

namespace brindle {

// The line end of every text file the exchange writers produce: these files travel to and from
// Windows programs.
inline constexpr std::string_view kLineEnd = "\r\n";

// Reads a whole regular file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& bytes);

// Writes a file in one step: the text goes, in pieces, to a temporary file beside the target,
// which replaces the target only when everything was written. Until then, and when anything
// fails, an earlier file stays as it was.
class AtomicFileWriter {
  public:
    explicit AtomicFileWriter(const std::string& path);
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    bool IsOpen() const { return m_open; }
    // Text appended here is written out by Flush, or by Commit.
    std::string& Buffer() { return m_buffer; }
    // Writes `bytes` after what the buffer holds.
    void Write(std::string_view bytes);
    // Writes the buffer out once it has grown large; call it between records.
    void Flush(bool always = false);
    // Writes what is left and puts the file in place; false when anything failed.
    bool Commit();

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    std::string m_buffer;
    bool m_open = false;
    bool m_failed = false;
};

// Replaces the file with `bytes` in one step (a temporary file beside it, then a rename), so a
// failed write leaves an earlier file intact. False when the file cannot be written.
bool WriteWholeFile(const std::string& path, std::string_view bytes);

// Creates or truncates the file and writes `bytes`: for the many small files of one export,
// where a synced replacement per file would cost far more than the files are worth.
bool WriteFileInPlace(const std::string& path, std::string_view bytes);

bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);

// The folder part of a file path: everything before the last separator, or "." when the path
// has none.
std::string FolderOfPath(const std::string& path);

// Creates `folder` and every missing folder above it; an existing folder is no failure.
bool CreateFolderChain(const std::string& folder);

// The writers' first step: when no file of that name exists yet, its folder chain is created.
// False when that fails.
bool PrepareFolderFor(const std::string& path);

class ExchangeReport;
// A writer's file: the folder chain, then the temporary file beside `path`. Null, with "Create
// Directory Fail" or "cannot write the file" in `report`, when either fails.
std::unique_ptr<AtomicFileWriter> OpenExportFile(const std::string& path, ExchangeReport& report);

} // namespace brindle
