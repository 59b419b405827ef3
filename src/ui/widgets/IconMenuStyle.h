// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// CIconMenuStyle: the look of the program's menus with command images. Each command has a square
// image box at its left (raised while the item is selected, flat otherwise, the image embossed
// when the command is disabled); the highlight covers only the text when there is an image or a
// check, the whole item otherwise; the key text after the tab is right-aligned with a 15-pixel
// margin; disabled text is drawn with a one-pixel light shadow in the grey-text colour;
// separators are etched; menu-bar titles are centred and drawn sunken, shifted 2 right and 1
// down, while open. Images are 16 x 16 here.

#include <QProxyStyle>

class QMenu;
class QMenuBar;

class CIconMenuStyle : public QProxyStyle {
    Q_OBJECT
  public:
    static constexpr int kImageSize = 16;
    static constexpr int kKeyMargin = 15;

    CIconMenuStyle();

    // The one instance the menus share.
    static CIconMenuStyle* Instance();
    // Gives `menu` (and the pop-ups under it) this look.
    static void Apply(QMenu* menu);
    static void Apply(QMenuBar* bar);

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget = nullptr) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;

  private:
    void DrawMenuItem(const class QStyleOptionMenuItem& item, QPainter* painter) const;
    void DrawMenuBarItem(const class QStyleOptionMenuItem& item, QPainter* painter) const;
};
