// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window/TrayController.h"

#include "platform/HotKeys.h"
#include "store/BrindleDoc.h"
#include "ui/exchange/BrowserCapture.h"
#include "ui/window/CommandIds.h"
#include "ui/window/CommandTable.h"
#include "ui/window/StatusPanes.h"

#include <QClipboard>
#include <QEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

#include <algorithm>

namespace brindle {

TrayController::TrayController(CBrindleDoc& doc, CommandTable& commands, StatusPanes& panes,
                               QWidget* window)
    : QObject(window), m_doc(doc), m_commands(commands), m_panes(panes), m_window(window) {
    m_commands.Register(cmd::TrayAdd, [this] { m_commands.Execute(cmd::Add); });
    m_commands.Register(cmd::TrayFastAdd, [this] { m_commands.Execute(cmd::FastAdd); });
    m_commands.Register(cmd::TrayClose, [this] { m_window->close(); });
    m_window->installEventFilter(this);
}

TrayController::~TrayController() = default;

void TrayController::UpdateTrayIcon() {
    const bool wanted = m_doc.Prefs().m_bInTray && QSystemTrayIcon::isSystemTrayAvailable();
    if (wanted && !m_tray) {
        m_tray = new QSystemTrayIcon(QIcon(QStringLiteral(":/icons/bookmark.svg")), this);
        m_tray->setToolTip(tr("Brindle"));
        m_menu = new QMenu(m_window);
        connect(m_menu, &QMenu::aboutToShow, this, &TrayController::BuildMenu);
        m_tray->setContextMenu(m_menu);
        connect(m_tray, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    if (reason == QSystemTrayIcon::DoubleClick)
                        OnDoubleClick();
                });
        m_tray->show();
    } else if (!wanted && m_tray) {
        m_tray->hide();
        delete m_tray;
        m_tray = nullptr;
    }
}

QMenu* TrayController::BuildMenu() {
    if (!m_menu)
        m_menu = new QMenu(m_window);
    m_menu->clear();
    const auto& hits = m_doc.ActiveHits();
    const int maxInTray = std::clamp(m_doc.Prefs().m_nMaxInTray, 0, 100);
    const int n = std::min(maxInTray, static_cast<int>(hits.size()));
    for (int k = 0; k < n; ++k) {
        const std::uint32_t index = hits[k];
        if (index >= m_doc.Bookmarks().size())
            continue;
        QAction* a = m_menu->addAction(QString::fromUtf8(m_doc.Bookmarks()[index].m_strName));
        a->setData(cmd::TrayBookmarkFirst + k);
        connect(a, &QAction::triggered, this, [this, k] { emit bookmarkChosen(k); });
    }
    if (n > 0)
        m_menu->addSeparator();
    m_commands.AppendContextItems(m_menu, ContextMenuId::Tray);
    return m_menu;
}

void TrayController::OnDoubleClick() {
    if (m_doc.Prefs().m_bHide) {
        m_window->show();
        if (m_window->isMinimized())
            m_window->showNormal();
        m_window->raise();
        m_window->activateWindow();
    } else if (m_window->isMinimized()) {
        m_window->showNormal();
    }
}

bool TrayController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_window && event->type() == QEvent::WindowStateChange &&
        m_window->isMinimized() && m_doc.Prefs().m_bInTray && m_doc.Prefs().m_bHide && m_tray)
        QTimer::singleShot(0, m_window, [this] {
            if (m_window->isMinimized())
                m_window->hide();
        });
    return QObject::eventFilter(watched, event);
}

void TrayController::SetHotKeyService(HotKeyService* service) {
    if (m_hotKeys)
        disconnect(m_hotKeys, &HotKeyService::triggered, this, &TrayController::OnHotKey);
    m_hotKeys = service;
    if (m_hotKeys)
        connect(m_hotKeys, &HotKeyService::triggered, this, &TrayController::OnHotKey);
}

void TrayController::RegisterHotKeys() {
    if (!m_hotKeys)
        return;
    if (!m_hotKeys->IsAvailable()) {
        bool anySet = false;
        for (std::uint16_t vk : m_doc.Prefs().m_wHotKeyVk)
            anySet |= vk != 0;
        if (anySet && !m_toldNoHotKeys) {
            m_panes.SetText(kPanePrompt, tr("Global hot keys are not available on this desktop"));
            m_toldNoHotKeys = true;
        }
        return;
    }
    const auto failures = RegisterDocumentHotKeys(*m_hotKeys, m_doc.Prefs());
    if (!failures.isEmpty())
        m_panes.SetText(kPanePrompt, failures.first().error);
}

void TrayController::OnHotKey(int id) {
    switch (id) {
    case kFirstGlobalHotKeyId: // "switch to Brindle:"
        m_window->showNormal();
        m_window->raise();
        m_window->activateWindow();
        break;
    case kFirstGlobalHotKeyId + 2: // "Fast Add Bookmark from Browser:"
        m_commands.Execute(cmd::FastAdd);
        break;
    case kFirstGlobalHotKeyId + 1: // "Add Bookmark from Browser:"
        if (auto page = CaptureBrowserBookmark(m_doc, SystemBrowserPages()); !page)
            m_panes.SetText(kPanePrompt, NoBrowserPageText());
        else if (m_openAddSheet)
            m_openAddSheet(*page);
        break;
    case kFirstGlobalHotKeyId + 3: // "Add Bookmark from Clipboard:"
        if (auto page = ClipboardBookmark(m_doc, QGuiApplication::clipboard()->text());
            page && m_openAddSheet)
            m_openAddSheet(*page);
        break;
    default:
        break;
    }
}

} // namespace brindle
