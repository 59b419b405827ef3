// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/macros/MacroController.h"

#include "platform/VirtualKeys.h"
#include "store/BrindleDoc.h"
#include "ui/bookmarks/PageOpener.h"
#include "ui/macros/MacroDialog.h"
#include "ui/macros/MacroView.h"
#include "ui/widgets/DialogRunner.h"
#include "ui/window/BookmarkWorkspace.h"
#include "ui/window/CommandIds.h"
#include "ui/window/CommandTable.h"
#include "ui/window/SearchBar.h"

#include <QShortcut>
#include <QWidget>

namespace brindle {

MacroController::MacroController(CBrindleDoc& doc, CommandTable& commands,
                                 BookmarkWorkspace& workspace, SearchBar& search, PageOpener& pages,
                                 QWidget* window)
    : QObject(window), m_doc(doc), m_commands(commands), m_workspace(workspace), m_search(search),
      m_pages(pages), m_window(window) {
    m_commands.Register(cmd::MacroUrl, [this] { NewMacro(kMacroUrl); });
    m_commands.Register(cmd::MacroKeywords, [this] { NewMacro(kMacroKeywords); });
    m_commands.Register(cmd::MacroString, [this] { NewMacro(kMacroString); });
    CMacroView* view = m_workspace.Macros();
    connect(view, &CMacroView::runRequested, this, &MacroController::RunMacro);
    connect(view, &CMacroView::filled, this, &MacroController::SyncKeys);
    SyncKeys();
}

void MacroController::RunMacro(std::uint32_t index) {
    if (index >= m_doc.Macros().size())
        return;
    const CMacro& m = m_doc.Macros()[index];
    switch (m.m_nKind) {
    case kMacroUrl:
        m_pages.OpenURL(QString::fromStdString(m.m_strURL));
        break;
    case kMacroKeywords:
        m_search.RunKeywordMacro(QString::fromStdString(m.m_strKeywords));
        break;
    case kMacroString:
        m_search.RunStringMacro(QString::fromStdString(m.m_strSearch), m.SearchOptions());
        break;
    default:
        break; // a kind this program does not know does nothing
    }
}

void MacroController::OnMacroCommand(int command) {
    const int m = command - cmd::MacroHotKeyFirst;
    if (m >= 0 && static_cast<std::size_t>(m) < m_doc.Macros().size())
        RunMacro(static_cast<std::uint32_t>(m));
}

void MacroController::NewMacro(std::int32_t kind) {
    CMacro blank;
    blank.m_nKind = kind;
    CMacroDlg dialog(blank, m_window);
    if (DialogRunner::Run(dialog) != QDialog::Accepted)
        return;
    const CMacro m = dialog.Macro();
    if (kind == kMacroString)
        m_doc.AddStringMacro(m.m_strName, m.m_strSearch, m.m_dwFields, m.m_bMatchCase != 0,
                             m.m_dwHotKey);
    else
        m_doc.AddMacro(kind, m.m_strName, kind == kMacroUrl ? m.m_strURL : m.m_strKeywords,
                       m.m_dwHotKey);
    m_workspace.ReloadMacros();
}

void MacroController::SyncKeys() {
    for (QShortcut* key : m_keys)
        delete key;
    m_keys.clear();
    // A key that a command of the window or an earlier macro has stays theirs, as the first
    // entry of an accelerator table wins (two shortcuts on one key would both stay silent).
    QList<QKeySequence> taken;
    for (const CommandRow& row : CommandTable::Rows())
        for (const QKeyCombination key : row.keys)
            if (key.key() != Qt::Key_unknown)
                taken << QKeySequence(key);
    for (std::size_t i = 0; i < m_doc.Macros().size(); ++i) {
        const std::uint32_t hotKey = m_doc.Macros()[i].m_dwHotKey;
        if (hotKey == 0)
            continue;
        const QKeySequence keys = KeySequenceFromHotKey(static_cast<std::uint16_t>(hotKey),
                                                        static_cast<std::uint16_t>(hotKey >> 16));
        if (keys.isEmpty() || taken.contains(keys))
            continue;
        taken << keys;
        auto* key = new QShortcut(keys, m_window);
        const int command = cmd::MacroHotKeyFirst + static_cast<int>(i);
        key->setObjectName(QStringLiteral("macroKey%1").arg(command));
        connect(key, &QShortcut::activated, this, [this, command] { OnMacroCommand(command); });
        m_keys.push_back(key);
    }
}

} // namespace brindle
