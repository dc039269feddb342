#include "tables/TableFormats.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstddef>
#include <map>
#include <utility>

#include "rom/ImageFacts.h"
#include "rom/VersionDetection.h"
#include "tables/Csv.h"
#include "tables/FieldText.h"
#include "tables/JsonPlaces.h"

namespace tables {

namespace {

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return lower;
}

std::string Holds(std::string_view text) {
    if (text.empty()) return "it is empty.";
    return "it holds \"" + std::string(text) + "\".";
}

// The list of the columns an import needs, for messages; built once.
const std::string& ColumnList() {
    static const std::string list = [] {
        std::string made;
        for (const std::string& name : ExportColumns()) made += (made.empty() ? "" : ", ") + name;
        return made;
    }();
    return list;
}

// What a column name names: Position, Species, a field, or nothing. Names
// match without regard to case, spaces and dots.
enum class ColumnRole { Position, Species, Field, Unknown };

ColumnRole RoleOf(std::string_view name, const rom::SpeciesField*& field) {
    field = nullptr;
    const std::string normal = NormalizedColumnName(name);
    if (normal == NormalizedColumnName(kPositionColumn)) return ColumnRole::Position;
    if (normal == NormalizedColumnName(kSpeciesColumn)) return ColumnRole::Species;
    field = FieldOfColumn(name);
    return field != nullptr ? ColumnRole::Field : ColumnRole::Unknown;
}

std::string NotAColumn(std::string_view name, bool first) { return NotAColumnText(name, ColumnList(), first); }

// The refusal of a file with more rows than kMostRowsRead, at the row past them.
Refusal TooManyRows(int line, int column) {
    return {line, column, "",
            "the file holds more rows than a table can: a table has " + std::to_string(rom::kSpeciesCount) +
                " rows, one per species, and no more than " + std::to_string(kMostRowsRead) +
                " are read; reading stopped here."};
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

// One value of a row as read, with its place.
struct Cell {
    std::string name;
    std::string text;
    int line = 0;
    int column = 0;
    bool jsonNonString = false;  // a JSON number, true, false or null (not a string)
    int keyLine = 0;             // JSON: where the member's key stands
    int keyColumn = 0;
};

// Checks one row whose cells name every column: its position (new, 0 to 250)
// and every field's value. Adds the row, or its refusals.
class RowChecker {
public:
    explicit RowChecker(ImportedTable& out) : out_(out) {}

    void Check(int rowLine, const Cell* positionCell, const std::array<const Cell*, kFieldCount>& fieldCells) {
        const size_t refusalsBefore = out_.RefusalCount();
        ImportedRow row;
        row.line = rowLine;
        if (positionCell != nullptr) {
            const std::optional<int32_t> position = PositionOf(positionCell->text);
            if (!position) {
                Refuse(*positionCell, "Position must be a whole number from 0 to " +
                                          std::to_string(rom::kSpeciesCount - 1) + "; " + Holds(positionCell->text));
            } else if (const auto seen = firstLineOf_.find(*position); seen != firstLineOf_.end()) {
                Refuse(*positionCell, "Position " + std::to_string(*position) + " (" +
                                          std::string(SpeciesName(*position)) + ") is given again; line " +
                                          std::to_string(seen->second) + " gave it first.");
            } else {
                firstLineOf_.emplace(*position, rowLine);
                row.position = *position;
            }
        }
        for (size_t f = 0; f < kFieldCount; ++f) {
            const Cell* cell = fieldCells[f];
            if (cell == nullptr) continue;
            const rom::SpeciesField& field = rom::kSpeciesFields[f];
            if (cell->jsonNonString && !IsNumberField(field)) {
                Refuse(*cell, std::string(field.control) + " must be a JSON string (" +
                                  (field.presentation == rom::Presentation::HexText
                                       ? "hex digits"
                                       : "an entry of its list or a hex code") +
                                  "); it holds " + cell->text + ".");
                continue;
            }
            const rom::Encoded encoded = EncodeValueText(field, cell->text);
            if (!encoded.ok()) {
                Refuse(*cell, encoded.refusal);
                continue;
            }
            row.values.fields[f] = BytesOfHex(encoded.hex);
        }
        if (out_.RefusalCount() == refusalsBefore && positionCell != nullptr) out_.rows.push_back(row);
    }

    void Refuse(const Cell& cell, std::string message) { RefuseAt(cell.line, cell.column, cell.name, std::move(message)); }

    void RefuseAt(int line, int column, const std::string& name, std::string message) {
        out_.Refuse({line, column, name, std::move(message)});
    }

private:
    ImportedTable& out_;
    std::map<int32_t, int> firstLineOf_;
};

// ---- JSON ----------------------------------------------------------------------

using json = nlohmann::json;

// Reads the document event by event: the root object, its "species" array and
// each row object's members, each with its place. Anything else under the
// root is skipped.
class TableHandler : public PlacedHandler {
public:
    TableHandler(std::string_view text, ImportedTable& out) : PlacedHandler(text, out), out_(out), checker_(out) {}

    bool null() override { return Scalar("null", true); }
    bool boolean(bool value) override { return Scalar(value ? "true" : "false", true); }
    bool number_integer(number_integer_t value) override { return Scalar(std::to_string(value), true); }
    bool number_unsigned(number_unsigned_t value) override { return Scalar(std::to_string(value), true); }
    bool number_float(number_float_t, const string_t& text) override { return Scalar(text, true); }
    bool string(string_t& value) override { return Scalar(value, false); }
    bool binary(binary_t&) override { return Scalar("binary data", true); }

    void Finish() {
        if (!sawSpecies_ && !failed_ && out_.refusals.empty()) {
            out_.Refuse(
                {1, 1, "", "the document has no \"species\" array of rows"});
        }
    }

private:
    // Nesting: 0 outside, 1 in the root object, 2 in the species array, 3 in a
    // row object. Deeper (or elsewhere) everything is skipped.
    bool Open(bool object) override {
        const int line = place_.line;
        const int column = place_.column;
        if (skipDepth_ > 0) {
            ++skipDepth_;
            return true;
        }
        switch (depth_) {
            case 0:
                if (!object) {
                    out_.Refuse({line, column, "", "the document must be an object with a \"species\" "
                                                               "array; it is an array"});
                    failed_ = true;
                    return false;
                }
                depth_ = 1;
                return true;
            case 1:
                if (key_ == "species") {
                    if (object) {
                        out_.Refuse({keyLine_, keyColumn_, "", "\"species\" must be an array of rows"});
                        ++skipDepth_;
                        return true;
                    }
                    sawSpecies_ = true;
                    depth_ = 2;
                    return true;
                }
                ++skipDepth_;  // another member: describes the image, not read
                return true;
            case 2:
                if (!CountRow(line, column)) return false;
                if (!object) {
                    out_.Refuse({line, column, "", "each row of \"species\" must be an object"});
                    ++skipDepth_;
                    return true;
                }
                depth_ = 3;
                rowLine_ = line;
                rowColumn_ = column;
                cells_.clear();
                members_ = 0;
                return true;
            default:
                if (!CountMember()) {
                    ++skipDepth_;
                    return true;
                }
                Cell cell{key_, object ? "an object" : "an array", line, column, true, keyLine_, keyColumn_};
                checker_.Refuse(cell, "\"" + key_ + "\" must be a number or a string, not " + cell.text + ".");
                rowRefused_ = true;
                ++skipDepth_;
                return true;
        }
    }

    bool Scalar(const std::string& text, bool nonString) {
        if (skipDepth_ > 0) return true;
        const int line = place_.line;
        const int column = place_.column;
        switch (depth_) {
            case 0:
                out_.Refuse({line, column, "", "the document must be an object with a \"species\" array"});
                failed_ = true;
                return false;
            case 1:
                if (key_ == "species") {
                    out_.Refuse({line, column, "", "\"species\" must be an array of rows"});
                    sawSpecies_ = true;
                }
                return true;
            case 2:
                if (!CountRow(line, column)) return false;
                out_.Refuse({line, column, "", "each row of \"species\" must be an object"});
                return true;
            default:
                if (!CountMember()) return true;
                cells_.push_back(Cell{key_, text, line, column, nonString, keyLine_, keyColumn_});
                return true;
        }
    }

    // Counts a row of "species"; past kMostRowsRead, refuses the file and
    // stops the reading (false).
    bool CountRow(int line, int column) {
        if (++rows_ <= kMostRowsRead) return true;
        out_.RefuseAndStop(TooManyRows(line, column));
        failed_ = true;
        return false;
    }

    // Counts a member of the row; past kMostColumnsRead, refuses the row once
    // and ignores the member (false).
    bool CountMember() {
        if (++members_ <= kMostColumnsRead) return true;
        if (members_ == kMostColumnsRead + 1) {
            out_.Refuse({rowLine_, rowColumn_, "",
                         "the row has more than " + std::to_string(kMostColumnsRead) + " members; the columns are " +
                             ColumnList() + "."});
            rowRefused_ = true;
        }
        return false;
    }

    void EndRow() override {
        const Cell* position = nullptr;
        std::array<const Cell*, kFieldCount> fields{};
        bool refused = rowRefused_;
        rowRefused_ = false;
        for (Cell& cell : cells_) {
            const Cell** slot = nullptr;
            const rom::SpeciesField* field = nullptr;
            switch (RoleOf(cell.name, field)) {
                case ColumnRole::Position:
                    slot = &position;
                    cell.name = std::string(kPositionColumn);
                    break;
                case ColumnRole::Species:
                    continue;  // informational
                case ColumnRole::Field:
                    slot = &fields[FieldIndex(*field)];
                    cell.name = std::string(field->control);
                    break;
                case ColumnRole::Unknown:
                    checker_.RefuseAt(cell.keyLine, cell.keyColumn, cell.name, NotAColumn(cell.name, !namedUnknown_));
                    namedUnknown_ = true;
                    refused = true;
                    continue;
            }
            if (*slot != nullptr) {
                checker_.RefuseAt(cell.keyLine, cell.keyColumn, cell.name, "\"" + cell.name + "\" is given twice in this row.");
                refused = true;
                continue;
            }
            *slot = &cell;
        }
        std::string missing;
        if (position == nullptr) missing = std::string(kPositionColumn);
        for (size_t f = 0; f < kFieldCount; ++f) {
            if (fields[f] == nullptr) missing += (missing.empty() ? "" : ", ") + std::string(rom::kSpeciesFields[f].control);
        }
        if (!missing.empty()) {
            out_.Refuse({rowLine_, rowColumn_, "", "the row lacks " + missing + "."});
            refused = true;
        }
        const size_t before = out_.rows.size();
        checker_.Check(rowLine_, position, fields);
        // A row with any refusal of its own adds no row.
        if (refused && out_.rows.size() > before) out_.rows.pop_back();
    }

    ImportedTable& out_;
    RowChecker checker_;
    bool sawSpecies_ = false;
    bool failed_ = false;
    bool rowRefused_ = false;
    bool namedUnknown_ = false;  // a member that is no column was refused (with the list of columns)
    int rowLine_ = 0;
    int rowColumn_ = 0;
    size_t rows_ = 0;     // rows of "species" so far
    size_t members_ = 0;  // members of the row so far
    std::vector<Cell> cells_;
};

}  // namespace

std::optional<TableFormat> FormatFromName(std::string_view name) {
    const std::string lower = Lower(name);
    if (lower == "csv") return TableFormat::Csv;
    if (lower == "json") return TableFormat::Json;
    return std::nullopt;
}

std::optional<TableFormat> FormatFromPath(std::string_view path) {
    const size_t dot = path.rfind('.');
    const size_t slash = path.rfind('/');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return std::nullopt;
    return FormatFromName(path.substr(dot + 1));
}

std::vector<std::string> ExportColumns() {
    std::vector<std::string> columns{std::string(kPositionColumn), std::string(kSpeciesColumn)};
    for (const rom::SpeciesField& field : rom::kSpeciesFields) columns.emplace_back(field.control);
    return columns;
}

std::string ExportCsv(const SpeciesTable& table) {
    std::string text = CsvRecordLine(ExportColumns());
    std::vector<std::string> row(2 + kFieldCount);
    for (int32_t position = 0; position < rom::kSpeciesCount; ++position) {
        row[0] = std::to_string(position);
        row[1] = std::string(SpeciesName(position));
        for (size_t f = 0; f < kFieldCount; ++f) {
            row[2 + f] = ValueText(rom::kSpeciesFields[f], table[static_cast<size_t>(position)].fields[f]);
        }
        text += CsvRecordLine(row);
    }
    return text;
}

std::string ExportJson(const TableImage& image) {
    using ordered = nlohmann::ordered_json;
    std::string text = "{\n";
    text += "  \"format\": " + ordered(std::string(kJsonFormatName)).dump() + ",\n";
    text += "  \"version\": " + ordered(std::string(rom::VersionCaption(image.version))).dump() + ",\n";
    text += "  \"layout\": " + ordered(std::string(rom::LayoutName(image.layout))).dump() + ",\n";
    text += "  \"species\": [\n";
    for (int32_t position = 0; position < rom::kSpeciesCount; ++position) {
        ordered row;
        row[std::string(kPositionColumn)] = position;
        row[std::string(kSpeciesColumn)] = std::string(SpeciesName(position));
        for (size_t f = 0; f < kFieldCount; ++f) {
            const rom::SpeciesField& field = rom::kSpeciesFields[f];
            const std::string value = ValueText(field, image.table[static_cast<size_t>(position)].fields[f]);
            if (IsNumberField(field)) {
                row[std::string(field.control)] = std::stoi(value);
            } else {
                row[std::string(field.control)] = value;
            }
        }
        text += "    " + row.dump(-1, ' ', false, json::error_handler_t::replace);
        text += position + 1 < rom::kSpeciesCount ? ",\n" : "\n";
    }
    text += "  ]\n}\n";
    return text;
}

std::string ExportTable(const TableImage& image, TableFormat format) {
    return format == TableFormat::Csv ? ExportCsv(image.table) : ExportJson(image);
}

std::string RefusalText(const Refusal& refusal) {
    std::string text = "line " + std::to_string(refusal.line);
    if (refusal.column > 0) text += ", column " + std::to_string(refusal.column);
    if (!refusal.columnName.empty()) text += " (" + refusal.columnName + ")";
    return text + ": " + refusal.message;
}

void ImportedTable::Refuse(Refusal refusal) {
    if (refusals.size() < kMostRefusalsListed) {
        refusals.push_back(std::move(refusal));
    } else {
        ++unlistedRefusals;
    }
}

void ImportedTable::RefuseAndStop(Refusal refusal) {
    if (refusals.size() >= kMostRefusalsListed) {
        refusals.pop_back();
        ++unlistedRefusals;
    }
    refusals.push_back(std::move(refusal));
}

ImportedTable ReadCsvTable(std::string_view text) {
    ImportedTable out;
    // Spreadsheets write commas, semicolons or tabs: the header line tells which.
    const CsvRead read = ReadCsv(text, CsvLimits{kMostRowsRead + 1, kMostColumnsRead}, DetectSeparator(text));
    if (read.error) {
        const CsvError& error = *read.error;
        switch (error.stop) {
            case CsvStop::Quoting:
                out.Refuse({error.line, error.column, "", "the file is not valid CSV: " + error.message + "."});
                break;
            case CsvStop::TooManyRecords:
                out.Refuse(TooManyRows(error.line, 0));
                break;
            case CsvStop::TooManyFields:
                out.Refuse({error.line, error.column, "",
                            std::string(read.records.empty() ? "the header row" : "the row") + " has more than " +
                                std::to_string(kMostColumnsRead) + " fields; the columns are " + ColumnList() +
                                "."});
                break;
        }
        return out;
    }
    if (read.records.empty()) {
        out.Refuse({1, 0, "", "the file holds no header row; it must start with the columns " +
                                              ColumnList() + "."});
        return out;
    }

    // The header: which column holds what. Any order; every field needed.
    const CsvRecord& header = read.records.front();
    int positionColumn = -1;
    int speciesColumn = -1;
    std::array<int, kFieldCount> fieldColumn;
    fieldColumn.fill(-1);
    // The table's own name of each column, for messages, whatever the file's spelling.
    std::vector<std::string> columnNames(header.fields.size());
    bool namedUnknown = false;
    for (size_t c = 0; c < header.fields.size(); ++c) {
        const std::string_view name = Trimmed(header.fields[c]);
        const int column = static_cast<int>(c) + 1;
        int* slot = nullptr;
        const rom::SpeciesField* field = nullptr;
        switch (RoleOf(name, field)) {
            case ColumnRole::Position:
                slot = &positionColumn;
                columnNames[c] = std::string(kPositionColumn);
                break;
            case ColumnRole::Species:
                slot = &speciesColumn;
                columnNames[c] = std::string(kSpeciesColumn);
                break;
            case ColumnRole::Field:
                slot = &fieldColumn[FieldIndex(*field)];
                columnNames[c] = std::string(field->control);
                break;
            case ColumnRole::Unknown:
                out.Refuse({header.line, column, std::string(name), NotAColumn(name, !namedUnknown)});
                namedUnknown = true;
                continue;
        }
        if (*slot >= 0) {
            out.Refuse({header.line, column, columnNames[c],
                                    "the column \"" + std::string(name) + "\" is given twice; column " +
                                        std::to_string(*slot + 1) + " has it first."});
            continue;
        }
        *slot = static_cast<int>(c);
    }
    std::string missing;
    if (positionColumn < 0) missing = std::string(kPositionColumn);
    for (size_t f = 0; f < kFieldCount; ++f) {
        if (fieldColumn[f] < 0) missing += (missing.empty() ? "" : ", ") + std::string(rom::kSpeciesFields[f].control);
    }
    if (!missing.empty()) {
        out.Refuse({header.line, 0, "", "the header row lacks the column(s) " + missing + "."});
    }
    if (!out.refusals.empty()) return out;  // the rows cannot be read without their columns

    RowChecker checker(out);
    std::vector<Cell> cells(header.fields.size());
    for (size_t r = 1; r < read.records.size(); ++r) {
        const CsvRecord& record = read.records[r];
        // A row of empty cells (",,,,") is what a spreadsheet leaves below a
        // table: no row at all.
        if (AllCellsEmpty(record.fields)) continue;
        if (record.fields.size() != header.fields.size()) {
            out.Refuse({record.line, 0, "",
                                    "the row has " + std::to_string(record.fields.size()) +
                                        " fields; the header row has " + std::to_string(header.fields.size()) + "."});
            continue;
        }
        for (size_t c = 0; c < record.fields.size(); ++c) {
            cells[c] = Cell{columnNames[c], record.fields[c], record.fieldLines[c], static_cast<int>(c) + 1, false};
        }
        std::array<const Cell*, kFieldCount> fields{};
        for (size_t f = 0; f < kFieldCount; ++f) fields[f] = &cells[static_cast<size_t>(fieldColumn[f])];
        checker.Check(record.line, &cells[static_cast<size_t>(positionColumn)], fields);
    }
    return out;
}

ImportedTable ReadJsonTable(std::string_view text) {
    ImportedTable out;
    TableHandler handler(text, out);
    handler.Parse();
    handler.Finish();
    return out;
}

ImportedTable ReadTable(std::string_view text, TableFormat format) {
    return format == TableFormat::Csv ? ReadCsvTable(text) : ReadJsonTable(text);
}

}  // namespace tables
