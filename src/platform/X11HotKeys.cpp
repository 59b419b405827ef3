// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/X11HotKeys.h"

#include "platform/VirtualKeys.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeySequence>

#include <X11/keysym.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

namespace brindle {

namespace {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T> using XcbReply = std::unique_ptr<T, FreeDeleter>;

// The modifier bits a key press can carry (Shift .. Mod5); the rest are buttons and the
// keyboard group.
constexpr std::uint16_t kAllModifiers = 0xFF;

// The core keyboard map: which key symbols each keycode gives.
class KeyboardMap {
  public:
    explicit KeyboardMap(xcb_connection_t* c) {
        const xcb_setup_t* setup = xcb_get_setup(c);
        m_minKeycode = setup->min_keycode;
        const auto count = std::uint8_t(setup->max_keycode - setup->min_keycode + 1);
        XcbReply<xcb_get_keyboard_mapping_reply_t> reply(xcb_get_keyboard_mapping_reply(
            c, xcb_get_keyboard_mapping(c, m_minKeycode, count), nullptr));
        if (!reply)
            return;
        m_perKeycode = reply->keysyms_per_keycode;
        const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(reply.get());
        m_keysyms.assign(syms, syms + xcb_get_keyboard_mapping_keysyms_length(reply.get()));
    }

    // Every keycode that gives `keysym` at some level, those giving it unshifted first.
    std::vector<xcb_keycode_t> KeycodesOf(xcb_keysym_t keysym) const {
        std::vector<xcb_keycode_t> keycodes;
        if (m_perKeycode == 0)
            return keycodes;
        const std::size_t rows = m_keysyms.size() / m_perKeycode;
        for (std::size_t level = 0; level < m_perKeycode; ++level) {
            for (std::size_t row = 0; row < rows; ++row) {
                if (m_keysyms[row * m_perKeycode + level] == keysym)
                    keycodes.push_back(xcb_keycode_t(m_minKeycode + row));
            }
        }
        return keycodes;
    }

  private:
    xcb_keycode_t m_minKeycode = 0;
    std::size_t m_perKeycode = 0;
    std::vector<xcb_keysym_t> m_keysyms;
};

// The modifier bit the Num Lock key is mapped to; Mod2 when it cannot be found, as on nearly
// every keyboard map.
std::uint16_t FindNumLockMask(xcb_connection_t* c, const KeyboardMap& map) {
    const std::vector<xcb_keycode_t> numLockKeys = map.KeycodesOf(XK_Num_Lock);
    XcbReply<xcb_get_modifier_mapping_reply_t> reply(
        xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), nullptr));
    if (!reply || numLockKeys.empty())
        return kX11Mod2Mask;
    const xcb_keycode_t* keycodes = xcb_get_modifier_mapping_keycodes(reply.get());
    const int perModifier = reply->keycodes_per_modifier;
    for (int modifier = 0; modifier < 8; ++modifier) {
        for (int k = 0; k < perModifier; ++k) {
            const xcb_keycode_t keycode = keycodes[modifier * perModifier + k];
            for (xcb_keycode_t numLock : numLockKeys) {
                if (keycode != 0 && keycode == numLock)
                    return std::uint16_t(1u << modifier);
            }
        }
    }
    return kX11Mod2Mask;
}

// The four states a grab must cover so that Caps Lock and Num Lock do not hide the hot key.
std::vector<std::uint16_t> LockVariants(std::uint16_t mods, std::uint16_t numLockMask) {
    std::vector<std::uint16_t> variants;
    for (std::uint16_t extra :
         {std::uint16_t(0), kX11LockMask, numLockMask, std::uint16_t(kX11LockMask | numLockMask)}) {
        const auto variant = std::uint16_t(mods | extra);
        if (std::find(variants.begin(), variants.end(), variant) == variants.end())
            variants.push_back(variant);
    }
    return variants;
}

// The root window of the screen Qt opened (the screen number of the display name).
xcb_window_t DefaultRoot(xcb_connection_t* c) {
    int screenNumber = 0;
    const QByteArray display = qgetenv("DISPLAY");
    char* host = nullptr;
    int displayNumber = 0;
    if (display.isEmpty() ||
        !xcb_parse_display(display.constData(), &host, &displayNumber, &screenNumber))
        screenNumber = 0;
    std::free(host);
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    xcb_window_t first = it.rem > 0 ? it.data->root : 0;
    for (int i = 0; it.rem > 0; xcb_screen_next(&it), ++i) {
        if (i == screenNumber)
            return it.data->root;
    }
    return first;
}

QString KeyName(std::uint16_t vk, std::uint16_t flags) {
    return KeySequenceFromHotKey(vk, flags).toString(QKeySequence::NativeText);
}

} // namespace

