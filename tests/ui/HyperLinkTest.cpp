// SPDX-License-Identifier: GPL-3.0-or-later
// CHyperLink: colours for the unvisited, hovered, visited and focused states, opening through
// a replaced opener, and the failure message.

#include "ui/widgets/HyperLink.h"
#include "ui/widgets/MessageBox.h"

#include <QApplication>
#include <QEnterEvent>
#include <QImage>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class HyperLinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        brindle::MessageBox::Reset();
        m_previous = CHyperLink::SetOpener([this](const QString& address) {
            m_opened << address;
            return m_result;
        });
    }
    void TearDown() override {
        CHyperLink::SetOpener(m_previous);
        brindle::MessageBox::Reset();
    }

    static void Enter(CHyperLink& link) {
        const QPointF inside(2, 2);
        QEnterEvent enter(inside, link.mapToGlobal(inside), link.mapToGlobal(inside));
        QApplication::sendEvent(&link, &enter);
    }
    static void Leave(CHyperLink& link) {
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(&link, &leave);
    }
    // Whether the drawn control shows `colour` (the underline is drawn in it, solid).
    static bool Shows(CHyperLink& link, const QColor& colour) {
        const QImage image = link.grab().toImage();
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixelColor(x, y).rgb() == colour.rgb())
                    return true;
        return false;
    }

    QStringList m_opened;
    int m_result = 42;
    CHyperLink::Opener m_previous;
};

TEST_F(HyperLinkTest, TextAndAddressStandInForEachOther) {
    CHyperLink onlyAddress(QString(), QStringLiteral("https://example.org/"));
    EXPECT_EQ(onlyAddress.text(), QStringLiteral("https://example.org/"));
    EXPECT_EQ(onlyAddress.toolTip(), QStringLiteral("https://example.org/"));

    CHyperLink onlyText(QStringLiteral("https://example.org/a"));
    EXPECT_EQ(onlyText.Address(), QStringLiteral("https://example.org/a"));

    CHyperLink both(QStringLiteral("Example"), QStringLiteral("https://example.org/b"));
    both.SetAddress(QStringLiteral("https://example.org/c"));
    EXPECT_EQ(both.text(), QStringLiteral("Example"));
    EXPECT_EQ(both.toolTip(), QStringLiteral("https://example.org/c"));
}

TEST_F(HyperLinkTest, ColoursFollowHoverAndVisited) {
    CHyperLink link(QStringLiteral("Example link"), QStringLiteral("https://example.org/"));
    EXPECT_EQ(link.CurrentColour(), QColor(0, 0, 255));
    EXPECT_TRUE(Shows(link, QColor(0, 0, 255)));

    Enter(link);
    EXPECT_TRUE(link.IsHovering());
    EXPECT_EQ(link.CurrentColour(), QColor(255, 0, 0));
    EXPECT_TRUE(Shows(link, QColor(255, 0, 0)));
    EXPECT_FALSE(Shows(link, QColor(0, 0, 255)));
    Leave(link);
    EXPECT_FALSE(link.IsHovering());
    EXPECT_EQ(link.CurrentColour(), QColor(0, 0, 255));

    ASSERT_TRUE(link.Open());
    EXPECT_TRUE(link.IsVisited());
    EXPECT_EQ(link.CurrentColour(), QColor(128, 0, 128));
    Enter(link);
    EXPECT_EQ(link.CurrentColour(), QColor(255, 0, 0));
    Leave(link);
    EXPECT_EQ(link.CurrentColour(), QColor(128, 0, 128));
    EXPECT_TRUE(Shows(link, QColor(128, 0, 128)));

    // Moving out while the button is held also ends the hover.
    Enter(link);
    QTest::mouseMove(&link, QPoint(link.width() + 20, link.height() + 20));
    QMouseEvent outside(QEvent::MouseMove, QPointF(link.width() + 20, 2), QPointF(), Qt::NoButton,
                        Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&link, &outside);
    EXPECT_FALSE(link.IsHovering());
}

TEST_F(HyperLinkTest, WithoutTheHoverOptionTheColourStays) {
    CHyperLink link(QStringLiteral("Example"), QStringLiteral("https://example.org/"), nullptr,
                    CHyperLink::kDefaultOptions & ~CHyperLink::kColourOnHover);
    Enter(link);
    EXPECT_EQ(link.CurrentColour(), QColor(0, 0, 255));
}

