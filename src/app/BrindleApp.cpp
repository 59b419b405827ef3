// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/BrindleApp.h"

#include "platform/DesktopIntegration.h"
#include "platform/FontDescription.h"
#include "platform/HotKeys.h"
#include "platform/PathDetection.h"
#include "platform/SecretStore.h"
#include "platform/SettingsStore.h"
#include "platform/SingleInstance.h"
#include "store/DocumentSync.h"
#include "ui/exchange/BrowserCapture.h"
#include "ui/exchange/LinkedFileController.h"
#include "ui/linkcheck/LinkCheckController.h"
#include "ui/options/OptionSheet.h"
#include "ui/trash/TrashDialog.h"
#include "ui/widgets/DialogRunner.h"
#include "ui/widgets/FileDialogs.h"
#include "ui/widgets/MessageBox.h"
#include "ui/window/AboutDialog.h"
#include "ui/window/BookmarkWorkspace.h"
#include "ui/window/CommandIds.h"
#include "ui/window/CommandTable.h"
#include "ui/window/DocumentWatcher.h"
#include "ui/window/MainFrame.h"
#include "ui/window/TrayController.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QSettings>
#include <QTimer>

using brindle::FileDialogRequest;
using brindle::MessageBox;

namespace {
constexpr int kAutoSaveMs = 900000; // 15 minutes
}

CBrindleApp::CBrindleApp() {
    brindle::FileCommandCallbacks ui;
    ui.chooseOpenPath = [this](const FileDialogRequest& r) -> std::optional<std::string> {
        auto path = brindle::FileDialogs::OpenFile(m_frame.get(), QString::fromStdString(r.title),
                                                   QString::fromStdString(r.filter));
        if (!path)
            return std::nullopt;
        return path->toStdString();
    };
    ui.chooseSavePath = [this](const FileDialogRequest& r) -> std::optional<std::string> {
        auto path = brindle::FileDialogs::SaveFile(m_frame.get(), QString::fromStdString(r.title),
                                                   QString::fromStdString(r.fileName),
                                                   QString::fromStdString(r.filter));
        if (!path)
            return std::nullopt;
        return path->toStdString();
    };
    ui.askSaveChanges = [this](const std::string& prompt) {
        switch (MessageBox::Show(m_frame.get(), QString::fromStdString(prompt),
                                 QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                                 MessageBox::Icon::Exclamation)) {
        case QMessageBox::Yes:
            return brindle::SaveChangesAnswer::Yes;
        case QMessageBox::No:
            return brindle::SaveChangesAnswer::No;
        default:
            return brindle::SaveChangesAnswer::Cancel;
        }
    };
    ui.showError = [this](const std::string& message) {
        MessageBox::Exclamation(m_frame.get(), QString::fromStdString(message));
    };
    ui.pathChanged = [this](const std::string& path, bool addToRecent) {
        if (addToRecent && !path.empty())
            AddRecentFile(QString::fromStdString(path));
        if (m_frame)
            m_frame->UpdateTitle();
        if (m_watcher)
            m_watcher->Follow();
        if (m_frame)
            m_frame->LinkedFiles()->DocumentChanged();
    };
    ui.saved = [this](const std::string&) {
        if (m_frame)
            m_frame->LinkedFiles()->Saved();
    };
    ui.documentReplaced = [this] { DocumentReplaced(); };
    m_files = std::make_unique<brindle::FileCommands>(m_doc, std::move(ui));
    m_sync = std::make_unique<brindle::DocumentSync>(m_doc);
    m_files->SetSync(m_sync.get());
    m_autoSave.setInterval(kAutoSaveMs);
    QObject::connect(&m_autoSave, &QTimer::timeout, this, &CBrindleApp::AutoSaveWhenIdle);
}

CBrindleApp::~CBrindleApp() {
    if (m_extensionLink)
        brindle::SetBrowserExtensionLink(nullptr);
    m_watcher.reset(); // it works on the frame
    m_frame.reset();   // the frame listens to the document: it goes first
}

void CBrindleApp::AutoSaveWhenIdle() {
    // The save may merge other programs' changes, which moves bookmarks: never under a dialog
    // that holds bookmark positions (the property sheet's copies). Again when it has closed.
    if (QApplication::activeModalWidget()) {
        QTimer::singleShot(1000, this, &CBrindleApp::AutoSaveWhenIdle);
        return;
    }
    m_files->AutoSave();
}

void CBrindleApp::DocumentReplaced() {
    if (!m_frame)
        return;
    m_frame->DocumentReplaced();
    m_autoSave.start();
    if (m_doc.Bookmarks().empty() && m_prefs.m_bReload) {
        // After the New or Open in progress has finished.
        QTimer::singleShot(0, this, [this] {
            if (!m_recentFiles.isEmpty() && !m_recentFiles.first().isEmpty())
                OpenDocument(m_recentFiles.first());
        });
    }
}

void CBrindleApp::ApplyOptions() {
    const bool secretStore = SecretStoreAnswers();
    COptionSheet sheet(m_prefs, m_frame.get());
    sheet.SetPasswordInPlainText(m_store && !secretStore);
    if (brindle::DialogRunner::Run(sheet) != QDialog::Accepted)
        return;
    CPreferences values = sheet.Values();
    // Paths that name nothing are cleared or detected again.
    brindle::CheckOptionPaths(values);
    const bool trayChanged = (values.m_bInTray != 0) != (m_prefs.m_bInTray != 0);
    m_prefs = values;
    SaveOptions();
    RebuildInternetSession();
    if (m_frame)
        m_frame->ApplyOptions(trayChanged);
}

void CBrindleApp::SaveOptions() {
    if (m_store)
        m_secretStore = brindle::SaveSettingsWithSecretStore(m_prefs, *m_store);
}

