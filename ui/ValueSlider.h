#pragma once
// The window's sliders: horizontal scroll bars that take the keyboard focus.
// Qt's scroll bars read the arrow keys the other way round (Right lowers the
// value); these follow the keys as the window system's own scroll bars do,
// and show a frame in the highlight colour while they have the focus.

#include <QScrollBar>

namespace ui {

class ValueSlider : public QScrollBar {
    Q_OBJECT
public:
    explicit ValueSlider(QWidget* parent = nullptr);

    // Where the style draws the thumb now, in the slider's own coordinates.
    QRect ThumbRect() const;

protected:
    // Right and Down raise the value by one step, Left and Up lower it; Page
    // Down and Page Up move by a page; Home and End go to the ends. Every move
    // is a user action: the value-change signals follow as for a click.
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace ui
