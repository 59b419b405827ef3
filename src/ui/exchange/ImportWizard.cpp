// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/exchange/ImportWizard.h"

#include "exchange/ExchangeFiles.h"
#include "exchange/ExchangeFormats.h"
#include "exchange/ProfileExport.h"
#include "platform/BrowserProfiles.h"
#include "platform/PathDetection.h"
#include "ui/widgets/FileDialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace brindle {

WizardSources FindWizardSources(const QString& home) {
    WizardSources sources;
    const std::string homeDir = home.toStdString();
    if (home.isEmpty()) {
        sources.favoritesFolder = QString::fromStdString(DetectFavoritesPath());
    } else {
        const QString favorites = home + QStringLiteral("/Favorites");
        if (QFileInfo(favorites).isDir())
            sources.favoritesFolder = favorites;
    }
    // A Netscape user's file: the bookmark.htm of a Firefox profile (Brindle writes one there),
    // then every profile's own bookmark store.
    for (const NetscapeUser& user : FindNetscapeUsers(homeDir)) {
        const std::string file = user.profileFolder + "/" + kProfileBookmarkFile;
        if (!user.profileFolder.empty() && FileExists(file))
            sources.userFiles << QString::fromStdString(file);
    }
    for (const BrowserProfile& profile : FindBrowserProfiles(homeDir))
        sources.userFiles << QString::fromStdString(profile.file);
    return sources;
}

} // namespace brindle

namespace {

// Says on a page what was looked for and not found, and how to go on.
QLabel* NotFoundNote(const QString& text, QWidget* parent) {
    auto* note = new QLabel(text, parent);
    note->setObjectName(QStringLiteral("notFoundNote"));
    note->setWordWrap(true);
    return note;
}

// A browse dialog's filter: the files of one exchange format.
QString BrowseFilter(const char* name, brindle::FormatId format) {
    return QString::fromStdString(brindle::FilterEntry(name, brindle::FormatOf(format)) + '|');
}

QToolButton* MakeBrowseButton(QWidget* parent, bool folder) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QStringLiteral("browse"));
    button->setIcon(QIcon(folder ? QStringLiteral(":/icons/folder-open.svg")
                                 : QStringLiteral(":/icons/file-input.svg")));
    return button;
}

} // namespace

CImportWiz1::CImportWiz1(QWidget* parent) : QWizardPage(parent) {
    setObjectName(QStringLiteral("importWiz1"));
    auto* layout = new QVBoxLayout(this);
    auto* text =
        new QLabel(tr("The Import Wizard can import from any of the following sources"), this);
    text->setWordWrap(true);
    layout->addWidget(text);
    auto* list = new QListWidget(this);
    list->setSelectionMode(QAbstractItemView::NoSelection);
    list->setFocusPolicy(Qt::NoFocus);
    list->addItem(new QListWidgetItem(QIcon(QStringLiteral(":/icons/bookmark.svg")),
                                      tr("A Favorites folder of .url shortcut files")));
    list->addItem(new QListWidgetItem(QIcon(QStringLiteral(":/icons/book-open.svg")),
                                      tr("Firefox and Chromium-family browsers, bookmark files")));
    list->addItem(
        new QListWidgetItem(QIcon(QStringLiteral(":/icons/file-input.svg")), tr("Powermarks 3.0")));
    layout->addWidget(list);
    m_skipDuplicates =
        new QCheckBox(tr("&Skip bookmarks whose address is already in the collection"), this);
    m_skipDuplicates->setObjectName(QStringLiteral("skipDuplicates"));
    m_skipDuplicates->setToolTip(
        tr("Addresses that differ only in letter case, a default port or campaign parameters "
           "(utm_..., fbclid) count as already there."));
    layout->addWidget(m_skipDuplicates);
}

CImportWiz2::CImportWiz2(const QString& favoritesFolder, QWidget* parent)
    : CImportLocationPage(parent) {
    setObjectName(QStringLiteral("importWiz2"));
    setTitle(tr("Favorites Folder"));
    auto* layout = new QVBoxLayout(this);
    m_check = new QCheckBox(tr("Import Favorites"), this);
    m_check->setObjectName(QStringLiteral("importFavorites"));
    layout->addWidget(m_check);
    if (favoritesFolder.isEmpty())
        layout->addWidget(NotFoundNote(
            tr("No Favorites folder was found (looked for %1). To import one, tick the box "
               "and choose a folder of .url files.")
                .arg(QDir::toNativeSeparators(QDir::homePath() + QStringLiteral("/Favorites"))),
            this));
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(tr("Location"), this));
    m_location = new QLineEdit(this);
    m_location->setObjectName(QStringLiteral("favoritesLocation"));
    row->addWidget(m_location, 1);
    m_browse = MakeBrowseButton(this, true);
    row->addWidget(m_browse);
    layout->addLayout(row);
    layout->addStretch(1);
    if (!favoritesFolder.isEmpty()) {
        m_check->setChecked(true);
        m_location->setText(favoritesFolder);
    }
    Enable();
    connect(m_check, &QCheckBox::toggled, this, [this] { Enable(); });
    connect(m_browse, &QToolButton::clicked, this, [this] {
        const auto folder =
            brindle::FileDialogs::Folder(this, tr("Select a directory for import favorite file"),
                                         QString::fromStdString(brindle::DetectFavoritesPath()));
        if (folder)
            m_location->setText(*folder);
    });
}

void CImportLocationPage::Enable() {
    m_location->setEnabled(m_check->isChecked());
    m_browse->setEnabled(m_check->isChecked());
}

