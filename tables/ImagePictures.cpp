#include "tables/ImagePictures.h"

#include <cstdio>

namespace tables {

namespace {

constexpr Rgb kWhite = {0xFF, 0xFF, 0xFF};
constexpr Rgb kBlack = {0x00, 0x00, 0x00};
// Without a known palette table: two shades of grey.
constexpr std::array<Rgb, 4> kGreys = {kWhite, Rgb{0xAA, 0xAA, 0xAA}, Rgb{0x55, 0x55, 0x55}, kBlack};

std::string Number(int species) {
    char text[8];
    std::snprintf(text, sizeof text, "%03d", species);
    return text;
}

}  // namespace

int FrontDimOf(const TableImage& image, int32_t position) {
    const int64_t at = int64_t(image.profile.BaseStatsOffset) + int64_t(position) * 32 + 17;
    if (at < 0 || at >= int64_t(image.bytes.size())) return 0;
    return rom::FrontPictureDim(image.bytes[size_t(at)]);
}

std::array<Rgb, 4> PictureColours(const rom::Palette& palette, bool shiny) {
    const size_t first = shiny ? 2 : 0;
    return {kWhite, rom::ColourToRgb(palette[first]), rom::ColourToRgb(palette[first + 1]), kBlack};
}

ImagePictures ReadImagePictures(const TableImage& image) {
    ImagePictures out;
    const rom::PictureTables& tables = image.resolved.pictures;
    if (!tables.palettes.offset) out.palettesWhy = tables.palettes.why;
    if (!tables.pointers.offset) out.unproven.push_back("species pictures: " + tables.pointers.why);
    if (!tables.letters.offset) out.unproven.push_back("letter pictures of species 201: " + tables.letters.why);
    if (!tables.eggInTable && !tables.egg.offset) out.unproven.push_back("egg picture: " + tables.egg.why);

    struct Wanted {
        std::string stem;
        rom::PictureId id;
        int dim;
        bool shinyToo;
    };
    std::vector<Wanted> wanted;
    if (tables.pointers.offset) {
        for (int s = 1; s <= rom::kSpeciesCount; ++s) {
            const std::string n = Number(s);
            wanted.push_back({n + "-front", {s, -1, false}, FrontDimOf(image, s - 1), true});
            wanted.push_back({n + "-back", {s, -1, true}, rom::kBackPictureDim, true});
        }
    }
    if (tables.letters.offset) {
        for (int l = 0; l < rom::kLetterCount; ++l) {
            const std::string n = "201-" + std::string(1, char('A' + l));
            const int dim = FrontDimOf(image, rom::kLetterSpecies - 1);
            wanted.push_back({n + "-front", {rom::kLetterSpecies, l, false}, dim, true});
            wanted.push_back({n + "-back", {rom::kLetterSpecies, l, true}, rom::kBackPictureDim, true});
        }
    }
    if (tables.eggInTable ? tables.pointers.offset.has_value() : tables.egg.offset.has_value()) {
        wanted.push_back({"egg-front", {rom::kEggSpecies, -1, false}, rom::kEggPictureDim, false});
    }

    for (const Wanted& w : wanted) {
        rom::Picture picture = rom::ReadPicture(image.bytes, tables, w.id, w.dim);
        if (picture.absent) continue;
        if (!picture.ok()) {
            out.refused.push_back(w.stem + ": " + picture.refusal);
            continue;
        }
        out.decoded.push_back(std::move(picture.pixels));
        const int paletteOf = w.id.species;  // letters share species 201's, the egg has entry 253
        const std::optional<rom::Palette> palette = rom::ReadPalette(image.bytes, tables, paletteOf);
        for (const bool shiny : {false, true}) {
            if (shiny && !w.shinyToo) continue;
            PictureFile file;
            file.name = w.stem + (shiny ? "-shiny" : "");
            file.species = w.id.species;
            file.letter = w.id.letter;
            file.back = w.id.back;
            file.shiny = shiny;
            file.dim = picture.dim;
            file.pixels = out.decoded.size() - 1;
            file.colours = palette ? PictureColours(*palette, shiny) : kGreys;
            out.files.push_back(std::move(file));
        }
    }
    return out;
}

}  // namespace tables
