#include "ui/Fonts.h"

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

}  // namespace ui
