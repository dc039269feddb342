#include "ui/GroupFrames.h"

#include <QApplication>
#include <QPainter>
#include <QPointer>
#include <QStyleOptionGroupBox>

#include <algorithm>

namespace ui {
namespace {

// Checkable groups are not used by the program; they keep the base look.
bool OwnLook(const QStyleOptionComplex* option) {
    return option != nullptr && (option->subControls & QStyle::SC_GroupBoxCheckBox) == 0 &&
           qstyleoption_cast<const QStyleOptionGroupBox*>(option) != nullptr;
}

}  // namespace

GroupFrameStyle::GroupFrameStyle() : QProxyStyle(QApplication::style()->name()) {}

QRect GroupFrameStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                                      SubControl subControl, const QWidget* widget) const {
    if (control != CC_GroupBox || !OwnLook(option))
        return QProxyStyle::subControlRect(control, option, subControl, widget);
    const auto* group = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
    const QRect whole = option->rect;
    const bool captioned = !group->text.isEmpty();
    const int captionHeight = captioned ? option->fontMetrics.height() : 0;
    switch (subControl) {
    case SC_GroupBoxLabel: {
        if (!captioned) return {};
        const int width = option->fontMetrics.horizontalAdvance(group->text) + 2 * kCaptionPadding;
        const QRect caption(whole.left() + kCaptionIndent, whole.top(), width, captionHeight);
        return visualRect(option->direction, whole, caption);
    }
    case SC_GroupBoxFrame:
        // The top line runs through the middle of the caption.
        return whole.adjusted(0, captionHeight / 2, 0, 0);
    case SC_GroupBoxContents: {
        const QRect frame = whole.adjusted(0, captionHeight / 2, 0, 0);
        QRect inside = frame.adjusted(kBorderWidth, kBorderWidth, -kBorderWidth, -kBorderWidth);
        // Below the caption, which hangs under the top line by half its height.
        inside.setTop(std::max(inside.top(), whole.top() + captionHeight));
        return inside;
    }
    default:
        return QProxyStyle::subControlRect(control, option, subControl, widget);
    }
}

void GroupFrameStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                         QPainter* painter, const QWidget* widget) const {
    if (control != CC_GroupBox || !OwnLook(option)) {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        return;
    }
    const auto* group = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
    const QRect frame = subControlRect(CC_GroupBox, option, SC_GroupBoxFrame, widget);
    const QRect caption = subControlRect(CC_GroupBox, option, SC_GroupBoxLabel, widget);

    painter->save();
    // Etched border: a shadow line with a light line just inside and below it,
    // left open where the caption sits.
    const QColor shadow = option->palette.color(QPalette::Dark);
    const QColor light = option->palette.color(QPalette::Light);
    const QRect outer = frame.adjusted(0, 0, -1, -1);
    auto drawBox = [&](const QRect& box, const QColor& colour) {
        painter->setPen(QPen(colour, 1));
        const int top = box.top();
        if (caption.isValid()) {
            painter->drawLine(box.left(), top, caption.left() - 1, top);
            painter->drawLine(caption.right() + 1, top, box.right(), top);
        } else {
            painter->drawLine(box.left(), top, box.right(), top);
        }
        painter->drawLine(box.left(), top, box.left(), box.bottom());
        painter->drawLine(box.left(), box.bottom(), box.right(), box.bottom());
        painter->drawLine(box.right(), top, box.right(), box.bottom());
    };
    drawBox(outer.adjusted(0, 0, -1, -1), shadow);
    drawBox(outer.adjusted(1, 1, 0, 0), light);

    if (caption.isValid()) {
        drawItemText(painter, caption, Qt::AlignCenter | Qt::TextShowMnemonic, option->palette,
                     (option->state & State_Enabled) != 0, group->text, QPalette::WindowText);
    }
    painter->restore();
}

int GroupFrameStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                               QStyleHintReturn* returnData) const {
    if (hint == SH_GroupBox_TextLabelVerticalAlignment) return Qt::AlignVCenter;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

QStyle* GroupStyle() {
    static QPointer<GroupFrameStyle> style;
    if (style.isNull()) {
        style = new GroupFrameStyle();
        // Goes with the application object, after every window has gone.
        style->setParent(QCoreApplication::instance());
    }
    return style.data();
}

}  // namespace ui
