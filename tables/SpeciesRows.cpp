#include "tables/SpeciesRows.h"

#include <map>
#include <optional>
#include <utility>

#include "rom/ImageFacts.h"
#include "rom/VersionDetection.h"
#include "tables/FieldText.h"

namespace tables {

namespace {

using formats::Cell;
using formats::CellKind;

// Where the cells stand in a row: Position, Species, Name, then the fields.
constexpr size_t kNameCell = 2;
constexpr size_t kFirstFieldCell = 3;

std::string Holds(std::string_view text) {
    if (text.empty()) return "it is empty.";
    return "it holds \"" + std::string(text) + "\".";
}

std::optional<int32_t> PositionOf(std::string_view text) {
    const std::string_view digits = Trimmed(text);
    if (digits.empty() || digits.size() > 3) return std::nullopt;
    int32_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value < rom::kSpeciesCount ? std::optional<int32_t>(value) : std::nullopt;
}

// A two-byte hex text (the Pointer) as a spreadsheet program leaves it after
// reading a text such as "3E68", "12E4" or "0E12" as a number in scientific
// notation: "3E+068", "3.00E+68", "120000", "0". Such a text holds a sign or a
// decimal point, or only decimal digits but not the four exported; a text of
// four decimal digits ("1234") is valid hex and taken. The refusal, or
// nullopt for any other text.
std::optional<std::string> SpreadsheetDamage(const rom::SpeciesField& field, std::string_view text) {
    if (field.presentation != rom::Presentation::HexText || field.width != 2) return std::nullopt;
    const std::string_view value = Trimmed(text);
    if (value.empty()) return std::nullopt;
    bool digitsOnly = true;
    bool numberSigns = false;
    for (char c : value) {
        digitsOnly = digitsOnly && c >= '0' && c <= '9';
        numberSigns = numberSigns || c == '+' || c == '.' || c == ',';
    }
    if (!numberSigns && !(digitsOnly && value.size() != 4)) return std::nullopt;
    const std::string column(field.control);
    return column + " holds \"" + std::string(value) + "\", which is how a spreadsheet program writes back hex " +
           "text such as \"3E68\", \"12E4\" or \"0E12\" after reading it as a number: the exported 4 hex " +
           "digits are lost. Set the " + column + " column's type to text when opening the file (or export again), " +
           "or leave the column out of the file.";
}

// Checks the rows one by one: each position new and from 0 to 250, each
// value by the window's rules. A row with any refusal adds no row.
class RowChecker {
public:
    RowChecker(ImportedTable& out, const TableImage* image) : out_(out), image_(image) {}

    void Check(const formats::Row& row) {
        const size_t refusalsBefore = out_.RefusalCount();
        ImportedRow imported;
        imported.line = row.line;
        CheckPosition(row.cells[0], imported);
        if (out_.RefusalCount() == refusalsBefore && row.cells[1].given) {
            if (std::string refusal = SpeciesCellRefusal(imported.position, row.cells[1].text); !refusal.empty()) {
                Refuse(row.cells[1], kSpeciesColumn, std::move(refusal));
            }
        }
        const bool placed = out_.RefusalCount() == refusalsBefore;
        if (image_ != nullptr && placed && row.cells[kNameCell].given) CheckName(row.cells[kNameCell], imported);
        for (size_t f = 0; f < kFieldCount; ++f) {
            const Cell& cell = row.cells[kFirstFieldCell + f];
            if (!cell.given) continue;
            imported.given[f] = true;
            CheckField(rom::kSpeciesFields[f], cell, imported.values.fields[f]);
        }
        if (out_.RefusalCount() == refusalsBefore) out_.rows.push_back(imported);
    }

private:
    void Refuse(const Cell& cell, std::string_view column, std::string message) {
        out_.Refuse({cell.line, cell.column, std::string(column), std::move(message)});
    }

    void CheckPosition(const Cell& cell, ImportedRow& row) {
        const std::optional<int32_t> position = PositionOf(cell.text);
        if (!position) {
            Refuse(cell, kPositionColumn, "Position must be a whole number from 0 to " +
                                              std::to_string(rom::kSpeciesCount - 1) + "; " + Holds(cell.text));
        } else if (const auto seen = firstLineOf_.find(*position); seen != firstLineOf_.end()) {
            Refuse(cell, kPositionColumn, "Position " + std::to_string(*position) + " (" +
                                              std::string(SpeciesName(*position)) + ") is given again; line " +
                                              std::to_string(seen->second) + " gave it first.");
        } else {
            firstLineOf_.emplace(*position, row.line);
            row.position = *position;
        }
    }

    void CheckName(const Cell& cell, ImportedRow& row) {
        NameCell name = ReadNameCell(image_->names, row.position, cell.text);
        if (!name.refusal.empty()) {
            Refuse(cell, kNameColumn, std::move(name.refusal));
        } else {
            row.name = std::move(name.bytes);
        }
    }

