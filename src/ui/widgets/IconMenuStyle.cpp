// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/widgets/IconMenuStyle.h"

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QStyleOptionMenuItem>

namespace {

constexpr int kSeparatorHeight = 6;
constexpr int kEmptyWidth = 100;

} // namespace

CIconMenuStyle::CIconMenuStyle() = default;

CIconMenuStyle* CIconMenuStyle::Instance() {
    static CIconMenuStyle* style = [] {
        auto* s = new CIconMenuStyle;
        s->setParent(qApp); // goes with the application
        return s;
    }();
    return style;
}

void CIconMenuStyle::Apply(QMenu* menu) {
    if (!menu)
        return;
    menu->setStyle(Instance());
    for (QAction* action : menu->actions())
        Apply(action->menu());
}

void CIconMenuStyle::Apply(QMenuBar* bar) {
    bar->setStyle(Instance());
    for (QAction* action : bar->actions())
        Apply(action->menu());
}

int CIconMenuStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                                const QWidget* widget) const {
    switch (metric) {
    case PM_MenuHMargin:
    case PM_MenuVMargin:
        return 1;
    case PM_MenuPanelWidth:
        return 2;
    case PM_SmallIconSize:
        return widget && qobject_cast<const QMenu*>(widget)
                   ? kImageSize
                   : QProxyStyle::pixelMetric(metric, option, widget);
    default:
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
}

QSize CIconMenuStyle::sizeFromContents(ContentsType type, const QStyleOption* option,
                                       const QSize& size, const QWidget* widget) const {
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (!item)
        return QProxyStyle::sizeFromContents(type, option, size, widget);
    const QFontMetrics metrics(item->font);
    if (type == CT_MenuBarItem) {
        const QString text = QString(item->text).remove(QLatin1Char('&'));
        return {metrics.horizontalAdvance(text) + 30, metrics.height() + 6};
    }
    if (type != CT_MenuItem)
        return QProxyStyle::sizeFromContents(type, option, size, widget);
    if (item->menuItemType == QStyleOptionMenuItem::Separator)
        return {10, kSeparatorHeight};
    if (item->text.isEmpty())
        return {kEmptyWidth, kImageSize + 5};
    const int height = std::max(kImageSize + 5, metrics.height());
    QString text = item->text;
    text.remove(QLatin1Char('&'));
    const int tab = text.indexOf(QLatin1Char('\t'));
    int width = metrics.horizontalAdvance(tab < 0 ? text : text.left(tab));
    if (tab >= 0)
        width += 2 * kKeyMargin + metrics.horizontalAdvance(text.mid(tab + 1));
    width += std::max(item->reservedShortcutWidth, 0);
    if (item->menuItemType == QStyleOptionMenuItem::SubMenu)
        width += height / 2;
    return {width + 17 + std::max(kImageSize, height), height};
}

void CIconMenuStyle::drawControl(ControlElement element, const QStyleOption* option,
                                 QPainter* painter, const QWidget* widget) const {
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (item && element == CE_MenuItem) {
        DrawMenuItem(*item, painter);
        return;
    }
    if (item && element == CE_MenuBarItem) {
        DrawMenuBarItem(*item, painter);
        return;
    }
    if (element == CE_MenuBarEmptyArea) {
        painter->fillRect(option->rect, option->palette.window());
        return;
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}

void CIconMenuStyle::DrawMenuBarItem(const QStyleOptionMenuItem& item, QPainter* painter) const {
    const QPalette& pal = item.palette;
    painter->save();
    painter->fillRect(item.rect, pal.window());
    const bool enabled = item.state & State_Enabled;
    const bool selected = (item.state & State_Selected) && (item.state & State_Sunken);
    QRect text = item.rect;
    if (selected && enabled) {
        text.translate(2, 1);
        // Sunken: shadow above and left, highlight below and right.
        const QRect r = item.rect.adjusted(0, 0, -1, -1);
        painter->setPen(pal.color(QPalette::Dark));
        painter->drawLine(r.topLeft(), r.topRight());
        painter->drawLine(r.topLeft(), r.bottomLeft());
        painter->setPen(pal.color(QPalette::Light));
        painter->drawLine(r.bottomLeft(), r.bottomRight());
        painter->drawLine(r.topRight(), r.bottomRight());
    }
    painter->setPen(enabled ? pal.color(QPalette::WindowText)
                            : pal.color(QPalette::Disabled, QPalette::WindowText));
    painter->setFont(item.font);
    painter->drawText(text, Qt::AlignCenter | Qt::TextShowMnemonic | Qt::TextSingleLine, item.text);
    painter->restore();
}

void CIconMenuStyle::DrawMenuItem(const QStyleOptionMenuItem& item, QPainter* painter) const {
    const QPalette& pal = item.palette;
    const QRect r = item.rect;
    painter->save();
    painter->fillRect(r, pal.window()); // the menu colour under everything

    if (item.menuItemType == QStyleOptionMenuItem::Separator) {
        const int y = r.center().y();
        painter->setPen(pal.color(QPalette::Dark));
        painter->drawLine(r.left(), y, r.right(), y);
        painter->setPen(pal.color(QPalette::Light));
        painter->drawLine(r.left(), y + 1, r.right(), y + 1);
        painter->restore();
        return;
    }

    const bool enabled = item.state & State_Enabled;
    const bool selected = item.state & State_Selected;
    const bool checked = item.checkType != QStyleOptionMenuItem::NotCheckable && item.checked;
    const bool hasImage = !item.icon.isNull();
    const QRect box(r.left(), r.top(), r.height(), r.height());
    const QRect textArea = r.adjusted(box.width() + 1, 0, 0, 0);

    // The highlight: beside the box when there is an image or a check, else the whole item.
    if (selected)
        painter->fillRect(hasImage || checked ? textArea : r, pal.highlight());

    if (hasImage) {
        const QRect frame = box.adjusted(0, 0, -1, -1);
        if (selected && enabled) { // raised
            painter->setPen(pal.color(QPalette::Light));
            painter->drawLine(frame.topLeft(), frame.topRight());
            painter->drawLine(frame.topLeft(), frame.bottomLeft());
            painter->setPen(pal.color(QPalette::Dark));
            painter->drawLine(frame.bottomLeft(), frame.bottomRight());
            painter->drawLine(frame.topRight(), frame.bottomRight());
        }
        const QPixmap image = item.icon.pixmap(QSize(kImageSize, kImageSize),
                                               enabled ? QIcon::Normal : QIcon::Disabled);
        const QPoint at(box.left() + (box.width() - kImageSize) / 2,
                        box.top() + (box.height() - kImageSize) / 2);
        painter->drawPixmap(at, image);
    } else if (checked) {
        QStyleOption check;
        check.rect = box.adjusted(3, 3, -3, -3);
        check.palette = pal;
        check.state = State_On | (enabled ? State_Enabled : State_None);
        proxy()->drawPrimitive(PE_IndicatorMenuCheckMark, &check, painter);
    }

    const int tab = item.text.indexOf(QLatin1Char('\t'));
    const QString label = tab < 0 ? item.text : item.text.left(tab);
    const QString keys = tab < 0 ? QString() : item.text.mid(tab + 1);
    const QRect labelRect = textArea.adjusted(2, 0, -kKeyMargin, 0);
    const int flags = Qt::AlignVCenter | Qt::TextShowMnemonic | Qt::TextSingleLine;
    painter->setFont(item.font);
    auto drawTexts = [&](const QRect& area) {
        painter->drawText(area, flags | Qt::AlignLeft, label);
        if (!keys.isEmpty())
            painter->drawText(area, flags | Qt::AlignRight, keys);
    };
    if (!enabled) {
        painter->setPen(pal.color(QPalette::Light));
        drawTexts(labelRect.translated(1, 1));
        painter->setPen(pal.color(QPalette::Disabled, QPalette::WindowText));
        drawTexts(labelRect);
    } else {
        painter->setPen(selected ? pal.color(QPalette::HighlightedText)
                                 : pal.color(QPalette::WindowText));
        drawTexts(labelRect);
    }

    if (item.menuItemType == QStyleOptionMenuItem::SubMenu) {
        QStyleOption arrow;
        const int size = r.height() / 2;
        arrow.rect = QRect(r.right() - size, r.top() + (r.height() - size) / 2, size, size);
        arrow.palette = pal;
        arrow.state = item.state;
        proxy()->drawPrimitive(PE_IndicatorArrowRight, &arrow, painter);
    }
    painter->restore();
}
