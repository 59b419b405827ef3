// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/ImportResult.h"

#include "store/BrindleDoc.h"

namespace brindle {

void ImportResult::Include(ImportResult&& item, std::size_t position) {
    added += item.added;
    duplicates += item.duplicates;
    macros += item.macros;
    schedules += item.schedules;
    for (ExchangeMessage& m : item.problems.messages) {
        if (m.position == 0)
            m.position = position;
        problems.messages.push_back(std::move(m));
    }
}

bool AddImported(CBrindleDoc& doc, const BookmarkSink& sink, const BookmarkFields& fields,
                 ImportResult& result) {
    const bool taken = sink ? sink(fields) : doc.AddBookmark(fields);
    ++(taken ? result.added : result.duplicates);
    return taken;
}

BookmarkSink CountingSink(CBrindleDoc& doc, const BookmarkSink& sink, ImportResult& result) {
    return [&doc, &sink, &result](const BookmarkFields& fields) {
        return AddImported(doc, sink, fields, result);
    };
}

} // namespace brindle
