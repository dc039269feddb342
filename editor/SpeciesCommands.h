#pragma once
// The bodies of the three handlers that touch the ROM image: File, Open,
// a click in the species list, and File, Save.

#include <string>

class QMainWindow;
struct EditorState;
namespace ui {
class EditorForm;
class MessageBoxes;
}  // namespace ui

// File, Open: asks for an image, recognises its version from the header byte,
// chooses the table layout and loads the first species. A cancel changes
// nothing; an unrecognised image shows "Unknown Rom" and switches editing off.
// An image whose tables are not confirmed (a complete image of no known
// release, or one whose tables moved; a ".tables" file the image disagrees
// with) shows its version, switches editing off the same way and says why in
// one message.
void OpenImage(QMainWindow& window, ui::EditorForm& form, EditorState& state, ui::MessageBoxes& boxes);

// What File, Open does once the dialog has answered `path` (empty: a cancel).
// The dialog only answers existing files; a caller that has a path from
// elsewhere checks that first.
void OpenImageFile(QMainWindow& window, ui::EditorForm& form, EditorState& state, ui::MessageBoxes& boxes,
                   const std::string& path);

// The species list's selection: records the species index, enables the
// editing groups and fills every control from the image. Does nothing while
// the image's layout is not confirmed.
void LoadSelectedSpecies(QMainWindow& window, ui::EditorForm& form, EditorState& state);

// File, Save: writes the shown species back into the image in place. Writes
// nothing while the image's layout is not confirmed.
void SaveShownSpecies(QMainWindow& window, const EditorState& state, ui::MessageBoxes& boxes);
