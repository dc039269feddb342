#include "tables/PaletteTable.h"

#include <algorithm>
#include <cstdlib>

#include "rom/FieldConversions.h"
#include "rom/HexDigits.h"
#include "rom/VersionDetection.h"
#include "tables/FieldText.h"

namespace tables {

namespace {

using formats::Cell;

constexpr size_t kColours = kPaletteColumns.size();

// The 5-bit value whose 8-bit form is nearest to `channel`.
int NearestChannel(int channel) {
    int best = 0;
    for (int v = 1; v < 32; ++v) {
        if (std::abs(rom::ChannelTo8(v) - channel) < std::abs(rom::ChannelTo8(best) - channel)) best = v;
    }
    return best;
}

std::string Holds(std::string_view text) {
    if (Trimmed(text).empty()) return "it is empty.";
    return "it holds \"" + std::string(text) + "\".";
}

}  // namespace

ImagePalettes ReadImagePalettes(const std::vector<uint8_t>& bytes, const rom::PictureTables& tables) {
    ImagePalettes out;
    if (!tables.palettes.offset) {
        out.why = tables.palettes.why;
        return out;
    }
    // Every species' entry must lie in the image.
    if (!rom::PaletteOffset(bytes, tables, rom::kSpeciesCount)) {
        out.why = "the palette table the game's code names runs past the end of the image";
        return out;
    }
    out.located = true;
    out.offset = *tables.palettes.offset;
    for (int32_t p = 0; p < rom::kSpeciesCount; ++p) {
        const int64_t at = out.offset + int64_t(p + 1) * int64_t(rom::kPaletteEntryBytes);
        for (size_t k = 0; k < kColours; ++k) {
            const auto word = uint16_t(bytes[size_t(at) + 2 * k] | bytes[size_t(at) + 2 * k + 1] << 8);
            out.stored[size_t(p) * kColours + k] = word;
            out.palettes[size_t(p)][k] = word & 0x7FFF;
        }
    }
    return out;
}

ImagePalettes ReadImagePalettes(const TableImage& image) {
    return ReadImagePalettes(image.bytes, image.resolved.pictures);
}

std::string ColourText(uint16_t colour) {
    std::string text = "#";
    for (const uint8_t channel : rom::ColourToRgb(colour)) text += rom::TwoDigitHex(channel);
    return text;
}

ColourRead ReadColour(std::string_view column, std::string_view text) {
    const std::string_view trimmed = Trimmed(text);
    bool hex = trimmed.size() == 7 && trimmed[0] == '#';
    for (size_t i = 1; hex && i < trimmed.size(); ++i) hex = rom::hexdigits::Value(trimmed[i]) >= 0;
    if (!hex) {
        return {0, std::string(column) + " must be a colour written #RRGGBB (three two-digit hex channels, for "
                                         "example #EFD629); " + Holds(text)};
    }
    std::array<int, 3> channels{};
    bool stored = true;
    uint16_t colour = 0;
    uint16_t nearest = 0;
    for (size_t c = 0; c < 3; ++c) {
        channels[c] = rom::hexdigits::Value(trimmed[1 + 2 * c]) * 16 + rom::hexdigits::Value(trimmed[2 + 2 * c]);
        const int v = channels[c] >> 3;
        stored = stored && rom::ChannelTo8(v) == channels[c];
        colour = uint16_t(colour | v << (5 * c));
        nearest = uint16_t(nearest | NearestChannel(channels[c]) << (5 * c));
    }
    if (!stored) {
        return {0, std::string(column) + " must be a colour the game can store (5 bits a channel, each written as "
                                         "(v << 3) | (v >> 2)); " + std::string(trimmed) +
                       " is not one: the nearest is " + ColourText(nearest) + "."};
    }
    return {colour, {}};
}

std::string SnappedColourText(std::string_view text) {
    const std::string_view trimmed = Trimmed(text);
    bool hex = trimmed.size() == 7 && trimmed[0] == '#';
    for (size_t i = 1; hex && i < trimmed.size(); ++i) hex = rom::hexdigits::Value(trimmed[i]) >= 0;
    if (!hex) return std::string(text);
    uint16_t nearest = 0;
    for (size_t c = 0; c < 3; ++c) {
        const int channel = rom::hexdigits::Value(trimmed[1 + 2 * c]) * 16 + rom::hexdigits::Value(trimmed[2 + 2 * c]);
        nearest = uint16_t(nearest | NearestChannel(channel) << (5 * c));
    }
    return ColourText(nearest);
}

std::vector<std::string> PaletteTableColumns() {
    std::vector<std::string> columns{std::string(kPositionColumn), std::string(kSpeciesColumn)};
    for (const std::string_view name : kPaletteColumns) columns.emplace_back(name);
    return columns;
}

formats::Shape PaletteShape() {
    formats::Shape shape;
    shape.columns = PaletteTableColumns();
    shape.required.assign(shape.columns.size(), false);
    shape.required[0] = true;
    shape.arrayKey = std::string(kPalettesTableName);
    shape.budget.mostRows = kMostRowsRead;
    shape.budget.mostColumns = kMostColumnsRead;
    shape.tooManyRows = "a palettes table's 251: no more than " + std::to_string(kMostRowsRead) +
                        " are read; reading stopped here.";
    return shape;
}

formats::TableDocument PaletteDocument(const TableImage& image, const ImagePalettes& palettes) {
    formats::TableDocument document;
    document.about = {{"format", std::string(kPalettesFormatName)},
                      {"version", std::string(rom::VersionCaption(image.version))},
                      {"layout", std::string(rom::LayoutName(image.layout))}};
    document.arrayKey = std::string(kPalettesTableName);
    document.columns = PaletteTableColumns();
    if (!palettes.located) return document;
    for (int32_t p = 0; p < rom::kSpeciesCount; ++p) {
        std::vector<Cell> row{Cell::Number(p), Cell::Text(std::string(SpeciesName(p)))};
        for (const uint16_t colour : palettes.palettes[size_t(p)]) row.push_back(Cell::Text(ColourText(colour)));
        document.rows.push_back(std::move(row));
    }
    return document;
}

std::string ExportPalettes(const TableImage& image, const ImagePalettes& palettes, TableFormat format) {
    return formats::WriteRows(PaletteDocument(image, palettes), format);
}

ImportedPalettes PalettesFromRows(const formats::RowsRead& read,
                                  const ImagePalettes& palettes, const std::optional<Refusal>& otherFile) {
    ImportedPalettes out;
    out.palettes = palettes.palettes;
    if (!palettes.located) {
        out.status.Refuse({1, 0, "", "the image's palette table is not known (" + palettes.why +
                                         "), so palettes cannot be imported."});
        return out;
    }
    if (otherFile) {
        out.status.Refuse(*otherFile);
        return out;
    }
    out.status.Append(read.status);
    std::array<int, rom::kSpeciesCount> firstLine{};
    for (const formats::Row& row : read.rows) {
        const Cell& positionCell = row.cells[0];
        const std::optional<int64_t> position = WholeNumber(positionCell.text);
        if (!position || *position < 0 || *position >= rom::kSpeciesCount) {
            out.status.Refuse({positionCell.line, positionCell.column, "Position",
                               "Position must be a whole number from 0 to " + std::to_string(rom::kSpeciesCount - 1) +
                                   "; " + Holds(positionCell.text)});
            continue;
        }
        const auto p = size_t(*position);
        if (firstLine[p] != 0) {
            out.status.Refuse({positionCell.line, positionCell.column, "Position",
                               "Position " + std::to_string(p) + " (" + std::string(SpeciesName(int32_t(p))) +
                                   ") is given again; line " + std::to_string(firstLine[p]) + " gave it first."});
            continue;
        }
        firstLine[p] = row.line;
        for (size_t k = 0; k < kColours; ++k) {
            const Cell& cell = row.cells[2 + k];
            if (!cell.given) continue;  // a colour the file leaves out is kept
            const ColourRead colour = ReadColour(kPaletteColumns[k], cell.text);
            if (!colour.refusal.empty()) {
                out.status.Refuse({cell.line, cell.column, std::string(kPaletteColumns[k]), colour.refusal});
                continue;
            }
            out.palettes[p][k] = colour.colour;
        }
    }
    out.status.SortByLine();
    return out;
}

std::vector<uint8_t> PlanPaletteImport(const std::vector<uint8_t>& bytes, const ImagePalettes& palettes,
                                       const std::array<rom::Palette, rom::kSpeciesCount>& wanted) {
    std::vector<uint8_t> after = bytes;
    if (!palettes.located) return after;
    for (size_t p = 0; p < wanted.size(); ++p) {
        const int64_t entry = palettes.offset + int64_t(p + 1) * int64_t(rom::kPaletteEntryBytes);
        for (size_t k = 0; k < kColours; ++k) {
            if (wanted[p][k] == palettes.palettes[p][k]) continue;
            const auto word = uint16_t((palettes.stored[p * kColours + k] & 0x8000) | wanted[p][k]);
            after[size_t(entry) + 2 * k] = uint8_t(word & 0xFF);
            after[size_t(entry) + 2 * k + 1] = uint8_t(word >> 8);
        }
    }
    return after;
}

std::vector<ListChanges> PaletteDifferences(const ImagePalettes& before, const ImagePalettes& after) {
    std::vector<ListChanges> changes;
    if (!before.located || !after.located) return changes;
    for (size_t p = 0; p < before.palettes.size(); ++p) {
        std::string line;
        for (size_t k = 0; k < kColours; ++k) {
            if (before.palettes[p][k] == after.palettes[p][k]) continue;
            line += (line.empty() ? "Palette: " : ", ") + std::string(kPaletteColumns[k]) + " " +
                    ColourText(before.palettes[p][k]) + " \u2192 " + ColourText(after.palettes[p][k]);
        }
        if (!line.empty()) changes.push_back({int32_t(p), {line}});
    }
    return changes;
}

void MergeChanges(std::vector<ListChanges>& into, const std::vector<ListChanges>& more) {
    for (const ListChanges& change : more) {
        auto at = std::lower_bound(into.begin(), into.end(), change.position,
                                   [](const ListChanges& c, int32_t position) { return c.position < position; });
        if (at != into.end() && at->position == change.position) {
            at->lines.insert(at->lines.end(), change.lines.begin(), change.lines.end());
        } else {
            into.insert(at, change);
        }
    }
}

}  // namespace tables
