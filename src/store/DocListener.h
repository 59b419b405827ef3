#pragma once
// How the document tells its views what changed. Views implement the calls they need; the
// document never knows a widget.

#include <string>

enum StatusPane : int {
    kPanePrompt = 0,
    kPaneSearchMode = 1,
    kPaneConnection = 2,
    kPaneChecker = 3,
    kPaneKeywordCount = 4,
    kPaneResultCount = 5
};

class DocListener {
  public:
    virtual ~DocListener() = default;
    // The bookmark list reloads its row count from the active hit list.
    virtual void ReloadRows() {}
    // The keyword list refills itself from the dictionary.
    virtual void RefillKeywords() {}
    // The macro list reloads (macros were added).
    virtual void ReloadMacros() {}
    // The document failed to open or was re-initialised: every view rebuilds.
    virtual void Rebuild() {}
    // A status-bar pane gets a new text.
    virtual void SetPaneText(int pane, const std::string& text) {
        (void)pane;
        (void)text;
    }
};
