// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// System-wide hot keys, keyed by a numeric id. A hot key is given in its stored form (virtual-key
// code and hot-key-control flags, see VirtualKeys.h) and reported with triggered(id) whenever it
// is pressed, whichever program has the focus.
//
// On an X11 desktop the keys are grabbed on the root window; a Wayland client asks the desktop
// portal's GlobalShortcuts where it is offered; elsewhere (offscreen, Wayland without the portal)
// the service does nothing and says so through IsAvailable().

#include <QList>
#include <QObject>
#include <QString>

#include <cstdint>

struct CPreferences;

namespace brindle {

// Ids of the four global hot keys: 1050 + n for stored hot key n (0..3): switch to the program,
// add from the browser, fast add from the browser, add from the clipboard.
inline constexpr int kFirstGlobalHotKeyId = 1050;
inline constexpr int kGlobalHotKeyCount = 4;

class HotKeyService : public QObject {
    Q_OBJECT

  public:
    using QObject::QObject;

    // Whether hot keys can work here at all. When false every Register() fails.
    virtual bool IsAvailable() const = 0;

    // Makes (vk, flags) a hot key reported as `id`, replacing what `id` had. False, with
    // ErrorString() set, when the key has no equivalent here, another id of this service
    // already has the same combination, or another program holds it; `id` is then free.
    virtual bool Register(int id, std::uint16_t vk, std::uint16_t flags) = 0;
    // Releases `id`; nothing happens when it is not registered.
    virtual void Unregister(int id) = 0;
    virtual void UnregisterAll() = 0;
    virtual bool IsRegistered(int id) const = 0;

    // Why the last Register() failed; empty after a success.
    QString ErrorString() const { return m_error; }

  signals:
    // The hot key registered as `id` was pressed. Delivered through the event loop, never from
    // inside Register().
    void triggered(int id);

  protected:
    void SetErrorString(const QString& error) { m_error = error; }

  private:
    QString m_error;
};

// The portal service for a Wayland client whose desktop offers GlobalShortcuts, the X11 service
// on the xcb platform, else one that does nothing (IsAvailable() false). Needs the
// QGuiApplication to exist.
HotKeyService* CreateHotKeyService(QObject* parent = nullptr);

struct HotKeyFailure {
    int id;
    QString error;
};

// Registers the four stored hot keys again: releases ids 1050..1053, then registers hot key n
// as id 1050 + n from the settings' m_wHotKeyVk[n] and m_wHotKeyMods[n]; a pair whose key is 0
// is no hot key and is skipped. Returns the ids that could not be registered, with the reason.
QList<HotKeyFailure> RegisterDocumentHotKeys(HotKeyService& service, const CPreferences& settings);

} // namespace brindle
