// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The user's preferences with their defaults. The application holds one object, loads and saves
// it (src/platform/SettingsStore) and hands it to the document and the views; the core only
// reads it.

#include "store/TimeFormat.h"

#include <array>
#include <cstdint>
#include <string>

// The list font as a Windows-style font description; the platform layer turns it into a real
// font and fills the default from the desktop's message font.
struct CLogFont {
    std::int32_t lfHeight = 0;
    std::int32_t lfWidth = 0;
    std::int32_t lfEscapement = 0;
    std::int32_t lfOrientation = 0;
    std::int32_t lfWeight = 400;
    std::uint8_t lfItalic = 0;
    std::uint8_t lfUnderline = 0;
    std::uint8_t lfStrikeOut = 0;
    std::uint8_t lfCharSet = 0;
    std::uint8_t lfOutPrecision = 0;
    std::uint8_t lfClipPrecision = 0;
    std::uint8_t lfQuality = 0;
    std::uint8_t lfPitchAndFamily = 0;
    std::string lfFaceName; // at most 31 bytes

    bool operator==(const CLogFont&) const = default;
};

struct CPreferences {
    std::int32_t m_bConfirm = 1;
    std::int32_t m_bAutoSave = 1;
    std::int32_t m_bReload = 0;
    std::int32_t m_bBackup = 1;
    std::int32_t m_bInTray = 1;
    std::int32_t m_bHide = 1;
    std::int32_t m_bIEBypass = 1;
    std::int32_t m_bNBypass = 1;
    std::int32_t m_bAlways = 1;
    std::int32_t m_bCheckNew = 1;
    std::int32_t m_bRepair = 1;
    std::int32_t m_nProxyPort = 80;
    std::array<std::uint16_t, 4> m_wHotKeyVk{};
    std::array<std::uint16_t, 4> m_wHotKeyMods{};
    std::int32_t m_nMaxInTray = 10;
    std::int32_t m_nPrefer = 1;
    std::int32_t m_nConnectMode = 0;
    std::int32_t m_nConnectMax = 5;
    std::int32_t m_nFontSize = 9;
    std::int32_t m_bHasProxy = 0;
    // Politeness towards one host: requests at once, new requests a second.
    std::int32_t m_nHostConnections = 2;
    std::int32_t m_nHostRate = 4;
    // A check skips bookmarks checked fewer than this many days ago (0: checks them all).
    std::int32_t m_nCheckOlderDays = 0;
    std::array<std::uint32_t, 18> m_arrStatusIcons = DefaultStatusIcons();
    std::string m_strFastKey = "fastadd";
    std::string m_strTimeFormat = brindle::kDefaultTimeFormat;
    std::string m_strIEPath;
    std::string m_strNetscapePath;
    std::string m_strFavPath;
    std::string m_strNBookmarkPath;
    std::string m_strProxyServer;
    std::string m_strProxyUser;
    std::string m_strProxyPassword;
    // The web archive whose availability service finds copies of dead pages.
    std::string m_strArchiveService = "https://archive.org";
    CLogFont m_logFont;

    bool operator==(const CPreferences&) const = default;

    // The defaults, for documents made without the application's preferences (tools, tests).
    static const CPreferences& Defaults();

    // Entry i = (icon << 16) + i, icon = i up to 14 and 3 for 15-17.
    static constexpr std::array<std::uint32_t, 18> DefaultStatusIcons() {
        std::array<std::uint32_t, 18> icons{};
        for (std::uint32_t i = 0; i < icons.size(); ++i)
            icons[i] = ((i <= 14 ? i : 3u) << 16) + i;
        return icons;
    }
};
