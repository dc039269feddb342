// The main window's handlers: captions following the sliders, the no-gender
// box, the About window and Exit.

#include <gtest/gtest.h>

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "editor/Editor.h"
#include "ui/ValueSlider.h"
#include "tests/ui/support/RecordingMessageBoxes.h"

namespace {

class EditorTest : public ::testing::Test {
protected:
    testing_ui::RecordingMessageBoxes boxes;
    Editor editor{&boxes};
    ui::EditorForm& form = editor.form;
};

TEST_F(EditorTest, StartsWithNothingLoaded) {
    EXPECT_EQ(editor.windowTitle(), "Quillmere");
    EXPECT_EQ(form.Version->text(), "None");
    EXPECT_FALSE(form.FrameKreblin->isEnabled());
    EXPECT_TRUE(editor.State().RomFile.empty());
    EXPECT_EQ(editor.AboutWindow(), nullptr);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(EditorTest, CaptionsShowSliderValuesInHex) {
    form.Pitch->setValue(16);
    EXPECT_EQ(form.DatPitch->text(), "10");
    form.Pitch->setValue(255);
    EXPECT_EQ(form.DatPitch->text(), "FF");
    form.Echo->setValue(10);
    EXPECT_EQ(form.DatEcho->text(), "A");
    form.Length->setValue(767);
    EXPECT_EQ(form.DatLength->text(), "2FF");
    form.Length->setValue(0);
    EXPECT_EQ(form.DatLength->text(), "0");
    form.Gender->setValue(254);
    EXPECT_EQ(form.GenderValueCaption->text(), "FE");
    form.Gender->setValue(0);
    EXPECT_EQ(form.GenderValueCaption->text(), "0");  // not "00" once the value has changed
}

TEST_F(EditorTest, AssigningTheCurrentValueRaisesNothing) {
    QSignalSpy spy(form.Pitch, &QScrollBar::valueChanged);
    form.Pitch->setValue(0);
    EXPECT_EQ(spy.count(), 0);
    EXPECT_EQ(form.DatPitch->text(), "0");
    form.Gender->setValue(0);
    EXPECT_EQ(form.GenderValueCaption->text(), "00");
}

TEST_F(EditorTest, DraggingTheThumbUpdatesTheCaptionContinuously) {
    form.Length->setTracking(false);  // even when the value only follows on release
    form.Length->setSliderDown(true);
    form.Length->setSliderPosition(0x140);
    EXPECT_EQ(form.DatLength->text(), "140");
    form.Length->setSliderPosition(0x141);
    EXPECT_EQ(form.DatLength->text(), "141");
    form.Length->setSliderDown(false);
    EXPECT_EQ(form.Length->value(), 0x141);
    EXPECT_EQ(form.DatLength->text(), "141");

    form.Gender->setSliderDown(true);
    form.Gender->setSliderPosition(0x7F);
    EXPECT_EQ(form.GenderValueCaption->text(), "7F");
    form.Gender->setSliderDown(false);
}

TEST_F(EditorTest, UserClickOnTheTrackMovesByOne) {
    form.FrameCry->setEnabled(true);
    editor.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&editor));
    QTest::mouseClick(form.Pitch, Qt::LeftButton, {}, QPoint(form.Pitch->width() * 3 / 4, form.Pitch->height() / 2));
    EXPECT_EQ(form.Pitch->value(), 1);
    EXPECT_EQ(form.DatPitch->text(), "1");
}

