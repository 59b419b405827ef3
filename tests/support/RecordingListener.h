#pragma once
// A view stand-in that writes down what the document told it, in order.

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
    void SetPaneText(int pane, const std::string& text) override {
        calls.push_back("pane" + std::to_string(pane) + ":" + text);
    }
    void Clear() { calls.clear(); }
};