CImportWiz3::CImportWiz3(const QStringList& userFiles, QWidget* parent)
    : QWizardPage(parent), m_haveUsers(!userFiles.isEmpty()) {
    setObjectName(QStringLiteral("importWiz3"));
    setTitle(tr("Browser Bookmarks"));
    auto* layout = new QVBoxLayout(this);
    m_check = new QCheckBox(tr("Import Browser Bookmarks"), this);
    m_check->setObjectName(QStringLiteral("importNetscape"));
    layout->addWidget(m_check);
    if (userFiles.isEmpty())
        layout->addWidget(NotFoundNote(
            tr("No browser profile was found: looked for Firefox in ~/.mozilla/firefox and for "
               "Chromium, Chrome, Brave and Vivaldi in ~/.config (also as Flatpak and Snap "
               "installs). To import a file, tick the box and choose a bookmark file (HTML), "
               "a Firefox places.sqlite or a Chromium-family Bookmarks file."),
            this));
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(tr("Location"), this));
    m_location = new QComboBox(this);
    m_location->setObjectName(QStringLiteral("netscapeLocation"));
    m_location->setEditable(true);
    m_location->setInsertPolicy(QComboBox::InsertAlphabetically);
    QStringList sorted = userFiles;
    sorted.sort();
    m_location->addItems(sorted);
    m_location->setMinimumContentsLength(40);
    row->addWidget(m_location, 1);
    m_browse = MakeBrowseButton(this, false);
    row->addWidget(m_browse);
    layout->addLayout(row);
    m_allUsers = new QCheckBox(tr("Import all profiles' bookmarks"), this);
    m_allUsers->setObjectName(QStringLiteral("allUsers"));
    layout->addWidget(m_allUsers);
    layout->addStretch(1);
    m_check->setChecked(m_haveUsers);
    Enable();
    connect(m_check, &QCheckBox::toggled, this, [this] { Enable(); });
    connect(m_allUsers, &QCheckBox::toggled, this, [this] { Enable(); });
    connect(m_browse, &QToolButton::clicked, this, [this] {
        // Starts at the file typed or chosen, else offers "bookmark.htm".
        const QString typed = m_location->currentText().trimmed();
        const auto file = brindle::FileDialogs::OpenFile(
            this, tr("Select Bookmark File"),
            // The browsers' own files are read by their content as well.
            BrowseFilter("Bookmark File", brindle::FormatId::Netscape).chopped(1) +
                tr("Firefox places.sqlite|places.sqlite|Chromium Bookmarks|Bookmarks|"
                   "All Files(*)|*||"),
            typed.isEmpty() ? QStringLiteral("bookmark.htm") : typed);
        if (file)
            m_location->setEditText(*file);
    });
}

void CImportWiz3::Enable() {
    const bool on = m_check->isChecked();
    m_allUsers->setEnabled(on && m_haveUsers);
    const bool single = on && !(m_allUsers->isEnabled() && m_allUsers->isChecked());
    m_location->setEnabled(single);
    m_browse->setEnabled(single);
}

CImportWiz4::CImportWiz4(QWidget* parent) : CImportLocationPage(parent) {
    setObjectName(QStringLiteral("importWiz4"));
    setTitle(tr("Powermarks 3.0 Bookmarks"));
    auto* layout = new QVBoxLayout(this);
    m_check = new QCheckBox(tr("Import Powermarks 3.0 Bookmarks"), this);
    m_check->setObjectName(QStringLiteral("importPowermarks"));
    layout->addWidget(m_check);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(tr("Location"), this));
    m_location = new QLineEdit(this);
    m_location->setObjectName(QStringLiteral("powermarksLocation"));
    row->addWidget(m_location, 1);
    m_browse = MakeBrowseButton(this, false);
    row->addWidget(m_browse);
    layout->addLayout(row);
    layout->addStretch(1);
    Enable();
    connect(m_check, &QCheckBox::toggled, this, [this] { Enable(); });
    connect(m_browse, &QToolButton::clicked, this, [this] {
        const auto file = brindle::FileDialogs::OpenFile(
            this, tr("Select a Powermarks 3.0 File"),
            BrowseFilter("Powermarks 3.0 File", brindle::FormatId::Powermarks));
        if (file)
            m_location->setText(*file);
    });
}

CImportWizSheet::CImportWizSheet(const brindle::WizardSources& sources, QWidget* parent)
    : QWizard(parent), m_sources(sources) {
    setObjectName(QStringLiteral("importWizard"));
    setWindowTitle(tr("Import Wizard"));
    setWizardStyle(QWizard::ClassicStyle);
    m_page1 = new CImportWiz1(this);
    addPage(m_page1);
    m_page2 = new CImportWiz2(sources.favoritesFolder, this);
    addPage(m_page2);
    m_page3 = new CImportWiz3(sources.userFiles, this);
    addPage(m_page3);
    m_page4 = new CImportWiz4(this);
    addPage(m_page4);
}

brindle::WizardChoices CImportWizSheet::Choices() const {
    brindle::WizardChoices c;
    c.favorites = m_page2->Check()->isChecked();
    c.favoritesFolder = m_page2->Location()->text().trimmed();
    c.netscape = m_page3->Check()->isChecked();
    c.allUsers = m_page3->AllUsers()->isEnabled() && m_page3->AllUsers()->isChecked();
    c.netscapeFile = m_page3->Location()->currentText().trimmed();
    c.userFiles = m_sources.userFiles;
    c.powermarks = m_page4->Check()->isChecked();
    c.powermarksFile = m_page4->Location()->text().trimmed();
    c.skipDuplicates = m_page1->SkipDuplicates()->isChecked();
    return c;
}
