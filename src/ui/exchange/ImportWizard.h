// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// CImportWizSheet ("Import Wizard"): four pages that gather the Favorites folder, the Netscape
// users' bookmark files (here: every browser profile found: Firefox's places and bookmark.htm
// files, Chromium's Bookmarks files) and a Powermarks 3.0 file for one import.

#include <QStringList>
#include <QWizard>
#include <QWizardPage>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QToolButton;

namespace brindle {

// What the wizard found on the machine before it opens.
struct WizardSources {
    QString favoritesFolder; // "" when there is none
    QStringList userFiles;   // each user's bookmark file that exists, in profile order
};
// Looks in `home` (the user's home when empty).
WizardSources FindWizardSources(const QString& home = QString());

// What the user asked for on Finish.
struct WizardChoices {
    bool favorites = false;
    QString favoritesFolder;
    bool netscape = false;
    bool allUsers = false;
    QString netscapeFile;
    QStringList userFiles;
    bool powermarks = false;
    QString powermarksFile;
    // Bookmarks whose address has the normal form of one already there are left out.
    bool skipDuplicates = false;
};

} // namespace brindle

class CImportWiz1 : public QWizardPage {
    Q_OBJECT
  public:
    explicit CImportWiz1(QWidget* parent = nullptr);
    QCheckBox* SkipDuplicates() const { return m_skipDuplicates; }

  private:
    QCheckBox* m_skipDuplicates;
};

// A page of one source read from a typed location: a box that ticks it, the location and its
// browse button, which follow the box.
class CImportLocationPage : public QWizardPage {
  public:
    using QWizardPage::QWizardPage;
    QCheckBox* Check() const { return m_check; }
    QLineEdit* Location() const { return m_location; }
    QToolButton* BrowseButton() const { return m_browse; }

  protected:
    void Enable();
    QCheckBox* m_check = nullptr;
    QLineEdit* m_location = nullptr;
    QToolButton* m_browse = nullptr;
};

class CImportWiz2 : public CImportLocationPage {
    Q_OBJECT
  public:
    CImportWiz2(const QString& favoritesFolder, QWidget* parent = nullptr);
};

class CImportWiz3 : public QWizardPage {
    Q_OBJECT
  public:
    CImportWiz3(const QStringList& userFiles, QWidget* parent = nullptr);
    QCheckBox* Check() const { return m_check; }
    QComboBox* Location() const { return m_location; }
    QToolButton* BrowseButton() const { return m_browse; }
    QCheckBox* AllUsers() const { return m_allUsers; }

  private:
    void Enable();
    bool m_haveUsers;
    QCheckBox* m_check;
    QComboBox* m_location;
    QToolButton* m_browse;
    QCheckBox* m_allUsers;
};

class CImportWiz4 : public CImportLocationPage {
    Q_OBJECT
  public:
    explicit CImportWiz4(QWidget* parent = nullptr);
};

class CImportWizSheet : public QWizard {
    Q_OBJECT
  public:
    CImportWizSheet(const brindle::WizardSources& sources, QWidget* parent = nullptr);

    CImportWiz1* FirstPage() const { return m_page1; }
    CImportWiz2* FavoritesPage() const { return m_page2; }
    CImportWiz3* NetscapePage() const { return m_page3; }
    CImportWiz4* PowermarksPage() const { return m_page4; }
    brindle::WizardChoices Choices() const;

  private:
    brindle::WizardSources m_sources;
    CImportWiz1* m_page1;
    CImportWiz2* m_page2;
    CImportWiz3* m_page3;
    CImportWiz4* m_page4;
};
