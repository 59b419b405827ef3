// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Settings that differ from every default (with blanks, non-ASCII text, quotes and every font
// field set), for tests that must see each value travel through a store or a dialog unchanged.

#include "store/Preferences.h"

#include <cstdint>

namespace testutil {

inline CPreferences UnusualPreferences() {
    CPreferences s;
    s.m_bConfirm = 0;
    s.m_bAutoSave = 0;
    s.m_bReload = 1;
    s.m_bBackup = 0;
    s.m_bInTray = 0;
    s.m_bHide = 0;
    s.m_bIEBypass = 0;
    s.m_bNBypass = 0;
    s.m_bAlways = 0;
    s.m_bCheckNew = 0;
    s.m_bRepair = 0;
    s.m_nProxyPort = 8080;
    s.m_wHotKeyVk = {0x45, 0x46, 0x70, 0xDE};
    s.m_wHotKeyMods = {3, 1, 4, 7};
    s.m_nMaxInTray = 17;
    s.m_nPrefer = 2;
    s.m_nConnectMode = 1;
    s.m_nConnectMax = 8;
    s.m_nFontSize = 11;
    s.m_bHasProxy = 1;
    s.m_nHostConnections = 5;
    s.m_nHostRate = 12;
    s.m_nCheckOlderDays = 7;
    for (std::uint32_t i = 0; i < s.m_arrStatusIcons.size(); ++i)
        s.m_arrStatusIcons[i] = (((17 - i) % 16) << 16) + i;
    s.m_strFastKey = "news, tech";
    s.m_strTimeFormat = "D.m.y";
    s.m_strIEPath = "/opt/browser one/bin/run";
    s.m_strNetscapePath = "/usr/bin/firefox";
    s.m_strFavPath = "/home/u/Lesezeichen \xC3\xBC";
    s.m_strNBookmarkPath = "/home/u/bookmarks.html";
    s.m_strProxyServer = "proxy.example.org";
    s.m_strProxyUser = "@user";
    s.m_strProxyPassword = "p=a;s#s\"w\\d";
    s.m_strArchiveService = "http://archive.test:8080/";
    s.m_logFont.lfHeight = -16;
    s.m_logFont.lfWidth = 7;
    s.m_logFont.lfEscapement = 900;
    s.m_logFont.lfOrientation = -900;
    s.m_logFont.lfWeight = 700;
    s.m_logFont.lfItalic = 1;
    s.m_logFont.lfUnderline = 1;
    s.m_logFont.lfStrikeOut = 1;
    s.m_logFont.lfCharSet = 238;
    s.m_logFont.lfOutPrecision = 3;
    s.m_logFont.lfClipPrecision = 2;
    s.m_logFont.lfQuality = 5;
    s.m_logFont.lfPitchAndFamily = 0x31;
    s.m_logFont.lfFaceName = "Liberation Mono";
    return s;
}

} // namespace testutil
