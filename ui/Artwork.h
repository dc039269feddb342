#pragma once
// The program's built-in pictures: the window icon (32 x 32) shared by both
// windows, and the picture of the About window (48 x 33).

#include <QIcon>
#include <QPixmap>

namespace ui {

QIcon AppIcon();
QPixmap AboutPicture();

}  // namespace ui