X11HotKeyService::X11HotKeyService(xcb_connection_t* connection, QObject* parent)
    : HotKeyService(parent), m_connection(connection), m_root(DefaultRoot(connection)) {
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11HotKeyService::~X11HotKeyService() {
    // Qt closes its connection when the application object goes; grabs die with it then.
    if (qGuiApp)
        UnregisterAll();
}

bool X11HotKeyService::Register(int id, std::uint16_t vk, std::uint16_t flags) {
    Unregister(id);
    SetErrorString(QString());

    const std::uint32_t keysym = X11KeysymFromVirtualKey(vk);
    if (keysym == 0) {
        SetErrorString(QStringLiteral("Virtual key 0x%1 cannot be a global hot key here.")
                           .arg(vk, 2, 16, QLatin1Char('0')));
        return false;
    }
    const KeyboardMap map(m_connection);
    const std::vector<xcb_keycode_t> keycodes = map.KeycodesOf(keysym);
    if (keycodes.empty()) {
        SetErrorString(QStringLiteral("No key of the keyboard gives %1.").arg(KeyName(vk, flags)));
        return false;
    }

    const Grab grab{keycodes.front(), X11ModsFromHotKeyFlags(flags),
                    FindNumLockMask(m_connection, map)};
    for (const auto& [otherId, other] : m_grabs) {
        if (other.keycode == grab.keycode && other.mods == grab.mods) {
            SetErrorString(QStringLiteral("%1 is already in use as another global hot key.")
                               .arg(KeyName(vk, flags)));
            return false;
        }
    }

    // Checked requests: a combination another client holds is refused with BadAccess, which
    // must reach us here rather than Qt's error handler.
    const std::vector<std::uint16_t> variants = LockVariants(grab.mods, grab.numLockMask);
    std::vector<xcb_void_cookie_t> cookies;
    for (std::uint16_t variant : variants) {
        cookies.push_back(xcb_grab_key_checked(m_connection, 0, m_root, variant, grab.keycode,
                                               XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    }
    std::vector<std::uint16_t> taken;
    int errorCode = 0;
    for (std::size_t i = 0; i < cookies.size(); ++i) {
        XcbReply<xcb_generic_error_t> error(xcb_request_check(m_connection, cookies[i]));
        if (error) {
            if (errorCode == 0)
                errorCode = error->error_code;
        } else {
            taken.push_back(variants[i]);
        }
    }
    if (errorCode != 0) {
        // Release the variants we did get so that the hot key is wholly free again.
        UngrabVariants(grab.keycode, taken);
        if (errorCode == XCB_ACCESS) {
            SetErrorString(
                QStringLiteral("%1 is already taken by another program.").arg(KeyName(vk, flags)));
        } else {
            SetErrorString(QStringLiteral("%1 could not be grabbed (X error %2).")
                               .arg(KeyName(vk, flags))
                               .arg(errorCode));
        }
        return false;
    }
    m_grabs[id] = grab;
    return true;
}

void X11HotKeyService::Ungrab(const Grab& grab) {
    UngrabVariants(grab.keycode, LockVariants(grab.mods, grab.numLockMask));
}

void X11HotKeyService::UngrabVariants(xcb_keycode_t keycode,
                                      const std::vector<std::uint16_t>& variants) {
    // Waited for, so that the key is free for other programs once this returns: the server
    // orders requests per connection only.
    std::vector<xcb_void_cookie_t> cookies;
    for (std::uint16_t variant : variants)
        cookies.push_back(xcb_ungrab_key_checked(m_connection, keycode, m_root, variant));
    for (xcb_void_cookie_t cookie : cookies)
        std::free(xcb_request_check(m_connection, cookie));
}

void X11HotKeyService::Unregister(int id) {
    const auto it = m_grabs.find(id);
    if (it == m_grabs.end())
        return;
    Ungrab(it->second);
    m_grabs.erase(it);
}

void X11HotKeyService::UnregisterAll() {
    for (const auto& [id, grab] : m_grabs)
        Ungrab(grab);
    m_grabs.clear();
}

bool X11HotKeyService::IsRegistered(int id) const {
    return m_grabs.count(id) != 0;
}

bool X11HotKeyService::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & ~0x80) != XCB_KEY_PRESS)
        return false;
    const auto* press = static_cast<const xcb_key_press_event_t*>(message);
    if (press->event != m_root)
        return false;
    for (const auto& [id, grab] : m_grabs) {
        const auto locks = std::uint16_t(kX11LockMask | grab.numLockMask);
        if (press->detail != grab.keycode || (press->state & kAllModifiers & ~locks) != grab.mods)
            continue;
        // Queued, so that whatever the hot key opens (a modal dialog) does not run inside
        // Qt's event dispatch; a hot key released meanwhile is not reported.
        const int hotKeyId = id;
        QMetaObject::invokeMethod(
            this,
            [this, hotKeyId] {
                if (IsRegistered(hotKeyId))
                    emit triggered(hotKeyId);
            },
            Qt::QueuedConnection);
        return true;
    }
    return false;
}

} // namespace brindle
