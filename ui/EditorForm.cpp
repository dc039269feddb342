#include "ui/EditorForm.h"

#include <QKeySequence>
#include <QLayout>
#include <QMenuBar>

#include "ui/Artwork.h"
#include "lists/ChoiceLists.h"
#include "lists/ValueNames.h"
#include "ui/Fonts.h"
#include "ui/GroupFrames.h"
#include "ui/Twips.h"
#include "ui/ValueSlider.h"

namespace ui {
namespace {

template <typename W>
W* Place(QWidget* parent, const char* name, int left, int top, int width, int height) {
    auto* widget = new W(parent);
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(TwipsRect(left, top, width, height));
    return widget;
}

QGroupBox* Group(QWidget* parent, const char* name, const char* caption, int left, int top, int width,
                 int height) {
    auto* group = Place<QGroupBox>(parent, name, left, top, width, height);
    group->setTitle(QString::fromLatin1(caption));
    // The caption on the border's top line, where the controls' places expect it.
    group->setStyle(GroupStyle());
    return group;
}

QLabel* Caption(QWidget* parent, const char* name, const char* text, int left, int top, int width,
                int height, Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter) {
    auto* label = Place<QLabel>(parent, name, left, top, width, height);
    label->setText(QString::fromLatin1(text));
    label->setAlignment(alignment);
    label->setTextFormat(Qt::PlainText);
    return label;
}

// Every text box of the window: single line, empty, no length limit.
inline constexpr int kTextBoxWidth = 615;
inline constexpr int kTextBoxHeight = 285;
inline constexpr int kComboHeight = 315;

QLineEdit* TextBox(QWidget* parent, const char* name, int left, int top) {
    // A line edit's default length limit (32767) is already the largest it has.
    return Place<QLineEdit>(parent, name, left, top, kTextBoxWidth, kTextBoxHeight);
}

template <std::size_t N>
QComboBox* Combo(QWidget* parent, const char* name, int left, int top, int width,
                 const std::array<std::string_view, N>& entries) {
    auto* box = Place<QComboBox>(parent, name, left, top, width, kComboHeight);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    // Typed text stays as typed: no completion rewrites it into an entry.
    box->setCompleter(nullptr);
    box->setMaxVisibleItems(8);
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    QStringList items;
    items.reserve(static_cast<qsizetype>(N));
    for (std::string_view entry : entries)
        items.append(QString::fromUtf8(entry.data(), static_cast<qsizetype>(entry.size())));
    box->addItems(items);
    // A chosen entry shows from its start, also when it is wider than the box.
    QLineEdit* edit = box->lineEdit();
    QObject::connect(box, &QComboBox::currentIndexChanged, edit, [edit] { edit->setCursorPosition(0); });
    // Filling selects the first entry; the box starts with nothing selected.
    box->setCurrentIndex(-1);
    box->setEditText(QString());
    return box;
}

QScrollBar* Slider(QWidget* parent, const char* name, int left, int top, int width, int height, int maximum) {
    auto* bar = Place<ValueSlider>(parent, name, left, top, width, height);
    bar->setRange(0, maximum);
    bar->setSingleStep(1);
    bar->setPageStep(1);
    bar->setValue(0);
    return bar;
}

QAction* MenuItem(QMenu* menu, const char* name, const char* caption) {
    auto* action = menu->addAction(QString::fromLatin1(caption));
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

}  // namespace

void EditorForm::setupUi(QMainWindow* window) {
    if (window->objectName().isEmpty()) window->setObjectName(QStringLiteral("Editor"));
    window->setWindowTitle(QString::fromLatin1(kApplicationTitle));
    window->setWindowIcon(AppIcon());
    window->setFont(WindowFont());
    // A fixed frame with a close button only.
    window->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);

