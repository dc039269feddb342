#pragma once
// The palettes as a table beside the species and list tables: one row per
// species, Position, Species, then Normal1, Normal2, Shiny1, Shiny2 as
// #RRGGBB. Colour 1 is the lighter one a picture's pixels of value 1 take,
// colour 2 the darker; white and black are not stored.
//
// The game stores 5 bits a channel; a channel v is written as
// (v << 3) | (v >> 2). An import takes any #RRGGBB (any case) whose channels
// are of that form and refuses others, naming the nearest colour the game can
// store. A file may leave out any colour's column (the colour is kept) and
// any species (its palette is kept). An edit writes the colour's two bytes
// and nothing else; bit 15 of a stored word, which the game does not read, is
// kept.
//
// JSON: {"format": "quillmere palettes table", "version": ..., "layout": ...,
// "palettes": [<row>, ...]}.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/Formats.h"
#include "rom/Pictures.h"
#include "tables/ListDiff.h"
#include "tables/SpeciesRows.h"
#include "tables/SpeciesTable.h"

namespace tables {

inline constexpr std::string_view kPalettesTableName = "palettes";
inline constexpr std::string_view kPalettesFormatName = "quillmere palettes table";
inline constexpr std::array<std::string_view, 4> kPaletteColumns = {"Normal1", "Normal2", "Shiny1", "Shiny2"};

// The palettes of an image's 251 species, where the game's code says the
// table is; `located` false (with `why`) when no routine proves it.
struct ImagePalettes {
    bool located = false;
    std::string why;
    int64_t offset = 0;
    std::array<rom::Palette, rom::kSpeciesCount> palettes{};  // position order (species number - 1)
    std::array<uint16_t, rom::kSpeciesCount * 4> stored{};    // the words as stored, bit 15 included
};
ImagePalettes ReadImagePalettes(const TableImage& image);
// The same where the tables are already located (no edit moves them).
ImagePalettes ReadImagePalettes(const std::vector<uint8_t>& bytes, const rom::PictureTables& tables);

// "#EFD629": a stored colour as the table writes it.
std::string ColourText(uint16_t colour);

// A colour read from "#RRGGBB", or the refusal that names the nearest
// colour the game can store.
struct ColourRead {
    uint16_t colour = 0;
    std::string refusal;
};
ColourRead ReadColour(std::string_view column, std::string_view text);

// Any "#RRGGBB" as the nearest colour the game can store, written as the
// table writes it; any other text as it is (for ReadColour to refuse).
std::string SnappedColourText(std::string_view text);

std::vector<std::string> PaletteTableColumns();
formats::Shape PaletteShape();
formats::TableDocument PaletteDocument(const TableImage& image, const ImagePalettes& palettes);
std::string ExportPalettes(const TableImage& image, const ImagePalettes& palettes, TableFormat format);

struct ImportedPalettes {
    std::array<rom::Palette, rom::kSpeciesCount> palettes{};  // the image's, with the file's laid over
    ImportedTable status;
};
// `otherFile`: the refusal of a file that is another table's
// (OtherFileRefusal, FileOrigin.h), which then stands alone, after only the
// refusal for an image whose palette table is not known. ReadPaletteTable
// (FileOrigin.h) reads a file.
ImportedPalettes PalettesFromRows(const formats::RowsRead& read, const ImagePalettes& palettes,
                                  const std::optional<Refusal>& otherFile);

// The image's bytes with every changed colour's two bytes written; nothing
// else changes. Only for an import without refusals.
std::vector<uint8_t> PlanPaletteImport(const std::vector<uint8_t>& bytes, const ImagePalettes& palettes,
                                       const std::array<rom::Palette, rom::kSpeciesCount>& wanted);

// The species whose palettes differ: "Palette: Normal1 #EFD629 → #FFD629".
std::vector<ListChanges> PaletteDifferences(const ImagePalettes& before, const ImagePalettes& after);

// `more` laid into `into`, one entry per species, in position order.
void MergeChanges(std::vector<ListChanges>& into, const std::vector<ListChanges>& more);

}  // namespace tables
