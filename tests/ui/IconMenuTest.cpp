// SPDX-License-Identifier: GPL-3.0-or-later
// The menu look: where the highlight goes, the image box, disabled items and separators, drawn
// into an image with colours that tell the parts apart.

#include "ui/widgets/IconMenuStyle.h"

#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QStyleOptionMenuItem>

#include <gtest/gtest.h>

namespace {

const QColor kMenu(255, 255, 255);
const QColor kHighlight(255, 0, 255);
const QColor kLight(0, 255, 0);
const QColor kDark(90, 90, 90);
const QColor kGrey(0, 0, 255);
const QColor kImage(255, 0, 0);

class IconMenuTest : public ::testing::Test {
  protected:
    QStyleOptionMenuItem Item(const QString& text, bool withImage, bool selected, bool enabled) {
        QStyleOptionMenuItem item;
        item.menuItemType = QStyleOptionMenuItem::Normal;
        item.text = text;
        QPalette pal;
        pal.setColor(QPalette::Window, kMenu);
        pal.setColor(QPalette::Highlight, kHighlight);
        pal.setColor(QPalette::Light, kLight);
        pal.setColor(QPalette::Dark, kDark);
        pal.setColor(QPalette::Disabled, QPalette::WindowText, kGrey);
        item.palette = pal;
        QFont font;
        font.setPixelSize(20);
        item.font = font;
        if (withImage) {
            QPixmap image(16, 16);
            image.fill(kImage);
            item.icon = QIcon(image);
        }
        item.state = QStyle::State(enabled ? QStyle::State_Enabled : QStyle::State_None) |
                     (selected ? QStyle::State_Selected : QStyle::State_None);
        item.rect = QRect(0, 0, 200, 24);
        return item;
    }
    QImage Draw(const QStyleOptionMenuItem& item) {
        QImage image(item.rect.size(), QImage::Format_RGB32);
        image.fill(Qt::black);
        QPainter painter(&image);
        style.drawControl(QStyle::CE_MenuItem, &item, &painter);
        return image;
    }
    static bool Contains(const QImage& image, const QRect& area, const QColor& colour) {
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                if (image.pixelColor(x, y) == colour)
                    return true;
        return false;
    }

    CIconMenuStyle style;
};

TEST_F(IconMenuTest, WithoutAnImageTheHighlightCoversTheWholeItem) {
    const QImage image = Draw(Item(QStringLiteral("Select All"), false, true, true));
    EXPECT_EQ(image.pixelColor(1, 12), kHighlight);
    EXPECT_EQ(image.pixelColor(195, 2), kHighlight);
    // No box frame: the left column is highlight from top to bottom.
    for (int y = 0; y < 24; ++y)
        EXPECT_EQ(image.pixelColor(0, y), kHighlight) << y;
}

TEST_F(IconMenuTest, WithAnImageTheBoxIsRaisedAndOnlyTheTextHighlighted) {
    const QImage image = Draw(Item(QStringLiteral("Copy\tCtrl+C"), true, true, true));
    EXPECT_EQ(image.pixelColor(0, 5), kLight); // raised: light on the left and top
    EXPECT_EQ(image.pixelColor(5, 0), kLight);
    EXPECT_EQ(image.pixelColor(22, 5), kDark); // and dark on the right and bottom
    EXPECT_EQ(image.pixelColor(5, 22), kDark);
    EXPECT_EQ(image.pixelColor(2, 12), kMenu);   // the box beside the image is not highlighted
    EXPECT_EQ(image.pixelColor(12, 12), kImage); // the image centred in the box
    EXPECT_EQ(image.pixelColor(30, 2), kHighlight);

    // Not selected: a flat box, no highlight anywhere.
    const QImage plain = Draw(Item(QStringLiteral("Copy\tCtrl+C"), true, false, true));
    EXPECT_EQ(plain.pixelColor(0, 5), kMenu);
    EXPECT_FALSE(Contains(plain, plain.rect(), kHighlight));
}

TEST_F(IconMenuTest, DisabledItemsAreEmbossedAndGreyWithALightShadow) {
    const QImage image = Draw(Item(QStringLiteral("Paste"), true, true, false));
    EXPECT_NE(image.pixelColor(12, 12), kImage); // the image in its disabled look
    EXPECT_EQ(image.pixelColor(0, 5), kMenu);    // selected but disabled: no raised box
    const QRect text(25, 0, 175, 24);
    EXPECT_TRUE(Contains(image, text, kGrey));
    EXPECT_TRUE(Contains(image, text, kLight));
}

TEST_F(IconMenuTest, SeparatorsAreEtchedAndItemsSizedAroundTheirImages) {
    QStyleOptionMenuItem separator = Item(QString(), false, false, true);
    separator.menuItemType = QStyleOptionMenuItem::Separator;
    separator.rect = QRect(0, 0, 50, 6);
    EXPECT_EQ(style.sizeFromContents(QStyle::CT_MenuItem, &separator, {}).height(), 6);
    const QImage image = Draw(separator);
    const int y = separator.rect.center().y();
    EXPECT_EQ(image.pixelColor(10, y), kDark);
    EXPECT_EQ(image.pixelColor(10, y + 1), kLight);

    const QStyleOptionMenuItem empty = Item(QString(), false, false, true);
    EXPECT_EQ(style.sizeFromContents(QStyle::CT_MenuItem, &empty, {}), QSize(100, 21));
    const QStyleOptionMenuItem item = Item(QStringLiteral("Dictionary"), true, false, true);
    const QSize size = style.sizeFromContents(QStyle::CT_MenuItem, &item, {});
    const int height = std::max(21, QFontMetrics(item.font).height());
    EXPECT_EQ(size.height(), height);
    EXPECT_EQ(size.width(),
              QFontMetrics(item.font).horizontalAdvance(QStringLiteral("Dictionary")) + 17 +
                  std::max(16, height));
}

TEST_F(IconMenuTest, ApplyReachesNestedPopUps) {
    QMenuBar bar;
    QMenu* file = bar.addMenu(QStringLiteral("&File"));
    QMenu* sub = file->addMenu(QStringLiteral("&New Macro"));
    CIconMenuStyle::Apply(&bar);
    EXPECT_EQ(bar.style(), CIconMenuStyle::Instance());
    EXPECT_EQ(file->style(), CIconMenuStyle::Instance());
    EXPECT_EQ(sub->style(), CIconMenuStyle::Instance());
}

} // namespace
