// SPDX-License-Identifier: GPL-3.0-or-later
// The table of exchange formats: what the dialogs and the command line are given from it, and
// that each row's writer and reader fit together.

#include "support/BookmarkLookup.h"
#include "support/TestFiles.h"

#include "exchange/ExchangeFormats.h"
#include "store/BrindleDoc.h"

#include <gtest/gtest.h>

using namespace brindle;

TEST(ExchangeFormats, TextsForTheDialogsAndTheCommandLine) {
    // The text formats in the order their content claims a file, then shortcuts; a format added
    // later comes after them.
    const std::string filter = ImportDialogFilter();
    EXPECT_TRUE(filter.starts_with(
        "Netscape Bookmark File(*.htm;*.html)|*.htm;*.html|Powermarks 3.0 File(*.htm;*.html)|"
        "*.htm;*.html|Ordinary HTML Page(*.htm;*.html)|*.htm;*.html|Internet Shortcut(*.url)|"
        "*.url|"))
        << filter;
    // The browsers' own files by their names, and every file, read by content.
    EXPECT_NE(filter.find("|Firefox Bookmarks(places.sqlite)|places.sqlite|"), std::string::npos)
        << filter;
    EXPECT_NE(filter.find("|Chromium-family Bookmarks(Bookmarks)|Bookmarks|"), std::string::npos)
        << filter;
    EXPECT_TRUE(filter.ends_with("|All Files(*)|*||")) << filter;
    EXPECT_TRUE(ImportExtensionsText().starts_with(".htm, .html")) << ImportExtensionsText();
    EXPECT_TRUE(ExportKeysText("|", "|").starts_with("netscape|favorites|powermarks|html|text"));
    EXPECT_EQ(ExportKeysText().find('|'), std::string::npos);
    EXPECT_NE(ExportKeysText().find(" or "), std::string::npos);
    EXPECT_EQ(FilterEntry("", FormatOf(FormatId::Text)), "(*.txt)|*.txt|");
    EXPECT_EQ(FindFormat("firefox")->id, FormatId::FirefoxPlaces);
    EXPECT_EQ(FindFormat("pdf"), nullptr);
}

TEST(ExchangeFormats, WhatEachFormatWritesItsRowReadsBack) {
    CBrindleDoc source;
    for (const char* name : {"Alpha", "Beta"})
        source.AddBookmark({.name = name,
                            .url = std::string("http://") + name + ".example/",
                            .keywords = "k",
                            .statusChecking = 1,
                            .schedule = kNoSchedule,
                            .status = kStatusWaiting,
                            .addDate = 1000});
    testutil::TempDirectory dir;
    int readBack = 0;
    for (const ExchangeFormat* format : ExportFormats()) {
        SCOPED_TRACE(std::string(format->key));
        // A folder for a format that writes one, else a file of the format's own extension.
        std::string target = dir.File(format->key);
        if (!format->Takes(kWritesFolder) && !format->extensions.empty())
            target += format->extensions[0];
        ExchangeReport report;
        ASSERT_TRUE(format->exportTo(source, target, ExportOptions{}, report));
        if (!format->import)
            continue; // written only
        const ExchangeFormat* reader = ImportFormatFor(target);
        ASSERT_NE(reader, nullptr);
        CBrindleDoc copy;
        const ImportResult first = reader->import(copy, target, {});
        EXPECT_EQ(first.format, format->id);
        EXPECT_TRUE(first.problems.messages.empty());
        // Both bookmarks come back (a report's page has a link of its own besides them).
        EXPECT_GE(first.added, 2);
        for (const char* url : {"http://Alpha.example/", "http://Beta.example/"})
            EXPECT_NE(testutil::FindByUrl(copy, url), nullptr) << url;
        // The same file again: every bookmark is already there.
        const ImportResult again = reader->import(copy, target, {});
        EXPECT_EQ(again.added, 0);
        EXPECT_EQ(again.duplicates, first.added);
        ++readBack;
    }
    EXPECT_GE(readBack, 4); // Netscape, Favorites, Powermarks, the HTML page, and any added later
}
