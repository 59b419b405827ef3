// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// CHyperLink: a text that opens an address (web page, mail address) through the desktop when
// clicked or when Space is pressed on it. Blue until opened once, purple after, red under the
// mouse, teal while it has the focus; the background stays transparent.

#include <QColor>
#include <QLabel>
#include <QString>

#include <functional>

class CHyperLink : public QLabel {
    Q_OBJECT

  public:
    // Option bits.
    enum : unsigned {
        kUnderlined = 1,       // underline the text
        kColourOnHover = 2,    // use the hover colour under the mouse
        kSizeToText = 4,       // the control is as large as its text
        kOpenOnButtonDown = 8, // open when the button goes down (else when it comes up)
        kFocusOnClick = 16,    // take the keyboard focus when clicked
        kNormalCursor = 32,    // keep the normal cursor (else the hand)
        kNoFocusColour = 64,   // ignore the focus when colouring
    };
    static constexpr unsigned kDefaultOptions =
        kUnderlined | kColourOnHover | kSizeToText | kFocusOnClick;

    static const QColor kUnvisitedColour; // RGB(0,0,255)
    static const QColor kVisitedColour;   // RGB(128,0,128)
    static const QColor kFocusColour;     // RGB(0,128,128)
    static const QColor kHoverColour;     // RGB(255,0,0)

    // Opens an address; returns a shell-style result: above 32 when it was opened, otherwise
    // an error number whose text OpenErrorText gives.
    using Opener = std::function<int(const QString& address)>;
    // Replaces the opener for every link (tests); an empty one restores the desktop's.
    // Returns the previous opener.
    static Opener SetOpener(Opener opener);
    // The desktop's opener (QDesktopServices::openUrl): 33 on success, 31 when no program
    // takes the address, 2 when it is not an address at all.
    static int OpenWithDesktop(const QString& address);
    static QString OpenErrorText(int result);

    // An empty address becomes the text, an empty text the address.
    explicit CHyperLink(const QString& text = QString(), const QString& address = QString(),
                        QWidget* parent = nullptr, unsigned options = kDefaultOptions);

    void SetAddress(const QString& address);
    QString Address() const { return m_address; }
    void SetText(const QString& text);
    void SetOptions(unsigned options);
    unsigned Options() const { return m_options; }
    void SetVisited(bool visited);

    bool IsVisited() const { return m_visited; }
    bool IsHovering() const { return m_hover; }
    bool HasFocusState() const { return m_focus; }
    // The colour the text is drawn in now.
    QColor CurrentColour() const;

    // Opens the address. On success the link becomes visited; on failure the user hears a
    // beep and reads "Can't open link:" with the reason, and the link stays as it was.
    bool Open();

  protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    void SetHover(bool hover);
    void UpdateLook();
    void UpdateSize();

    QString m_address;
    unsigned m_options = kDefaultOptions;
    bool m_hover = false;
    bool m_visited = false;
    bool m_focus = false;
};
