#pragma once
// The definition of the main window: its menus, groups and controls, their
// places, start values and the keyboard order. setupUi builds all of it onto
// a window; nothing here reacts to events (the window's handlers do).
//
// Every widget and action carries its member name as object name, so that
// code can also find a control by name.

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QScrollBar>

namespace ui {

// The application's title: the main window's caption and the title of its own messages.
inline constexpr char kApplicationTitle[] = "Quillmere";

// Client area below the menu bar, in logical pixels (8850 x 5640 twips).
inline constexpr int kEditorClientWidth = 590;
inline constexpr int kEditorClientHeight = 376;
// Where the client area's top-left corner starts on the screen (2160, 2280 twips).
inline constexpr int kEditorClientLeft = 144;
inline constexpr int kEditorClientTop = 152;

// The tooltip of `Version` while no image is open.
inline constexpr char kNoImageToolTip[] = "No image is open";

class EditorForm {
public:
    void setupUi(QMainWindow* window);

    // The ranges of the four scroll bars.
    static constexpr int kPitchMax = 255;
    static constexpr int kEchoMax = 255;
    static constexpr int kLengthMax = 0x2FF;
    static constexpr int kGenderMax = 0xFE;

    QWidget* centralWidget = nullptr;

    // Menus and their items.
    QMenu* File = nullptr;
    QMenu* Help = nullptr;
    QAction* Open = nullptr;
    QAction* Save = nullptr;
    QAction* Exit = nullptr;
    QAction* AboutButton = nullptr;

    // Groups.
    QGroupBox* Frame1 = nullptr;
    QGroupBox* FrameKreblin = nullptr;
    QGroupBox* FrameAdvanced = nullptr;
    QGroupBox* FrameItems = nullptr;
    QGroupBox* FrameStats = nullptr;
    QGroupBox* FrameCry = nullptr;
    QGroupBox* FrameGender = nullptr;
    QGroupBox* FrameSprite = nullptr;
    QGroupBox* EggCycle = nullptr;
    QGroupBox* EggGroup = nullptr;
    QGroupBox* Frame2 = nullptr;
    QGroupBox* Frame3 = nullptr;
    QGroupBox* Frame15 = nullptr;
    QGroupBox* Frame5 = nullptr;
    QGroupBox* Frame6 = nullptr;
    QGroupBox* Frame7 = nullptr;
    QGroupBox* Frame8 = nullptr;

    // "Loaded Rom" and the species list.
    QLabel* Version = nullptr;
    QListWidget* KreblinLoader = nullptr;

    // Stats.
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* HP = nullptr;
    QLineEdit* ATK = nullptr;
    QLineEdit* DEF = nullptr;
    QLineEdit* SPD = nullptr;
    QLineEdit* SATK = nullptr;
    QLineEdit* SDEF = nullptr;
    QLineEdit* RATE = nullptr;
    QLineEdit* EXP = nullptr;
    QLineEdit* Growth = nullptr;
    QComboBox* Type1 = nullptr;
    QComboBox* Type2 = nullptr;

    // Cry.
    QComboBox* Cry = nullptr;
    QScrollBar* Pitch = nullptr;
    QLabel* DatPitch = nullptr;
    QScrollBar* Echo = nullptr;
    QLabel* DatEcho = nullptr;
    QScrollBar* Length = nullptr;
    QLabel* DatLength = nullptr;

    // Gender ratio.
    QLabel* Label13 = nullptr;
    QScrollBar* Gender = nullptr;
    QLabel* Label14 = nullptr;
    QCheckBox* NoGender = nullptr;
    QLabel* Label16 = nullptr;
    QLabel* Label12 = nullptr;
    QLabel* GenderValueCaption = nullptr;

    // Advanced.
    QLabel* Label15 = nullptr;
    QLineEdit* Pointer = nullptr;
    QLineEdit* Size = nullptr;

    // Bottom row.
    QComboBox* Item1 = nullptr;
    QComboBox* Item2 = nullptr;
    QComboBox* Sprite = nullptr;
    QLineEdit* Cycles = nullptr;
    QLineEdit* Groups = nullptr;

    // The hint line under everything.
    QLabel* Label10 = nullptr;

private:
    // What each editing control holds and how its value is typed; none of
    // the window's captions changes for them.
    void SetToolTips();
};

}  // namespace ui
