// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window started as the program starts it, quietly (no splash, no user settings, no
// single instance), with the seams through which tests answer dialogs reset before and after.
// Window tests derive from it and add their own sample data in their SetUp.

#include "app/BrindleApp.h"
#include "status/StatusTable.h"
#include "store/BrindleDoc.h"
#include "ui/bookmarks/BookmarkListModel.h"
#include "ui/bookmarks/BookmarkView.h"
#include "ui/widgets/DialogRunner.h"
#include "ui/widgets/FileDialogs.h"
#include "ui/widgets/MessageBox.h"
#include "ui/window/BookmarkWorkspace.h"
#include "ui/window/MainFrame.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <array>
#include <initializer_list>
#include <string>
#include <vector>

namespace testutil {

class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override { StartWindow({QStringLiteral("brindle")}); }
    void TearDown() override {
        ResetSeams();
        doc().SetModifiedFlag(false); // nothing asks to save when the window goes
    }

    // Starts the window with `arguments` (the program's name first, then a file to open).
    void StartWindow(const QStringList& arguments) {
        ResetSeams();
        ASSERT_TRUE(app.InitInstance(arguments, StartOptions::Quiet()));
        frame = app.Frame();
        view = frame->Workspace()->Bookmarks();
    }
    static void ResetSeams() {
        brindle::MessageBox::Reset();
        brindle::DialogRunner::SetHandler({});
        brindle::FileDialogs::Reset();
    }

    CBrindleDoc& doc() { return app.Doc(); }
    // The bookmarks' names in collection order.
    std::vector<std::string> Names() {
        std::vector<std::string> names;
        for (const BookmarkRef b : doc().Bookmarks())
            names.emplace_back(b.m_strName);
        return names;
    }
    // The names the bookmark list shows, top to bottom.
    std::vector<std::string> Rows() {
        std::vector<std::string> names;
        for (int r = 0; r < view->Model()->rowCount(); ++r)
            names.push_back(view->Model()->index(r, 0).data().toString().toStdString());
        return names;
    }
    // Adds bookmarks of {name, URL, keywords}, checked, without a schedule; the document stays
    // unmodified.
    void AddBookmarks(std::initializer_list<std::array<const char*, 3>> rows) {
        for (const auto& r : rows)
            doc().AddBookmark({.name = r[0],
                               .url = r[1],
                               .keywords = r[2],
                               .statusChecking = 1,
                               .schedule = kNoSchedule,
                               .status = kStatusWaiting});
        doc().SetModifiedFlag(false);
    }
    // Selects exactly these rows of the bookmark list.
    void SelectRows(std::initializer_list<int> rows) {
        view->clearSelection();
        for (int r : rows)
            view->selectionModel()->select(view->Model()->index(r, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    CBrindleApp app;
    CMainFrame* frame = nullptr;
    CBookMarkView* view = nullptr;
};

} // namespace testutil
