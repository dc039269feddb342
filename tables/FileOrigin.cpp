#include "tables/FileOrigin.h"

#include <string>
#include <vector>

#include "rom/VersionDetection.h"
#include "tables/ListTables.h"
#include "tables/PaletteTable.h"
#include "tables/SpeciesRows.h"

namespace tables {

namespace {

struct TableKind {
    std::string name;        // as --table names it
    std::string formatName;  // the JSON "format"
    formats::Shape shape;    // Crystal's columns for the machines
};

const std::vector<TableKind>& Kinds() {
    static const std::vector<TableKind> kinds = [] {
        std::vector<TableKind> made{{std::string(kSpeciesTableName), std::string(kJsonFormatName), SpeciesShape()}};
        for (const ListTable table : {ListTable::Machines, ListTable::Evolutions, ListTable::Moves, ListTable::EggMoves}) {
            made.push_back({std::string(ListTableName(table)), std::string(ListTableFormatName(table)),
                            ListTableShape(table, rom::GameVersion::Crystal)});
        }
        made.push_back({std::string(kPalettesTableName), std::string(kPalettesFormatName), PaletteShape()});
        return made;
    }();
    return kinds;
}

const TableKind* KindNamed(std::string_view name) {
    for (const TableKind& kind : Kinds()) {
        if (kind.name == name) return &kind;
    }
    return nullptr;
}

std::string A(const std::string& name) { return (name.front() == 'e' ? "an " : "a ") + name + " table"; }

std::string ImportWith(const std::string& name) { return "import it with --table " + name + "."; }

const formats::AboutMember* About(const formats::RowsRead& read, std::string_view key) {
    for (const formats::AboutMember& member : read.about) {
        if (member.key == key) return &member;
    }
    return nullptr;
}

std::optional<formats::Refusal> FormatRefusal(const formats::RowsRead& read, const TableKind& expected) {
    const formats::AboutMember* format = About(read, "format");
    if (format == nullptr || format->text == expected.formatName) return std::nullopt;
    formats::Refusal refusal{format->line, format->column, "format", ""};
    for (const TableKind& kind : Kinds()) {
        if (kind.formatName != format->text) continue;
        refusal.message = "the file is " + A(kind.name) + " (its \"format\" is \"" + format->text + "\"), not " +
                          A(expected.name) + ": " + ImportWith(kind.name);
        return refusal;
    }
    refusal.message = "the file's \"format\" is \"" + format->text + "\", not \"" + expected.formatName +
                      "\": it is no export of " + A(expected.name) + ".";
    return refusal;
}

std::optional<formats::Refusal> VersionRefusal(const formats::RowsRead& read, const TableImage& image) {
    const formats::AboutMember* version = About(read, "version");
    const std::string_view caption = rom::VersionCaption(image.version);
    if (version == nullptr || version->text == caption) return std::nullopt;
    return formats::Refusal{version->line, version->column, "version",
                            "the file was exported from an image of " + version->text + ", and this image is " +
                                std::string(caption) + ": its lists and pointers lie elsewhere. Export the table "
                                "from this image; to carry single columns from the other, give a file without "
                                "\"version\" that holds only Position and those columns."};
}

// True when every name of the file is a column of `shape`, one of them is
// neither Position nor Species, and every column `shape` needs is there.
bool Fits(const std::vector<std::string>& names, const formats::Shape& shape) {
    const formats::ColumnMatcher matcher(shape.columns);
    std::vector<bool> seen(shape.columns.size(), false);
    bool telling = false;
    for (const std::string& name : names) {
        const std::optional<size_t> column = matcher.Find(name);
        if (!column) return false;
        seen[*column] = true;
        telling = telling || *column >= 2;
    }
    for (size_t c = 0; c < seen.size(); ++c) {
        if (shape.required[c] && !seen[c]) return false;
    }
    return telling;
}

// A JSON file without rows for the expected table that holds another
// table's array of rows.
std::optional<formats::Refusal> ArrayRefusal(const formats::RowsRead& read, const TableKind& expected) {
    if (read.status.ok() || !read.rows.empty()) return std::nullopt;
    for (const std::string& key : read.arrays) {
        for (const TableKind& kind : Kinds()) {
            if (&kind == &expected || kind.shape.arrayKey != key) continue;
            return formats::Refusal{1, 0, "", "the file holds a \"" + key + "\" array of rows: it is " + A(kind.name) +
                                                  ", not " + A(expected.name) + ": " + ImportWith(kind.name)};
        }
    }
    return std::nullopt;
}

std::optional<formats::Refusal> ColumnsRefusal(const formats::RowsRead& read, const TableKind& expected,
                                               const TableImage& image) {
    if (read.status.ok() || read.names.empty()) return std::nullopt;
    const std::string columns = formats::ColumnList(read.names);
    for (const TableKind& kind : Kinds()) {
        if (&kind == &expected || !Fits(read.names, kind.shape)) continue;
        return formats::Refusal{1, 0, "", "the file's columns (" + columns + ") are those of " + A(kind.name) +
                                              ", not of " + A(expected.name) + ": " + ImportWith(kind.name)};
    }
    if (expected.name == ListTableName(ListTable::Machines) && image.version != rom::GameVersion::Crystal &&
        Fits(read.names, expected.shape)) {
        return formats::Refusal{1, 0, "", "the file holds the tutor machines MT01 to MT03 of an image of " +
                                              std::string(rom::VersionCaption(rom::GameVersion::Crystal)) +
                                              ", and this image is " +
                                              std::string(rom::VersionCaption(image.version)) +
                                              ", which has none: leave those columns out to carry the others."};
    }
    return std::nullopt;
}

}  // namespace

std::optional<formats::Refusal> OtherFileRefusal(const formats::RowsRead& read, std::string_view table,
                                                 const TableImage& image) {
    const TableKind* expected = KindNamed(table);
    if (expected == nullptr) return std::nullopt;
    if (auto refusal = FormatRefusal(read, *expected)) return refusal;
    if (auto refusal = VersionRefusal(read, image)) return refusal;
    if (auto refusal = ArrayRefusal(read, *expected)) return refusal;
    return ColumnsRefusal(read, *expected, image);
}

ImportedTable ReadTable(std::string_view text, TableFormat format, const TableImage& image) {
    const formats::RowsRead read = formats::ReadRows(text, format, SpeciesShape());
    if (const std::optional<Refusal> other = OtherFileRefusal(read, kSpeciesTableName, image)) {
        ImportedTable out;
        out.Refuse(*other);
        return out;
    }
    return SpeciesFromRows(read, &image);
}

ImportedLists ReadListTable(std::string_view text, TableFormat format, ListTable table, const TableImage& image,
                            const SpeciesLists& lists) {
    const formats::RowsRead read = formats::ReadRows(text, format, ListTableShape(table, image.version));
    return ListsFromRows(read, table, image, lists, OtherFileRefusal(read, ListTableName(table), image));
}

ImportedPalettes ReadPaletteTable(std::string_view text, TableFormat format, const TableImage& image,
                                  const ImagePalettes& palettes) {
    const formats::RowsRead read = formats::ReadRows(text, format, PaletteShape());
    return PalettesFromRows(read, palettes, OtherFileRefusal(read, kPalettesTableName, image));
}

}  // namespace tables
