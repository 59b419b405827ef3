// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/Key.h"

#include "store/ObjectArchive.h"

void CKey::Serialize(brindle::ArchiveWriter& ar) const {
    ar.WriteString(m_strKeyword);
}

void CKey::Serialize(brindle::ArchiveReader& ar) {
    ar.ReadString(m_strKeyword);
    m_arrBookmarkIndices.clear();
}
