#pragma once
// The window-level state of the main window: which image is in use, its
// version and table offsets, and which species was loaded last.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "rom/ImageFacts.h"
#include "rom/SpeciesLayout.h"

struct EditorState {
    std::string ChosenFile;        // the open dialog's latest answer, empty after a cancel
    std::string RomFile;           // the image every read and write goes to
    int32_t VersionCode = 0;       // the header byte's hex digits read as decimal
    std::optional<rom::ResolvedLayout> Layout;  // of the image in use; none while no version is recognised
    rom::VersionProfile Profile;   // offsets of species 0 in the four tables
    int16_t SpeciesIndex = 0;      // list position of the species loaded last
    int32_t GenderByte = 0;        // gender-ratio byte of the species loaded last
    // The species' names as the image holds them, by list position; empty
    // while they are not known (no image, no names table found).
    std::vector<std::string> ImageNames;
};
