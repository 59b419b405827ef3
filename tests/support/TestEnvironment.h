// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Test helpers: an environment variable set for the life of an object, and a temporary folder
// standing in for the user's XDG folders.

#include <QByteArray>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace testutil {

class ScopedEnv {
  public:
    ScopedEnv(const char* name, const QByteArray& value)
        : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name)) {
        qputenv(name, value);
    }
    ~ScopedEnv() {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    const char* m_name;
    bool m_had;
    QByteArray m_old;
};

// XDG_CONFIG_HOME and XDG_DATA_HOME inside a fresh temporary folder.
class TempXdgHome {
  public:
    TempXdgHome()
        : m_config("XDG_CONFIG_HOME", (m_dir.path() + QStringLiteral("/config")).toUtf8()),
          m_data("XDG_DATA_HOME", (m_dir.path() + QStringLiteral("/data")).toUtf8()) {}
    QString Path() const { return m_dir.path(); }
    QString Config() const { return m_dir.path() + QStringLiteral("/config"); }
    QString Data() const { return m_dir.path() + QStringLiteral("/data"); }

  private:
    QTemporaryDir m_dir;
    ScopedEnv m_config;
    ScopedEnv m_data;
};

} // namespace testutil
