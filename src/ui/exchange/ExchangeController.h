// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window's import and export commands: Import (files chosen in a dialog, read by their
// kind and content), Import Favorites (a folder tree of .url files), the Import Wizard, Export,
// and Fast Add from the browsers.

#include "exchange/ImportResult.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class CBrindleDoc;
class QProgressBar;
class QStatusBar;
class QWidget;

namespace brindle {

class CommandTable;
class StatusPanes;
struct WizardChoices;

class ExchangeController : public QObject {
    Q_OBJECT
  public:
    // `window` owns the message boxes and the status bar the progress bar sits in.
    ExchangeController(CBrindleDoc& doc, StatusPanes& panes, QStatusBar* bar, QWidget* window);

    // Import, Export, Import Favorites, Import Wizard and Fast Add. `selectedRows` gives the rows
    // selected in the bookmark list (for a "Selected" export).
    void RegisterCommands(CommandTable& commands,
                          std::function<std::vector<std::uint32_t>()> selectedRows);

    void Import();
    void ImportFavorites();
    void ImportWizard();
    void FastAdd();
    // Imports every path the wizard's choices name, then runs the search again.
    void RunWizardImports(const WizardChoices& choices);

    // Reads one path by the exchange format that reads it (by its kind, extension or content)
    // and shows what it reports, naming the file. False for a path no format reads.
    bool ImportPath(const QString& path);

    // The values the progress bar of the last HTML import went through (tests).
    const std::vector<int>& ProgressTrace() const { return m_progressTrace; }

  private:
    // A text file through the HTML import, with the progress bar.
    ImportResult ImportHtml(const QString& path);
    void Finish();
    // Counts one read input towards what the prompt pane says at the end.
    void Tally(const ImportResult& result);
    // "Imported N bookmarks from M files (K already there)" in the prompt pane.
    void SayImported();

    struct Tally {
        int files = 0;
        int added = 0;
        int duplicates = 0;
    };

    CBrindleDoc& m_doc;
    StatusPanes& m_panes;
    QStatusBar* m_bar;
    QWidget* m_window;
    std::vector<int> m_progressTrace;
    // Where imported bookmarks go while an import skips duplicates; empty: the document.
    BookmarkSink m_add;
    struct Tally m_tally;
};

} // namespace brindle