TEST_F(HyperLinkTest, ClickOpensTheAddressOnceOnRelease) {
    CHyperLink link(QStringLiteral("Example"), QStringLiteral("https://example.org/x"));
    link.show();
    QTest::mousePress(&link, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    EXPECT_TRUE(m_opened.isEmpty());
    QTest::mouseRelease(&link, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    EXPECT_EQ(m_opened, QStringList({"https://example.org/x"}));
    EXPECT_TRUE(link.IsVisited());
    EXPECT_TRUE(link.hasFocus() || !link.isActiveWindow()) << "takes the focus when clicked";

    // Letting go outside cancels.
    QTest::mousePress(&link, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    QTest::mouseRelease(&link, Qt::LeftButton, Qt::NoModifier,
                        QPoint(link.width() + 10, link.height() + 10));
    EXPECT_EQ(m_opened.size(), 1);

    // The right button does nothing.
    QTest::mouseClick(&link, Qt::RightButton, Qt::NoModifier, QPoint(2, 2));
    EXPECT_EQ(m_opened.size(), 1);
}

TEST_F(HyperLinkTest, OpenOnButtonDownOption) {
    CHyperLink link(QStringLiteral("Example"), QStringLiteral("https://example.org/down"), nullptr,
                    CHyperLink::kDefaultOptions | CHyperLink::kOpenOnButtonDown);
    link.show();
    QTest::mousePress(&link, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    EXPECT_EQ(m_opened.size(), 1);
    QTest::mouseRelease(&link, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    EXPECT_EQ(m_opened.size(), 1);
}

TEST_F(HyperLinkTest, SpaceOpensAndFocusColoursUntilFocusIsLost) {
    QWidget window;
    auto* link =
        new CHyperLink(QStringLiteral("Example"), QStringLiteral("mailto:a@example.org"), &window);
    auto* other = new QWidget(&window);
    other->setFocusPolicy(Qt::StrongFocus);
    other->move(0, 40);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    Leave(*link); // the pointer may rest where the window appeared
    link->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(link->hasFocus());
    EXPECT_TRUE(link->HasFocusState());
    EXPECT_EQ(link->CurrentColour(), QColor(0, 128, 128));
    Enter(*link);
    EXPECT_EQ(link->CurrentColour(), QColor(255, 0, 0)) << "hover shows over focus";

    QTest::keyClick(link, Qt::Key_Space);
    EXPECT_EQ(m_opened, QStringList({"mailto:a@example.org"}));

    other->setFocus(Qt::TabFocusReason);
    EXPECT_FALSE(link->HasFocusState());
    EXPECT_FALSE(link->IsHovering());
    EXPECT_EQ(link->CurrentColour(), QColor(128, 0, 128));
}

TEST_F(HyperLinkTest, FailureToOpenSaysWhyAndStaysUnvisited) {
    CHyperLink link(QStringLiteral("Example"), QStringLiteral("nowhere:x"));
    m_result = 2;
    brindle::MessageBox::QueueAnswer(QMessageBox::Ok);
    EXPECT_FALSE(link.Open());
    EXPECT_FALSE(link.IsVisited());
    ASSERT_EQ(brindle::MessageBox::History().size(), 1u);
    const auto& asked = brindle::MessageBox::History().front();
    EXPECT_EQ(asked.text, QStringLiteral("Can't open link:\n\nThe specified file was not found."));
    EXPECT_EQ(asked.icon, brindle::MessageBox::Icon::Exclamation);

    // Results up to 32 are failures, whether or not they have a text of their own.
    m_result = 12;
    brindle::MessageBox::QueueAnswer(QMessageBox::Ok);
    EXPECT_FALSE(link.Open());
    ASSERT_EQ(brindle::MessageBox::History().size(), 2u);
    EXPECT_EQ(brindle::MessageBox::History().back().text,
              QStringLiteral("Can't open link:\n\nUnknown Error (12) occurred."));
    EXPECT_FALSE(link.IsVisited());
    m_result = 33;
    EXPECT_TRUE(link.Open());
    EXPECT_TRUE(link.IsVisited());
    EXPECT_EQ(brindle::MessageBox::History().size(), 2u);
    EXPECT_EQ(CHyperLink::OpenErrorText(31),
              QStringLiteral("There is no application associated\nwith the given filename "
                             "extension."));
    EXPECT_EQ(CHyperLink::OpenErrorText(26), QStringLiteral("A sharing violation occurred. "));
    // The texts name what runs here, never another system's services or file kinds.
    for (int code = 0; code <= 40; ++code)
        for (const char* word : {"DDE", ".EXE", "Win32", "dynamic-link"})
            EXPECT_FALSE(CHyperLink::OpenErrorText(code).contains(QLatin1String(word)))
                << code << " " << word;
}

TEST_F(HyperLinkTest, SizesToItsTextAndShowsTheHand) {
    CHyperLink link(QStringLiteral("Short"), QStringLiteral("https://example.org/"));
    const int shortWidth = link.width();
    link.SetText(QStringLiteral("A much longer text than before"));
    EXPECT_GT(link.width(), shortWidth);
    EXPECT_EQ(link.size(), link.sizeHint());
    EXPECT_EQ(link.cursor().shape(), Qt::PointingHandCursor);
    EXPECT_TRUE(link.font().underline());

    link.SetOptions(CHyperLink::kNormalCursor);
    EXPECT_NE(link.cursor().shape(), Qt::PointingHandCursor);
    EXPECT_FALSE(link.font().underline());
}

TEST(HyperLinkDesktopTest, AddressesThatAreNoAddressesFailBeforeTheDesktopIsAsked) {
    EXPECT_EQ(CHyperLink::OpenWithDesktop(QString()), 2);
    EXPECT_EQ(CHyperLink::OpenWithDesktop(QStringLiteral("   ")), 2);
}

} // namespace
