// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/exchange/ExchangeController.h"

#include "exchange/ExchangeFormats.h"
#include "exchange/Favorites.h"
#include "exchange/ImportFile.h"
#include "platform/PathDetection.h"
#include "store/BrindleDoc.h"
#include "store/DuplicateFilter.h"
#include "ui/exchange/BrowserCapture.h"
#include "ui/exchange/ExchangeMessages.h"
#include "ui/exchange/ExportDialog.h"
#include "ui/exchange/ImportWizard.h"
#include "ui/widgets/DialogRunner.h"
#include "ui/widgets/FileDialogs.h"
#include "ui/window/CommandIds.h"
#include "ui/window/CommandTable.h"
#include "ui/window/StatusPanes.h"

#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>

#include <optional>

namespace brindle {

namespace {

// The wait cursor for the life of the object.
class WaitCursor {
  public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

} // namespace

ExchangeController::ExchangeController(CBrindleDoc& doc, StatusPanes& panes, QStatusBar* bar,
                                       QWidget* window)
    : QObject(window), m_doc(doc), m_panes(panes), m_bar(bar), m_window(window) {}

void ExchangeController::RegisterCommands(
    CommandTable& c, std::function<std::vector<std::uint32_t>()> selectedRows) {
    c.Register(cmd::Import, [this] { Import(); });
    c.Register(cmd::ImportFavorites, [this] { ImportFavorites(); });
    c.Register(cmd::ImportWizard, [this] { ImportWizard(); });
    c.Register(cmd::Export, [this, selectedRows] {
        RunExportCommand(m_doc, selectedRows ? selectedRows() : std::vector<std::uint32_t>{},
                         m_window);
    });
    c.Register(cmd::FastAdd, [this] { FastAdd(); });
}

void ExchangeController::Import() {
    const QStringList files = FileDialogs::OpenFiles(m_window, tr("Import Files"),
                                                     QString::fromLatin1(ImportDialogFilter()));
    if (files.isEmpty())
        return;
    WaitCursor wait;
    m_tally = {};
    for (const QString& file : files) {
        // A file of no known kind ends the command; what came before it stays.
        if (!ImportPath(file))
            break;
    }
    m_add = {};
    Finish();
    SayImported();
}

void ExchangeController::Tally(const ImportResult& result) {
    if (!result.Read())
        return;
    ++m_tally.files;
    m_tally.added += result.added;
    m_tally.duplicates += result.duplicates;
}

void ExchangeController::SayImported() {
    const QString bookmarks =
        m_tally.added == 1 ? tr("1 bookmark") : tr("%1 bookmarks").arg(m_tally.added);
    const QString files = m_tally.files == 1 ? tr("1 file") : tr("%1 files").arg(m_tally.files);
    m_panes.SetText(
        kPanePrompt,
        tr("Imported %1 from %2 (%3 already there)").arg(bookmarks, files).arg(m_tally.duplicates));
}

bool ExchangeController::ImportPath(const QString& path) {
    const std::string file = path.toStdString();
    const ExchangeFormat* format = ImportFormatFor(file);
    if (!format)
        return false;
    // Text files show their progress; the other kinds are read in one step.
    const ImportResult result =
        format->makeReader ? ImportHtml(path) : format->import(m_doc, file, {.sink = m_add});
    Tally(result);
    ShowExchangeReport(m_window, result.problems, path);
    return true;
}

ImportResult ExchangeController::ImportHtml(const QString& path) {
    // The progress bar lies over the prompt pane while the file is read.
    m_progressTrace.clear();
    auto* progress = new QProgressBar(m_bar);
    progress->setObjectName(QStringLiteral("importProgress"));
    progress->setRange(0, 20);
    progress->setTextVisible(false);
    if (auto* prompt = m_bar->findChild<QLabel*>(QStringLiteral("pane0")))
        progress->setGeometry(prompt->geometry());
    auto step = [&](int value) {
        progress->setValue(value);
        m_progressTrace.push_back(value);
        progress->repaint();
    };
    progress->show();
    step(5);
    ImportOptions options;
    bool read = false;
    // The reader reports each bookmark; the bar moves on once the file is open and read.
    options.sink = [&](const BookmarkFields& fields) {
        if (!read) {
            read = true;
            step(12);
        }
        return m_add ? m_add(fields) : m_doc.AddBookmark(fields);
    };
    ImportResult result = ImportFile(m_doc, path.toStdString(), options);
    step(20);
    delete progress;
    return result;
}

void ExchangeController::Finish() {
    m_doc.RerunLastSearch();
}

void ExchangeController::ImportFavorites() {
    const auto folder =
        FileDialogs::Folder(m_window, tr("Select a directory for import favorite file"),
                            QString::fromStdString(DetectFavoritesPath()));
    if (!folder || folder->trimmed().isEmpty())
        return;
    WaitCursor wait;
    const ImportResult result = ImportFavoritesTree(m_doc, folder->trimmed().toStdString());
    ShowExchangeReport(m_window, result.problems);
    m_panes.SetText(kPanePrompt, tr("Import Favorites Done"));
    Finish();
}

void ExchangeController::ImportWizard() {
    CImportWizSheet wizard(FindWizardSources(), m_window);
    if (DialogRunner::Run(wizard) != QDialog::Accepted)
        return;
    RunWizardImports(wizard.Choices());
}

void ExchangeController::RunWizardImports(const WizardChoices& c) {
    WaitCursor wait;
    m_tally = {};
    std::optional<DuplicateFilter> filter;
    if (c.skipDuplicates) {
        filter.emplace(m_doc);
        m_add = [&filter](const BookmarkFields& fields) { return filter->Add(fields); };
    }
    // Missing files and folders are passed over without a word.
    if (c.favorites && !c.favoritesFolder.isEmpty() && QFileInfo(c.favoritesFolder).isDir()) {
        const ImportResult result =
            ImportFavoritesTree(m_doc, c.favoritesFolder.toStdString(), {.sink = m_add});
        Tally(result);
        ShowExchangeReport(m_window, result.problems);
    }
    if (c.netscape) {
        const QStringList files = c.allUsers ? c.userFiles : QStringList{c.netscapeFile};
        for (const QString& file : files)
            if (!file.isEmpty() && QFileInfo(file).isFile())
                ImportPath(file);
    }
    if (c.powermarks && !c.powermarksFile.isEmpty() && QFileInfo(c.powermarksFile).isFile()) {
        // Whatever its name, its content decides the reader, as for every text import.
        const ImportResult result = ImportHtml(c.powermarksFile);
        Tally(result);
        ShowExchangeReport(m_window, result.problems, c.powermarksFile);
    }
    Finish();
    SayImported();
}

void ExchangeController::FastAdd() {
    const int added = FastAddFromBrowsers(m_doc, SystemBrowserPages());
    if (added == 0)
        m_panes.SetText(kPanePrompt, NoBrowserPageText());
    else
        m_panes.SetText(kPanePrompt, added == 1 ? tr("Fast Add: 1 bookmark added")
                                                : tr("Fast Add: %1 bookmarks added").arg(added));
}

} // namespace brindle
