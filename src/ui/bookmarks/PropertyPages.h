// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The five pages of the bookmark property sheet and the fields they share. Each page loads its
// controls from the sheet fields and moves them back.

#include <QString>
#include <QStringList>
#include <QWidget>

#include <array>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace brindle {

// The sheet's own copy of one bookmark's fields.
struct SheetFields {
    QString name;
    QString url;
    QString keywords;
    QString description;
    QString notes;
    bool statusChecking = true;
    QString schedule;
    QString status;
    // Add date, last visited, last modified, last checked, already formatted.
    std::array<QString, 4> dates{QStringLiteral("?"), QStringLiteral("?"), QStringLiteral("?"),
                                 QStringLiteral("?")};
};

class CGenPage : public QWidget {
    Q_OBJECT
  public:
    explicit CGenPage(QWidget* parent = nullptr);
    void Load(const SheetFields& f);
    void Save(SheetFields& f) const;
    QLineEdit* NameEdit() const { return m_name; }
    QLineEdit* UrlEdit() const { return m_url; }

  signals:
    // The URL box became empty or non-empty (or changed while staying so).
    void urlPresenceChanged(bool nonEmpty);

  private:
    QLineEdit* m_name;
    QLineEdit* m_url;
    QLineEdit* m_keywords;
};

class CDescPage : public QWidget {
    Q_OBJECT
  public:
    explicit CDescPage(QWidget* parent = nullptr);
    void Load(const SheetFields& f);
    void Save(SheetFields& f) const;

  private:
    QLineEdit* m_description;
};

class CNotePage : public QWidget {
    Q_OBJECT
  public:
    explicit CNotePage(QWidget* parent = nullptr);
    void Load(const SheetFields& f);
    void Save(SheetFields& f) const;

  private:
    QLineEdit* m_notes;
};

class CAddDate : public QWidget {
    Q_OBJECT
  public:
    explicit CAddDate(QWidget* parent = nullptr);
    void Load(const SheetFields& f);

  private:
    std::array<QLabel*, 4> m_values{};
};

class CStatusPage : public QWidget {
    Q_OBJECT
  public:
    explicit CStatusPage(QWidget* parent = nullptr);
    // The schedule names the list offers after "<None>".
    void SetSchedules(const QStringList& names);
    void Load(const SheetFields& f);
    void Save(SheetFields& f) const;
    // "Edit" runs `editor` and then refills the list from `names` (a gone choice becomes
    // "<None>"); without an editor the button stays disabled.
    void SetScheduleEditor(std::function<void()> editor, std::function<QStringList()> names);

  private:
    void UpdateEnabling();
    void SelectSchedule(const QString& name);

    QCheckBox* m_checking;
    QComboBox* m_schedules;
    QPushButton* m_edit;
    QLineEdit* m_status;
    std::function<void()> m_editor;
    std::function<QStringList()> m_names;
};

} // namespace brindle
