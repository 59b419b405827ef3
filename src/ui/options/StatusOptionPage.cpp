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

namespace {

QIcon StatusIcon(int icon) {
    return QIcon(QStringLiteral(":/icons/status/status%1.svg").arg(icon));
}

} // namespace

CStatusOptionPage::CStatusOptionPage(QWidget* parent) : COptionPage(parent) {
    checkNew = new QCheckBox(tr("Check pages even if it is new"), this);
    repair = new QCheckBox(tr("Repair links as they are found"), this);
    // There is no dial-up here: the connection choice keeps its stored value, unseen.
    direct = new QRadioButton(tr("Direct connection to the Internet"), this);
    dialUp = new QRadioButton(tr("Dial-up connection to the Internet"), this);
    direct->hide();
    dialUp->hide();
    connections = new QSlider(Qt::Horizontal, this);
    connections->setRange(brindle::kMinConnections, brindle::kMaxConnections);
    connections->setTickPosition(QSlider::TicksBelow);
    connections->setPageStep(1);
    connectionsValue = new QLabel(this);
    olderDays = new QSpinBox(this);
    olderDays->setRange(0, brindle::kMaxCheckOlderDays);
    olderDays->setSpecialValueText(tr("every bookmark"));
    olderDays->setSuffix(tr(" days ago"));
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
    auto* older = new QHBoxLayout;
    auto* olderLabel = new QLabel(tr("Check &only bookmarks last checked more than"), this);
    olderLabel->setBuddy(olderDays);
    older->addWidget(olderLabel);
    older->addWidget(olderDays);
    older->addStretch(1);
    layout->addLayout(older);
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
    olderDays->setValue(std::clamp(v.m_nCheckOlderDays, 0, brindle::kMaxCheckOlderDays));
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
    v.m_nCheckOlderDays = olderDays->value();
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
