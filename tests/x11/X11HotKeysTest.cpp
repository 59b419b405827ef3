// SPDX-License-Identifier: GPL-3.0-or-later
// Global hot keys for real: the test program starts its own Xvfb, opens the application on it
// with the xcb platform, registers keys and types them with xdotool, which injects them through
// XTEST as a keyboard would.

#include "platform/HotKeys.h"
#include "store/Preferences.h"
#include "support/VirtualDisplay.h"

#include <QGuiApplication>
#include <QProcess>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

using namespace brindle;

namespace {

constexpr std::uint16_t kVkE = 0x45;
constexpr std::uint16_t kVkF5 = 0x74;
constexpr std::uint16_t kShift = 1, kCtrl = 2, kAlt = 4;
constexpr std::uint16_t kX11Shift = 0x01, kX11Lock = 0x02, kX11Control = 0x04, kX11Mod2 = 0x10;
constexpr std::uint32_t kKeysymE = 0x65;

// The virtual X server and the application on it, shared by the tests of one run.
struct Display {
    testutil::VirtualDisplay server;
    QByteArray name;
    std::unique_ptr<QGuiApplication> app;
    QString skipReason;
    QString failure;
};
Display* g_display = nullptr;

void StartDisplay() {
    g_display = new Display;
    g_display->server.Start();
    g_display->name = g_display->server.Name();
    g_display->skipReason = g_display->server.SkipReason();
    g_display->failure = g_display->server.Failure();
    if (g_display->name.isEmpty())
        return;
    qputenv("QT_QPA_PLATFORM", "xcb");
    static int argc = 1;
    static char arg0[] = "x11_hotkey_tests";
    static char* argv[] = {arg0, nullptr};
    g_display->app = std::make_unique<QGuiApplication>(argc, argv);
}

void StopDisplay() {
    if (!g_display)
        return;
    g_display->app.reset(); // closes the connection before its server goes
    delete g_display;
    g_display = nullptr;
}

// Types `keys` (xdotool's names, e.g. "ctrl+shift+e") on the virtual display.
::testing::AssertionResult Type(const char* keys) {
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), {QStringLiteral("key"), QString::fromLatin1(keys)});
    if (!xdotool.waitForFinished(5000) || xdotool.exitStatus() != QProcess::NormalExit ||
        xdotool.exitCode() != 0) {
        return ::testing::AssertionFailure()
               << "xdotool key " << keys << " failed: " << xdotool.errorString().toStdString()
               << " " << xdotool.readAllStandardError().toStdString();
    }
    return ::testing::AssertionSuccess();
}

// Another X client, to hold keys the way another program would.
class OtherClient {
  public:
    OtherClient() : m_c(xcb_connect(g_display->name.constData(), nullptr)) {
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data->root;
    }
    ~OtherClient() { xcb_disconnect(m_c); }
    bool Ok() const { return xcb_connection_has_error(m_c) == 0; }

    // The first keycode that gives `keysym` unshifted.
    xcb_keycode_t Keycode(xcb_keysym_t keysym) {
        const xcb_setup_t* setup = xcb_get_setup(m_c);
        const auto count = std::uint8_t(setup->max_keycode - setup->min_keycode + 1);
        xcb_get_keyboard_mapping_reply_t* reply = xcb_get_keyboard_mapping_reply(
            m_c, xcb_get_keyboard_mapping(m_c, setup->min_keycode, count), nullptr);
        xcb_keycode_t found = 0;
        if (reply) {
            const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(reply);
            const int per = reply->keysyms_per_keycode;
            for (int row = 0; row < count && found == 0; ++row) {
                if (syms[row * per] == keysym)
                    found = xcb_keycode_t(setup->min_keycode + row);
            }
            std::free(reply);
        }
        return found;
    }

