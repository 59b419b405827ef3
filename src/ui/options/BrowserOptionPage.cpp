// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/options/OptionPages.h"

#include "platform/FontDescription.h"
#include "status/StatusTable.h"
#include "store/PreferenceLimits.h"
#include "store/TimeFormat.h"
#include "ui/widgets/DialogRunner.h"
#include "ui/widgets/FileDialogs.h"
#include "ui/widgets/HotKeyCtrl.h"
#include "ui/window/CommandIds.h"
#include <QButtonGroup>
#include <QCheckBox>
#include <QCursor>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QSlider>
#include <QSpinBox>
#include <QTabBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <ctime>
#include <optional>

CBrowserOptionPage::CBrowserOptionPage(QWidget* parent) : COptionPage(parent) {
    tabs = new QTabBar(this);
    // Browser 1 is the desktop's default browser unless a program is named; browser 2 is
    // Firefox (the program named, else the one on the PATH).
    tabs->addTab(QIcon(QStringLiteral(":/icons/link.svg")), tr("Default Browser"));
    tabs->addTab(QIcon(QStringLiteral(":/icons/bookmark.svg")), tr("Firefox"));
    program = new QLineEdit(this);
    programBrowse = ImageButton(QStringLiteral(":/icons/folder-open.svg"), tr("Browse"), this);
    locationLabel = new QLabel(this);
    location = new QLineEdit(this);
    locationBrowse = ImageButton(QStringLiteral(":/icons/folder-open.svg"), tr("Browse"), this);
    preferred = new QRadioButton(tr("P&referred browser"), this);
    // One radio per browser shown in turn: it is set from the values, never unset by a click.
    preferred->setAutoExclusive(false);
    // The stored bypass values have no meaning here; the box keeps them without being shown.
    bypass = new QCheckBox(this);
    bypass->setObjectName(QStringLiteral("bypassBox"));
    bypass->hide();
    always =
        new QCheckBox(tr("Only use preferred browser even if another browser is running"), this);

    auto* programLabel = new QLabel(tr("&Program Location"), this);
    programLabel->setBuddy(program);
    locationLabel->setBuddy(location);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    auto* grid = new QGridLayout;
    grid->addWidget(programLabel, 0, 0, 1, 2);
    grid->addWidget(program, 1, 0);
    grid->addWidget(programBrowse, 1, 1);
    grid->addWidget(locationLabel, 2, 0, 1, 2);
    grid->addWidget(location, 3, 0);
    grid->addWidget(locationBrowse, 3, 1);
    layout->addLayout(grid);
    layout->addWidget(preferred);
    layout->addWidget(bypass);
    layout->addWidget(always);
    layout->addStretch();

    connect(tabs, &QTabBar::currentChanged, this, [this](int index) {
        if (index != m_shown)
            ShowBrowser(index);
    });
    connect(preferred, &QRadioButton::clicked, this, [this] { preferred->setChecked(true); });
    connect(programBrowse, &QToolButton::clicked, this, &CBrowserOptionPage::BrowseProgram);
    connect(locationBrowse, &QToolButton::clicked, this, &CBrowserOptionPage::BrowseLocation);
}

void CBrowserOptionPage::Load(const CPreferences& v) {
    m_browsers[kInternetExplorer] = {v.m_strIEPath, v.m_strFavPath, v.m_bIEBypass};
    m_browsers[kNetscape] = {v.m_strNetscapePath, v.m_strNBookmarkPath, v.m_bNBypass};
    m_prefer = v.m_nPrefer;
    always->setChecked(v.m_bAlways != 0);
    m_shown = kInternetExplorer;
    const QSignalBlocker block(tabs);
    tabs->setCurrentIndex(kInternetExplorer);
    ShowValues();
}

void CBrowserOptionPage::TakeControls() {
    BrowserValues& b = m_browsers[static_cast<std::size_t>(m_shown)];
    b.program = S(program->text());
    b.location = S(location->text());
    b.bypass = bypass->isChecked();
    if (preferred->isChecked())
        m_prefer = m_shown == kInternetExplorer ? brindle::kPreferIE : brindle::kPreferNetscape;
}

void CBrowserOptionPage::ShowValues() {
    const BrowserValues& b = m_browsers[static_cast<std::size_t>(m_shown)];
    const bool ie = m_shown == kInternetExplorer;
    locationLabel->setText(ie ? tr("Favorites &Folder (.url files)") : tr("&Bookmark File"));
    program->setPlaceholderText(ie ? tr("The desktop's default browser (xdg-open)")
                                   : tr("firefox, found on the PATH"));
    program->setText(Q(b.program));
    location->setText(Q(b.location));
    bypass->setChecked(b.bypass != 0);
    // Prefer 1 is Internet Explorer; any other value Netscape Navigator.
    preferred->setChecked(ie ? m_prefer == brindle::kPreferIE : m_prefer != brindle::kPreferIE);
}

void CBrowserOptionPage::ShowBrowser(int browser) {
    if (browser == m_shown)
        return;
    TakeControls();
    m_shown = browser;
    if (tabs->currentIndex() != browser) {
        const QSignalBlocker block(tabs);
        tabs->setCurrentIndex(browser);
    }
    ShowValues();
}

bool CBrowserOptionPage::Store(CPreferences& v) {
    TakeControls();
    v.m_strIEPath = m_browsers[kInternetExplorer].program;
    v.m_strFavPath = m_browsers[kInternetExplorer].location;
    v.m_bIEBypass = m_browsers[kInternetExplorer].bypass;
    v.m_strNetscapePath = m_browsers[kNetscape].program;
    v.m_strNBookmarkPath = m_browsers[kNetscape].location;
    v.m_bNBypass = m_browsers[kNetscape].bypass;
    v.m_nPrefer = m_prefer;
    v.m_bAlways = always->isChecked();
    return true;
}

namespace {

// A file dialog that starts at `current` (its folder, with its name chosen) or else offers
// `defaultName`; the chosen path, or nothing when cancelled.
std::optional<QString> ChooseFile(QWidget* parent, const QString& title, const QString& filter,
                                  const QString& suffix, const QString& defaultName,
                                  const QString& current) {
    QFileDialog dialog(parent, title, QString(), brindle::FileDialogs::QtFilter(filter));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(suffix);
    const QFileInfo start(current);
    if (!current.isEmpty() && start.dir().exists()) {
        dialog.setDirectory(start.dir());
        dialog.selectFile(start.fileName());
    } else {
        dialog.selectFile(defaultName);
    }
    if (brindle::DialogRunner::Run(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

} // namespace

void CBrowserOptionPage::BrowseProgram() {
    const bool ie = m_shown == kInternetExplorer;
    // Programs here have no extension: every file is offered, and none is added to the name.
    const auto path =
        ChooseFile(this, ie ? tr("Browser Program") : tr("Firefox Program"), tr("All Files(*)|*||"),
                   QString(), ie ? QString() : QStringLiteral("firefox"), program->text());
    if (path)
        program->setText(*path);
}

void CBrowserOptionPage::BrowseLocation() {
    if (m_shown == kInternetExplorer) {
        QFileDialog dialog(this, tr("Favorites Folder"), location->text());
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        if (brindle::DialogRunner::Run(dialog) == QDialog::Accepted &&
            !dialog.selectedFiles().isEmpty())
            location->setText(dialog.selectedFiles().first());
        return;
    }
    const auto path = ChooseFile(
        this, tr("Bookmark File Location"), tr("Bookmark Files(*.htm;*.html)|*.htm;*.html||"),
        QStringLiteral("htm"), QStringLiteral("bookmark.htm"), location->text());
    if (path)
        location->setText(*path);
}
