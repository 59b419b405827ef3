// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "Link Bookmark File": the XBEL file a document is kept in step with (a path or a WebDAV
// address), the WebDAV login, and how often the window syncs while the document is open.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace brindle {

class LinkDialog : public QDialog {
    Q_OBJECT
  public:
    struct Values {
        QString target;
        QString user;
        QString password;
        int intervalMinutes = 5;
    };

    // `linked`: the document has a link now, which the dialog offers to remove.
    LinkDialog(const Values& values, bool linked, QWidget* parent = nullptr);

    Values Chosen() const;
    // The dialog ended with "Remove Link".
    bool Unlinked() const { return m_unlinked; }

  private:
    void Browse();
    void UpdateState();

    QLineEdit* m_target;
    QLineEdit* m_user;
    QLineEdit* m_password;
    QLabel* m_userLabel;
    QLabel* m_passwordLabel;
    QSpinBox* m_interval;
    QPushButton* m_ok;
    bool m_unlinked = false;
};

} // namespace brindle
