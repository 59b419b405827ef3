// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/PreferenceLimits.h"

#include <algorithm>

namespace brindle {

namespace {

template <typename T> bool Clamp(T& value, T low, T high) {
    const T clamped = std::clamp(value, low, high);
    if (clamped == value)
        return false;
    value = clamped;
    return true;
}

bool Flag(std::int32_t& value) {
    if (value == 0 || value == 1)
        return false;
    value = 1; // any other non-zero number reads as "on"
    return true;
}

} // namespace

bool ClampPreferences(CPreferences& p) {
    bool changed = false;
    for (std::int32_t* flag : {&p.m_bConfirm, &p.m_bAutoSave, &p.m_bReload, &p.m_bBackup,
                               &p.m_bInTray, &p.m_bHide, &p.m_bIEBypass, &p.m_bNBypass,
                               &p.m_bAlways, &p.m_bCheckNew, &p.m_bRepair, &p.m_bHasProxy})
        changed |= Flag(*flag);
    changed |= Clamp(p.m_nMaxInTray, kMinTrayBookmarks, kMaxTrayBookmarks);
    changed |= Clamp(p.m_nConnectMax, kMinConnections, kMaxConnections);
    changed |= Clamp(p.m_nProxyPort, kMinProxyPort, kMaxProxyPort);
    changed |= Clamp(p.m_nHostConnections, kMinHostConnections, kMaxHostConnections);
    changed |= Clamp(p.m_nHostRate, kMinHostRate, kMaxHostRate);
    changed |= Clamp(p.m_nCheckOlderDays, 0, kMaxCheckOlderDays);
    changed |= Clamp(p.m_nConnectMode, 0, 1);
    if (p.m_nPrefer != kPreferIE && p.m_nPrefer != kPreferNetscape) {
        // Any value other than 1 means Netscape Navigator.
        p.m_nPrefer = kPreferNetscape;
        changed = true;
    }
    for (std::size_t i = 0; i < p.m_wHotKeyVk.size(); ++i) {
        if (p.m_wHotKeyVk[i] > 0xFF) {
            p.m_wHotKeyVk[i] = 0;
            p.m_wHotKeyMods[i] = 0;
            changed = true;
        }
        const std::uint16_t mods = p.m_wHotKeyMods[i] & kHotKeyFlagMask;
        if (mods != p.m_wHotKeyMods[i]) {
            p.m_wHotKeyMods[i] = mods;
            changed = true;
        }
    }
    for (std::uint32_t i = 0; i < p.m_arrStatusIcons.size(); ++i) {
        std::uint32_t icon = p.m_arrStatusIcons[i] >> 16;
        if (icon >= static_cast<std::uint32_t>(kStatusIconCount))
            icon = CPreferences::DefaultStatusIcons()[i] >> 16;
        const std::uint32_t entry = (icon << 16) | i;
        if (entry != p.m_arrStatusIcons[i]) {
            p.m_arrStatusIcons[i] = entry;
            changed = true;
        }
    }
    return changed;
}

} // namespace brindle
