#include "ui/Fonts.h"

#include <QFontMetricsF>
#include <QLabel>
#include <QStringList>

namespace ui {

QString SansFamily() {
    static const QString family = [] {
        const QString name = QStringLiteral("MS Sans Serif");
        QFont::insertSubstitutions(name, {QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Arial"),
                                          QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                                          QStringLiteral("Nimbus Sans"), QStringLiteral("Helvetica")});
        return name;
    }();
    return family;
}

QFont SansFont(qreal pointSize) {
    QFont font(SansFamily());
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize);
    return font;
}

QFont WindowFont() { return SansFont(8.25); }

void FitToWidth(QLabel* label) {
    constexpr qreal kSmallest = 6.0;
    QFont font = label->font();
    const qreal room = label->contentsRect().width();
    bool changed = false;
    while (QFontMetricsF(font).horizontalAdvance(label->text()) > room && font.pointSizeF() > kSmallest) {
        font.setPointSizeF(font.pointSizeF() - 0.25);
        changed = true;
    }
    if (changed) label->setFont(font);
}

}  // namespace ui
