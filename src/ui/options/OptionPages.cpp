// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/options/OptionPages.h"

#include "platform/FontDescription.h"
#include "status/StatusTable.h"
#include "store/PreferenceLimits.h"
#include "store/TimeFormat.h"
#include "ui/widgets/DialogRunner.h"
#include "ui/widgets/FileDialogs.h"
#include "ui/widgets/HotKeyCtrl.h"
#include "ui/widgets/MessageBox.h"
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

using brindle::MessageBox;

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

std::string S(const QString& text) {
    return text.toStdString();
}

// The standard refusal of a number outside its range; selects the field.
void RefuseNumber(QLineEdit* field, int low, int high) {
    MessageBox::Exclamation(
        field->window(),
        COptionPage::tr("Please enter an integer between %1 and %2.").arg(low).arg(high));
    field->setFocus();
    field->selectAll();
}

QToolButton* ImageButton(const QString& icon, const QString& tip, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setIcon(QIcon(icon));
    button->setToolTip(tip);
    return button;
}

QIcon StatusIcon(int icon) {
    return QIcon(QStringLiteral(":/icons/status/status%1.svg").arg(icon));
}

} // namespace

// --- General ------------------------------------------------------------------------------

CGeneralOptionPage::CGeneralOptionPage(QWidget* parent) : COptionPage(parent) {
    confirm = new QCheckBox(tr("&Confirm when deleting bookmarks"), this);
    autoSave = new QCheckBox(tr("&Automatic Saves"), this);
    reload = new QCheckBox(tr("Reload last file at &Startup"), this);
    backup = new QCheckBox(tr("Create &backup file"), this);
    fontButton = new QPushButton(tr("Display Font..."), this);
    fontSample = new QLabel(this);
    fontSample->setFrameShape(QFrame::StyledPanel);
    fastKey = new QLineEdit(this);
    timeFormat = new QLineEdit(this);
    formatButton = ImageButton(QStringLiteral(":/icons/chevron-down.svg"),
                               tr("Insert a date or time part"), this);
    preview = new QLabel(this);
    preview->setFrameShape(QFrame::StyledPanel);
    inTray = new QCheckBox(tr("Display Brindle icon in system tray"), this);
    hide = new QCheckBox(tr("Hide Brindle when minimized"), this);
    maxInTray = new QSpinBox(this);
    maxInTray->setRange(brindle::kMinTrayBookmarks, brindle::kMaxTrayBookmarks);

    struct Letter {
        int id;
        const char* text;
        const char* letter;
    };
    static const Letter kLetters[] = {
        {32870, QT_TR_NOOP("&Seconds"), "S"},       {32871, QT_TR_NOOP("&Minutes"), "M"},
        {32872, QT_TR_NOOP("&Hour(1-12)"), "I"},    {32873, QT_TR_NOOP("&AM,PM"), "A"},
        {32874, QT_TR_NOOP("H&our(0-23)"), "H"},    {32875, QT_TR_NOOP("&Day"), "D"},
        {32876, QT_TR_NOOP("Mo&nth"), "m"},         {32877, QT_TR_NOOP("&2 Digital Year"), "y"},
        {32878, QT_TR_NOOP("&4 Digital Year"), "Y"}};
    m_formatMenu = new QMenu(this);
    for (const Letter& l : kLetters) {
        QAction* item = m_formatMenu->addAction(tr(l.text));
        item->setData(l.id);
        const QString letter = QString::fromLatin1(l.letter);
        connect(item, &QAction::triggered, this, [this, letter] { InsertFormatLetter(letter); });
    }
    connect(formatButton, &QToolButton::clicked, this,
            [this] { m_formatMenu->popup(QCursor::pos()); });
    connect(timeFormat, &QLineEdit::textChanged, this, &CGeneralOptionPage::UpdatePreview);
    connect(fontButton, &QPushButton::clicked, this, &CGeneralOptionPage::ChooseFont);

    auto* layout = new QVBoxLayout(this);
    auto* top = new QGridLayout;
    top->addWidget(confirm, 0, 0);
    top->addWidget(autoSave, 1, 0);
    top->addWidget(reload, 2, 0);
    top->addWidget(backup, 3, 0);
    top->addWidget(fontButton, 0, 1);
    top->addWidget(fontSample, 1, 1);
    layout->addLayout(top);

    auto* fields = new QGridLayout;
    fields->addWidget(new QLabel(tr("Fast Add Keywords"), this), 0, 0);
    fields->addWidget(fastKey, 1, 0);
    auto* formatLabel = new QLabel(tr("Date&&Time"), this);
    formatLabel->setBuddy(timeFormat); // a label with a buddy shows "&&" as "&"
    fields->addWidget(formatLabel, 0, 1, 1, 2);
    fields->addWidget(timeFormat, 1, 1);
    fields->addWidget(formatButton, 1, 2);
    fields->addWidget(preview, 2, 1, 1, 2);
    layout->addLayout(fields);

    auto* tray = new QGroupBox(tr("System Tray"), this);
    auto* trayLayout = new QGridLayout(tray);
    trayLayout->addWidget(inTray, 0, 0, 1, 2);
    trayLayout->addWidget(hide, 1, 0, 1, 2);
    trayLayout->addWidget(new QLabel(tr("Maximum bookmarks in tray menu"), tray), 2, 0);
    trayLayout->addWidget(maxInTray, 2, 1);
    layout->addWidget(tray);
    layout->addStretch();
}

