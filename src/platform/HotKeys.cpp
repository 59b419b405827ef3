// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/HotKeys.h"

#include "platform/PortalHotKeys.h"
#include "store/Preferences.h"

#include <QDBusConnection>
#include <QGuiApplication>

#ifdef BRINDLE_HAVE_X11_HOTKEYS
#include "platform/X11HotKeys.h"
#endif

namespace brindle {

namespace {

// Where the desktop offers no way to grab keys (Wayland, offscreen).
class NullHotKeyService : public HotKeyService {
  public:
    using HotKeyService::HotKeyService;

    bool IsAvailable() const override { return false; }
    bool Register(int, std::uint16_t, std::uint16_t) override {
        SetErrorString(QStringLiteral("Global hot keys are not available on this desktop."));
        return false;
    }
    void Unregister(int) override {}
    void UnregisterAll() override {}
    bool IsRegistered(int) const override { return false; }
};

// The program runs as a Wayland client (Qt's default on a Wayland session). Run through
// XWayland it keeps the X11 grabs, which see the keys typed into XWayland windows only.
bool IsWaylandClient() {
    return qGuiApp && qGuiApp->platformName().startsWith(QLatin1String("wayland"));
}

} // namespace

HotKeyService* CreateHotKeyService(QObject* parent) {
    if (IsWaylandClient() && PortalHotKeyService::IsOffered(QDBusConnection::sessionBus()))
        return new PortalHotKeyService(QDBusConnection::sessionBus(), parent);
#ifdef BRINDLE_HAVE_X11_HOTKEYS
    if (auto* x11 =
            qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
        x11 && x11->connection())
        return new X11HotKeyService(x11->connection(), parent);
#endif
    return new NullHotKeyService(parent);
}

QList<HotKeyFailure> RegisterDocumentHotKeys(HotKeyService& service, const CPreferences& settings) {
    for (int n = 0; n < kGlobalHotKeyCount; ++n)
        service.Unregister(kFirstGlobalHotKeyId + n);
    QList<HotKeyFailure> failures;
    for (int n = 0; n < kGlobalHotKeyCount; ++n) {
        const std::uint16_t vk = settings.m_wHotKeyVk[n];
        if (vk == 0)
            continue;
        const int id = kFirstGlobalHotKeyId + n;
        if (!service.Register(id, vk, settings.m_wHotKeyMods[n]))
            failures.append({id, service.ErrorString()});
    }
    return failures;
}

} // namespace brindle
