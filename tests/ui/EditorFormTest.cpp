// The main window's definition: groups, controls, lists, ranges, menus, the
// keyboard order and the window's size, as built by EditorForm::setupUi.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetricsF>
#include <QMainWindow>
#include <QMenuBar>
#include <QStringList>
#include <QStyle>
#include <QStyleOptionGroupBox>

#include "lists/ChoiceLists.h"
#include "ui/ComboBoxes.h"
#include "ui/EditorForm.h"

namespace {

std::string ToText(const QRect& r) {
    return std::to_string(r.x()) + "," + std::to_string(r.y()) + " " + std::to_string(r.width()) + "x" +
           std::to_string(r.height());
}

class EditorFormTest : public ::testing::Test {
protected:
    void SetUp() override { form.setupUi(&window); }
    QMainWindow window;
    ui::EditorForm form;
};

QStringList Entries(const QComboBox& box) {
    QStringList entries;
    for (int i = 0; i < box.count(); ++i) entries << box.itemText(i);
    return entries;
}

TEST_F(EditorFormTest, WindowIsFixedWithItsClientAreaBelowTheMenuBar) {
    EXPECT_EQ(window.windowTitle(), "Quillmere");
    EXPECT_EQ(form.centralWidget->size(), QSize(590, 376));
    const int menuHeight = window.menuBar()->sizeHint().height();
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    EXPECT_EQ(window.size(), QSize(590, 376 + menuHeight));
    EXPECT_EQ(window.geometry().topLeft() + QPoint(0, menuHeight), QPoint(144, 152));
    const Qt::WindowFlags flags = window.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(window.windowType(), Qt::Window);  // a normal window: it has a taskbar entry
    EXPECT_FALSE(window.windowIcon().isNull());
    EXPECT_EQ(window.windowIcon().availableSizes().value(0), QSize(32, 32));
}

TEST_F(EditorFormTest, NineEditingGroupsStartDisabledTheRestEnabled) {
    const char* disabled[] = {"FrameKreblin", "FrameAdvanced", "FrameItems", "FrameStats", "FrameCry",
                              "FrameGender",  "FrameSprite",   "EggCycle",   "EggGroup"};
    const char* enabled[] = {"Frame1", "Frame2", "Frame3", "Frame15", "Frame5", "Frame6", "Frame7", "Frame8"};
    for (const char* name : disabled) {
        auto* group = window.findChild<QGroupBox*>(name);
        ASSERT_NE(group, nullptr) << name;
        EXPECT_FALSE(group->isEnabled()) << name;
    }
    for (const char* name : enabled) {
        auto* group = window.findChild<QGroupBox*>(name);
        ASSERT_NE(group, nullptr) << name;
        // Enabled in itself; it takes input once its outer group is enabled.
        EXPECT_TRUE(group->isEnabledTo(group->parentWidget())) << name;
    }
    // Controls inside a disabled group take no input, also those of nested groups.
    EXPECT_FALSE(form.HP->isEnabled());
    EXPECT_FALSE(form.Pitch->isEnabled());
    EXPECT_FALSE(form.Type1->isEnabled());
    EXPECT_TRUE(form.Version->isEnabled());
}

TEST_F(EditorFormTest, GroupsSitWhereTheLayoutPutsThem) {
    struct Expected {
        const char* name;
        const char* caption;
        const char* parent;
        QRect pixels;
    };
    const Expected groups[] = {
        {"Frame1", "Loaded Rom", "centralWidget", {8, 0, 185, 41}},
        {"FrameKreblin", "Kreblin", "centralWidget", {8, 48, 185, 201}},
        {"FrameAdvanced", "Advanced", "centralWidget", {8, 248, 185, 73}},
        {"FrameItems", "Held Items", "centralWidget", {8, 320, 345, 41}},
        {"FrameStats", "Stats", "centralWidget", {200, 0, 153, 321}},
        {"FrameCry", "Cry", "centralWidget", {360, 0, 225, 217}},
        {"FrameGender", "Gender Ratio", "centralWidget", {360, 216, 225, 65}},
        {"FrameSprite", "Menu Sprite", "centralWidget", {360, 280, 225, 41}},
        {"EggCycle", "Egg Cycles", "centralWidget", {360, 320, 105, 41}},
        {"EggGroup", "Egg Groups *", "centralWidget", {472, 320, 113, 41}},
        {"Frame2", "Move/Evo *", "FrameAdvanced", {16, 16, 81, 41}},
        {"Frame3", "Pic Size *", "FrameAdvanced", {104, 16, 57, 41}},
        {"Frame15", "Types", "FrameStats", {8, 248, 137, 65}},
        {"Frame5", "Base Cry", "FrameCry", {8, 16, 209, 49}},
        {"Frame6", "Pitch", "FrameCry", {8, 64, 209, 49}},
        {"Frame7", "Echo", "FrameCry", {8, 112, 209, 49}},
        {"Frame8", "Length", "FrameCry", {8, 160, 209, 49}},
    };
    for (const Expected& e : groups) {
        auto* group = window.findChild<QGroupBox*>(e.name);
        ASSERT_NE(group, nullptr) << e.name;
        EXPECT_EQ(group->title(), e.caption) << e.name;
        EXPECT_EQ(group->parentWidget()->objectName(), e.parent) << e.name;
        EXPECT_EQ(group->geometry(), e.pixels) << e.name;
    }
    EXPECT_EQ(form.Label10->geometry().left(), 8);
    EXPECT_EQ(form.Label10->geometry().top(), 360);
    EXPECT_EQ(form.Label10->width(), 577);
    EXPECT_EQ(form.KreblinLoader->geometry(), QRect(8, 16, 169, 173));
}

// Neighbouring groups share their border line, so rectangles may have one
// row or column of pixels in common; anything more is an overlap.
bool Overlap(const QRect& a, const QRect& b) {
    const QRect common = a.intersected(b);
    return common.width() > 1 && common.height() > 1;
}

TEST_F(EditorFormTest, EveryControlStaysInsideItsGroupAndNoneOverlaps) {
    const QList<QWidget*> containers = {form.centralWidget, form.Frame1, form.FrameKreblin, form.FrameAdvanced,
                                        form.FrameItems, form.FrameStats, form.FrameCry, form.FrameGender,
                                        form.FrameSprite, form.EggCycle, form.EggGroup, form.Frame2, form.Frame3,
                                        form.Frame15, form.Frame5, form.Frame6, form.Frame7, form.Frame8};
    for (QWidget* container : containers) {
        const QList<QWidget*> children = container->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        for (QWidget* child : children) {
            if (child->objectName().isEmpty() || child->isWindow()) continue;  // internals of Qt widgets
            EXPECT_TRUE(container->rect().contains(child->geometry()))
                << child->objectName().toStdString() << " leaves " << container->objectName().toStdString();
            for (QWidget* other : children) {
                if (other == child || other->objectName().isEmpty() || other->isWindow()) continue;
                EXPECT_FALSE(Overlap(child->geometry(), other->geometry()))
                    << child->objectName().toStdString() << " overlaps " << other->objectName().toStdString();
            }
        }
    }
}

// The style's option for a group, filled as the group fills it for painting.
QStyleOptionGroupBox GroupOption(const QGroupBox& group) {
    QStyleOptionGroupBox option;
    option.initFrom(&group);
    option.text = group.title();
    option.lineWidth = 1;
    option.midLineWidth = 0;
    option.textAlignment = group.alignment();
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    return option;
}

QRect StyleRect(const QGroupBox& group, QStyle::SubControl part) {
    const QStyleOptionGroupBox option = GroupOption(group);
    return group.style()->subControlRect(QStyle::CC_GroupBox, &option, part, &group);
}

// The pixels of a group's border lines, in the coordinates of `frame`'s parent:
// a border is two pixels wide on each side.
QList<QRect> BorderLines(const QGroupBox& group) {
    const QRect frame = StyleRect(group, QStyle::SC_GroupBoxFrame).translated(group.pos());
    return {QRect(frame.left(), frame.top(), frame.width(), 2), QRect(frame.left(), frame.bottom() - 1, frame.width(), 2),
            QRect(frame.left(), frame.top(), 2, frame.height()), QRect(frame.right() - 1, frame.top(), 2, frame.height())};
}

TEST_F(EditorFormTest, EveryControlLiesInsideItsGroupsBorderAndNoLineCrossesACaption) {
    const QList<QGroupBox*> groups = window.findChildren<QGroupBox*>();
    ASSERT_EQ(groups.size(), 17);
    for (QGroupBox* group : groups) {
        const std::string name = group->objectName().toStdString();
        const QRect inside = StyleRect(*group, QStyle::SC_GroupBoxContents);
        // The group lays its children out in the same area.
        EXPECT_EQ(group->contentsRect(), inside) << name;
        const QRect frame = StyleRect(*group, QStyle::SC_GroupBoxFrame);
        EXPECT_TRUE(frame.contains(inside)) << name;
        for (QWidget* child : group->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (child->objectName().isEmpty()) continue;
            // Only the groups draw their own way; their controls keep the window's style.
            if (qobject_cast<QGroupBox*>(child) == nullptr) {
                EXPECT_EQ(child->style(), window.style()) << child->objectName().toStdString();
            }
            EXPECT_TRUE(inside.contains(child->geometry()))
                << child->objectName().toStdString() << " " << ToText(child->geometry()) << " is not inside the border of "
                << name << " " << ToText(inside);
        }
        // The group's own caption sits on its top line, inside the group's
        // width, and no border of another group runs through its letters.
        const QRect caption = StyleRect(*group, QStyle::SC_GroupBoxLabel);
        EXPECT_TRUE(group->rect().contains(caption)) << name;
        EXPECT_LT(caption.right(), frame.right() - 2) << name << ": the caption runs into the right border";
        EXPECT_GT(frame.top(), caption.top()) << name;
        EXPECT_LT(frame.top(), caption.bottom()) << name;
        const QFontMetrics metrics(group->font());
        const QRect letters = metrics.tightBoundingRect(group->title())
                                  .translated(caption.left(), caption.top() + metrics.ascent())
                                  .translated(group->pos());
        for (QGroupBox* other : groups) {
            if (other == group || other->parentWidget() != group->parentWidget()) continue;
            for (const QRect& line : BorderLines(*other))
                EXPECT_FALSE(line.intersects(letters))
                    << "a border of " << other->objectName().toStdString() << " crosses the caption of " << name;
        }
    }
    // Value and caption labels of every group, checked by name.
    for (QLabel* label : {form.Version, form.DatPitch, form.DatEcho, form.DatLength, form.Label13, form.Label14,
                          form.Label16, form.Label12, form.GenderValueCaption, form.Label15, form.Label2, form.Label1}) {
        auto* group = qobject_cast<QGroupBox*>(label->parentWidget());
        ASSERT_NE(group, nullptr) << label->objectName().toStdString();
        EXPECT_TRUE(group->contentsRect().contains(label->geometry())) << label->objectName().toStdString();
    }
}

TEST_F(EditorFormTest, StartValuesOfLabelsAndBoxes) {
    EXPECT_EQ(form.Version->text(), "None");
    EXPECT_EQ(form.DatPitch->text(), "0");
    EXPECT_EQ(form.DatEcho->text(), "0");
    EXPECT_EQ(form.DatLength->text(), "0");
    EXPECT_EQ(form.GenderValueCaption->text(), "00");
    EXPECT_EQ(form.Label15->text(), "10:");
    EXPECT_DOUBLE_EQ(form.Label15->font().pointSizeF(), 9.75);
    EXPECT_EQ(form.Label10->text(),
              "* The indicated box is a Hex Value, because these made more sense to edit in Hex than in Decimal "
              "like the other stats.");
    const QStringList captions = {"HP", "ATK", "DEF", "SPD", "S.ATK", "S.DEF", "Capture Rate", "Base EXP",
                                  "Growth Rate"};
    const QList<QLabel*> labels = {form.Label2, form.Label3, form.Label4, form.Label5, form.Label6,
                                   form.Label7, form.Label8, form.Label9, form.Label1};
    const QList<QLineEdit*> boxes = {form.HP, form.ATK, form.DEF, form.SPD, form.SATK,
                                     form.SDEF, form.RATE, form.EXP, form.Growth};
    for (int row = 0; row < 9; ++row) {
        EXPECT_EQ(labels[row]->text(), captions[row]);
        // Rows 360 twips (24 px) apart, starting 240 twips below the group's top.
        EXPECT_EQ(boxes[row]->geometry(), QRect(96, 16 + 24 * row, 41, 19)) << row;
    }
    for (QLineEdit* box : window.findChildren<QLineEdit*>()) {
        if (box->objectName().isEmpty()) continue;  // the combo boxes' edit fields
        EXPECT_TRUE(box->text().isEmpty()) << box->objectName().toStdString();
        EXPECT_EQ(box->size(), QSize(41, 19)) << box->objectName().toStdString();
    }
    EXPECT_FALSE(form.NoGender->isChecked());
    EXPECT_EQ(form.NoGender->text(), "Check1");
    EXPECT_EQ(form.Label16->text(), "No Gender");
    EXPECT_EQ(form.Label12->text(), "Value:");
    EXPECT_EQ(form.Label13->text(), "M");
    EXPECT_EQ(form.Label14->text(), "F");
}

TEST_F(EditorFormTest, EveryFixedTextFitsItsLabel) {
    for (QLabel* label : window.findChildren<QLabel*>()) {
        const qreal needed = QFontMetricsF(label->font()).horizontalAdvance(label->text());
        EXPECT_LE(needed, label->contentsRect().width()) << label->objectName().toStdString();
    }
    form.Version->setText("Kreblin Crystal Version");
    EXPECT_LE(QFontMetricsF(form.Version->font()).horizontalAdvance(form.Version->text()), form.Version->width());
}

TEST_F(EditorFormTest, ListsInTheirControls) {
    EXPECT_EQ(form.KreblinLoader->count(), 251);
    EXPECT_EQ(form.KreblinLoader->item(0)->text(), "Bulbasaur");
    EXPECT_EQ(form.KreblinLoader->item(24)->text(), "Pikachu");
    EXPECT_EQ(form.KreblinLoader->item(202)->text(), "Girafarig ");
    EXPECT_EQ(form.KreblinLoader->item(250)->text(), "Celebi");
    EXPECT_EQ(form.KreblinLoader->currentRow(), -1);
    EXPECT_TRUE(form.KreblinLoader->selectedItems().isEmpty());
    EXPECT_EQ(form.KreblinLoader->selectionMode(), QAbstractItemView::SingleSelection);

    EXPECT_EQ(form.Type1->count(), 28);
    EXPECT_EQ(form.Type1->itemText(0x13), "???");
    EXPECT_EQ(form.Type1->itemText(0x0A), "?");
    EXPECT_EQ(form.Type1->itemText(0x1B), "Dark");
    EXPECT_EQ(form.Item1->count(), 256);
    EXPECT_EQ(form.Item1->itemText(0x00), "00 - None");
    EXPECT_EQ(form.Item1->itemText(0xFF), "FF - Nothing ");
    EXPECT_EQ(form.Item1->itemText(0xC3), "C3 - TM 4 - Rollout (not a typo. It shows up twice.) ");
    EXPECT_EQ(form.Sprite->count(), 39);
    EXPECT_EQ(form.Sprite->itemText(0x26), "26-Charizard");
    EXPECT_EQ(form.Cry->count(), 68);
    EXPECT_EQ(form.Cry->itemText(0x43), "43 = Donphan");

    // Controls showing the same list hold identical copies.
    EXPECT_EQ(Entries(*form.Type1), Entries(*form.Type2));
    EXPECT_EQ(Entries(*form.Item1), Entries(*form.Item2));

    for (QComboBox* box : {form.Type1, form.Type2, form.Cry, form.Item1, form.Item2, form.Sprite}) {
        const std::string name = box->objectName().toStdString();
        EXPECT_TRUE(box->isEditable()) << name;
        EXPECT_EQ(box->insertPolicy(), QComboBox::NoInsert) << name;
        EXPECT_EQ(box->currentIndex(), -1) << name;
        EXPECT_TRUE(box->currentText().isEmpty()) << name;
        EXPECT_EQ(ui::ListPosition(*box), -1) << name;
    }
}

TEST_F(EditorFormTest, ScrollBarRangesAndSteps) {
    struct Range {
        QScrollBar* bar;
        int maximum;
    };
    for (const Range& r : {Range{form.Pitch, 255}, Range{form.Echo, 255}, Range{form.Length, 767},
                           Range{form.Gender, 254}}) {
        const std::string name = r.bar->objectName().toStdString();
        EXPECT_EQ(r.bar->orientation(), Qt::Horizontal) << name;
        EXPECT_EQ(r.bar->minimum(), 0) << name;
        EXPECT_EQ(r.bar->maximum(), r.maximum) << name;
        EXPECT_EQ(r.bar->value(), 0) << name;
        EXPECT_EQ(r.bar->singleStep(), 1) << name;
        EXPECT_EQ(r.bar->pageStep(), 1) << name;
    }
    // 255 is no position of the gender slider.
    form.Gender->setValue(255);
    EXPECT_EQ(form.Gender->value(), 254);
}

TEST_F(EditorFormTest, MenusAndShortcuts) {
    const QList<QAction*> top = window.menuBar()->actions();
    ASSERT_EQ(top.size(), 2);
    EXPECT_EQ(top[0]->text(), "File");
    EXPECT_EQ(top[1]->text(), "Help");
    EXPECT_EQ(form.File->objectName(), "File");
    EXPECT_EQ(form.Help->objectName(), "Help");
    const QList<QAction*> file = form.File->actions();
    ASSERT_EQ(file.size(), 3);
    EXPECT_EQ(file[0], form.Open);
    EXPECT_EQ(file[1], form.Save);
    EXPECT_EQ(file[2], form.Exit);
    ASSERT_EQ(form.Help->actions().size(), 1);
    EXPECT_EQ(form.Help->actions()[0], form.AboutButton);

    EXPECT_EQ(form.Open->text(), "Open");
    EXPECT_EQ(form.Save->text(), "Save");
    EXPECT_EQ(form.Exit->text(), "Exit");
    EXPECT_EQ(form.AboutButton->text(), "About");
    EXPECT_EQ(form.Open->shortcut(), QKeySequence("Ctrl+O"));
    EXPECT_EQ(form.Save->shortcut(), QKeySequence("Ctrl+S"));
    EXPECT_TRUE(form.Exit->shortcut().isEmpty());
    EXPECT_TRUE(form.AboutButton->shortcut().isEmpty());
    for (QAction* action : {form.Open, form.Save, form.Exit, form.AboutButton}) {
        EXPECT_TRUE(action->isEnabled()) << action->objectName().toStdString();
        EXPECT_EQ(window.findChild<QAction*>(action->objectName()), action);
    }
}

TEST_F(EditorFormTest, TabOrder) {
    const QStringList expected = {"KreblinLoader", "HP",    "ATK",    "DEF",    "SPD",     "SATK",   "SDEF",
                                  "RATE",          "EXP",   "Cry",    "Length", "Echo",    "Pitch",  "Gender",
                                  "Item1",         "Type1", "Type2",  "Sprite", "Item2",   "Growth", "Pointer",
                                  "Size",          "Cycles", "Groups", "NoGender"};
    QStringList seen;
    QWidget* widget = form.KreblinLoader;
    do {
        const QString name = widget->objectName();
        if (expected.contains(name) && (widget->focusPolicy() & Qt::TabFocus) && !seen.contains(name))
            seen << name;
        widget = widget->nextInFocusChain();
    } while (widget != form.KreblinLoader);
    EXPECT_EQ(seen, expected);
}

// Each editing control says what it holds and how it is typed; the captions
// themselves stay as they are (checked above).
TEST_F(EditorFormTest, EveryEditingControlHasATooltip) {
    const QList<QWidget*> controls = {form.KreblinLoader, form.HP,     form.ATK,   form.DEF,    form.SPD,
                                      form.SATK,          form.SDEF,   form.RATE,  form.EXP,    form.Growth,
                                      form.Type1,         form.Type2,  form.Cry,   form.Pitch,  form.Echo,
                                      form.Length,        form.Gender, form.NoGender, form.Pointer, form.Size,
                                      form.Item1,         form.Item2,  form.Sprite, form.Cycles, form.Groups};
    for (QWidget* control : controls)
        EXPECT_FALSE(control->toolTip().isEmpty()) << control->objectName().toStdString();
    for (QLineEdit* decimal : {form.HP, form.ATK, form.DEF, form.SPD, form.SATK, form.SDEF, form.RATE, form.EXP,
                               form.Growth, form.Cycles})
        EXPECT_TRUE(decimal->toolTip().contains("decimal number, 0 to 255")) << decimal->objectName().toStdString();
    for (QLineEdit* hex : {form.Size, form.Groups})
        EXPECT_TRUE(hex->toolTip().contains("two hex digits")) << hex->objectName().toStdString();
    EXPECT_TRUE(form.Pointer->toolTip().contains("four hex digits"));
    EXPECT_EQ(form.Version->toolTip(), "No image is open");
    // Coded values are explained by name, the stored codes unchanged.
    EXPECT_TRUE(form.Growth->toolTip().contains("3 Medium Slow"));
    EXPECT_TRUE(form.Groups->toolTip().contains("17 is Monster and Grass"));
    EXPECT_TRUE(form.Gender->toolTip().contains("31 1 in 8 female"));
    for (QWidget* explained : std::initializer_list<QWidget*>{form.RATE, form.EXP, form.Size, form.Cycles})
        EXPECT_TRUE(explained->toolTip().contains('\n')) << explained->objectName().toStdString();
}

TEST_F(EditorFormTest, EveryControlCanBeFoundByItsName) {
    const char* names[] = {"Version", "KreblinLoader", "HP", "ATK", "DEF", "SPD", "SATK", "SDEF", "RATE", "EXP",
                           "Growth", "Pointer", "Size", "Cycles", "Groups", "Type1", "Type2", "Cry", "Item1",
                           "Item2", "Sprite", "Pitch", "Echo", "Length", "Gender", "NoGender", "DatPitch",
                           "DatEcho", "DatLength", "GenderValueCaption", "Label10", "Label15", "Label16"};
    for (const char* name : names) EXPECT_NE(window.findChild<QWidget*>(name), nullptr) << name;
    EXPECT_NE(window.findChild<QLineEdit*>("HP"), nullptr);
    EXPECT_NE(window.findChild<QComboBox*>("Type1"), nullptr);
    EXPECT_NE(window.findChild<QScrollBar*>("Pitch"), nullptr);
    EXPECT_NE(window.findChild<QCheckBox*>("NoGender"), nullptr);
}

}  // namespace
