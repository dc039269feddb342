#pragma once
// The look of the window's groups: a border with the group's caption sitting
// on its top line, the way the window definitions place their controls. The
// controls of a group start one caption height below the group's top edge, so
// the top line has to run through the caption's middle, not below it.

#include <QProxyStyle>

namespace ui {

class GroupFrameStyle : public QProxyStyle {
    Q_OBJECT
public:
    // Draws everything else like the application's style.
    GroupFrameStyle();

    // Where the caption starts, measured from the group's left edge.
    static constexpr int kCaptionIndent = 5;
    // Room left and right of the caption text, inside the gap in the top line.
    static constexpr int kCaptionPadding = 1;
    // Width of the etched border: a shadow line and a light line.
    static constexpr int kBorderWidth = 2;

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl subControl,
                         const QWidget* widget) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget) const override;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override;
};

// The one style object every group of the program uses; it lives as long as
// the application object.
QStyle* GroupStyle();

}  // namespace ui
