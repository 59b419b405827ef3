// SPDX-License-Identifier: GPL-3.0-or-later
// Every text the window and its dialogs show fits the desktop it runs on: none names a program or
// service of another system. Walks the menus and every dialog's visible widgets.

#include "app/BrindleApp.h"
#include "store/Macro.h"
#include "ui/bookmarks/AddMarkPropertySheet.h"
#include "ui/exchange/ExportDialog.h"
#include "ui/exchange/ImportWizard.h"
#include "ui/exchange/SelectUserDialog.h"
#include "ui/keywords/KeywordDialogs.h"
#include "ui/linkcheck/ScheduleDialogs.h"
#include "ui/macros/MacroDialog.h"
#include "ui/options/OptionDialogs.h"
#include "ui/options/OptionSheet.h"
#include "ui/widgets/MessageBox.h"
#include "ui/window/AboutDialog.h"
#include "ui/window/MainFrame.h"

#include "support/TestEnvironment.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <QWizard>

#include <gtest/gtest.h>

#include <memory>

namespace {

// Texts of every widget under `root` that a user can see (hidden ones keep stored values only).
QStringList VisibleTexts(QWidget* root) {
    QStringList texts{root->windowTitle()};
    auto visible = [root](QWidget* w) {
        for (QWidget* p = w; p && p != root; p = p->parentWidget())
            if (p->isHidden())
                return false;
        return true;
    };
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (!visible(w))
            continue;
        texts << w->toolTip() << w->statusTip();
        if (auto* l = qobject_cast<QLabel*>(w))
            texts << l->text();
        else if (auto* b = qobject_cast<QAbstractButton*>(w))
            texts << b->text();
        else if (auto* g = qobject_cast<QGroupBox*>(w))
            texts << g->title();
        else if (auto* e = qobject_cast<QLineEdit*>(w))
            texts << e->placeholderText();
        else if (auto* t = qobject_cast<QTabBar*>(w))
            for (int i = 0; i < t->count(); ++i)
                texts << t->tabText(i);
        else if (auto* c = qobject_cast<QComboBox*>(w))
            for (int i = 0; i < c->count(); ++i)
                texts << c->itemText(i);
        else if (auto* list = qobject_cast<QListWidget*>(w))
            for (int i = 0; i < list->count(); ++i)
                texts << list->item(i)->text();
        else if (auto* tree = qobject_cast<QTreeWidget*>(w))
            for (int i = 0; i < tree->topLevelItemCount(); ++i)
                texts << tree->topLevelItem(i)->text(0);
    }
    if (auto* wizard = qobject_cast<QWizard*>(root))
        for (int id : wizard->pageIds())
            texts << wizard->page(id)->title() << VisibleTexts(wizard->page(id));
    return texts;
}

QStringList MenuTexts(QMenu* menu) {
    QStringList texts{menu->title()};
    for (QAction* a : menu->actions()) {
        texts << a->text() << a->statusTip() << a->toolTip();
        if (a->menu())
            texts << MenuTexts(a->menu());
    }
    return texts;
}

// The names that have no place in this program's interface.
void ExpectLinuxWords(const QStringList& texts, const char* where) {
    for (const QString& text : texts)
        for (const char* word : {"Internet Explorer", "Netscape Navigator", "Windows", "DDE",
                                 "Microsoft", "IEXPLORE", ".exe"})
            EXPECT_FALSE(text.contains(QLatin1String(word), Qt::CaseInsensitive))
                << where << ": \"" << text.toStdString() << "\" names " << word;
}

TEST(InterfaceTextTest, NoMenuOrDialogNamesAnotherSystemsProgramsOrServices) {
    testutil::TempXdgHome xdg;
    testutil::ScopedEnv home("HOME", xdg.Path().toUtf8());
    brindle::MessageBox::Reset();
    CBrindleApp app;
    ASSERT_TRUE(app.InitInstance({QStringLiteral("brindle")}, StartOptions::Quiet()));
    CMainFrame* frame = app.Frame();
    CBrindleDoc& doc = app.Doc();
    doc.AddBookmark({.name = "One", .url = "http://one.example/", .keywords = "web"});

    QStringList menus;
    for (QAction* a : frame->menuBar()->actions())
        if (a->menu())
            menus << MenuTexts(a->menu());
    ExpectLinuxWords(menus, "menus");

    std::vector<std::unique_ptr<QWidget>> dialogs;
    dialogs.emplace_back(std::make_unique<COptionSheet>(app.Prefs()));
    dialogs.emplace_back(std::make_unique<CImportWizSheet>(brindle::FindWizardSources()));
    dialogs.emplace_back(std::make_unique<CExportDlg>());
    dialogs.emplace_back(std::make_unique<CSelectUserDlg>(nullptr, xdg.Path()));
    dialogs.emplace_back(std::make_unique<brindle::AboutDialog>());
    dialogs.emplace_back(std::make_unique<CColumnsDlg>(0x0FFF));
    dialogs.emplace_back(std::make_unique<CSearchOptionDlg>(true, 0x7F, false));
    dialogs.emplace_back(std::make_unique<CChangeKeywordsDlg>(QStringList{"web"}, QString()));
    dialogs.emplace_back(std::make_unique<CDictionaryDlg>(doc));
    dialogs.emplace_back(std::make_unique<CScheduleEditDlg>());
    dialogs.emplace_back(std::make_unique<CScheduleDlg>(doc));
    dialogs.emplace_back(std::make_unique<CSetStatusDlg>(doc, std::vector<std::uint32_t>{0}));
    dialogs.emplace_back(std::make_unique<CAddMarkPropertySheet>(doc, 0u));
    for (std::int32_t kind : {kMacroUrl, kMacroKeywords, kMacroString})
        dialogs.emplace_back(std::make_unique<CMacroDlg>(CMacro(kind, "m", "text", 0)));
    for (auto& dialog : dialogs) {
        dialog->show();
        // Every tab of a sheet, shown in turn.
        for (QTabWidget* tabs : dialog->findChildren<QTabWidget*>())
            for (int i = 0; i < tabs->count(); ++i) {
                tabs->setCurrentIndex(i);
                ExpectLinuxWords(VisibleTexts(tabs->widget(i)), dialog->metaObject()->className());
            }
        for (QTabBar* bar : dialog->findChildren<QTabBar*>())
            for (int i = 0; i < bar->count(); ++i) {
                bar->setCurrentIndex(i);
                ExpectLinuxWords(VisibleTexts(dialog.get()), dialog->metaObject()->className());
            }
        ExpectLinuxWords(VisibleTexts(dialog.get()), dialog->metaObject()->className());
        dialog->hide();
    }
    doc.SetModifiedFlag(false);
}

} // namespace
