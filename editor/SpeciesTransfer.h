#pragma once
// Moving one species' data between the ROM image and the window's controls.
// Both directions walk the one field table (rom/SpeciesLayout.h) in its order,
// finding each field's control by its object name.

class QWidget;
struct EditorState;
namespace ui {
class MessageBoxes;
}  // namespace ui

// Reads the 23 fields of the species at state.SpeciesIndex from state.RomFile
// into the controls of `window`. Stops at the first read that fails (the read
// has reported it); the fields not reached keep what they showed. Returns true
// when every field was loaded.
bool LoadSpeciesFields(QWidget& window, EditorState& state);

// Checks every control first; when one is refused, shows one message and
// writes nothing. Otherwise writes the 23 fields of the species at
// state.SpeciesIndex into state.RomFile, stopping at the first write that
// fails with one message that says which fields were already written. After
// the last write the file is flushed to the disk once; a failing flush is one
// message. Returns true when all 23 fields were written and flushed.
bool SaveSpeciesFields(QWidget& window, const EditorState& state, ui::MessageBoxes& boxes);
