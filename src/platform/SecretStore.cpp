// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SecretStore.h"

#include "platform/SettingsStore.h"

#include <QEventLoop>
#include <QSettings>

#include <qt6keychain/keychain.h>

namespace brindle {

namespace {

// Runs a job to its end; the job deletes itself afterwards.
void RunToEnd(QKeychain::Job& job) {
    QEventLoop loop;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
    job.start();
    loop.exec();
}

// Errors after which the store itself has answered.
bool StoreAnswered(QKeychain::Error error) {
    return error == QKeychain::NoError || error == QKeychain::EntryNotFound;
}

} // namespace

SecretAnswer ReadProxyPassword() {
    QKeychain::ReadPasswordJob job(QString::fromLatin1(kSecretService));
    job.setAutoDelete(false);
    job.setInsecureFallback(false); // the settings file is this program's own fallback
    job.setKey(QString::fromLatin1(kProxyPasswordKey));
    RunToEnd(job);
    SecretAnswer answer;
    answer.answered = StoreAnswered(job.error());
    if (job.error() == QKeychain::NoError)
        answer.secret = job.textData().toStdString();
    return answer;
}

bool WriteProxyPassword(const std::string& password) {
    if (password.empty()) {
        QKeychain::DeletePasswordJob job(QString::fromLatin1(kSecretService));
        job.setAutoDelete(false);
        job.setInsecureFallback(false);
        job.setKey(QString::fromLatin1(kProxyPasswordKey));
        RunToEnd(job);
        return StoreAnswered(job.error());
    }
    QKeychain::WritePasswordJob job(QString::fromLatin1(kSecretService));
    job.setAutoDelete(false);
    job.setInsecureFallback(false);
    job.setKey(QString::fromLatin1(kProxyPasswordKey));
    job.setTextData(QString::fromStdString(password));
    RunToEnd(job);
    return job.error() == QKeychain::NoError;
}

bool LoadProxyPassword(CPreferences& settings) {
    const SecretAnswer answer = ReadProxyPassword();
    if (answer.answered && answer.secret && settings.m_strProxyPassword.empty())
        settings.m_strProxyPassword = *answer.secret;
    return answer.answered;
}

bool SaveSettingsWithSecretStore(const CPreferences& settings, QSettings& store) {
    if (!WriteProxyPassword(settings.m_strProxyPassword)) {
        SaveSettings(settings, store);
        return false;
    }
    CPreferences withoutPassword = settings;
    withoutPassword.m_strProxyPassword.clear();
    SaveSettings(withoutPassword, store);
    return true;
}

} // namespace brindle
