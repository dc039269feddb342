#include "ui/ComboBoxes.h"

#include <QLineEdit>
#include <QString>

namespace ui {

int ListPosition(const QComboBox& box) {
    const int position = box.currentIndex();
    if (position < 0) return -1;
    if (box.isEditable() && box.currentText() != box.itemText(position)) return -1;
    return position;
}

void ShowCode(QComboBox& box, int code) {
    if (code >= 0 && code < box.count()) {
        box.setCurrentIndex(code);
        // Selecting the entry that is already selected does not rewrite the
        // edit field, which may still hold typed text.
        box.setEditText(box.itemText(code));
        if (QLineEdit* edit = box.lineEdit()) edit->setCursorPosition(0);  // show the entry from its start
        return;
    }
    box.setCurrentIndex(-1);
    // A byte shows as two digits; anything else is shown as it is, unmasked.
    box.setEditText(QString::number(code, 16).toUpper().rightJustified(2, QLatin1Char('0')));
}

}  // namespace ui
