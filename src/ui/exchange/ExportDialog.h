// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// CExportDlg ("Export Bookmark Files"): format, target file or folder, title, which bookmarks,
// their order, the fields and the Netscape users of an export; and the Export command that runs
// it and then the writer of the chosen format.

#include "exchange/ExportSelection.h"

#include <QDialog>
#include <QStringList>

#include <cstdint>
#include <vector>

class CBrindleDoc;
class CCheckListCtrl;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QToolButton;
class QWidget;

class CExportDlg : public QDialog {
    Q_OBJECT
  public:
    // The entries of the format list: the exchange table's written formats, in its order.
    enum Format { Netscape, Favorites, Powermarks, NormalHtml, Text };

    explicit CExportDlg(QWidget* parent = nullptr);

    // The format's name in the list and its description for "All".
    static QString FormatName(int format);
    static QString FormatDescription(int format);

    int CurrentFormat() const;
    void SetFormat(int format);
    void SetSelectedScope(bool selected);
    QString Description() const;
    QString FileName() const;
    void SetFileName(const QString& path);
    void ToggleOptions();
    bool OptionsOpen() const;
    // What the dialog's choices mean for the writers.
    brindle::ExportOptions Options() const;
    bool ToNetscapeUsers() const;
    QStringList NetscapeUsers() const { return m_users; }

    void accept() override;

  private:
    void FormatChosen();
    void ScopeChosen();
    void Browse();
    void NetscapeUserToggled(bool on);
    QWidget* PaneFor(int format) const;

    QComboBox* m_format = nullptr;
    QLabel* m_description = nullptr;
    QRadioButton* m_all = nullptr;
    QRadioButton* m_selected = nullptr;
    QLineEdit* m_title = nullptr;
    QLabel* m_fileLabel = nullptr;
    QLineEdit* m_fileName = nullptr;
    QToolButton* m_browse = nullptr;
    QPushButton* m_optionButton = nullptr;
    // Netscape pane
    QWidget* m_netscapePane = nullptr;
    QComboBox* m_netscapeSort = nullptr;
    QRadioButton* m_netscapeAscending = nullptr;
    QCheckBox* m_netscapeUser = nullptr;
    // Field pane (Powermarks, Normal HTML, TXT)
    QWidget* m_fieldPane = nullptr;
    QComboBox* m_fieldSort = nullptr;
    QRadioButton* m_fieldAscending = nullptr;
    CCheckListCtrl* m_fields = nullptr;
    QWidget* m_openPane = nullptr;
    QStringList m_users;
};

namespace brindle {

// The Export command: the dialog, then the export with the wait cursor and its messages.
// `selectedRows` are the rows selected in the bookmark list.
void RunExportCommand(CBrindleDoc& doc, const std::vector<std::uint32_t>& selectedRows,
                      QWidget* parent);

} // namespace brindle
