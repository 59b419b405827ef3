// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Command numbers shared by menus, tool bands, accelerators and context menus.

namespace cmd {
enum : int {
    New = 57600,
    Open = 57601,
    Save = 57603,
    SaveAs = 57604,
    RecentFirst = 57616,
    RecentLast = 57631,
    Exit = 57665,
    Import = 32771,
    Export = 32772,
    ImportFavorites = 32865,
    ImportWizard = 32866,
    LinkFile = 32990,
    SyncNow = 32991,

    Undo = 57643,
    Cut = 57635,
    Copy = 57634,
    Paste = 57637,
    Delete = 32790,
    SelectAll = 32779,
    FastAdd = 32774,
    Add = 32775,
    MarkVisited = 32846,
    Properties = 32778,

    MacroUrl = 32780,
    MacroKeywords = 32781,
    MacroString = 32791,
    MacroSelectedUrl = 32859,
    MacroCurrentSearch = 32853,
    Schedules = 32782,
    Dictionary = 32783,
    SearchOption = 32784,
    CopyKeywords = 32785,
    FindDuplicates = 33200,
    Fetch = 32886,
    StatusCheck = 32935,

    ViewMacro = 32880,
    ViewToolbar = 59392,
    ViewStatusBar = 59393,
    ViewTrash = 32950,
    Column = 32879,
    Option = 32869,

    Help = 33011,
    HelpIndex = 57666,
    About = 57664,

    SearchBox = 32776,
    ClearSearch = 32829,
    KeywordSearch = 32830,
    StringSearch = 32828,
    TextSearch = 33210,
    OpenArchivedText = 33211,
    ArchivePages = 33212,
    PartialMatch = 32936,
    MatchCase = 32944,
    // One per searchable field in the order of the field mask's bits, with room for 16.
    SearchFieldFirst = 33100,

    CopyUrl = 32847,
    MakeCommonKeyword = 32864,
    SetStatusChecking = 32889,
    OpenPage = 32844,
    OpenArchivedCopy = 33300,
    HeaderColumnFirst = 32831, // 32831-32841: fields 1-11

    RenameKeyword = 32860,
    DeleteKeyword = 32861,
    CopyKeyword = 32863,

    TrayAdd = 32945,
    TrayFastAdd = 32946,
    TrayClose = 32947,
    TrayBookmarkFirst = 1174,
    MacroHotKeyFirst = 1274,
};
} // namespace cmd
