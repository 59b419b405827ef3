// SPDX-License-Identifier: GPL-3.0-or-later
// The schedule dialogs driven as a user would: New, Edit and Delete in "Schedule Properties",
// the display and editing of intervals, "Set Status checking", and a document file round trip
// of schedules made in the dialogs.

#include "ui/linkcheck/ScheduleDialogs.h"
#include "status/ScheduleCodec.h"
#include "store/BrindleDoc.h"
#include "store/DocumentArchive.h"
#include "ui/widgets/DialogRunner.h"
#include "ui/widgets/MessageBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <deque>

using brindle::DialogRunner;
using brindle::MessageBox;
using ::testing::ElementsAre;

namespace {

struct Typed {
    QString name;
    QString unit;
    int number;
    bool isDefault;
};

// What an "Add New Schedule" dialog showed when it opened.
struct Shown {
    QString name;
    QString unit;
    int number;
    bool isDefault;
};

class ScheduleDialogsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        MessageBox::Reset();
        // Each "Add New Schedule" takes the next typed values (or is cancelled when none is left).
        DialogRunner::SetHandler([this](QDialog& dialog) {
            auto* edit = qobject_cast<CScheduleEditDlg*>(&dialog);
            if (!edit)
                return int(QDialog::Rejected);
            shown.push_back({edit->nameEdit->text(), edit->unitList->currentText(),
                             edit->number->value(), edit->defaultBox->isChecked()});
            if (typed.empty())
                return int(QDialog::Rejected);
            const Typed t = typed.front();
            typed.pop_front();
            edit->nameEdit->setText(t.name);
            edit->unitList->setCurrentIndex(edit->unitList->findText(t.unit));
            edit->number->setValue(t.number);
            edit->defaultBox->setChecked(t.isDefault);
            edit->accept();
            return edit->result();
        });
    }
    void TearDown() override {
        DialogRunner::SetHandler({});
        MessageBox::Reset();
    }
    std::vector<std::string> Rows(const CScheduleDlg& dialog) {
        std::vector<std::string> rows;
        for (int i = 0; i < dialog.list->topLevelItemCount(); ++i)
            rows.push_back((dialog.list->topLevelItem(i)->text(0) + QLatin1Char('|') +
                            dialog.list->topLevelItem(i)->text(1))
                               .toStdString());
        return rows;
    }

    CBrindleDoc doc;
    std::deque<Typed> typed;
    std::vector<Shown> shown;
};

TEST_F(ScheduleDialogsTest, IntervalsShowAndEditAsTheyWereMeant) {
    CScheduleDlg dialog(doc);
    EXPECT_EQ(dialog.windowTitle(), "Schedule Properties");
    typed = {{"Often", "Hours", 36, false},
             {"Fortnight", "Days", 14, true},
             {"Yearly", "Months", 13, false}};
    dialog.New();
    dialog.New();
    dialog.New();
    EXPECT_THAT(Rows(dialog), ElementsAre("Often|1 Days 12 Hours ", "Fortnight|default   2 Weeks ",
                                          "Yearly|1 Years 1 Months "));
    EXPECT_TRUE(doc.IsModified());

    // Each one opens for editing as it was typed (cancelled here).
    shown.clear();
    for (int row = 0; row < 3; ++row) {
        dialog.SelectSchedule(row);
        dialog.Edit();
    }
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].unit, "Hours");
    EXPECT_EQ(shown[0].number, 36);
    EXPECT_EQ(shown[1].unit, "Weeks");
    EXPECT_EQ(shown[1].number, 2);
    EXPECT_TRUE(shown[1].isDefault);
    EXPECT_EQ(shown[2].unit, "Months");
    EXPECT_EQ(shown[2].number, 13);
    EXPECT_EQ(shown[2].name, "Yearly");
}