bool CBrindleApp::SecretStoreAnswers() {
    if (!m_store)
        return false; // no user settings at all (tests)
    if (!m_secretStore)
        m_secretStore = brindle::LoadProxyPassword(m_prefs);
    return *m_secretStore;
}

void CBrindleApp::RebuildInternetSession() {
    if (m_frame)
        m_frame->LinkChecks()->ResetSession();
}

void CBrindleApp::AddRecentFile(const QString& path) {
    m_recentFiles = brindle::AddRecentFile(m_recentFiles, path);
    if (m_store)
        brindle::WriteRecentFiles(*m_store, m_recentFiles);
    if (m_frame)
        m_frame->SetRecentFiles(m_recentFiles);
}

bool CBrindleApp::OpenDocument(const QString& path) {
    // Opening the document that is open already does nothing.
    const std::string current = m_files->PathName();
    if (!current.empty() && QFileInfo(QString::fromStdString(current)) == QFileInfo(path))
        return true;
    return m_files->OpenPath(path.toStdString());
}

void CBrindleApp::Activate(const QString& path) {
    if (!m_frame)
        return;
    if (m_frame->isMinimized() || m_frame->isHidden())
        m_frame->showNormal();
    m_frame->showMaximized();
    m_frame->raise();
    m_frame->activateWindow();
    if (!path.isEmpty())
        OpenDocument(path);
}

bool CBrindleApp::InitInstance(const QStringList& arguments, const StartOptions& options) {
    const QStringList files = arguments.mid(1);
    const QString path = files.isEmpty() ? QString() : files.first();

    // One instance per user: a second start hands its file to the first and ends.
    if (options.singleInstance) {
        m_instance = std::make_unique<brindle::SingleInstance>();
        if (m_instance->Start(path) == brindle::SingleInstance::Role::Secondary) {
            m_handedOver = true;
            return false;
        }
        QObject::connect(m_instance.get(), &brindle::SingleInstance::activationRequested, this,
                         &CBrindleApp::Activate);
    }
    // The window icon: the installed theme's, else the one compiled in.
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("brindle"),
                                                 QIcon(QStringLiteral(":/desktop/brindle.svg"))));
    std::unique_ptr<brindle::AboutDialog> splash;
    if (options.splash)
        splash = brindle::AboutDialog::ShowSplash();

    // The settings: defaults of this desktop, then the user's stored values.
    brindle::ResetSettings(m_prefs, brindle::CurrentDesktopDefaults());
    if (options.userSettings) {
        m_store = brindle::OpenSettingsStore();
        brindle::LoadSettings(m_prefs, *m_store);
        // The password matters only with a proxy; otherwise the store is asked when the
        // options open.
        if (m_prefs.m_bHasProxy)
            SecretStoreAnswers();
        m_recentFiles = brindle::ReadRecentFiles(*m_store);
    }

    m_frame = std::make_unique<CMainFrame>(m_doc, *m_files);
    m_frame->SetRecentFiles(m_recentFiles);
    m_frame->ApplyListFont();
    m_watcher = std::make_unique<brindle::DocumentWatcher>(*m_sync, m_doc, *m_frame);
    m_watcher->SetSaver([this] { return m_files->Save(); });
    QObject::connect(m_frame.get(), &CMainFrame::recentFileChosen, this,
                     [this](const QString& p) { OpenDocument(p); });
    QObject::connect(m_frame.get(), &CMainFrame::aboutRequested, this,
                     [this] { brindle::AboutDialog::RunModal(m_frame.get()); });
    m_frame->Commands().Register(cmd::Option, [this] { ApplyOptions(); });
    // The browser extension's requests reach the window over the single-instance socket.
    if (m_instance) {
        m_browserRequests = std::make_unique<brindle::BrowserRequests>(
            m_doc,
            brindle::BrowserRequests::Hooks{.documentPath = [this] { return m_files->PathName(); },
                                            .openAddSheet =
                                                [this](const CBookmark& page) {
                                                    Activate(QString());
                                                    m_frame->Workspace()->ShowAddSheet(page);
                                                }});
        m_instance->SetRequestHandler(
            [this](const QByteArray& json) { return m_browserRequests->Answer(json); });
        // Captures (Fast Add, the tray, the hot keys) ask a connected extension first.
        m_extensionLink = std::make_unique<brindle::BrowserExtensionLink>();
        m_instance->SetAttachHandler(
            [this](QLocalSocket* socket) { m_extensionLink->Attach(socket); });
        brindle::SetBrowserExtensionLink(m_extensionLink.get());
    }
    m_frame->Commands().Register(cmd::ViewTrash, [this] {
        brindle::TrashDialog dialog(
            m_doc, m_files->PathName(), [this] { return m_files->Save(); }, m_frame.get());
        brindle::DialogRunner::Run(dialog);
    });

    // The command line: a file to open, or a new empty document.
    if (!path.isEmpty()) {
        if (!m_files->OpenPath(path.toStdString(), false))
            return false; // the message has been shown
    } else {
        m_files->New();
    }
    m_frame->showMaximized();
    m_frame->Tray()->UpdateTrayIcon();
    if (options.hotKeys) {
        m_frame->Tray()->SetHotKeyService(brindle::CreateHotKeyService(this));
        m_frame->Tray()->RegisterHotKeys();
    }

    if (options.registerFileType)
        brindle::RegisterFileType(QApplication::applicationFilePath());
    splash.reset();
    if (m_store)
        m_firstRunWizard = brindle::CheckFirstRun(*m_store);
    if (m_firstRunWizard) // once the window is up and the event loop runs
        QTimer::singleShot(0, m_frame.get(),
                           [this] { m_frame->Commands().Execute(cmd::ImportWizard); });
    return true;
}
