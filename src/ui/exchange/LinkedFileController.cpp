// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/exchange/LinkedFileController.h"

#include "platform/net/WebDav.h"
#include "store/BrindleDoc.h"
#include "store/FileCommands.h"
#include "sync/SyncState.h"
#include "ui/exchange/LinkDialog.h"
#include "ui/widgets/MessageBox.h"
#include "ui/window/CommandIds.h"
#include "ui/window/CommandTable.h"
#include "ui/window/StatusPanes.h"

#include <QApplication>
#include <QFileInfo>
#include <QGuiApplication>

namespace brindle {

namespace {

// How long the window waits for another writer's lock before it tries again later.
constexpr std::chrono::seconds kWindowLockWait{5};

} // namespace

LinkedFileController::LinkedFileController(CBrindleDoc& doc, FileCommands& files,
                                           StatusPanes& panes, QWidget* window)
    : QObject(window), m_doc(doc), m_files(files), m_panes(panes), m_window(window) {
    connect(&m_timer, &QTimer::timeout, this, [this] {
        // Never under a dialog that holds bookmark positions; the next tick comes soon enough.
        if (!QApplication::activeModalWidget())
            SyncNow(false);
    });
}

void LinkedFileController::RegisterCommands(CommandTable& commands) {
    commands.Register(cmd::LinkFile, [this] { ShowLinkDialog(); });
    commands.Register(
        cmd::SyncNow, [this] { SyncNow(true); }, [this] { return Linked(); });
}

void LinkedFileController::Follow() {
    m_path = m_files.PathName();
    int interval = kDefaultSyncMinutes;
    m_target = m_path.empty() ? std::string() : LinkedTarget(m_path, &interval);
    if (m_target.empty()) {
        m_timer.stop();
        return;
    }
    m_timer.start(std::chrono::minutes(interval));
}

void LinkedFileController::DocumentChanged() {
    const std::string before = m_path;
    Follow();
    if (Linked() && m_path != before)
        QTimer::singleShot(0, this, [this] { SyncNow(false); });
}

void LinkedFileController::Saved() {
    if (Linked() && !m_syncing)
        QTimer::singleShot(0, this, [this] { SyncNow(false); });
}

void LinkedFileController::ShowLinkDialog() {
    if (m_files.PathName().empty()) {
        MessageBox::Information(m_window, tr("Save the document first: a link belongs to the "
                                             "document's file."));
        return;
    }
    Follow();
    int interval = kDefaultSyncMinutes;
    LinkedTarget(m_path, &interval);
    LinkDialog::Values values{QString::fromStdString(m_target), {}, {}, interval};
    if (Linked() && IsWebAddress(m_target)) {
        const WebDavLogin login = LoadWebDavLogin(m_target);
        values.user = QString::fromStdString(login.user);
        values.password = QString::fromStdString(login.password);
    }
    LinkDialog dialog(values, Linked(), m_window);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (dialog.Unlinked()) {
        UnlinkDocument(m_path);
        Follow();
        m_panes.SetText(kPanePrompt, tr("The document is no longer linked"));
        return;
    }
    const LinkDialog::Values chosen = dialog.Chosen();
    const std::string target = chosen.target.toStdString();
    if (!LinkDocument(m_path, target, chosen.intervalMinutes)) {
        MessageBox::Exclamation(m_window, tr("The link cannot be kept in %1.")
                                              .arg(QString::fromStdString(SyncStatePath(m_path))));
        return;
    }
    if (IsWebAddress(target) && !chosen.user.isEmpty())
        SaveWebDavLogin(target, {chosen.user.toStdString(), chosen.password.toStdString()});
    Follow();
    SyncNow(true);
}

QString LinkedFileController::Summary(const LinkSyncResult& result) const {
    const LinkSyncCounts& c = result.counts;
    QString text = tr("Synchronized with %1: %2 added, %3 deleted, %4 changed here; %5 added, "
                      "%6 deleted, %7 changed there")
                       .arg(QFileInfo(QString::fromStdString(m_target)).fileName())
                       .arg(c.addedToDocument)
                       .arg(c.deletedFromDocument)
                       .arg(c.changedInDocument)
                       .arg(c.addedToFile)
                       .arg(c.deletedFromFile)
                       .arg(c.changedInFile);
    if (c.conflicts)
        text += tr(" (%1 changed on both sides: see the notes)").arg(c.conflicts);
    return text;
}

LinkSyncOutcome LinkedFileController::SyncNow(bool interactive) {
    Follow();
    if (!Linked() || m_syncing)
        return LinkSyncOutcome::Failed;
    m_syncing = true;
    const std::unique_ptr<SyncTarget> target = MakeLinkTarget(
        m_target, IsWebAddress(m_target) ? LoadWebDavLogin(m_target) : WebDavLogin{});
    LinkedDocument document;
    document.path = m_path;
    document.changedInMemory = m_doc.IsModified();
    document.open = [this] { return &m_doc; };
    document.save = [this] { return m_files.Save(); };
    LinkSyncOptions options;
    options.lockWait = kWindowLockWait;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    LinkSyncResult result = SyncLinkedDocument(document, *target, options);
    QGuiApplication::restoreOverrideCursor();
    if (result.outcome == LinkSyncOutcome::MassDelete) {
        const LinkSyncCounts& c = result.counts;
        const QString question =
            tr("This synchronization would delete %1 of the %2 bookmarks of the document and %3 "
               "of the %4 bookmarks of %5. Delete them?")
                .arg(c.deletedFromDocument)
                .arg(c.documentBookmarks)
                .arg(c.deletedFromFile)
                .arg(c.fileBookmarks)
                .arg(QString::fromStdString(m_target));
        if (MessageBox::Show(m_window, question, QMessageBox::Yes | QMessageBox::No,
                             MessageBox::Icon::Question) == QMessageBox::Yes) {
            options.allowMassDelete = true;
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
            result = SyncLinkedDocument(document, *target, options);
            QGuiApplication::restoreOverrideCursor();
        } else {
            m_panes.SetText(kPanePrompt, tr("Synchronization stopped: nothing was deleted"));
        }
    }
    switch (result.outcome) {
    case LinkSyncOutcome::Synced:
        m_doc.RerunLastSearch();
        m_panes.SetText(kPanePrompt, Summary(result));
        break;
    case LinkSyncOutcome::Unchanged:
        if (interactive)
            m_panes.SetText(kPanePrompt, tr("The linked bookmark file holds the same bookmarks"));
        break;
    case LinkSyncOutcome::Failed: {
        const QString text = tr("Cannot synchronize: %1").arg(QString::fromStdString(result.error));
        if (interactive)
            MessageBox::Exclamation(m_window, text);
        else
            m_panes.SetText(kPanePrompt, text);
        break;
    }
    case LinkSyncOutcome::MassDelete:
        break;
    }
    m_syncing = false;
    return result.outcome;
}

} // namespace brindle