TEST_F(ScheduleDialogsTest, EachUnitsBoxStopsWhereTheFileDoesAndItsLongestReopensAsTyped) {
    CScheduleEditDlg edit;
    const std::pair<QString, int> limits[] = {
        {"Hours", 32767}, {"Days", 32767}, {"Weeks", 7101}, {"Months", 1633}, {"Years", 136}};
    for (const auto& [unit, most] : limits) {
        edit.unitList->setCurrentIndex(edit.unitList->findText(unit));
        EXPECT_EQ(edit.number->maximum(), most) << unit.toStdString();
        EXPECT_EQ(edit.rangeLabel->text(), QStringLiteral("1 to %1 %2").arg(most).arg(unit));
    }
    edit.number->setValue(200);
    EXPECT_EQ(edit.number->value(), 136) << "200 Years cannot be typed";

    CScheduleDlg dialog(doc);
    for (const auto& [unit, most] : limits)
        typed.push_back({unit, unit, most, false});
    for (std::size_t i = 0; i < std::size(limits); ++i)
        dialog.New();
    CBrindleDoc copy;
    ASSERT_TRUE(brindle::ReadDocumentBytes(copy, brindle::DocumentToBytes(doc)).ok);
    CScheduleDlg reopened(copy);
    shown.clear();
    for (int row = 0; row < static_cast<int>(std::size(limits)); ++row) {
        reopened.SelectSchedule(row);
        reopened.Edit();
    }
    ASSERT_EQ(shown.size(), std::size(limits));
    for (std::size_t i = 0; i < shown.size(); ++i) {
        EXPECT_EQ(shown[i].unit, limits[i].first);
        EXPECT_EQ(shown[i].number, limits[i].second) << limits[i].first.toStdString();
    }
}

TEST_F(ScheduleDialogsTest, AStoredIntervalThatDoesNotFitIsNotShownWrapped) {
    // 200 Years as an earlier build let it wrap in the file.
    doc.AddSchedule("Wrapped",
                    brindle::EncodeScheduleInterval(brindle::ScheduleUnit::Years, 200) & 0xFFFFFFFF,
                    false);
    CScheduleDlg dialog(doc);
    EXPECT_THAT(Rows(dialog), ElementsAre("Wrapped|?"));
    dialog.SelectSchedule(0);
    dialog.Edit();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].name, "Wrapped");
    EXPECT_EQ(shown[0].unit, "") << "a new interval must be chosen";
}

TEST_F(ScheduleDialogsTest, RenameOntoAnotherRemovesItAndASecondDefaultClearsTheFirst) {
    CScheduleDlg dialog(doc);
    typed = {{"A", "Days", 1, true}, {"B", "Days", 2, false}, {"  B  ", "Weeks", 3, true}};
    dialog.New();
    dialog.New();
    dialog.SelectSchedule(0);
    dialog.Edit(); // A becomes "B" (trimmed), default, 3 weeks
    EXPECT_THAT(Rows(dialog), ElementsAre("B|default   3 Weeks "));
    ASSERT_EQ(doc.Schedules().size(), 1u);

    typed = {{"C", "Years", 2, true}};
    dialog.New();
    EXPECT_THAT(Rows(dialog), ElementsAre("B|3 Weeks ", "C|default   2 Years "));
    EXPECT_EQ(doc.GetDefaultScheduleName(), "C");
}

TEST_F(ScheduleDialogsTest, EmptyNamesAndMissingSelectionsAreRefused) {
    CScheduleEditDlg edit;
    edit.unitList->setCurrentIndex(1);
    edit.nameEdit->setText(QStringLiteral("   "));
    MessageBox::QueueAnswer(QMessageBox::Ok);
    edit.accept();
    EXPECT_NE(edit.result(), QDialog::Accepted);
    ASSERT_EQ(MessageBox::History().size(), 1u);
    EXPECT_EQ(MessageBox::History()[0].text, "Please enter schedule's name");
    EXPECT_EQ(MessageBox::History()[0].icon, MessageBox::Icon::Stop);

    CScheduleDlg dialog(doc);
    MessageBox::QueueAnswer(QMessageBox::Ok);
    MessageBox::QueueAnswer(QMessageBox::Ok);
    dialog.Edit();
    dialog.Delete();
    ASSERT_EQ(MessageBox::History().size(), 3u);
    EXPECT_EQ(MessageBox::History()[1].text, "You must select a schedule");
    EXPECT_EQ(MessageBox::History()[2].icon, MessageBox::Icon::Information);
}

TEST_F(ScheduleDialogsTest, DeleteAsksFirst) {
    CScheduleDlg dialog(doc);
    typed = {{"A", "Days", 1, false}, {"B", "Days", 2, false}};
    dialog.New();
    dialog.New();
    dialog.SelectSchedule(0);
    MessageBox::QueueAnswer(QMessageBox::No);
    dialog.Delete();
    EXPECT_EQ(doc.Schedules().size(), 2u);
    MessageBox::QueueAnswer(QMessageBox::Yes);
    dialog.Delete();
    EXPECT_THAT(Rows(dialog), ElementsAre("B|2 Days "));
    EXPECT_EQ(MessageBox::History().back().text, "Are you sure?");
}

