#pragma once
// Which image the window works on: the tooltip of the `Version` label names
// the image's full path and the layout of its tables. The label's caption
// itself stays the version's name.

#include <QString>

#include <string>
#include <vector>

#include "editor/EditorState.h"
#include "ui/EditorForm.h"

// The tooltip text for the state: the path and the layout in words, or that
// no image is open; then the name the image holds for the species shown,
// when its names are known.
QString ImageInUseText(const EditorState& state);

// The names the image at `path` holds for its species, decoded with its
// character set (a name that does not decode as the bytes of its field, in
// braces, as the command line shows it); empty when its names table is not
// found or the image cannot be read again.
std::vector<std::string> ReadImageSpeciesNames(const std::string& path, const rom::ResolvedLayout& layout);

// Puts that text on the `Version` label.
void ShowImageInUse(ui::EditorForm& form, const EditorState& state);
