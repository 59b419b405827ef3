// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Deterministic sample documents for the file-byte comparison: built only through document
// operations (adding, deleting and undoing, keyword commands, reading a file), so that every
// version of the store makes them the same way. tests/data/brx holds the bytes an earlier
// version of the store wrote for each; the current one must write exactly those bytes.

#include "store/BrindleDoc.h"
#include "store/DocumentArchive.h"

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace brindle::test {

namespace sample {

inline std::string U16(std::uint16_t v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}
inline std::string U32(std::uint32_t v) {
    return U16(static_cast<std::uint16_t>(v & 0xFFFF)) + U16(static_cast<std::uint16_t>(v >> 16));
}
// A byte-form string exactly as given (a short length prefix).
inline std::string Bytes(const std::string& s) {
    return std::string(1, static_cast<char>(s.size())) + s;
}
// A 16-bit form string of the given code units.
inline std::string Wide(const std::vector<std::uint16_t>& units) {
    std::string out = "\xFF" + U16(0xFFFE) + std::string(1, static_cast<char>(units.size()));
    for (std::uint16_t u : units)
        out += U16(u);
    return out;
}

} // namespace sample

// Texts the store must carry through unchanged: several scripts, four-byte characters,
// characters whose lower case is ASCII (Kelvin sign, dotted capital I), the capital sharp s,
// the final sigma, control bytes and long texts.
inline const std::vector<std::string>& SampleWords() {
    static const std::vector<std::string> words = {"web",
                                                   "Web",
                                                   "news",
                                                   "tools",
                                                   "java",
                                                   "prog",
                                                   "caf\xC3\xA9",
                                                   "CAF\xC3\x89",
                                                   "\xE2\x84\xAA"
                                                   "elvin",
                                                   "\xC4\xB0stanbul",
                                                   "STRA\xE1\xBA\x9E"
                                                   "E",
                                                   "\xCF\x83\xCE\xBF\xCF\x86\xCF\x8C\xCF\x82",
                                                   "\xE6\x97\xA5\xE6\x9C\xAC",
                                                   "\xF0\x9F\x93\x9A",
                                                   "mp3",
                                                   "r&d",
                                                   "e-mail",
                                                   "a\tb",
                                                   "x",
                                                   "old"};
    return words;
}

// About three thousand bookmarks added, then edited through the document's commands.
inline void BuildMixedCollection(CBrindleDoc& doc) {
    std::mt19937 rng(20240607);
    auto pick = [&](std::size_t n) { return static_cast<std::size_t>(rng() % n); };
    const auto& words = SampleWords();
    auto phrase = [&](int maxWords) {
        std::string s;
        for (int k = static_cast<int>(pick(static_cast<std::size_t>(maxWords))) + 1; k > 0; --k) {
            if (!s.empty())
                s += pick(5) ? " " : ", ";
            s += words[pick(words.size())];
        }
        return s;
    };
    doc.AddSchedule("Weekly", 633600, true);
    doc.AddSchedule("Daily", 115200, false);
    static const char* const kSchedules[] = {"Weekly", "Daily", "Gone", "", "<None>"};
    static const char* const kStatus[] = {"Waiting", "No change", "Page not found", "Changed",
                                          "\xE2\x84\xAA-status"};
    for (int i = 0; i < 3000; ++i) {
        std::string name = phrase(5);
        if (pick(7) == 0)
            name = "  " + name + " \t"; // trimmed by adding
        std::string notes;
        if (i == 17)
            notes = std::string(300000, 'n'); // longer than the reader's buffer
        else if (i == 18)
            notes = std::string(70000, 'e') + "\xC3\xA9"; // long, written in the 16-bit form
        else if (pick(4) == 0)
            notes = phrase(12);
        const std::string url = "http://example.com/" + std::to_string(pick(2500)) + "/" +
                                (pick(3) ? std::string() : words[pick(words.size())]);
        const auto date = [&]() -> BrxTime {
            switch (pick(5)) {
            case 0:
                return 0;
            case 1:
                return 0x80000000LL + static_cast<BrxTime>(pick(100000)); // after January 2038
            case 2:
                return 0xFFFFFFFFLL;
            default:
                return 900000000 + static_cast<BrxTime>(pick(800000000));
            }
        };
        doc.AddBookmark({.name = name,
                         .url = url,
                         .keywords = phrase(6),
                         .description = pick(3) ? phrase(8) : "",
                         .notes = notes,
                         .statusChecking = static_cast<std::uint16_t>(pick(2)),
                         .schedule = kSchedules[pick(std::size(kSchedules))],
                         .status = kStatus[pick(std::size(kStatus))],
                         .addDate = date(),
                         .lastVisited = date(),
                         .lastModified = date(),
                         .lastChecked = date()});
    }
    // Deletes, one undone; keyword commands with their undo.
    std::vector<std::uint32_t> doomed;
    for (std::uint32_t i = 0; i < doc.Bookmarks().size(); i += 7)
        doomed.push_back(i);
    doc.ClearUndo(kUndoBookmarks);
    doc.DeleteBookmarks(doomed);
    doc.UndoDeleteBookmarks();
    doomed.clear();
    for (std::uint32_t i = 3; i < doc.Bookmarks().size(); i += 11)
        doomed.push_back(i);
    doc.ClearUndo(kUndoBookmarks);
    doc.DeleteBookmarks(doomed);
    doc.RenameKeywordEverywhere("news", "press");
    doc.RenameKeywordEverywhere("web", "Web");
    doc.DeleteKeywordEverywhere("tools");
    doc.DeleteKeywordEverywhere("java");
    doc.UndoDeleteKeyword();
    doc.RenameKeywordInBookmark(5, "prog", "programming");
    doc.AddMacro(kMacroUrl, "Home", "http://example.com/", 0);
    doc.AddMacro(kMacroKeywords, "caf\xC3\xA9", "java.prog", 0x00020041);
    doc.AddStringMacro("\xE2\x84\xAA", "k", 0x7F, false, 0);
    doc.SetSearchMode(kSearchString);
    doc.SetStringFields(0x55);
    doc.SetColumns(0x0A5F);
    doc.SetSortOrder(8, false);
}

// A file written elsewhere, read and written again: byte-form texts in Windows-1252 and in
// UTF-8, 16-bit form texts with a lone surrogate, untrimmed names, an unnormalised keyword
// text, two bookmarks with the same name and URL, and a null element.
inline std::string ForeignFileBytes() {
    using namespace sample;
    std::string f;
    f += U32(2) + std::string(1, '\x03') + U32(0) + U32(2) + U16(0x0155) + U32(1) + U32(1) + U32(9);
    f += U16(5); // five elements
    auto fields = [&](const std::string& name, const std::string& url, const std::string& kw,
                      const std::string& desc) {
        return name + url + kw + desc + Bytes("") + U16(1) + Bytes("<None>") + Bytes("Waiting") +
               U32(933279936) + U32(0) + U32(0xFFFFFFFFu) + U32(0x80000001u);
    };
    f += U16(0xFFFF) + U16(1) + U16(9) + "CBookmark";
    f += fields(Bytes("Caf\xE9 \x80 \x9F"), Bytes("http://w/1"), Bytes("zeta alpha  beta zeta"),
                Bytes("\xC3\xA9t\xC3\xA9"));
    f += U16(0x8001);
    f += fields(Wide({0x212A, 'e', 'l', 'v', 'i', 'n', 0xD800, 'x'}), Bytes("http://w/2"),
                Wide({'k', 0x0130, ' ', 0x1E9E}), Wide({0xD83D, 0xDCDA}));
    f += U16(0); // a null element
    f += U16(0x8001);
    f += fields(Bytes("  padded  "), Bytes(""), Bytes("a\x01web \xFF\xFE tools\n"), Bytes(""));
    f += U16(0x8001);
    f += fields(Bytes("  padded  "), Bytes(""), Bytes("same"), Bytes("twin"));
    f += U16(0) + U16(1) + U16(0xFFFF) + U16(1) + U16(9) + "CSchedule" + Bytes("Weekly") +
         U32(633600) + U32(1);
    return f;
}

inline bool BuildForeignCollection(CBrindleDoc& doc) {
    return static_cast<bool>(ReadDocumentBytes(doc, ForeignFileBytes()));
}

} // namespace brindle::test