TEST_F(ScheduleDialogsTest, SchedulesMadeInTheDialogsSurviveTheDocumentFile) {
    typed = {{"Often", "Hours", 36, false}, {"Yearly", "Months", 13, true}};
    EXPECT_EQ(brindle::AddNewSchedule(nullptr, doc), std::optional<std::string>("Often"));
    EXPECT_EQ(brindle::AddNewSchedule(nullptr, doc), std::optional<std::string>("Yearly"));
    typed = {{"Fortnight", "Days", 14, false}};
    EXPECT_EQ(brindle::EditScheduleNamed(nullptr, doc, "Often"),
              std::optional<std::string>("Fortnight"));
    EXPECT_EQ(brindle::EditScheduleNamed(nullptr, doc, "Nothing"), std::nullopt);
    EXPECT_EQ(brindle::AddNewSchedule(nullptr, doc), std::nullopt); // cancelled

    CBrindleDoc copy;
    ASSERT_TRUE(brindle::ReadDocumentBytes(copy, brindle::DocumentToBytes(doc)).ok);
    CScheduleDlg dialog(copy);
    EXPECT_THAT(Rows(dialog),
                ElementsAre("Fortnight|2 Weeks ", "Yearly|default   1 Years 1 Months "));
    shown.clear();
    dialog.SelectSchedule(1);
    dialog.Edit();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].unit, "Months");
    EXPECT_EQ(shown[0].number, 13);
}

TEST_F(ScheduleDialogsTest, SetStatusCheckingChoosesTheDefaultAndWritesTheSelection) {
    doc.AddSchedule("Weekly", brindle::EncodeScheduleInterval(brindle::ScheduleUnit::Weeks, 1),
                    false);
    doc.AddSchedule("Daily", brindle::EncodeScheduleInterval(brindle::ScheduleUnit::Days, 1), true);
    for (const char* name : {"one", "two"})
        doc.AddBookmark({.name = name,
                         .url = "http://example/",
                         .statusChecking = 0,
                         .schedule = "<None>",
                         .status = "Changed"});
    doc.SetModifiedFlag(false);

    CSetStatusDlg dialog(doc, {1});
    EXPECT_EQ(dialog.windowTitle(), "Set Status checking");
    EXPECT_TRUE(dialog.enable->isChecked());
    ASSERT_EQ(dialog.schedules->count(), 3);
    EXPECT_EQ(dialog.schedules->itemText(0), "<None>");
    EXPECT_EQ(dialog.schedules->currentText(), "Daily");
    dialog.enable->setChecked(false);
    EXPECT_FALSE(dialog.schedules->isEnabled());
    EXPECT_FALSE(dialog.editButton->isEnabled());
    dialog.enable->setChecked(true);
    dialog.schedules->setCurrentIndex(1);
    dialog.accept();
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.GetFieldText(1, kFieldSchedule), "Weekly");
    EXPECT_EQ(doc.GetFieldText(1, kFieldStatus), "Waiting");
    EXPECT_EQ(doc.Bookmarks()[1].m_wStatusChecking, 1);
    EXPECT_EQ(doc.GetFieldText(0, kFieldStatus), "Changed");
}

TEST_F(ScheduleDialogsTest, EditingSchedulesFromSetStatusCheckingRefillsTheList) {
    doc.AddSchedule("Weekly", brindle::EncodeScheduleInterval(brindle::ScheduleUnit::Weeks, 1),
                    false);
    CSetStatusDlg dialog(doc, {});
    dialog.schedules->setCurrentIndex(1);
    // "Schedule Properties" opens; the schedule chosen goes away while it is open.
    DialogRunner::SetHandler([this](QDialog& d) {
        if (auto* list = qobject_cast<CScheduleDlg*>(&d)) {
            list->SelectSchedule(0);
            MessageBox::QueueAnswer(QMessageBox::Yes);
            list->Delete();
            doc.AddSchedule("Monthly", 0, false);
        }
        return int(QDialog::Accepted);
    });
    dialog.editButton->click();
    EXPECT_EQ(dialog.schedules->count(), 2);
    EXPECT_EQ(dialog.schedules->itemText(1), "Monthly");
    EXPECT_EQ(dialog.schedules->currentText(), "<None>");
}

} // namespace