// Right and Left move a focused slider by one, Home and End to its ends; the
// thumb moves the same way and the caption follows every key.
TEST_F(EditorTest, ArrowKeysHomeAndEndMoveEachSliderAndItsCaption) {
    form.FrameCry->setEnabled(true);
    form.FrameGender->setEnabled(true);
    editor.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&editor));
    struct Case {
        QScrollBar* slider;
        QLabel* caption;
        const char* atEnd;
        const char* belowEnd;
    };
    for (const Case& c : {Case{form.Pitch, form.DatPitch, "FF", "FE"}, Case{form.Echo, form.DatEcho, "FF", "FE"},
                          Case{form.Length, form.DatLength, "2FF", "2FE"},
                          Case{form.Gender, form.GenderValueCaption, "FE", "FD"}}) {
        const std::string name = c.slider->objectName().toStdString();
        auto* slider = qobject_cast<ui::ValueSlider*>(c.slider);
        ASSERT_NE(slider, nullptr) << name;
        slider->setFocus();
        const int left = slider->ThumbRect().left();

        QTest::keyClick(slider, Qt::Key_Right);
        EXPECT_EQ(slider->value(), 1) << name;
        EXPECT_EQ(c.caption->text(), "1") << name;
        QTest::keyClick(slider, Qt::Key_Right);
        EXPECT_EQ(slider->value(), 2) << name;
        EXPECT_EQ(c.caption->text(), "2") << name;
        QTest::keyClick(slider, Qt::Key_Left);
        EXPECT_EQ(slider->value(), 1) << name;
        EXPECT_EQ(c.caption->text(), "1") << name;

        // Enough steps to the right move the thumb visibly to the right.
        for (int i = 0; i < 40; ++i) QTest::keyClick(slider, Qt::Key_Right);
        EXPECT_EQ(slider->value(), 41) << name;
        EXPECT_EQ(c.caption->text(), "29") << name;
        EXPECT_GT(slider->ThumbRect().left(), left) << name;

        QTest::keyClick(slider, Qt::Key_End);
        EXPECT_EQ(c.caption->text(), c.atEnd) << name;
        QTest::keyClick(slider, Qt::Key_Right);  // stays at the end
        EXPECT_EQ(c.caption->text(), c.atEnd) << name;
        EXPECT_GE(slider->ThumbRect().right(), slider->width() - slider->height() - 1) << name;
        QTest::keyClick(slider, Qt::Key_Left);
        EXPECT_EQ(c.caption->text(), c.belowEnd) << name;

        QTest::keyClick(slider, Qt::Key_Home);
        EXPECT_EQ(slider->value(), 0) << name;
        EXPECT_EQ(c.caption->text(), "0") << name;
        QTest::keyClick(slider, Qt::Key_Left);  // stays at the start
        EXPECT_EQ(slider->value(), 0) << name;
        EXPECT_EQ(slider->ThumbRect().left(), left) << name;
    }
}

TEST_F(EditorTest, NoGenderBoxSwitchesTheSliderOffAndOn) {
    form.FrameGender->setEnabled(true);  // as once a species is loaded
    form.Gender->setValue(31);
    form.NoGender->setChecked(true);
    EXPECT_EQ(form.GenderValueCaption->text(), "FF");
    EXPECT_FALSE(form.Gender->isEnabled());
    EXPECT_EQ(form.Gender->value(), 31);

    // While ticked, the caption stays "FF" even if code moves the slider.
    form.Gender->setValue(40);
    EXPECT_EQ(form.GenderValueCaption->text(), "FF");
    form.Gender->setValue(31);

    form.NoGender->setChecked(false);
    EXPECT_TRUE(form.Gender->isEnabled());
    EXPECT_EQ(form.GenderValueCaption->text(), "1F");

    // A click by the user runs the same handler.
    QTest::mouseClick(form.NoGender, Qt::LeftButton, {}, QPoint(6, form.NoGender->height() / 2));
    EXPECT_TRUE(form.NoGender->isChecked());
    EXPECT_EQ(form.GenderValueCaption->text(), "FF");
}

TEST_F(EditorTest, AboutTwiceLeavesOneWindow) {
    editor.show();
    form.AboutButton->trigger();
    QPointer<ui::About> first = editor.AboutWindow();
    ASSERT_FALSE(first.isNull());
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(first->parent(), nullptr);
    form.AboutButton->trigger();
    EXPECT_EQ(editor.AboutWindow(), first.data());
    int abouts = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<ui::About*>(w) != nullptr && w->isVisible()) ++abouts;
    EXPECT_EQ(abouts, 1);
    // The main window stays usable meanwhile.
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    // Closed, it is destroyed; the next About creates it anew.
    first->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(editor.AboutWindow(), nullptr);
    form.AboutButton->trigger();
    ASSERT_NE(editor.AboutWindow(), nullptr);
    EXPECT_TRUE(editor.AboutWindow()->isVisible());
    editor.AboutWindow()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(EditorTest, ExitClosesEveryWindowAndEndsTheEventLoop) {
    editor.show();
    form.AboutButton->trigger();
    QPointer<ui::About> about = editor.AboutWindow();
    ASSERT_FALSE(about.isNull());
    form.Pitch->setValue(9);  // an unsaved edit: nothing asks about it

    QTimer::singleShot(0, &editor, [this] { form.Exit->trigger(); });
    QObject guard;  // ends the fallback timer with this test
    QTimer::singleShot(5000, &guard, [] { QCoreApplication::exit(99); });  // only if Exit failed to end it
    const int result = QApplication::exec();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    EXPECT_EQ(result, 0);
    EXPECT_FALSE(editor.isVisible());
    EXPECT_TRUE(about.isNull());
    EXPECT_TRUE(boxes.shown.empty());
}

}  // namespace
