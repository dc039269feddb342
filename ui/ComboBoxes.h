#pragma once
// Reading and setting the code a drop-down combo box stands for. In every
// code list the position of an entry is the code.

#include <QComboBox>

namespace ui {

// The selected position, or -1 when the edit field does not show exactly the
// text of the selected entry (the user typed without choosing an entry).
int ListPosition(const QComboBox& box);

// Selects position `code` when the list has it; otherwise shows the code as
// two uppercase hex digits in the edit field, with no position selected.
void ShowCode(QComboBox& box, int code);

}  // namespace ui
