// The About window's definition.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QFontMetricsF>
#include <QPointer>
#include <QTest>

#include "ui/About.h"
#include "ui/Artwork.h"

namespace {

TEST(AboutTest, WindowIsAFixedOwnerlessToolWindowDestroyedOnClose) {
    QPointer<ui::About> about = new ui::About();
    EXPECT_EQ(about->windowTitle(), "About");
    EXPECT_EQ(about->parent(), nullptr);
    EXPECT_FALSE(about->isModal());
    EXPECT_EQ(about->size(), QSize(288, 74));
    EXPECT_EQ(about->minimumSize(), about->maximumSize());
    const Qt::WindowFlags flags = about->windowFlags();
    EXPECT_EQ(about->windowType(), Qt::Tool);  // no taskbar entry
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(about->testAttribute(Qt::WA_QuitOnClose));  // keeps the program running while open
    EXPECT_EQ(about->windowIcon().availableSizes().value(0), QSize(32, 32));

    about->show();
    about->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(about.isNull());
}

TEST(AboutTest, ControlsAndTexts) {
    ui::About about;
    EXPECT_EQ(about.Label2->text(), "Quillmere");
    EXPECT_TRUE(about.Label2->font().italic());
    EXPECT_EQ(about.Label2->font().weight(), QFont::Normal);
    EXPECT_DOUBLE_EQ(about.Label2->font().pointSizeF(), 18.0);
    EXPECT_EQ(about.Label2->geometry(), QRect(8, 0, 281, 25));

    EXPECT_EQ(about.Image1->geometry(), QRect(8, 32, 52, 37));
    ASSERT_FALSE(about.Image1->pixmap().isNull());
    EXPECT_EQ(about.Image1->pixmap().size(), QSize(48, 33));
    EXPECT_EQ(about.Image1->contentsRect().size(), QSize(48, 33));  // a 2-pixel border all round
    EXPECT_FALSE(about.Image1->hasScaledContents());

    EXPECT_FALSE(about.Label1->text().isEmpty());
    EXPECT_EQ(about.Label1->geometry(), QRect(64, 32, 113, 17));
    EXPECT_EQ(about.Label3->textFormat(), Qt::PlainText);
    EXPECT_FALSE(about.Label3->openExternalLinks());
    EXPECT_TRUE(about.Label3->text().contains(".invalid"));
    EXPECT_EQ(about.Label4->text(), "'Cause all games were better on the GBC.");
    EXPECT_EQ(about.Label4->geometry(), QRect(72, 48, 201, 17));
    for (QLabel* label : {about.Label1, about.Label2, about.Label3, about.Label4})
        EXPECT_LE(QFontMetricsF(label->font()).horizontalAdvance(label->text()), label->width())
            << label->objectName().toStdString();
}

TEST(AboutTest, PlacedByTheWindowSystemWithNoKeyboardCommandOfItsOwn) {
    // Any new window of the same size, left to the window system.
    QWidget plain(nullptr, Qt::Tool);
    plain.setFixedSize(ui::kAboutClientWidth, ui::kAboutClientHeight);
    plain.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&plain));
    const QPoint defaultPlace = plain.pos();
    plain.close();

    ui::About about;
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    // Nothing in the program moved it (no centring either): the window system chose its place.
    EXPECT_FALSE(about.testAttribute(Qt::WA_Moved));
    EXPECT_EQ(about.pos(), defaultPlace);
    // Escape, Enter and Space do nothing; only the window system's close closes it.
    for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
        QTest::keyClick(&about, key);
        EXPECT_TRUE(about.isVisible()) << key;
    }
    EXPECT_TRUE(about.close());
}

TEST(AboutTest, ArtworkIsBuiltIn) {
    EXPECT_EQ(ui::AboutPicture().size(), QSize(48, 33));
    EXPECT_EQ(ui::AppIcon().pixmap(32, 32).size(), QSize(32, 32));
}

}  // namespace