void CGeneralOptionPage::Load(const CPreferences& v) {
    confirm->setChecked(v.m_bConfirm != 0);
    autoSave->setChecked(v.m_bAutoSave != 0);
    reload->setChecked(v.m_bReload != 0);
    backup->setChecked(v.m_bBackup != 0);
    fastKey->setText(Q(v.m_strFastKey));
    timeFormat->setText(Q(v.m_strTimeFormat));
    inTray->setChecked(v.m_bInTray != 0);
    hide->setChecked(v.m_bHide != 0);
    maxInTray->setValue(
        std::clamp(v.m_nMaxInTray, brindle::kMinTrayBookmarks, brindle::kMaxTrayBookmarks));
    m_font = v.m_logFont;
    m_fontSize = v.m_nFontSize;
    fontSample->setText(FontSampleText(m_font));
    UpdatePreview();
}

bool CGeneralOptionPage::Store(CPreferences& v) {
    v.m_bConfirm = confirm->isChecked();
    v.m_bAutoSave = autoSave->isChecked();
    v.m_bReload = reload->isChecked();
    v.m_bBackup = backup->isChecked();
    v.m_strFastKey = S(fastKey->text());
    v.m_strTimeFormat = S(timeFormat->text());
    v.m_bInTray = inTray->isChecked();
    v.m_bHide = hide->isChecked();
    v.m_nMaxInTray = maxInTray->value(); // the spin box holds nothing outside 0-20
    v.m_logFont = m_font;
    v.m_nFontSize = m_fontSize;
    return true;
}

QString CGeneralOptionPage::FontSampleText(const CLogFont& font) {
    const QFont f = brindle::FontFromLogFont(font);
    const int points = f.pointSize() > 0 ? f.pointSize() : qRound(f.pointSizeF());
    return QStringLiteral("%1   %2").arg(f.family()).arg(points);
}

void CGeneralOptionPage::InsertFormatLetter(const QString& letter) {
    const int start =
        timeFormat->hasSelectedText() ? timeFormat->selectionStart() : timeFormat->cursorPosition();
    QString text = timeFormat->text();
    text.insert(start, letter + QLatin1Char(' '));
    timeFormat->setText(text);
    timeFormat->setCursorPosition(start + 2);
    UpdatePreview();
}

void CGeneralOptionPage::UpdatePreview() {
    const std::string pattern = brindle::ExpandTimeFormat(S(timeFormat->text()));
    preview->setText(Q(brindle::FormatTime(static_cast<BrxTime>(std::time(nullptr)), pattern)));
}

void CGeneralOptionPage::ChooseFont() {
    QFontDialog dialog(brindle::FontFromLogFont(m_font), this);
    dialog.setWindowTitle(tr("Font"));
    if (brindle::DialogRunner::Run(dialog) != QDialog::Accepted)
        return;
    const QFont chosen = dialog.currentFont();
    m_font = brindle::LogFontFromFont(chosen);
    m_fontSize = qRound(chosen.pointSizeF() * 10); // tenths of a point
    fontSample->setText(FontSampleText(m_font));
}

// --- Browser ------------------------------------------------------------------------------

