// Reading and showing codes through editable combo boxes.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include "ui/ComboBoxes.h"

namespace {

class ComboBoxesTest : public ::testing::Test {
protected:
    void SetUp() override {
        box.setEditable(true);
        box.setInsertPolicy(QComboBox::NoInsert);
        box.setCompleter(nullptr);
        box.addItems({"Normal", "Fighting", "?", "?", "Dark"});
        box.setCurrentIndex(-1);
    }
    QComboBox box;
};

TEST_F(ComboBoxesTest, ChosenEntryGivesItsPositionAlsoAmongEqualTexts) {
    box.setCurrentIndex(3);
    EXPECT_EQ(ui::ListPosition(box), 3);
    box.setCurrentIndex(0);
    EXPECT_EQ(ui::ListPosition(box), 0);
}

TEST_F(ComboBoxesTest, TypingWithoutChoosingGivesNoPosition) {
    box.setCurrentIndex(1);
    box.lineEdit()->selectAll();
    QTest::keyClicks(box.lineEdit(), "Fight");
    EXPECT_EQ(box.currentText(), "Fight");
    EXPECT_EQ(ui::ListPosition(box), -1);
    // Typing never adds an entry.
    QTest::keyClick(box.lineEdit(), Qt::Key_Return);
    EXPECT_EQ(box.count(), 5);
    EXPECT_EQ(ui::ListPosition(box), -1);
}

TEST_F(ComboBoxesTest, ShowCodeSelectsTheEntryAndReplacesTypedText) {
    box.setCurrentIndex(4);
    box.setEditText("typed");
    ui::ShowCode(box, 4);
    EXPECT_EQ(box.currentText(), "Dark");
    EXPECT_EQ(ui::ListPosition(box), 4);
    ui::ShowCode(box, 0);
    EXPECT_EQ(box.currentText(), "Normal");
    EXPECT_EQ(ui::ListPosition(box), 0);
}

TEST_F(ComboBoxesTest, ShowCodeBeyondTheListShowsTwoHexDigits) {
    ui::ShowCode(box, 2);
    ui::ShowCode(box, 5);
    EXPECT_EQ(box.currentIndex(), -1);
    EXPECT_EQ(box.currentText(), "05");
    EXPECT_EQ(ui::ListPosition(box), -1);
    ui::ShowCode(box, 0xAB);
    EXPECT_EQ(box.currentText(), "AB");
    EXPECT_EQ(box.count(), 5);
}

}  // namespace
