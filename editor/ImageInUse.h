#pragma once
// Which image the window works on: the tooltip of the `Version` label names
// the image's full path and the layout of its tables. The label's caption
// itself stays the version's name.

#include <QString>

#include "editor/EditorState.h"
#include "ui/EditorForm.h"

// The tooltip text for the state: the path and the layout in words, or that
// no image is open.
QString ImageInUseText(const EditorState& state);

// Puts that text on the `Version` label.
void ShowImageInUse(ui::EditorForm& form, const EditorState& state);
