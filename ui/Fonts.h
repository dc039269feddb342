#pragma once
// Fonts of the two windows. The windows ask for "MS Sans Serif"; where that
// family is missing, metric-compatible sans-serif families stand in for it,
// so that texts keep roughly the widths the layouts were drawn for.

#include <QFont>

class QLabel;

namespace ui {

// The family every window asks for, with its stand-ins registered.
QString SansFamily();

// The default font of both windows' controls: 8.25 points.
QFont WindowFont();

// The same family at another size.
QFont SansFont(qreal pointSize);

// Where a stand-in family runs wider than the layout allows, shrinks the
// label's font in quarter points (down to 6 points) until its text fits
// its width, so no fixed text is clipped.
void FitToWidth(QLabel* label);

}  // namespace ui
