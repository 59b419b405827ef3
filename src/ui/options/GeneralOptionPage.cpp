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
