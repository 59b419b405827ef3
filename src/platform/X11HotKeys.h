// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Hot keys on an X11 display: each one is a passive key grab on the root window, taken four
// times (plain, with Caps Lock, with Num Lock, with both) because the locks count as modifiers
// to the server. Key presses arrive through a native event filter on the connection Qt reads.

#include "platform/HotKeys.h"

#include <QAbstractNativeEventFilter>

#include <cstdint>
#include <map>
#include <vector>

#include <xcb/xcb.h>

namespace brindle {

class X11HotKeyService : public HotKeyService, public QAbstractNativeEventFilter {
    Q_OBJECT

  public:
    // `connection` is Qt's own; the service grabs on the root window of the default screen.
    explicit X11HotKeyService(xcb_connection_t* connection, QObject* parent = nullptr);
    ~X11HotKeyService() override;

    bool IsAvailable() const override { return true; }
    bool Register(int id, std::uint16_t vk, std::uint16_t flags) override;
    void Unregister(int id) override;
    void UnregisterAll() override;
    bool IsRegistered(int id) const override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

  private:
    struct Grab {
        xcb_keycode_t keycode;
        std::uint16_t mods;        // X11 masks of Shift, Control, Alt
        std::uint16_t numLockMask; // the modifier Num Lock was on when the grab was taken
    };

    void Ungrab(const Grab& grab);
    void UngrabVariants(xcb_keycode_t keycode, const std::vector<std::uint16_t>& variants);

    xcb_connection_t* m_connection;
    xcb_window_t m_root = 0;
    std::map<int, Grab> m_grabs;
};

} // namespace brindle
