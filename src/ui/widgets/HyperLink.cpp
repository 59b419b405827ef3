// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/widgets/HyperLink.h"

#include "ui/widgets/MessageBox.h"

#include <QApplication>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QUrl>

const QColor CHyperLink::kUnvisitedColour = QColor(0, 0, 255);
const QColor CHyperLink::kVisitedColour = QColor(128, 0, 128);
const QColor CHyperLink::kFocusColour = QColor(0, 128, 128);
const QColor CHyperLink::kHoverColour = QColor(255, 0, 0);

namespace {

CHyperLink::Opener& CurrentOpener() {
    static CHyperLink::Opener opener;
    return opener;
}

} // namespace

CHyperLink::Opener CHyperLink::SetOpener(Opener opener) {
    Opener previous = CurrentOpener();
    CurrentOpener() = std::move(opener);
    return previous;
}

int CHyperLink::OpenWithDesktop(const QString& address) {
    const QString trimmed = address.trimmed();
    if (trimmed.isEmpty())
        return 2;
    const QUrl url = QUrl::fromUserInput(trimmed);
    if (!url.isValid())
        return 2;
    return QDesktopServices::openUrl(url) ? 33 : 31;
}

QString CHyperLink::OpenErrorText(int result) {
    switch (result) {
    case 0:
        return tr("The operating system is out\nof memory or resources.");
    case 2:
        return tr("The specified file was not found.");
    case 3:
        return tr("The specified path was not found.");
    case 5:
        return tr("The operating system denied\naccess to the specified file.");
    case 8:
        return tr("There was not enough memory to complete the operation.");
    case 11:
        return tr("The program that opens links\nis not a valid program.");
    case 26:
        return tr("A sharing violation occurred. ");
    case 27:
        return tr("The filename association is\nincomplete or invalid.");
    case 28:
        return tr("The program that opens links\ndid not answer in time.");
    case 29:
        return tr("The program that opens links failed.");
    case 30:
        return tr("The program that opens links\nis busy with other requests.");
    case 31:
        return tr("There is no application associated\nwith the given filename extension.");
    case 32:
        return tr("A shared library the program needs was not found.");
    default:
        return tr("Unknown Error (%1) occurred.").arg(result);
    }
}

CHyperLink::CHyperLink(const QString& text, const QString& address, QWidget* parent,
                       unsigned options)
    : QLabel(parent), m_address(address), m_options(options) {
    if (m_address.isEmpty())
        m_address = text;
    QLabel::setText(text.isEmpty() ? m_address : text);
    setTextFormat(Qt::PlainText);
    setFocusPolicy(Qt::TabFocus);
    setMouseTracking(true);
    setAutoFillBackground(false);
    setToolTip(m_address);
    SetOptions(options);
}

void CHyperLink::SetAddress(const QString& address) {
    m_address = address;
    setToolTip(m_address);
    UpdateSize();
}

void CHyperLink::SetText(const QString& text) {
    QLabel::setText(text);
    UpdateSize();
}

void CHyperLink::SetOptions(unsigned options) {
    m_options = options;
    QFont linkFont = font();
    linkFont.setUnderline((m_options & kUnderlined) != 0);
    setFont(linkFont);
    if (m_options & kNormalCursor)
        unsetCursor();
    else
        setCursor(Qt::PointingHandCursor);
    if (m_options & kSizeToText)
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    else
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    UpdateSize();
    UpdateLook();
}

void CHyperLink::SetVisited(bool visited) {
    m_visited = visited;
    UpdateLook();
}

QColor CHyperLink::CurrentColour() const {
    if (m_hover && (m_options & kColourOnHover))
        return kHoverColour;
    if (m_focus && !(m_options & kNoFocusColour))
        return kFocusColour;
    return m_visited ? kVisitedColour : kUnvisitedColour;
}

bool CHyperLink::Open() {
    const Opener& opener = CurrentOpener();
    const int result = opener ? opener(m_address) : OpenWithDesktop(m_address);
    if (result > 32) {
        SetVisited(true);
        return true;
    }
    QApplication::beep();
    brindle::MessageBox::Show(this, tr("Can't open link:\n\n") + OpenErrorText(result),
                              QMessageBox::Ok, brindle::MessageBox::Icon::Exclamation);
    return false;
}

void CHyperLink::enterEvent(QEnterEvent* event) {
    SetHover(true);
    QLabel::enterEvent(event);
}

void CHyperLink::leaveEvent(QEvent* event) {
    SetHover(false);
    QLabel::leaveEvent(event);
}

void CHyperLink::mouseMoveEvent(QMouseEvent* event) {
    // While a button is held the moves keep coming outside the control.
    SetHover(rect().contains(event->position().toPoint()));
    QLabel::mouseMoveEvent(event);
}

void CHyperLink::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QLabel::mousePressEvent(event);
        return;
    }
    if (m_options & kFocusOnClick)
        setFocus(Qt::MouseFocusReason);
    m_focus = true;
    UpdateLook();
    if (m_options & kOpenOnButtonDown)
        Open();
    event->accept();
}

void CHyperLink::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QLabel::mouseReleaseEvent(event);
        return;
    }
    // The pressed look lasts while the button is down unless the control kept the focus.
    if (!hasFocus()) {
        m_focus = false;
        UpdateLook();
    }
    // Letting go outside the control cancels the click.
    if (!(m_options & kOpenOnButtonDown) && rect().contains(event->position().toPoint()))
        Open();
    event->accept();
}

void CHyperLink::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
        Open();
        event->accept();
        return;
    }
    QLabel::keyPressEvent(event);
}

void CHyperLink::focusInEvent(QFocusEvent* event) {
    m_focus = true;
    UpdateLook();
    QLabel::focusInEvent(event);
}

void CHyperLink::focusOutEvent(QFocusEvent* event) {
    m_focus = false;
    m_hover = false;
    UpdateLook();
    QLabel::focusOutEvent(event);
}

void CHyperLink::SetHover(bool hover) {
    if (hover == m_hover)
        return;
    m_hover = hover;
    UpdateLook();
}

void CHyperLink::UpdateLook() {
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, CurrentColour());
    setPalette(colours);
    update();
}

void CHyperLink::UpdateSize() {
    if (m_options & kSizeToText)
        adjustSize();
}
