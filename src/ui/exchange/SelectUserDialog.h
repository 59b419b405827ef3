// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// CSelectUserDlg ("Select User"): the Netscape users (here: the Firefox profiles of
// ~/.mozilla/firefox/profiles.ini), each with a check box, for an export into their profiles.

#include <QDialog>
#include <QStringList>

class CCheckListCtrl;
class QLabel;

class CSelectUserDlg : public QDialog {
    Q_OBJECT
  public:
    // `home`: the user's home when empty (tests give a prepared one).
    explicit CSelectUserDlg(QWidget* parent = nullptr, const QString& home = QString());

    // The ticked users in list order; empty until OK.
    QStringList SelectedUsers() const { return m_selected; }
    CCheckListCtrl* UserList() const { return m_list; }
    // The browser version shown in the "Version" group: "none" when unknown.
    static QString BrowserVersion(const QString& home);

    void accept() override;

  private:
    CCheckListCtrl* m_list = nullptr;
    QStringList m_selected;
};
