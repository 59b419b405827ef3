// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The proxy password in the desktop's secret store (Secret Service or KWallet, through
// QtKeychain) instead of the settings file. Where no secret store answers, the settings file
// keeps it in plain text and the option sheet says so.

#include "store/Preferences.h"

#include <QString>

#include <optional>
#include <string>

class QSettings;

namespace brindle {

// Service and key of the entry in the secret store.
inline constexpr const char* kSecretService = "Brindle";
inline constexpr const char* kProxyPasswordKey = "proxy-password";

struct SecretAnswer {
    bool answered = false;             // a secret store took the request
    std::optional<std::string> secret; // the entry, when there is one
};

// Each call waits (in a local event loop) until the store has answered.
SecretAnswer ReadProxyPassword();
// Stores the password; an empty one removes the entry. False when no store took it.
bool WriteProxyPassword(const std::string& password);

// Start-up, after the settings were loaded: asks the secret store; where the settings file holds
// no password, the store's entry is taken. Returns whether a store answered.
bool LoadProxyPassword(CPreferences& settings);

// Writes the settings with the password kept out of the file when the secret store takes it
// (a password that was in the file moves into the store). Returns whether the store took it;
// when it did not, the file holds the password as before.
bool SaveSettingsWithSecretStore(const CPreferences& settings, QSettings& store);

} // namespace brindle
