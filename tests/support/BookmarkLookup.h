#pragma once
// Finding a bookmark of a document by its name or its address.

#include "store/BrindleDoc.h"

#include <string>

namespace testutil {

inline const CBookmark* FindByName(const CBrindleDoc& doc, const std::string& name) {
    for (const auto& b : doc.m_arrBookmarks)
        if (b->m_strName == name)
            return b.get();
    return nullptr;
}

inline const CBookmark* FindByUrl(const CBrindleDoc& doc, const std::string& url) {
    for (const auto& b : doc.m_arrBookmarks)
        if (b->m_strURL == url)
            return b.get();
    return nullptr;
}

} // namespace testutil
