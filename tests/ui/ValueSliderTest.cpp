// The window's sliders: the focus they show and the page and up/down keys
// (the arrows, Home and End are checked on the main window).

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

#include "ui/ValueSlider.h"

namespace {

class ValueSliderTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto* layout = new QVBoxLayout(&window);
        slider = new ui::ValueSlider(&window);
        slider->setRange(0, 255);
        slider->setFixedSize(193, 16);
        other = new QLineEdit(&window);
        layout->addWidget(slider);
        layout->addWidget(other);
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    // Whether the slider's outer pixels show the highlight colour.
    bool ShowsFocusFrame() {
        const QImage image = slider->grab().toImage();
        const QRgb highlight = slider->palette().color(QPalette::Highlight).rgb();
        const QPoint edges[] = {{slider->width() / 2, 0}, {slider->width() / 2, slider->height() - 1},
                                {0, slider->height() / 2}, {slider->width() - 1, slider->height() / 2}};
        for (const QPoint& p : edges)
            if (image.pixel(p * image.devicePixelRatio()) != highlight) return false;
        return true;
    }

    QWidget window;
    ui::ValueSlider* slider = nullptr;
    QLineEdit* other = nullptr;
};

TEST_F(ValueSliderTest, AFocusedSliderShowsAFrameInTheHighlightColour) {
    other->setFocus();
    ASSERT_FALSE(slider->hasFocus());
    EXPECT_FALSE(ShowsFocusFrame());
    QTest::keyClick(other, Qt::Key_Backtab, Qt::ShiftModifier);  // focus moves by keyboard, as a user does
    ASSERT_TRUE(slider->hasFocus());
    EXPECT_TRUE(ShowsFocusFrame());
    other->setFocus();
    EXPECT_FALSE(ShowsFocusFrame());
}

TEST_F(ValueSliderTest, PageKeysMoveByAPageUpAndDownByOne) {
    slider->setPageStep(16);
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_PageDown);
    EXPECT_EQ(slider->value(), 16);
    QTest::keyClick(slider, Qt::Key_PageUp);
    EXPECT_EQ(slider->value(), 0);
    QTest::keyClick(slider, Qt::Key_Down);
    EXPECT_EQ(slider->value(), 1);
    QTest::keyClick(slider, Qt::Key_Up);
    EXPECT_EQ(slider->value(), 0);
}

TEST_F(ValueSliderTest, ShiftAndCtrlDoNotTurnTheArrowsAround) {
    slider->setValue(10);
    slider->setFocus();
    for (Qt::KeyboardModifier modifier : {Qt::ShiftModifier, Qt::ControlModifier}) {
        QTest::keyClick(slider, Qt::Key_Right, modifier);
        EXPECT_EQ(slider->value(), 11) << modifier;
        QTest::keyClick(slider, Qt::Key_Left, modifier);
        EXPECT_EQ(slider->value(), 10) << modifier;
    }
}

}  // namespace
