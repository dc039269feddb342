#pragma once
// Every picture of an image, as the files `export --pictures` writes and the
// page shows: each species' front and back, normal and shiny; the 26 letters
// of species 201, likewise; the egg's front. Each with its pixels and its four
// colours (white, colour 1, colour 2, black).

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "rom/Pictures.h"
#include "tables/SpeciesTable.h"

namespace tables {

using Rgb = std::array<uint8_t, 3>;

struct PictureFile {
    std::string name;  // "025-front-shiny", "201-A-back", "egg-front"
    int species = 0;   // 1 to 251, or rom::kEggSpecies
    int letter = -1;
    bool back = false;
    bool shiny = false;
    int dim = 0;
    size_t pixels = 0;  // its index in ImagePictures::decoded
    std::array<Rgb, 4> colours{};
};

struct ImagePictures {
    std::vector<std::vector<uint8_t>> decoded;  // each picture's pixels once, normal and shiny sharing them
    std::vector<PictureFile> files;
    std::vector<std::string> refused;   // "025-front: why", one per picture that cannot be shown
    std::vector<std::string> unproven;  // a table no routine proves: its pictures are not shown
    std::string palettesWhy;            // the palettes are not known: shades of grey are used
};

// The front picture size of species position p: the low nibble of base record byte 17.
int FrontDimOf(const TableImage& image, int32_t position);

// The four colours of a palette's normal or shiny half: white, colour 1, colour 2, black.
std::array<Rgb, 4> PictureColours(const rom::Palette& palette, bool shiny);

ImagePictures ReadImagePictures(const TableImage& image);

}  // namespace tables
