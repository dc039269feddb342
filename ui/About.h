#pragma once
// The About window: the program's name, a picture, the year and maker, a web
// address and a slogan. It has no behaviour of its own. It is a top-level
// window without an owner, has no taskbar entry, and is destroyed on close.
// It is a plain window, not a dialog: a dialog would be centred by the
// toolkit and closed by Escape, while this window is placed by the window
// system and has no keyboard command of its own.

#include <QLabel>
#include <QWidget>

namespace ui {

// Client area in logical pixels (4320 x 1110 twips).
inline constexpr int kAboutClientWidth = 288;
inline constexpr int kAboutClientHeight = 74;

class About : public QWidget {
    Q_OBJECT
public:
    About();

    QLabel* Label2 = nullptr;  // the title
    QLabel* Image1 = nullptr;  // the picture, in a 2-pixel border
    QLabel* Label1 = nullptr;  // year and maker
    QLabel* Label3 = nullptr;  // web address, plain text
    QLabel* Label4 = nullptr;  // slogan
};

}  // namespace ui
