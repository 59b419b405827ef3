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

CHotkeyOptionPage::CHotkeyOptionPage(QWidget* parent) : COptionPage(parent) {
    auto* intro = WrappedText(
        tr("The hotkeys below work in every program of your desktop and stay active even when "
           "Brindle is minimized. Because of this, make sure you pick keys that will not "
           "interfere with other programs."));
    static const char* const kLabels[] = {
        QT_TR_NOOP("Switch to Brindle:"), QT_TR_NOOP("Add Bookmark from Browser:"),
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
