// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The schedule dialogs: "Schedule Properties" (the list with New, Edit and Delete), "Add New
// Schedule" (one schedule's name, interval and default flag) and "Set Status checking" (schedule
// and checking switch for the selected bookmarks). The rules themselves (merging on equal
// names, the single default) live in store/ScheduleRules.

#include "status/ScheduleCodec.h"

#include <QDialog>

#include <optional>
#include <string>
#include <vector>

class CBrindleDoc;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTreeWidget;

// "Add New Schedule": name, interval (unit and number) and the default flag. The number box of each
// unit goes as far as the stored interval holds (MaxScheduleNumber), and says so beside it.
class CScheduleEditDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CScheduleEditDlg(QWidget* parent = nullptr);
    // Fills the dialog from a schedule (its interval decoded for editing).
    void SetValues(const std::string& name, BrxTime interval, bool isDefault);

    std::string Name() const; // trimmed at its right end
    BrxTime Interval() const;
    bool IsDefault() const;

    QLineEdit* nameEdit = nullptr;
    QComboBox* unitList = nullptr;
    QSpinBox* number = nullptr;
    QLabel* rangeLabel = nullptr; // "1 to 136 Years"
    QCheckBox* defaultBox = nullptr;

  public slots:
    // Refuses an empty name or unit with "Please enter schedule's name".
    void accept() override;

  private:
    // The number box's limit and its text follow the unit chosen.
    void UpdateRange();
};

// "Schedule Properties": one row per schedule (name, detail).
class CScheduleDlg : public QDialog {
    Q_OBJECT
  public:
    CScheduleDlg(CBrindleDoc& doc, QWidget* parent = nullptr);

    void New();
    void Edit();
    void Delete();
    // The schedule whose row is selected, or -1.
    int SelectedSchedule() const;
    void SelectSchedule(int index);
    // The name of the schedule last created or edited here, if any.
    const std::optional<std::string>& LastChanged() const { return m_lastChanged; }

    QTreeWidget* list = nullptr;

  private:
    void Fill();

    CBrindleDoc& m_doc;
    std::optional<std::string> m_lastChanged;
};

// "Set Status checking" for the given bookmarks.
class CSetStatusDlg : public QDialog {
    Q_OBJECT
  public:
    CSetStatusDlg(CBrindleDoc& doc, std::vector<std::uint32_t> bookmarks,
                  QWidget* parent = nullptr);

    // Opens "Schedule Properties", then refills the list; a choice that went away becomes
    // "<None>".
    void EditSchedules();

    QCheckBox* enable = nullptr;
    QComboBox* schedules = nullptr;
    QPushButton* editButton = nullptr;

  public slots:
    void accept() override;

  private:
    void Fill(const std::string& selection);

    CBrindleDoc& m_doc;
    std::vector<std::uint32_t> m_bookmarks;
};

namespace brindle {

// Entries for other dialogs (the bookmark property sheet's Status page and the like). Each runs
// its dialog modally over `parent` and changes the document only on OK.

// "Schedule Properties" (Tool menu, and the Edit buttons of the schedule choices).
void RunScheduleProperties(QWidget* parent, CBrindleDoc& doc);
// "Add New Schedule" for a new schedule; its name on OK.
std::optional<std::string> AddNewSchedule(QWidget* parent, CBrindleDoc& doc);
// "Add New Schedule" filled with the schedule named `name`; its (possibly new) name on OK,
// nothing on Cancel or when no schedule has that name.
std::optional<std::string> EditScheduleNamed(QWidget* parent, CBrindleDoc& doc,
                                             const std::string& name);
// "Set Status checking" for the given bookmarks; true on OK.
bool RunSetStatusChecking(QWidget* parent, CBrindleDoc& doc,
                          const std::vector<std::uint32_t>& bookmarks);

} // namespace brindle