    // ---- Menus (no access-key letters) --------------------------------------
    QMenuBar* bar = window->menuBar();
    bar->setObjectName(QStringLiteral("MenuBar"));
    bar->setNativeMenuBar(false);
    File = bar->addMenu(QStringLiteral("File"));
    File->setObjectName(QStringLiteral("File"));
    Open = MenuItem(File, "Open", "Open");
    Open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    Save = MenuItem(File, "Save", "Save");
    Save->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    Exit = MenuItem(File, "Exit", "Exit");
    Help = bar->addMenu(QStringLiteral("Help"));
    Help->setObjectName(QStringLiteral("Help"));
    AboutButton = MenuItem(Help, "AboutButton", "About");

    // ---- Client area ----------------------------------------------------------
    centralWidget = new QWidget(window);
    centralWidget->setObjectName(QStringLiteral("centralWidget"));
    centralWidget->setFixedSize(kEditorClientWidth, kEditorClientHeight);
    window->setCentralWidget(centralWidget);
    QWidget* w = centralWidget;

    // Left column: the loaded version, the species list, the advanced values.
    Frame1 = Group(w, "Frame1", "Loaded Rom", 120, 0, 2775, 615);
    Version = Caption(Frame1, "Version", "None", 120, 240, 2535, 255);

    FrameKreblin = Group(w, "FrameKreblin", "Kreblin", 120, 720, 2775, 3015);
    KreblinLoader = Place<QListWidget>(FrameKreblin, "KreblinLoader", 120, 240, 2535, 2595);
    KreblinLoader->setSelectionMode(QAbstractItemView::SingleSelection);
    KreblinLoader->setSortingEnabled(false);
    for (std::string_view name : lists::kSpeciesList)
        KreblinLoader->addItem(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    KreblinLoader->setCurrentRow(-1);
    KreblinLoader->clearSelection();

    FrameAdvanced = Group(w, "FrameAdvanced", "Advanced", 120, 3720, 2775, 1095);
    Frame2 = Group(FrameAdvanced, "Frame2", "Move/Evo *", 240, 240, 1215, 615);
    Label15 = Caption(Frame2, "Label15", "10:", 120, 255, 345, 255);
    Label15->setFont(SansFont(9.75));
    Pointer = TextBox(Frame2, "Pointer", 480, 240);
    Frame3 = Group(FrameAdvanced, "Frame3", "Pic Size *", 1560, 240, 855, 615);
    Size = TextBox(Frame3, "Size", 120, 240);

    // Middle column: the stats, then the types.
    FrameStats = Group(w, "FrameStats", "Stats", 3000, 0, 2295, 4815);
    struct Row {
        QLabel** label;
        const char* labelName;
        const char* caption;
        QLineEdit** box;
        const char* boxName;
    };
    const Row rows[] = {
        {&Label2, "Label2", "HP", &HP, "HP"},
        {&Label3, "Label3", "ATK", &ATK, "ATK"},
        {&Label4, "Label4", "DEF", &DEF, "DEF"},
        {&Label5, "Label5", "SPD", &SPD, "SPD"},
        {&Label6, "Label6", "S.ATK", &SATK, "SATK"},
        {&Label7, "Label7", "S.DEF", &SDEF, "SDEF"},
        {&Label8, "Label8", "Capture Rate", &RATE, "RATE"},
        {&Label9, "Label9", "Base EXP", &EXP, "EXP"},
        {&Label1, "Label1", "Growth Rate", &Growth, "Growth"},
    };
    int top = 240;
    for (const Row& row : rows) {
        *row.label = Caption(FrameStats, row.labelName, row.caption, 240, top, 1155, kTextBoxHeight);
        *row.box = TextBox(FrameStats, row.boxName, 1440, top);
        top += 360;
    }
    Frame15 = Group(FrameStats, "Frame15", "Types", 120, 3720, 2055, 975);
    Type1 = Combo(Frame15, "Type1", 120, 240, 1815, lists::kTypeList);
    Type2 = Combo(Frame15, "Type2", 120, 600, 1815, lists::kTypeList);

    // Right column: the cry, the gender ratio, the menu sprite.
    FrameCry = Group(w, "FrameCry", "Cry", 5400, 0, 3375, 3255);
    Frame5 = Group(FrameCry, "Frame5", "Base Cry", 120, 240, 3135, 735);
    Cry = Combo(Frame5, "Cry", 120, 300, 2895, lists::kBaseCryList);
    // Each value caption fills the room between the group's caption and its
    // scroll bar, centred above the bar's middle.
    Frame6 = Group(FrameCry, "Frame6", "Pitch", 120, 960, 3135, 735);
    DatPitch = Caption(Frame6, "DatPitch", "0", 120, 240, 2895, 210, Qt::AlignCenter);
    Pitch = Slider(Frame6, "Pitch", 120, 450, 2895, 240, kPitchMax);
    Frame7 = Group(FrameCry, "Frame7", "Echo", 120, 1680, 3135, 735);
    DatEcho = Caption(Frame7, "DatEcho", "0", 120, 240, 2895, 210, Qt::AlignCenter);
    Echo = Slider(Frame7, "Echo", 120, 450, 2895, 240, kEchoMax);
    Frame8 = Group(FrameCry, "Frame8", "Length", 120, 2400, 3135, 735);
    DatLength = Caption(Frame8, "DatLength", "0", 120, 240, 2895, 210, Qt::AlignCenter);
    Length = Slider(Frame8, "Length", 120, 450, 2895, 240, kLengthMax);

    FrameGender = Group(w, "FrameGender", "Gender Ratio", 5400, 3240, 3375, 975);
    Label13 = Caption(FrameGender, "Label13", "M", 120, 240, 225, 255);
    Gender = Slider(FrameGender, "Gender", 360, 240, 2655, 255, kGenderMax);
    Label14 = Caption(FrameGender, "Label14", "F", 3075, 240, 195, 255);
    NoGender = Place<QCheckBox>(FrameGender, "NoGender", 120, 600, 255, 255);
    NoGender->setText(QStringLiteral("Check1"));
    NoGender->setChecked(false);
    Label16 = Caption(FrameGender, "Label16", "No Gender", 405, 600, 1215, 255);
    Label12 = Caption(FrameGender, "Label12", "Value:", 1920, 600, 615, 255);
    GenderValueCaption = Caption(FrameGender, "GenderValueCaption", "00", 2535, 600, 615, 255);

    FrameSprite = Group(w, "FrameSprite", "Menu Sprite", 5400, 4200, 3375, 615);
    Sprite = Combo(FrameSprite, "Sprite", 120, 240, 3135, lists::kMenuSpriteList);

    // Bottom row: held items, egg cycles, egg groups.
    FrameItems = Group(w, "FrameItems", "Held Items", 120, 4800, 5175, 615);
    Item1 = Combo(FrameItems, "Item1", 120, 240, 2415, lists::kHeldItemList);
    Item2 = Combo(FrameItems, "Item2", 2640, 240, 2415, lists::kHeldItemList);
    EggCycle = Group(w, "EggCycle", "Egg Cycles", 5400, 4800, 1575, 615);
    Cycles = TextBox(EggCycle, "Cycles", 120, 240);
    EggGroup = Group(w, "EggGroup", "Egg Groups *", 7080, 4800, 1695, 615);
    Groups = TextBox(EggGroup, "Groups", 120, 240);

    // The hint line, the full width of the window.
    Label10 = Caption(w, "Label10",
                      "* The indicated box is a Hex Value, because these made more sense to edit in Hex than "
                      "in Decimal like the other stats.",
                      120, 5400, 8655, 240);

    SetToolTips();

    for (QLabel* label : window->findChildren<QLabel*>()) FitToWidth(label);

    // The nine editing groups take no input until an image is open.
    for (QGroupBox* group : {FrameKreblin, FrameAdvanced, FrameItems, FrameStats, FrameCry, FrameGender,
                             FrameSprite, EggCycle, EggGroup})
        group->setEnabled(false);

    // ---- Keyboard order -------------------------------------------------------
    QWidget* const order[] = {KreblinLoader, HP,     ATK,    DEF,     SPD,  SATK,   SDEF,  RATE,   EXP,
                              Cry,           Length, Echo,   Pitch,   Gender, Item1, Type1, Type2,  Sprite,
                              Item2,         Growth, Pointer, Size,   Cycles, Groups, NoGender};
    for (std::size_t i = 1; i < std::size(order); ++i) QWidget::setTabOrder(order[i - 1], order[i]);

    // ---- Window size and place --------------------------------------------------
    // The window is exactly as big as the menu bar plus the client area, and
    // cannot be resized.
    window->layout()->setSizeConstraint(QLayout::SetFixedSize);
    const QSize size(kEditorClientWidth, kEditorClientHeight + bar->sizeHint().height());
    window->setFixedSize(size);
    window->setGeometry(QRect(QPoint(kEditorClientLeft, kEditorClientTop - bar->sizeHint().height()), size));
}

void EditorForm::SetToolTips() {
    Version->setToolTip(QString::fromLatin1(kNoImageToolTip));
    struct Tip {
        QWidget* control;
        const char* text;
    };
    const Tip tips[] = {
        {KreblinLoader, "The species to show: pick one, and its data fills the other boxes"},
        {HP, "Base hit points: a decimal number, 0 to 255"},
        {ATK, "Base attack: a decimal number, 0 to 255"},
        {DEF, "Base defense: a decimal number, 0 to 255"},
        {SPD, "Base speed: a decimal number, 0 to 255"},
        {SATK, "Base special attack: a decimal number, 0 to 255"},
        {SDEF, "Base special defense: a decimal number, 0 to 255"},
        {RATE, "Capture rate: a decimal number, 0 to 255 (higher is easier to catch)"},
        {EXP, "Base experience given when defeated: a decimal number, 0 to 255"},
        {Growth, "Growth rate (the experience curve): a decimal number, 0 to 255"},
        {Type1, "First type: pick it from the list"},
        {Type2, "Second type: pick it from the list (the same as the first for a single type)"},
        {Cry, "Base cry: pick it from the list"},
        {Pitch, "Cry pitch: 0 to 255, shown in hex above; arrow keys move it by 1"},
        {Echo, "Cry echo: 0 to 255, shown in hex above; arrow keys move it by 1"},
        {Length, "Cry length: 0 to 767, shown in hex above (2FF at most); arrow keys move it by 1"},
        {Gender, "Gender ratio: 0 (all male) to 254 (all female), shown in hex after \"Value:\"; "
                 "arrow keys move it by 1"},
        {NoGender, "Tick for a species without gender (stored as FF)"},
        {Pointer, "Move/evolution pointer: four hex digits, as the two bytes lie in the file"},
        {Size, "Picture size: two hex digits, 00 to FF"},
        {Item1, "First held item: pick it from the list (its hex code comes first)"},
        {Item2, "Second held item: pick it from the list (its hex code comes first)"},
        {Sprite, "Menu sprite: pick it from the list"},
        {Cycles, "Egg cycles (the time to hatch): a decimal number, 0 to 255"},
        {Groups, "Egg groups: two hex digits, one group in each digit"},
    };
    for (const Tip& tip : tips) tip.control->setToolTip(QString::fromLatin1(tip.text));
    // What the coded values mean (growth rates and egg groups by name, the
    // gender byte as a share of females, ...), after how each box is typed.
    for (QWidget* control : std::initializer_list<QWidget*>{RATE, EXP, Growth, Gender, Size, Cycles, Groups}) {
        const std::string note = lists::ColumnNote(control->objectName().toStdString());
        control->setToolTip(control->toolTip() + "\n" + QString::fromStdString(note));
    }
}

}  // namespace ui
