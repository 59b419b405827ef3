// SPDX-License-Identifier: GPL-3.0-or-later
// Re-registering the four stored hot keys, against a recording service, and the service used
// where there is no X11 display.

#include "platform/HotKeys.h"
#include "store/Preferences.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

using namespace brindle;

namespace {

// Records every call in order; refuses the ids it is told to, as a held key would be.
class RecordingHotKeyService : public HotKeyService {
  public:
    bool IsAvailable() const override { return true; }
    bool Register(int id, std::uint16_t vk, std::uint16_t flags) override {
        calls.push_back("register " + std::to_string(id) + " " + std::to_string(vk) + " " +
                        std::to_string(flags));
        if (refused.count(id)) {
            SetErrorString(QStringLiteral("held by %1").arg(id));
            return false;
        }
        SetErrorString(QString());
        registered[id] = vk;
        return true;
    }
    void Unregister(int id) override {
        calls.push_back("unregister " + std::to_string(id));
        registered.erase(id);
    }
    void UnregisterAll() override { registered.clear(); }
    bool IsRegistered(int id) const override { return registered.count(id) != 0; }

    std::vector<std::string> calls;
    std::map<int, std::uint16_t> registered;
    std::set<int> refused;
};

} // namespace

TEST(RegisterDocumentHotKeys, ReleasesAllFourThenRegistersEachStoredPair) {
    RecordingHotKeyService service;
    service.registered = {{1050, 0x41}, {1051, 0x42}}; // from the last apply
    service.refused = {1053};
    CPreferences settings;
    settings.m_wHotKeyVk = {0x45, 0, 0x70, 0x41};
    settings.m_wHotKeyMods = {3, 2, 4, 9};

    const QList<HotKeyFailure> failures = RegisterDocumentHotKeys(service, settings);

    const std::vector<std::string> expected = {
        "unregister 1050",     "unregister 1051",   "unregister 1052", "unregister 1053",
        "register 1050 69 3", // the stored flags go through unchanged; the service converts
        "register 1052 112 4", "register 1053 65 9"};
    EXPECT_EQ(service.calls, expected);
    ASSERT_EQ(failures.size(), 1);
    EXPECT_EQ(failures[0].id, 1053);
    EXPECT_EQ(failures[0].error, QStringLiteral("held by 1053"));
    // Hot key 2 was cleared: its old registration is gone.
    EXPECT_FALSE(service.IsRegistered(1051));
    EXPECT_EQ(service.registered.at(1050), 0x45);
}

TEST(RegisterDocumentHotKeys, DefaultSettingsRegisterNothing) {
    RecordingHotKeyService service;
    EXPECT_TRUE(RegisterDocumentHotKeys(service, CPreferences()).isEmpty());
    EXPECT_EQ(service.calls.size(), 4u); // the four releases only
}

// No QGuiApplication here, so no X11 connection: the do-nothing service.
TEST(NullHotKeyService, IsUnavailableAndRefusesEveryKey) {
    std::unique_ptr<HotKeyService> service(CreateHotKeyService());
    EXPECT_FALSE(service->IsAvailable());
    EXPECT_FALSE(service->Register(1050, 0x45, 3));
    EXPECT_FALSE(service->ErrorString().isEmpty());
    EXPECT_FALSE(service->IsRegistered(1050));

    CPreferences settings;
    settings.m_wHotKeyVk = {0x45, 0, 0, 0x70};
    const QList<HotKeyFailure> failures = RegisterDocumentHotKeys(*service, settings);
    ASSERT_EQ(failures.size(), 2);
    EXPECT_EQ(failures[0].id, 1050);
    EXPECT_EQ(failures[1].id, 1053);
}