CBrowserOptionPage::CBrowserOptionPage(QWidget* parent) : COptionPage(parent) {
    tabs = new QTabBar(this);
    tabs->addTab(QIcon(QStringLiteral(":/icons/link.svg")), tr("Internet Explorer"));
    tabs->addTab(QIcon(QStringLiteral(":/icons/bookmark.svg")), tr("Netscape Navigator"));
    program = new QLineEdit(this);
    programBrowse = ImageButton(QStringLiteral(":/icons/folder-open.svg"), tr("Browse"), this);
    locationLabel = new QLabel(this);
    location = new QLineEdit(this);
    locationBrowse = ImageButton(QStringLiteral(":/icons/folder-open.svg"), tr("Browse"), this);
    preferred = new QRadioButton(tr("P&referred browser"), this);
    // One radio per browser shown in turn: it is set from the values, never unset by a click.
    preferred->setAutoExclusive(false);
    bypass = new QCheckBox(tr("Bypass DDE"), this);
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
    locationLabel->setText(ie ? tr("Favorites &Location") : tr("&Bookmark Location"));
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
    // Programs here have no ".exe": every file is offered after the program filter, and no
    // extension is added to the name chosen.
    const auto path = ChooseFile(
        this, ie ? tr("Internet Explorer Location") : tr("Netscape Navigator Location"),
        tr("Program Files(*.exe)|*.exe|All Files(*.*)|*.*||"), QString(),
        ie ? QStringLiteral("IEXPLORE.exe") : QStringLiteral("netscape.exe"), program->text());
    if (path)
        program->setText(*path);
}

void CBrowserOptionPage::BrowseLocation() {
    if (m_shown == kInternetExplorer) {
        QFileDialog dialog(this, tr("Favorites Location"), location->text());
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        if (brindle::DialogRunner::Run(dialog) == QDialog::Accepted &&
            !dialog.selectedFiles().isEmpty())
            location->setText(dialog.selectedFiles().first());
        return;
    }
    const auto path = ChooseFile(
        this, tr("Netscape Bookmark Location"), tr("Bookmark Files(*.htm;*.html)|*.htm;*.html||"),
        QStringLiteral("htm"), QStringLiteral("bookmark.htm"), location->text());
    if (path)
        location->setText(*path);
}

// --- Status checking ----------------------------------------------------------------------

CStatusOptionPage::CStatusOptionPage(QWidget* parent) : COptionPage(parent) {
    checkNew = new QCheckBox(tr("Check pages even if it is new"), this);
    repair = new QCheckBox(tr("Repair links as they are found"), this);
    direct = new QRadioButton(tr("Direct connection to Internet"), this);
    dialUp = new QRadioButton(tr("DialUp connection to Internet"), this);
    connections = new QSlider(Qt::Horizontal, this);
    connections->setRange(brindle::kMinConnections, brindle::kMaxConnections);
    connections->setTickPosition(QSlider::TicksBelow);
    connections->setPageStep(1);
    connectionsValue = new QLabel(this);
    statusList = new QTreeWidget(this);
    statusList->setHeaderHidden(true);
    statusList->setRootIsDecorated(false);
    statusList->setColumnCount(1);
    statusList->setColumnWidth(0, 140);
    statusList->setSelectionMode(QAbstractItemView::SingleSelection);
    statusList->setIconSize(QSize(12, 12));

    m_iconGroup = new QButtonGroup(this);
    m_iconGroup->setExclusive(true);
    auto* icons = new QGridLayout;
    icons->setSpacing(2);
    for (int icon = 0; icon < brindle::kStatusIconCount; ++icon) {
        auto* button = new QToolButton(this);
        button->setCheckable(true);
        button->setIcon(StatusIcon(icon));
        button->setIconSize(QSize(12, 12));
        m_iconGroup->addButton(button, icon);
        m_iconButtons[static_cast<std::size_t>(icon)] = button;
        icons->addWidget(button, icon / 4, icon % 4);
    }

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(checkNew);
    layout->addWidget(repair);
    auto* connection = new QGridLayout;
    connection->addWidget(direct, 0, 0, 1, 3);
    connection->addWidget(dialUp, 1, 0, 1, 3);
    auto* sliderLabel = new QLabel(tr("&Connection:"), this);
    sliderLabel->setBuddy(connections);
    connection->addWidget(sliderLabel, 2, 0);
    connection->addWidget(connections, 2, 1);
    auto* upTo = new QHBoxLayout;
    upTo->addWidget(new QLabel(tr("Up to :"), this));
    upTo->addWidget(connectionsValue);
    connection->addLayout(upTo, 2, 2);
    layout->addLayout(connection);
    auto* display = new QGroupBox(tr("Status Display"), this);
    auto* displayLayout = new QHBoxLayout(display);
    displayLayout->addWidget(statusList, 1);
    displayLayout->addLayout(icons);
    layout->addWidget(display, 1);

    connect(connections, &QSlider::valueChanged, this,
            [this](int value) { connectionsValue->setText(QString::number(value)); });
    connect(statusList, &QTreeWidget::itemSelectionChanged, this, &CStatusOptionPage::RowSelected);
    connect(m_iconGroup, &QButtonGroup::idClicked, this, &CStatusOptionPage::ChooseIcon);
}