    // Grabs one exact modifier state of a key; false when the server refuses.
    bool Grab(xcb_keycode_t keycode, std::uint16_t mods) {
        xcb_generic_error_t* error =
            xcb_request_check(m_c, xcb_grab_key_checked(m_c, 0, m_root, mods, keycode,
                                                        XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        std::free(error);
        return error == nullptr;
    }

    // The current key and button state (locked modifiers included).
    std::uint16_t State() {
        xcb_query_pointer_reply_t* reply =
            xcb_query_pointer_reply(m_c, xcb_query_pointer(m_c, m_root), nullptr);
        const std::uint16_t mask = reply ? reply->mask : 0;
        std::free(reply);
        return mask;
    }

  private:
    xcb_connection_t* m_c;
    xcb_window_t m_root = 0;
};

// Waits until `spy` holds at least `count` signals; the ids seen, in order.
QList<int> WaitForIds(QSignalSpy& spy, int count) {
    for (int i = 0; i < 40 && spy.count() < count; ++i)
        spy.wait(50);
    QList<int> ids;
    for (const QList<QVariant>& args : spy)
        ids.append(args.at(0).toInt());
    return ids;
}

class X11HotKeys : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { StartDisplay(); }
    static void TearDownTestSuite() { StopDisplay(); }

    void SetUp() override {
        if (!g_display->skipReason.isEmpty())
            GTEST_SKIP() << g_display->skipReason.toStdString();
        ASSERT_TRUE(g_display->failure.isEmpty()) << g_display->failure.toStdString();
        ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
        service.reset(CreateHotKeyService());
        ASSERT_TRUE(service->IsAvailable());
    }

    void TearDown() override {
        if (!service)
            return;
        // Leave the locks off for the next test of this run.
        OtherClient probe;
        const std::uint16_t state = probe.State();
        if (state & kX11Lock)
            Type("Caps_Lock");
        if (state & kX11Mod2)
            Type("Num_Lock");
        service.reset();
    }

    std::unique_ptr<HotKeyService> service;
};

} // namespace

// The stored Ctrl+Shift+E (0x45, flags 3) as hot key 1, registered the way options are applied,
// reaches the program as id 1050 however the keyboard's locks stand.
TEST_F(X11HotKeys, StoredHotKeyOneIsDeliveredAs1050WithAndWithoutLocks) {
    CPreferences settings;
    settings.m_wHotKeyVk = {kVkE, 0, kVkF5, kVkE};
    settings.m_wHotKeyMods = {kCtrl | kShift, 0, kAlt, kCtrl};
    ASSERT_TRUE(RegisterDocumentHotKeys(*service, settings).isEmpty()) << "grab refused";
    QSignalSpy spy(service.get(), &HotKeyService::triggered);

    ASSERT_TRUE(Type("ctrl+shift+e"));
    EXPECT_EQ(WaitForIds(spy, 1), QList<int>({1050}));

    // The same key with other modifiers is another hot key (Ctrl+E, 1053) or none (plain E,
    // Ctrl+Shift+Alt+E); these are typed before Alt+F5, so anything they set off arrives first.
    spy.clear();
    ASSERT_TRUE(Type("e"));
    ASSERT_TRUE(Type("ctrl+shift+alt+e"));
    ASSERT_TRUE(Type("ctrl+e"));
    ASSERT_TRUE(Type("alt+F5"));
    EXPECT_EQ(WaitForIds(spy, 2), QList<int>({1053, 1052}));

    OtherClient probe;
    ASSERT_TRUE(probe.Ok());
    spy.clear();
    ASSERT_TRUE(Type("Num_Lock"));
    ASSERT_TRUE(probe.State() & kX11Mod2) << "Num Lock did not turn on";
    ASSERT_TRUE(Type("ctrl+shift+e"));
    EXPECT_EQ(WaitForIds(spy, 1), QList<int>({1050}));

    spy.clear();
    ASSERT_TRUE(Type("Caps_Lock"));
    ASSERT_TRUE(probe.State() & kX11Lock) << "Caps Lock did not turn on";
    ASSERT_TRUE(Type("ctrl+shift+e"));
    ASSERT_TRUE(Type("Num_Lock")); // Caps Lock alone now
    ASSERT_TRUE(Type("ctrl+shift+e"));
    EXPECT_EQ(WaitForIds(spy, 2), QList<int>({1050, 1050}));
}

