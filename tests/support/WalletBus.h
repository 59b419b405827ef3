// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One private session bus with the mock wallet chosen as the secret store, for a whole test
// program (Qt keeps the first session bus it connects to). The settings and data folders point
// into a temporary home so that no test touches the user's files.

#include "support/MockWallet.h"
#include "support/PrivateSessionBus.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace testutil {

class WalletBusEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        missing = PrivateSessionBus::MissingTools();
        if (!missing.isEmpty())
            return;
        MockWallet::SelectAsSecretStore();
        qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toUtf8());
        qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toUtf8());
        bus = std::make_unique<PrivateSessionBus>();
        if (!bus->Start())
            missing = QStringLiteral("the private dbus-daemon did not start");
    }
    void TearDown() override { bus.reset(); }

    // Why the bus could not be had; empty when it runs.
    QString missing;
    QTemporaryDir home;
    std::unique_ptr<PrivateSessionBus> bus;
};

} // namespace testutil