void CStatusOptionPage::Load(const CPreferences& v) {
    checkNew->setChecked(v.m_bCheckNew != 0);
    repair->setChecked(v.m_bRepair != 0);
    (v.m_nConnectMode == 1 ? dialUp : direct)->setChecked(true);
    connections->setValue(
        std::clamp(v.m_nConnectMax, brindle::kMinConnections, brindle::kMaxConnections));
    connectionsValue->setText(QString::number(connections->value()));
    m_icons = v.m_arrStatusIcons;
    statusList->clear();
    for (std::size_t i = 0; i < m_icons.size(); ++i) {
        auto* item = new QTreeWidgetItem(statusList);
        item->setText(0, Q(brindle::GetStatusText(static_cast<int>(m_icons[i] & 0xFFFF))));
        item->setIcon(0, StatusIcon(IconOfRow(static_cast<int>(i))));
    }
}

bool CStatusOptionPage::Store(CPreferences& v) {
    v.m_bCheckNew = checkNew->isChecked();
    v.m_bRepair = repair->isChecked();
    v.m_nConnectMode = dialUp->isChecked() ? 1 : 0;
    v.m_nConnectMax = connections->value();
    v.m_arrStatusIcons = m_icons;
    return true;
}

int CStatusOptionPage::IconOfRow(int row) const {
    if (row < 0 || row >= static_cast<int>(m_icons.size()))
        return -1;
    return static_cast<int>(m_icons[static_cast<std::size_t>(row)] >> 16) %
           brindle::kStatusIconCount;
}

void CStatusOptionPage::RowSelected() {
    const int row = statusList->indexOfTopLevelItem(statusList->currentItem());
    if (row < 0 || statusList->selectedItems().isEmpty())
        return;
    m_iconButtons[static_cast<std::size_t>(IconOfRow(row))]->setChecked(true);
}

void CStatusOptionPage::ChooseIcon(int icon) {
    if (icon < 0 || icon >= brindle::kStatusIconCount || statusList->selectedItems().isEmpty())
        return;
    const int row = statusList->indexOfTopLevelItem(statusList->selectedItems().first());
    auto& entry = m_icons[static_cast<std::size_t>(row)];
    entry = (static_cast<std::uint32_t>(icon) << 16) | (entry & 0xFFFF);
    statusList->topLevelItem(row)->setIcon(0, StatusIcon(icon));
    m_iconButtons[static_cast<std::size_t>(icon)]->setChecked(true);
}

// --- Proxies ------------------------------------------------------------------------------