// Another program holding just one lock variant of the combination is enough to refuse it; the
// variants that were taken are given back, so nothing of the failed hot key stays grabbed.
TEST_F(X11HotKeys, GrabHeldByAnotherProgramIsRefusedAndRolledBack) {
    auto other = std::make_unique<OtherClient>();
    ASSERT_TRUE(other->Ok());
    const xcb_keycode_t e = other->Keycode(kKeysymE);
    ASSERT_NE(e, 0);
    ASSERT_TRUE(other->Grab(e, kX11Control | kX11Shift | kX11Mod2));

    EXPECT_FALSE(service->Register(1050, kVkE, kCtrl | kShift));
    EXPECT_TRUE(service->ErrorString().contains(QStringLiteral("another program")))
        << service->ErrorString().toStdString();
    EXPECT_FALSE(service->IsRegistered(1050));
    EXPECT_TRUE(other->Grab(e, kX11Control | kX11Shift)) << "the plain variant stayed grabbed";

    // Once the other program is gone the key is free for us.
    other.reset();
    EXPECT_TRUE(service->Register(1050, kVkE, kCtrl | kShift))
        << service->ErrorString().toStdString();
    EXPECT_TRUE(service->ErrorString().isEmpty());
    QSignalSpy spy(service.get(), &HotKeyService::triggered);
    ASSERT_TRUE(Type("ctrl+shift+e"));
    EXPECT_EQ(WaitForIds(spy, 1), QList<int>({1050}));
}

TEST_F(X11HotKeys, UnregisterReleasesTheKey) {
    ASSERT_TRUE(service->Register(1050, kVkE, kCtrl | kShift));
    ASSERT_TRUE(service->Register(1051, kVkF5, kAlt));
    QSignalSpy spy(service.get(), &HotKeyService::triggered);

    service->Unregister(1050);
    EXPECT_FALSE(service->IsRegistered(1050));
    ASSERT_TRUE(Type("ctrl+shift+e"));
    ASSERT_TRUE(Type("alt+F5"));
    EXPECT_EQ(WaitForIds(spy, 1), QList<int>({1051}));

    OtherClient other;
    ASSERT_TRUE(other.Ok());
    EXPECT_TRUE(other.Grab(other.Keycode(kKeysymE), kX11Control | kX11Shift | kX11Lock));
    service->UnregisterAll();
    EXPECT_FALSE(service->IsRegistered(1051));
    EXPECT_TRUE(other.Grab(other.Keycode(0xFFC2 /* F5 */), 0x08 /* Mod1 */));
}

// Two ids cannot share one combination (the extended flag makes no difference), and
// registering an id again replaces its key.
TEST_F(X11HotKeys, OneCombinationPerIdAndReRegistrationReplaces) {
    ASSERT_TRUE(service->Register(1050, kVkE, kCtrl | kShift));
    EXPECT_FALSE(service->Register(1051, kVkE, kCtrl | kShift | 8));
    EXPECT_FALSE(service->ErrorString().isEmpty());
    EXPECT_FALSE(service->IsRegistered(1051));

    ASSERT_TRUE(service->Register(1050, kVkF5, kAlt));
    QSignalSpy spy(service.get(), &HotKeyService::triggered);
    ASSERT_TRUE(Type("ctrl+shift+e")); // no longer a hot key
    ASSERT_TRUE(Type("alt+F5"));
    EXPECT_EQ(WaitForIds(spy, 1), QList<int>({1050}));
    EXPECT_EQ(spy.count(), 1);

    EXPECT_FALSE(service->Register(1052, 0xFF, kCtrl)); // no such key
    EXPECT_FALSE(service->ErrorString().isEmpty());
}
