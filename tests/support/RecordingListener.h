// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A view stand-in that writes down what the document told it, in order. The counts are written
// down in the status bar's words, pane by pane ("pane5:3 of 4 bookmarks").

#include "store/DocListener.h"

#include <string>
#include <vector>

class RecordingListener : public DocListener {
  public:
    std::vector<std::string> calls;

    void ReloadRows() override { calls.push_back("rows"); }
    void RefillKeywords() override { calls.push_back("keywords"); }
    void ReloadMacros() override { calls.push_back("macros"); }
    void Rebuild() override { calls.push_back("rebuild"); }
    void CountsChanged(const SearchCounts& c) override {
        calls.push_back(c.searchMode == 1 ? "pane1:SM:Keyword" : "pane1:SM:String");
        calls.push_back("pane4:" + std::to_string(c.keywords) + " Keywords");
        calls.push_back("pane5:" + std::to_string(c.hits) + " of " + std::to_string(c.bookmarks) +
                        " bookmarks");
    }
    void Clear() { calls.clear(); }
};