CProxyOptionPage::CProxyOptionPage(QWidget* parent) : COptionPage(parent) {
    auto* intro = new QLabel(
        tr("a network proxy is conduit between your computer and the Internet and it is used "
           "to access the Internet through a firewall. If you have a direct connection to the "
           "Internet ,you do not need to configure the Proxy server"),
        this);
    intro->setWordWrap(true);
    noProxy = new QRadioButton(tr("&No Proxy"), this);
    useProxy = new QRadioButton(tr("&Use Proxy"), this);
    server = new QLineEdit(this);
    server->setPlaceholderText(tr("Example:proxy.mycomany.com"));
    port = new QLineEdit(this);
    // Digits only; the range is checked on OK so that a wrong number can be reported.
    port->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,9}")), port));
    user = new QLineEdit(this);
    password = new QLineEdit(this);
    password->setEchoMode(QLineEdit::Password);
    plainTextNotice =
        new QLabel(tr("No secret store answered: the password is stored in plain text."), this);
    plainTextNotice->setWordWrap(true);
    plainTextNotice->hide();
    auto* outro = new QLabel(tr("Leave the Username and Password fields blank,if your Proxy "
                                "Server does not require authenication"),
                             this);
    outro->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(noProxy);
    layout->addWidget(useProxy);
    auto* form = new QFormLayout;
    auto* serverRow = new QHBoxLayout;
    serverRow->addWidget(server, 3);
    auto* portLabel = new QLabel(tr("&Port:"), this);
    portLabel->setBuddy(port);
    serverRow->addWidget(portLabel);
    serverRow->addWidget(port, 1);
    auto* serverLabel = new QLabel(tr("&Server:"), this);
    serverLabel->setBuddy(server);
    form->addRow(serverLabel, serverRow);
    form->addRow(tr("Username:"), user);
    auto* passwordRow = new QVBoxLayout;
    passwordRow->addWidget(password);
    passwordRow->addWidget(plainTextNotice);
    form->addRow(tr("Password:"), passwordRow);
    layout->addLayout(form);
    layout->addWidget(outro);
    layout->addStretch();

    connect(noProxy, &QRadioButton::toggled, this, &CProxyOptionPage::EnableFields);
}

void CProxyOptionPage::EnableFields() {
    const bool on = useProxy->isChecked();
    for (QLineEdit* e : {server, port, user, password})
        e->setEnabled(on);
}

void CProxyOptionPage::SetPasswordInPlainText(bool plain) {
    plainTextNotice->setVisible(plain);
}

void CProxyOptionPage::Load(const CPreferences& v) {
    (v.m_bHasProxy ? useProxy : noProxy)->setChecked(true);
    server->setText(Q(v.m_strProxyServer));
    port->setText(QString::number(v.m_nProxyPort));
    user->setText(Q(v.m_strProxyUser));
    password->setText(Q(v.m_strProxyPassword));
    EnableFields();
}

bool CProxyOptionPage::Store(CPreferences& v) {
    bool ok = false;
    const int number = port->text().toInt(&ok);
    if (!ok || number < brindle::kMinProxyPort || number > brindle::kMaxProxyPort) {
        RefuseNumber(port, brindle::kMinProxyPort, brindle::kMaxProxyPort);
        return false;
    }
    v.m_bHasProxy = useProxy->isChecked();
    v.m_strProxyServer = S(server->text());
    v.m_nProxyPort = number;
    v.m_strProxyUser = S(user->text());
    v.m_strProxyPassword = S(password->text());
    return true;
}

// --- Hot keys -----------------------------------------------------------------------------

CHotkeyOptionPage::CHotkeyOptionPage(QWidget* parent) : COptionPage(parent) {
    auto* intro = new QLabel(
        tr("The hotkeys below are global to Windows and will be active even when Brindle is "
           "minimized.Because of this,make sure you pick keys that will not interfere with "
           "other programs."),
        this);
    intro->setWordWrap(true);
    static const char* const kLabels[] = {
        QT_TR_NOOP("switch to Brindle:"), QT_TR_NOOP("Add Bookmark from Browser:"),
        QT_TR_NOOP("Fast Add Bookmark from Browser:"), QT_TR_NOOP("Add Bookmark from Clipboard:")};
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    auto* form = new QFormLayout;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        keys[i] = new CHotKeyCtrl(this);
        form->addRow(tr(kLabels[i]), keys[i]);
    }
    layout->addLayout(form);
    layout->addStretch();
}

void CHotkeyOptionPage::Load(const CPreferences& v) {
    for (std::size_t i = 0; i < keys.size(); ++i)
        keys[i]->SetHotKey(v.m_wHotKeyVk[i], v.m_wHotKeyMods[i]);
}

bool CHotkeyOptionPage::Store(CPreferences& v) {
    for (std::size_t i = 0; i < keys.size(); ++i) {
        // The control holds one byte of key and four flag bits, nothing else.
        v.m_wHotKeyVk[i] = keys[i]->VirtualKey();
        v.m_wHotKeyMods[i] = keys[i]->Flags();
    }
    return true;
}