    void CheckField(const rom::SpeciesField& field, const Cell& cell, FieldBytes& bytes) {
        if (cell.kind == CellKind::Number && !IsNumberField(field)) {
            Refuse(cell, field.control,
                   std::string(field.control) + " must be a JSON string (" +
                       (field.presentation == rom::Presentation::HexText ? "hex digits"
                                                                         : "an entry of its list or a hex code") +
                       "); it holds " + cell.text + ".");
            return;
        }
        if (const std::optional<std::string> damage = SpreadsheetDamage(field, cell.text)) {
            Refuse(cell, field.control, *damage);
            return;
        }
        const rom::Encoded encoded = EncodeValueText(field, cell.text);
        if (!encoded.ok()) {
            Refuse(cell, field.control, encoded.refusal);
            return;
        }
        bytes = BytesOfHex(encoded.hex);
    }

    ImportedTable& out_;
    const TableImage* image_;
    std::map<int32_t, int> firstLineOf_;
};

formats::Shape MakeShape() {
    formats::Shape shape;
    shape.columns = ExportColumns();
    // Position says which species a row is; every other column may be left
    // out (Species only names the row for people).
    shape.required.assign(shape.columns.size(), false);
    shape.required[0] = true;
    shape.arrayKey = "species";
    shape.budget.mostRows = kMostRowsRead;
    shape.budget.mostColumns = kMostColumnsRead;
    shape.tooManyRows = "a table can: a table has " + std::to_string(rom::kSpeciesCount) +
                        " rows, one per species, and no more than " + std::to_string(kMostRowsRead) +
                        " are read; reading stopped here.";
    return shape;
}

}  // namespace

std::vector<std::string> ExportColumns() {
    std::vector<std::string> columns{std::string(kPositionColumn), std::string(kSpeciesColumn),
                                     std::string(kNameColumn)};
    for (const rom::SpeciesField& field : rom::kSpeciesFields) columns.emplace_back(field.control);
    return columns;
}

formats::TableDocument SpeciesDocument(const TableImage& image, bool about) {
    formats::TableDocument document = SpeciesDocument(image.table, about ? &image : nullptr);
    for (int32_t position = 0; position < rom::kSpeciesCount; ++position) {
        std::vector<Cell>& row = document.rows[static_cast<size_t>(position)];
        row[kNameCell] = image.names.table ? Cell::Text(image.names.TextOf(position)) : Cell::Empty();
    }
    return document;
}

formats::TableDocument SpeciesDocument(const SpeciesTable& table, const TableImage* image) {
    formats::TableDocument document;
    if (image != nullptr) {
        document.about = {{"format", std::string(kJsonFormatName)},
                          {"version", std::string(rom::VersionCaption(image->version))},
                          {"layout", std::string(rom::LayoutName(image->layout))}};
    }
    document.arrayKey = "species";
    document.columns = ExportColumns();
    document.rows.reserve(rom::kSpeciesCount);
    for (int32_t position = 0; position < rom::kSpeciesCount; ++position) {
        std::vector<Cell> row;
        row.reserve(3 + kFieldCount);
        row.insert(row.end(), {Cell::Number(position), Cell::Text(std::string(SpeciesName(position))), Cell::Empty()});
        for (size_t f = 0; f < kFieldCount; ++f) {
            const rom::SpeciesField& field = rom::kSpeciesFields[f];
            std::string value = ValueText(field, table[static_cast<size_t>(position)].fields[f]);
            row.push_back(IsNumberField(field) ? Cell::Number(std::stoll(value)) : Cell::Text(std::move(value)));
        }
        document.rows.push_back(std::move(row));
    }
    return document;
}

std::string ExportCsv(const SpeciesTable& table) { return formats::WriteCsvRows(SpeciesDocument(table)); }

std::string ExportJson(const TableImage& image) { return formats::WriteJsonRows(SpeciesDocument(image, true)); }

std::string ExportTable(const TableImage& image, TableFormat format) {
    return formats::WriteRows(SpeciesDocument(image, true), format);
}

const formats::Shape& SpeciesShape() {
    static const formats::Shape shape = MakeShape();
    return shape;
}

ImportedTable SpeciesFromRows(const formats::RowsRead& read, const TableImage* image) {
    ImportedTable out;
    out.Append(read.status);
    RowChecker checker(out, image);
    for (const formats::Row& row : read.rows) checker.Check(row);
    out.SortByLine();
    return out;
}

ImportedTable ReadTable(std::string_view text, TableFormat format) {
    return SpeciesFromRows(formats::ReadRows(text, format, SpeciesShape()));
}

ImportedTable ReadCsvTable(std::string_view text) { return ReadTable(text, TableFormat::Csv); }
ImportedTable ReadJsonTable(std::string_view text) { return ReadTable(text, TableFormat::Json); }

}  // namespace tables
